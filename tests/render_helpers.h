// Render tests through EntryPointFunc: parameter settings, test pictures, a fault sweep of one
// render set-up, and a reference renderer (generator, shuffles, grid and strip layouts, motion,
// pixel rule, each step as documented) written apart from layout/ and composite/pixel_stage.h.
// Only the blend operators are borrowed as an oracle; they have tests of their own.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "composite/blend_ops.h"
#include "composite/pixel_traits.h"
#include "host_helpers.h"
#include "params/param_setup.h"
#include "sweep.h"

namespace rendertest {

using namespace testhost;
using worlds::Depth;
using worlds::World;

using Progress = std::vector<std::pair<A_long, A_long>>;

inline PF_Fixed percent(double p) {
    return static_cast<PF_Fixed>(std::lround(p * 65536.0));
}

inline constexpr A_long kManhattan = kModeManhattan, kEuclidean = kModeEuclidean;
inline constexpr A_long kRowColumn = kSplitRowColumn, kRowWidth = kSplitRowWidth,
                        kHeightColumn = kSplitHeightColumn;
inline constexpr A_long kFootage = kOverlapFootage, kColorOverlap = kOverlapColor;
inline constexpr A_long kNormal = choice_number(kParamBlendMode, "Normal"),
                        kAdd = choice_number(kParamBlendMode, "Add"),
                        kMultiply = choice_number(kParamBlendMode, "Multiply"),
                        kScreen = choice_number(kParamBlendMode, "Screen"),
                        kColorBurn = choice_number(kParamBlendMode, "Color Burn");

// The effect's defaults, but half-way through and a 2 x 2 grid, which small frames show well.
struct Settings {
    A_long mode = param_entry(kParamMode).dephault;
    PF_Fixed completion = percent(50);
    A_long split = param_entry(kParamSplit).dephault;
    A_long rows = 2;
    A_long strip_height = param_entry(kParamHeight).dephault;
    A_long columns = 2;
    A_long strip_width = param_entry(kParamWidth).dephault;
    A_long seed = param_entry(kParamSeed).dephault;
    A_long overlap_mode = param_entry(kParamOverlapMode).dephault;
    PF_Pixel color = color_to_host(param_entry(kParamColor).color);
    A_long blend_mode = param_entry(kParamBlendMode).dephault;
    PF_Fixed opacity = percent_to_host(param_entry(kParamOpacity).dephault);
    A_long ds_num = 1;
    A_u_long ds_den = 1;

    std::string describe() const {
        return "mode " + std::to_string(mode) + " completion " + std::to_string(completion) +
               " split " + std::to_string(split) + " rows " + std::to_string(rows) + " height " +
               std::to_string(strip_height) + " columns " + std::to_string(columns) + " width " +
               std::to_string(strip_width) + " seed " + std::to_string(seed) + " overlap " +
               std::to_string(overlap_mode) + " color " + std::to_string(color.alpha) + "/" +
               std::to_string(color.red) + "/" + std::to_string(color.green) + "/" +
               std::to_string(color.blue) + " blend " + std::to_string(blend_mode) + " opacity " +
               std::to_string(opacity) + " downsample " + std::to_string(ds_num) + "/" +
               std::to_string(ds_den);
    }
};

inline void apply(SimHost& host, const Settings& s) {
    host.set_popup(kMode, s.mode);
    host.set_fixed(kCompletion, s.completion);
    host.set_popup(kSplit, s.split);
    host.set_slider(kRow, s.rows);
    host.set_slider(kHeight, s.strip_height);
    host.set_slider(kColumn, s.columns);
    host.set_slider(kWidth, s.strip_width);
    host.set_slider(kSeed, s.seed);
    host.set_popup(kOverlapMode, s.overlap_mode);
    host.set_color(kColor, s.color);
    host.set_popup(kBlendMode, s.blend_mode);
    host.set_fixed(kOpacity, s.opacity);
    host.set_downsample_x(s.ds_num, s.ds_den);
}

// Set up, worlds and parameters in place, records and counters cleared.
inline std::unique_ptr<SimHost> render_host(World input, World output, const Settings& s) {
    auto host = fresh_host();
    host->setup();
    host->set_input(std::move(input));
    host->set_output(std::move(output));
    apply(*host, s);
    host->reset_out_data();
    host->reset_counters();
    return host;
}

// --- pixels

template <class P>
P& px(World& w, A_long x, A_long y);
template <>
inline PF_Pixel& px<PF_Pixel>(World& w, A_long x, A_long y) {
    return w.px8(x, y);
}
template <>
inline PF_Pixel16& px<PF_Pixel16>(World& w, A_long x, A_long y) {
    return w.px16(x, y);
}
template <class P>
const P& cpx(const World& w, A_long x, A_long y) {
    return px<P>(const_cast<World&>(w), x, y);
}

inline bool same(PF_Pixel a, PF_Pixel b) {
    return a.alpha == b.alpha && a.red == b.red && a.green == b.green && a.blue == b.blue;
}
inline bool same(PF_Pixel16 a, PF_Pixel16 b) {
    return a.alpha == b.alpha && a.red == b.red && a.green == b.green && a.blue == b.blue;
}
template <class P>
std::string show(P p) {
    return "(" + std::to_string(p.alpha) + ", " + std::to_string(p.red) + ", " +
           std::to_string(p.green) + ", " + std::to_string(p.blue) + ")";
}

inline PF_Pixel16 to16(PF_Pixel p) {
    return {channel8_to_16(p.alpha), channel8_to_16(p.red), channel8_to_16(p.green),
            channel8_to_16(p.blue)};
}

// The 16-bit copy of an 8-bit world, channel by channel.
inline World converted_to_16(const World& w8, A_long pad_bytes = 0) {
    World w16(w8.width(), w8.height(), Depth::sixteen, pad_bytes);
    for (A_long y = 0; y < w8.height(); ++y) {
        for (A_long x = 0; x < w8.width(); ++x) w16.px16(x, y) = to16(w8.px8(x, y));
    }
    return w16;
}

// The world's pixel type: f(PF_Pixel{}) for an 8-bit world, f(PF_Pixel16{}) for a 16-bit one.
template <class F>
decltype(auto) with_pixel_of(const World& w, F f) {
    if (w.deep()) return f(PF_Pixel16{});
    return f(PF_Pixel{});
}

// Alphas chosen to hit the shortcuts (0, full) and the partial branches of every operator.
inline void fill_random(World& w, std::mt19937& rng) {
    with_pixel_of(w, [&](auto pixel) {
        using P = decltype(pixel);
        using Channel = typename PixelTraits<P>::Channel;
        constexpr int full = PixelTraits<P>::kFull;
        constexpr std::array<int, 10> alphas =
            full == 255
                ? std::array<int, 10>{0, 1, 64, 127, 128, 129, 200, 254, 255, 255}
                : std::array<int, 10>{0, 1, 8192, 16383, 16384, 16385, 30000, 32767, 32768, 32768};
        std::uniform_int_distribution<int> pick(0, 9);
        std::uniform_int_distribution<int> ch(0, full);
        const auto channel = [&] { return static_cast<Channel>(ch(rng)); };
        for (A_long y = 0; y < w.height(); ++y) {
            for (A_long x = 0; x < w.width(); ++x) {
                px<P>(w, x, y) = {static_cast<Channel>(alphas[pick(rng)]), channel(), channel(),
                                  channel()};
            }
        }
    });
}

// --- reference renderer

class Lcg {
  public:
    void restart(A_long seed) {
        state_ = static_cast<std::uint32_t>(seed);
        next();
    }
    std::uint32_t next() {
        state_ = state_ * 1103515245u + 12345u;
        return state_ & 0x7FFFFFFFu;
    }
    double unit() { return next() / 2147483648.0; }

  private:
    std::uint32_t state_ = 0;
};

inline double completion_of(const Settings& s) {
    return s.completion / 65536.0 * 0.01;
}
inline double opacity_of(const Settings& s) {
    return std::clamp(s.opacity / 65536.0 * 0.01, 0.0, 1.0);
}
inline double downsample_of(const Settings& s) {
    return s.ds_den == 0 ? 1.0 : static_cast<double>(s.ds_num) / s.ds_den;
}

struct RefStep {
    A_long x0, x1, y0, y1;
    A_long dx, dy;
    bool x_first;
};

struct RefLayout {
    std::vector<RefStep> steps;       // in drawing order; N = steps.size()
    std::vector<A_long> strip_sizes;  // strip modes only
};

inline std::vector<bool> ref_axis_flags(A_long n, A_long seed) {
    Lcg g;
    g.restart(seed);
    std::vector<bool> flags;
    for (A_long i = 0; i < n; ++i) flags.push_back(g.unit() >= 0.5);
    return flags;
}

inline RefLayout ref_grid_layout(A_long W, A_long H, const Settings& s) {
    const A_long rows = std::min(s.rows, H);
    const A_long cols = std::min(s.columns, W);
    if (W <= 0 || H <= 0 || rows <= 0 || cols <= 0) return {};
    const A_long n = rows * cols;
    const std::vector<bool> flags = ref_axis_flags(n, s.seed);

    std::vector<A_long> target(static_cast<std::size_t>(n));
    for (A_long i = 0; i < n; ++i) target[i] = i;
    Lcg g;
    g.restart(s.seed);
    for (A_long i = 1; i <= n - 2; ++i) {
        const A_long k = i + static_cast<A_long>(g.unit() * static_cast<double>(n - i));
        std::swap(target[i], target[k]);
    }
    std::swap(target[0], target[static_cast<A_long>(g.unit() * static_cast<double>(n))]);

    const double cw = static_cast<double>(W) / cols;
    const double ch = static_cast<double>(H) / rows;
    std::vector<A_long> x(static_cast<std::size_t>(n)), y(static_cast<std::size_t>(n));
    for (A_long r = 0; r < rows; ++r) {
        for (A_long c = 0; c < cols; ++c) {
            x[r * cols + c] = static_cast<A_long>(c * cw);
            y[r * cols + c] = static_cast<A_long>(r * ch);
        }
    }
    RefLayout out;
    for (A_long b = 0; b < n; ++b) {
        RefStep st{};
        st.x0 = x[b];
        st.x1 = b % cols == cols - 1 ? W : x[b + 1];
        st.y0 = y[b];
        st.y1 = b >= (rows - 1) * cols ? H : y[b + cols];
        st.dx = x[target[b]] - x[b];
        st.dy = y[target[b]] - y[b];
        st.x_first = flags[b];
        out.steps.push_back(st);
    }
    return out;
}

// One random strip size; when no draw at all could give a pixel or more, every strip is one
// pixel, so that the count ends.
inline A_long ref_strip_size(A_long P, double ds, double u) {
    const bool never_a_pixel = ds <= 0.0 || (P + 1) * ds <= 1.0;
    if (never_a_pixel) return 1;
    return static_cast<A_long>((u * static_cast<double>(P - 3) + 4.0) * ds);
}

inline RefLayout ref_strip_layout(A_long W, A_long H, const Settings& s) {
    const bool rw = s.split == kRowWidth;
    const A_long rows = std::min(s.rows, H);
    const A_long cols = std::min(s.columns, W);
    const A_long P = rw ? s.strip_width : s.strip_height;
    const A_long L = rw ? W : H;
    const double ds = downsample_of(s);

    Lcg g;
    g.restart(s.seed);
    std::vector<A_long> drawn;
    std::int64_t sum = 0;
    do {
        drawn.push_back(ref_strip_size(P, ds, g.unit()));
        sum += drawn.back();
    } while (sum < L);
    const A_long S = static_cast<A_long>(drawn.size());
    const A_long C = rw ? S : cols;
    const A_long R = rw ? rows : S;
    if (W <= 0 || H <= 0 || C <= 0 || R <= 0) return {};
    const A_long N = C * R;
    const std::vector<bool> flags = ref_axis_flags(N, s.seed);

    RefLayout out;
    out.strip_sizes.assign(drawn.begin(), drawn.end() - 1);
    A_long before_last = 0;
    for (A_long v : out.strip_sizes) before_last += v;
    out.strip_sizes.push_back(L - before_last);
    const std::vector<A_long>& sizes = out.strip_sizes;

    struct Block {
        A_long target, col, row, x, y;
    };
    struct Strip {
        A_long col, row, x, y;
    };
    std::vector<Block> b(static_cast<std::size_t>(N));
    std::vector<Strip> st(static_cast<std::size_t>(N));
    const double row_step = static_cast<double>(H) / rows;
    const double col_step = static_cast<double>(W) / cols;
    for (A_long i = 0; i < R; ++i) {
        for (A_long j = 0; j < C; ++j) {
            const A_long p = i * C + j;
            b[p] = {rw ? j : i, j, i, 0, 0};
            st[p] = {j, i, 0, 0};
            if (rw) {
                st[p].y = static_cast<A_long>(i * row_step);
                b[p].y = st[p].y;
            } else {
                st[p].x = static_cast<A_long>(j * col_step);
                b[p].x = st[p].x;
            }
        }
    }
    const auto within_rows = [&](auto& recs, auto exchange) {
        g.restart(s.seed);
        for (A_long i = 0; i < R; ++i) {
            for (A_long j = 0; j <= C - 2; ++j) {
                const A_long k = j + static_cast<A_long>(g.unit() * static_cast<double>(C - j));
                exchange(recs[i * C + j], recs[i * C + k]);
            }
        }
    };
    const auto within_columns = [&](auto& recs, auto exchange) {
        g.restart(s.seed);
        for (A_long j = 0; j < C; ++j) {
            for (A_long i = 0; i <= R - 2; ++i) {
                const A_long k = i + static_cast<A_long>(g.unit() * static_cast<double>(R - i));
                exchange(recs[i * C + j], recs[k * C + j]);
            }
        }
    };
    const auto col_row = [](auto& a, auto& c) {
        std::swap(a.col, c.col);
        std::swap(a.row, c.row);
    };
    const auto target = [](Block& a, Block& c) { std::swap(a.target, c.target); };

    if (rw) {
        within_columns(b, col_row);
    } else {
        within_rows(b, col_row);
    }
    for (A_long i = 0; i < R; ++i) {
        for (A_long j = 0; j < C; ++j) {
            Strip& to = st[b[i * C + j].row * C + b[i * C + j].col];
            to.col = j;
            to.row = i;
        }
    }
    if (rw) {
        within_rows(st, col_row);
    } else {
        within_columns(st, col_row);
    }
    for (A_long i = 0; i < R; ++i) {
        for (A_long j = 0; j < C; ++j) {
            Block& to = b[st[i * C + j].row * C + st[i * C + j].col];
            to.col = j;
            to.row = i;
        }
    }
    if (rw) {
        within_rows(b, target);
    } else {
        within_columns(b, target);
    }
    if (rw) {
        for (A_long i = 0; i < R; ++i) {
            for (A_long j = 0; j < C; ++j) {
                for (A_long k = b[i * C + j].target + 1; k < C; ++k) b[i * C + k].x += sizes[j];
                for (A_long k = j + 1; k < C; ++k) st[i * C + k].x += sizes[st[i * C + j].col];
            }
        }
    } else {
        for (A_long j = 0; j < C; ++j) {
            for (A_long i = 0; i < R; ++i) {
                for (A_long k = b[i * C + j].target + 1; k < R; ++k) b[k * C + j].y += sizes[i];
                for (A_long k = i + 1; k < R; ++k) st[k * C + j].y += sizes[st[i * C + j].row];
            }
        }
    }
    for (A_long i = 0; i < R; ++i) {
        for (A_long j = 0; j < C; ++j) {
            const A_long p = i * C + j;
            const A_long q = rw ? i * C + b[p].target : b[p].target * C + j;
            const A_long t = b[p].row * C + b[p].col;
            RefStep step{};
            step.x0 = b[q].x;
            step.y0 = b[q].y;
            step.x1 = q % C == C - 1 ? W : b[q + 1].x;
            step.y1 = q >= (R - 1) * C ? H : b[q + C].y;
            step.dx = st[t].x - step.x0;
            step.dy = st[t].y - step.y0;
            step.x_first = flags[p];
            out.steps.push_back(step);
        }
    }
    return out;
}

inline RefLayout ref_layout(A_long W, A_long H, const Settings& s) {
    return s.split == kRowColumn ? ref_grid_layout(W, H, s) : ref_strip_layout(W, H, s);
}

inline std::pair<A_long, A_long> ref_offset(A_long dx, A_long dy, bool x_first, A_long mode,
                                            double c) {
    if (mode != kManhattan) {
        return {static_cast<A_long>(dx * c), static_cast<A_long>(dy * c)};
    }
    const std::int64_t adx = dx < 0 ? -std::int64_t{dx} : dx;
    const std::int64_t ady = dy < 0 ? -std::int64_t{dy} : dy;
    const auto m = static_cast<std::int64_t>(static_cast<double>(adx + ady) * c);
    const auto sign = [](A_long along, std::int64_t v) {
        return static_cast<A_long>(along > 0 ? v : -v);
    };
    if (x_first) {
        if (m >= adx) return {dx, sign(dy, m - adx)};
        return {sign(dx, m), 0};
    }
    if (m >= ady) return {sign(dx, m - ady), dy};
    return {0, sign(dy, m)};
}

template <class P>
P ref_blend(A_long mode, P l, P u) {
    switch (mode) {
        case 2:
        case 3:
            return BlendOp<BlendKind::add>{}(l, u);
        case 4:
            return BlendOp<BlendKind::multiply>{}(l, u);
        case 5:
            return BlendOp<BlendKind::screen>{}(l, u);
        case 6:
            return BlendOp<BlendKind::overlay>{}(l, u);
        case 7:
            return BlendOp<BlendKind::color_dodge>{}(l, u);
        case 8:
            return BlendOp<BlendKind::color_burn>{}(l, u);
        default:
            return BlendOp<BlendKind::over>{}(l, u);
    }
}

// The Color parameter at the depth of P, with the opacity as its alpha (none at 100 %).
template <class P>
P ref_color(const Settings& s) {
    using T = PixelTraits<P>;
    P c{0, T::from8(s.color.red), T::from8(s.color.green), T::from8(s.color.blue)};
    c.alpha = static_cast<typename T::Channel>(static_cast<int>(T::kFull * opacity_of(s)));
    if (completion_of(s) == 1.0) c.alpha = 0;
    return c;
}

// Draws the steps into `out` (already prepared); `blended` marks pixels that went through an
// operator at least once.
template <class P>
void ref_draw(const World& in, World& out, A_long W, A_long H, const RefLayout& layout,
              const Settings& s, std::vector<bool>* blended) {
    const double c = completion_of(s);
    const double opacity = opacity_of(s);
    const P color = ref_color<P>(s);
    for (const RefStep& st : layout.steps) {
        const auto [ox, oy] = ref_offset(st.dx, st.dy, st.x_first, s.mode, c);
        for (A_long ys = st.y0; ys < st.y1; ++ys) {
            const std::int64_t yd = std::int64_t{ys} + oy;
            if (yd < 0 || yd >= H) continue;
            for (A_long xs = st.x0; xs < st.x1; ++xs) {
                const std::int64_t xd = std::int64_t{xs} + ox;
                if (xd < 0 || xd >= W) continue;
                P src = cpx<P>(in, xs, ys);
                P& dst = px<P>(out, static_cast<A_long>(xd), static_cast<A_long>(yd));
                if (dst.alpha == 0 || c == 1.0) {
                    dst = src;
                    continue;
                }
                src.alpha = static_cast<decltype(src.alpha)>(src.alpha * opacity);
                dst = ref_blend(s.blend_mode, dst, s.overlap_mode == kFootage ? src : color);
                if (blended) (*blended)[static_cast<std::size_t>(yd * W + xd)] = true;
            }
        }
    }
}

// The output the render must leave, from the input and the output as it was before.
inline World ref_render(const World& in, const World& out_before, const Settings& s,
                        std::vector<bool>* blended = nullptr) {
    World out = out_before;
    const A_long W = in.width();
    const A_long H = in.height();
    if (blended) blended->assign(static_cast<std::size_t>(W) * H, false);
    with_pixel_of(out, [&](auto pixel) {
        using P = decltype(pixel);
        const bool copy = completion_of(s) == 0.0;
        for (A_long y = 0; y < H; ++y) {
            for (A_long x = 0; x < out.width() && (x < W || !copy); ++x) {
                px<P>(out, x, y) = copy ? cpx<P>(in, x, y) : P{};
            }
        }
        if (!copy) ref_draw<P>(in, out, W, H, ref_layout(W, H, s), s, blended);
    });
    return out;
}

inline Progress ref_progress(A_long n, bool zero_completion) {
    Progress p;
    if (!zero_completion) {
        for (A_long k = 0; k < n; ++k) p.emplace_back(k, n + 1);
    }
    p.emplace_back(n + 1, n + 1);
    return p;
}

// Renders and compares with the reference: result 0, pixels, padding, progress, no leak.
inline void expect_matches_reference(World input, World output, const Settings& s) {
    SCOPED_TRACE(s.describe() + " layer " + std::to_string(input.width()) + "x" +
                 std::to_string(input.height()) + (output.deep() ? " 16-bit" : " 8-bit"));
    const World expected = ref_render(input, output, s);
    const auto n = static_cast<A_long>(ref_layout(input.width(), input.height(), s).steps.size());
    auto host = render_host(std::move(input), std::move(output), s);
    ASSERT_EQ(host->send(PF_Cmd_RENDER), PF_Err_NONE) << host->message();
    EXPECT_EQ(host->output().first_difference(expected), "");
    EXPECT_TRUE(host->output().padding_intact());
    EXPECT_TRUE(host->input().padding_intact());
    EXPECT_EQ(host->progress_log(), ref_progress(n, s.completion == 0));
    EXPECT_EQ(host->out_data().out_flags, 0);
    EXPECT_EQ(host->message(), "");
    EXPECT_TRUE(host->problems().empty()) << sweep::join(host->problems());
}

// --- fault sweep of one Render set-up

inline void sweep_render(const std::string& label, const Settings& s, A_long w, A_long h,
                         Depth depth) {
    const PF_Pixel stale8{9, 8, 7, 6};
    const auto make = [=] {
        World in(w, h, depth, 8);
        in.fill_test_picture(true);
        World out(w, h, depth, 16);
        if (depth == Depth::eight) {
            out.fill8(stale8);
        } else {
            out.fill16(to16(stale8));
        }
        return render_host(std::move(in), std::move(out), s);
    };
    const sweep::Command run = [](SimHost& host) { return host.send(PF_Cmd_RENDER); };

    auto clean = make();
    const std::vector<std::uint8_t> before = clean->output().snapshot();
    ASSERT_EQ(run(*clean), PF_Err_NONE);
    const World drawn = clean->output();
    const Progress full_progress = clean->progress_log();
    const int allocations = clean->calls(HostFn::new_handle);

    const auto expect = [](const sweep::FaultPoint& p) -> PF_Err {
        switch (p.fn) {
            case HostFn::new_handle:
                return PF_Err_INTERNAL_STRUCT_DAMAGED;
            case HostFn::copy:
            case HostFn::fill:
            case HostFn::progress:
                return p.code;
            default:
                return PF_Err_NONE;
        }
    };
    const auto check = [&](const sweep::FaultPoint& p, PF_Err, SimHost& host) {
        const auto progress = host.progress_log();
        switch (p.fn) {
            case HostFn::new_handle: {
                EXPECT_EQ(host.message(), "Memory Error!");
                EXPECT_EQ(host.out_data().out_flags, PF_OutFlag_DISPLAY_ERROR_MESSAGE);
                EXPECT_TRUE(progress.empty());
                EXPECT_EQ(host.calls(HostFn::new_handle), p.k);
                if (p.k == 1) {
                    EXPECT_EQ(host.output().snapshot(), before);  // before the clear
                } else {
                    World cleared = drawn;
                    if (depth == Depth::eight) {
                        cleared.fill8({0, 0, 0, 0});
                    } else {
                        cleared.fill16({0, 0, 0, 0});
                    }
                    EXPECT_EQ(host.output().first_difference(cleared), "");
                }
                break;
            }
            case HostFn::copy:
            case HostFn::fill:
                EXPECT_EQ(host.output().snapshot(), before);
                EXPECT_TRUE(progress.empty());
                EXPECT_EQ(host.calls(HostFn::new_handle), 1);
                EXPECT_EQ(host.message(), "");
                EXPECT_EQ(host.out_data().out_flags, 0);
                break;
            case HostFn::progress:
                EXPECT_EQ(progress, Progress(full_progress.begin(), full_progress.begin() + p.k));
                EXPECT_EQ(host.output().first_difference(drawn), "");
                break;
            default:
                EXPECT_EQ(progress, full_progress);
                EXPECT_EQ(host.output().first_difference(drawn), "");
                EXPECT_EQ(host.calls(HostFn::new_handle), allocations);
                break;
        }
        EXPECT_TRUE(host.output().padding_intact());
    };
    const int points = sweep::run(label, make, run, expect, check);
    EXPECT_GT(points, 0);
}

}  // namespace rendertest
