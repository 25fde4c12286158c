// Draws one moved block into the output world, resolving overlaps with the blend operators.
//
// What an overlap does is fixed for the whole render, so it is chosen once (with_overlap_rule)
// as one of a few rules, each a type with its own row loop: the blend operator is a template
// argument compiled into the loop, never a call through a pointer per pixel.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "composite/blend_lanes.h"
#include "composite/blend_ops.h"
#include "composite/onto_opaque.h"
#include "composite/opacity_scale.h"
#include "composite/pixel_traits.h"
#include "composite/row_cover.h"
#include "composite/stream_copy.h"
#include "host/ae_api.h"
#include "layout/block_grid.h"
#include "layout/block_motion.h"

// The rectangle of the output a drawing writes: [x0, x1) x [y0, y1), rows counted from the top.
struct DrawWindow {
    std::int32_t x0, y0, x1, y1;
};

// Pixels of 8-bit channels, in either channel order.
template <class Pixel>
inline constexpr bool kBytePixel = sizeof(Pixel) == 4;

// Where the pixels are, fixed for the whole render.
template <class Pixel>
struct PixelStage {
    // Pixel bases as bytes: rows are rowbytes apart, which need not be whole pixels.
    const std::uint8_t* in;
    std::uint8_t* out;
    std::ptrdiff_t in_rowbytes;
    std::ptrdiff_t out_rowbytes;
    A_long width;
    A_long height;
    // The frame is beyond the caches: long rows that are only written are streamed to memory.
    bool stream_rows;
    // Only these output pixels are written; every block is clipped to them.
    DrawWindow window;
    // A source not held in the drawing's own form (other sample range, premultiplied colour)
    // has each row of a block made so in `row_buffer`, a row of the frame's width, as it is
    // drawn: every source pixel is read once, and no copy of the frame is made.
    // It asks for the source's lines `ahead` bytes on as it goes (0: none).
    void (*load_row)(const std::uint8_t* from, Pixel* into, std::size_t count,
                     std::ptrdiff_t ahead) = nullptr;
    Pixel* row_buffer = nullptr;
    // An output held in another form, drawn in place from the top down: each stretch taken
    // goes back to that form once it is known to hide what lies below.
    void (*finish_row)(Pixel* row, std::size_t count) = nullptr;
    // Set where the drawing clears the window itself: what each row has written so far.
    RowCover* cover = nullptr;
    // With a cover: the steps are drawn from the last one back where the rule allows
    // (draws_top_down), each claiming what it hides of the blocks below.
    bool top_down = false;
};

// The parameters that decide what an overlap does, in the render's depth.
template <class Pixel>
struct OverlapSettings {
    bool completed;  // completion exactly 1.0: every pixel is a plain copy
    bool footage;    // overlap mode "Footage", else the flat colour
    BlendKind kind;  // the Blend Mode's operator
    double opacity;
    Pixel color;  // the flat colour, its alpha already scaled by the opacity
};

// Footage through "Normal" at full opacity, short of Completion 100 %: over returns an opaque
// block pixel as it is, which hides whatever lies below it.
template <class Pixel>
bool opaque_footage_hides(const OverlapSettings<Pixel>& s) {
    return !s.completed && s.footage && s.kind == BlendKind::over && s.opacity == 1.0;
}

constexpr std::size_t kFreeChunk = 8;

// True when any of the kFreeChunk pixels from p has an alpha other than 0; the words are folded
// with OR, which the compiler runs many at once.
template <class Pixel>
inline bool chunk_occupied(const Pixel* p) {
    typename PixelTraits<Pixel>::Word any = 0;
    for (std::size_t k = 0; k < kFreeChunk; ++k) any |= load_word(p + k);
    return (any & PixelTraits<Pixel>::kAlphaBits) != 0;
}

// End of the run of free pixels (alpha 0) starting at x; whole chunks first, so the common
// case of a block landing on cleared output takes one test per eight pixels.
template <class Pixel>
inline std::size_t free_run_end(const Pixel* dst, std::size_t x, std::size_t run) {
    while (x + kFreeChunk <= run && !chunk_occupied(dst + x)) x += kFreeChunk;
    while (x < run && dst[x].alpha == 0) ++x;
    return x;
}

// End of the stretch starting at x that holds an occupied pixel in every chunk of eight: where
// the next wholly free chunk starts, or the end of the run.
template <class Pixel>
inline std::size_t busy_run_end(const Pixel* dst, std::size_t x, std::size_t run) {
    while (x + kFreeChunk <= run) {
        if (!chunk_occupied(dst + x)) return x;
        x += kFreeChunk;
    }
    return run;
}

// Each pixel of the row: the source where the output is free, otherwise `occupied` of the
// output word. No branch, so the compiler runs it on many pixels at once.
template <class Pixel, class Occupied>
inline void select_row(Pixel* dst, const Pixel* src, std::size_t run, Occupied occupied) {
    for (std::size_t x = 0; x < run; ++x) {
        const auto d = load_word(dst + x);
        const auto s = load_word(src + x);
        store_word(dst + x, (d & PixelTraits<Pixel>::kAlphaBits) == 0 ? s : occupied(d));
    }
}

// Asks for the cache lines of a row ahead of their use.
inline void prefetch_row(const std::uint8_t* row, std::size_t bytes) {
    constexpr std::size_t kLine = 64;
    for (std::size_t at = 0; at < bytes; at += kLine) __builtin_prefetch(row + at);
    __builtin_prefetch(row + bytes - 1);
}

// Where the rows a few rows below the drawn one are, from the drawn one's pixels: their cache
// lines are asked for while this row is drawn, as the hardware does not guess a row stride from
// rows this short. Zero on the block's last rows, which have no such rows.
using RowAhead = onto_opaque::Ahead;

// The lines of both rows at once, at the start of a row: what plain copies want.
template <class Pixel>
inline void prefetch_rows(const Pixel* dst, const Pixel* src, std::size_t run, RowAhead ahead) {
    if (ahead.src_bytes == 0) return;
    prefetch_row(reinterpret_cast<const std::uint8_t*>(src) + ahead.src_bytes, run * sizeof(Pixel));
    prefetch_row(reinterpret_cast<const std::uint8_t*>(dst) + ahead.dst_bytes, run * sizeof(Pixel));
}

// How many rows ahead of the drawn one to prefetch: about 4 KiB of each stream, so that
// narrow blocks ask early enough to hide the memory's latency, and 8 KiB for rows of 1 KiB and
// more, which are worked fast enough to need it (3840x2160 8-bit grids: 20 % faster; narrow
// strips lose 8 % with 8 KiB); never fewer than two rows.
inline std::ptrdiff_t prefetch_rows_ahead(std::size_t row_bytes) {
    const std::size_t ahead_bytes = row_bytes >= 1024 ? 8192 : 4096;
    return static_cast<std::ptrdiff_t>(std::clamp<std::size_t>(ahead_bytes / row_bytes, 2, 32));
}

// A row copied chunk by chunk, asking for the lines of the row below as it goes: spread over
// the row, the requests do not queue up behind each other as a burst at the row's start does.
// A streamed row goes straight to memory, its source asked for a few rows ahead.
template <std::size_t VB, class Pixel>
inline void copy_row(Pixel* dst, const Pixel* src, std::size_t run, RowAhead ahead, bool stream) {
    if constexpr (stream_copy::kAvailable<VB>) {
        if (stream) {
            stream_copy::copy(reinterpret_cast<std::uint8_t*>(dst),
                              reinterpret_cast<const std::uint8_t*>(src), run * sizeof(Pixel),
                              ahead.src_bytes);
            return;
        }
    }
    using W = onto_opaque::Words<Pixel, VB>;
    const std::size_t rest =
        onto_opaque::map_chunks<VB>(dst, src, run, ahead, [](const W&, const W& s) { return s; });
    std::memmove(dst + run - rest, src + run - rest, rest * sizeof(Pixel));
}

// select_row chunk by chunk in the same way; `occupied` takes an output word or a vector of
// them.
template <std::size_t VB, class Pixel, class Occupied>
inline void select_row_ahead(Pixel* dst, const Pixel* src, std::size_t run, RowAhead ahead,
                             Occupied occupied) {
    using W = onto_opaque::Words<Pixel, VB>;
    const std::size_t rest =
        onto_opaque::map_chunks<VB>(dst, src, run, ahead, [&occupied](const W& d, const W& s) {
            const W free = onto_opaque::free_mask<Pixel>(d);
            return (s & free) | (occupied(d) & ~free);
        });
    select_row(dst + run - rest, src + run - rest, rest, occupied);
}

// Completion 100 %: every pixel is copied, whatever lies below.
template <class Pixel>
struct CopyRule {
    template <std::size_t VB>
    void row(Pixel* dst, const Pixel* src, std::size_t run, RowAhead ahead, bool stream) {
        copy_row<VB>(dst, src, run, ahead, stream);
    }
    bool top_down() const { return true; }
    template <std::size_t VB>
    bool covers(const Pixel*, std::size_t) const {
        return true;
    }
};

// An incoming alpha of 0 everywhere (Opacity near 0, or the colour fully transparent): every
// operator returns the lower pixel, so only free pixels change.
template <class Pixel>
struct KeepRule {
    template <std::size_t VB>
    void row(Pixel* dst, const Pixel* src, std::size_t run, RowAhead ahead, bool) {
        select_row_ahead<VB>(dst, src, run, ahead, [](const auto& d) { return d; });
    }
};

// "Color" through "Normal" with a full-alpha colour: the over operator returns the colour.
template <class Pixel>
struct FlatColorRule {
    Pixel color;
    template <std::size_t VB>
    void row(Pixel* dst, const Pixel* src, std::size_t run, RowAhead ahead, bool) {
        const auto c = __builtin_bit_cast(typename PixelTraits<Pixel>::Word, color);
        // The colour as a word, or spread over a vector of words.
        select_row_ahead<VB>(dst, src, run, ahead,
                             [c](const auto& d) { return std::remove_cvref_t<decltype(d)>{} + c; });
    }
};

// The incoming pixel of an overlap: the footage pixel as it is.
struct FootageAsIs {
    template <class Pixel>
    Pixel operator()(Pixel source) const {
        return source;
    }
    lanes::Px lane(lanes::Px source) const { return source; }
};

// The footage pixel with its alpha scaled by the opacity.
template <class Pixel>
struct FootageScaled {
    OpacityScale<Pixel> scale;
    Pixel operator()(Pixel source) {
        source.alpha = scale(source.alpha);
        return source;
    }
    lanes::Px lane(lanes::Px source) {
        source.a = scale(static_cast<typename PixelTraits<Pixel>::Channel>(source.a));
        return source;
    }
};

// The flat colour, whatever the footage.
template <class Pixel>
struct FlatColor {
    Pixel color;
    Pixel operator()(Pixel) const { return color; }
    lanes::Px lane(lanes::Px) const {
        return {float(color.alpha), float(color.red), float(color.green), float(color.blue)};
    }
};

// An overlap through an operator, with the incoming pixel that `Upper` makes of the footage or
// of the flat colour.
template <class Pixel, class Op, class Upper>
struct BlendRule {
    Op op;
    Upper upper;
    // Footage through "Normal" at full opacity: a full-alpha pixel simply covers the lower one,
    // which is what the over operator returns for it.
    bool plain_cover;

    // A plain cover's full-alpha pixels hide what lies below them.
    bool top_down() const { return plain_cover; }
    template <std::size_t VB>
    bool covers(const Pixel* p, std::size_t n) const {
        return onto_opaque::all_full_alpha<VB>(p, n);
    }

    template <std::size_t VB>
    void row(Pixel* dst, const Pixel* src, std::size_t run, RowAhead ahead, bool stream) {
        // A row of opaque footage is tested and copied whole when it is short or streamed. A
        // long one in a frame that stays in the caches is covered faster in the one pass of the
        // kernel below, with the same pixels: over a full upper alpha returns the upper pixel.
        const bool cover_by_copy =
            plain_cover && (stream || run * sizeof(Pixel) < kCoverByKernelBytes);
        const bool opaque_footage =
            (cover_by_copy || kUniformAlpha) && onto_opaque::all_full_alpha<VB>(src, run);
        if (cover_by_copy && opaque_footage) {
            copy_row<VB>(dst, src, run, ahead, stream);
            return;
        }
        if constexpr (kOntoOpaque) {
            blend_onto_opaque<VB>(dst, src, run, opaque_footage, ahead);
        } else {
            blend_color_row(dst, src, run, ahead);
        }
    }

    // The flat colour through an operator other than a plain cover: free runs are copied
    // whole, occupied pixels go through the operator.
    void blend_color_row(Pixel* dst, const Pixel* src, std::size_t run, RowAhead ahead) {
        prefetch_rows(dst, src, run, ahead);
        // Within one step every destination pixel is visited once, so a pixel's state before
        // the step decides.
        std::size_t x = 0;
        while (x < run) {
            const std::size_t free_end = free_run_end(dst, x, run);
            if (free_end > x) {
                std::memmove(dst + x, src + x, (free_end - x) * sizeof(Pixel));
                x = free_end;
                continue;
            }
            if constexpr (kBytePixel<Pixel>) {
                const std::size_t end = busy_run_end(dst, x, run);
                blend_stretch(dst + x, src + x, end - x);
                x = end;
            } else {
                for (; x < run && dst[x].alpha != 0; ++x) dst[x] = op(dst[x], upper(src[x]));
            }
        }
    }

    // The footage's own pixels, under every operator: the output is nearly always free or
    // opaque there, which the narrow kernels work whole.
    static constexpr bool kOntoOpaque = !std::is_same_v<Upper, FlatColor<Pixel>>;
    static constexpr std::size_t kCoverByKernelBytes = kOntoOpaque ? 2048 : SIZE_MAX;
    // Footage scaled by the opacity: an opaque row takes one incoming alpha, not a lookup per
    // pixel.
    static constexpr bool kUniformAlpha = kOntoOpaque && !std::is_same_v<Upper, FootageAsIs>;

    template <std::size_t VB>
    void blend_onto_opaque(Pixel* dst, const Pixel* src, std::size_t run, bool opaque_footage,
                           RowAhead ahead) {
        // The kernels ask for the lines below chunk by chunk: spread over the row, the requests
        // do not queue up behind each other.
        // The kernels hand over words in the alpha-first layout.
        using T = PixelTraits<AlphaFirstOf<Pixel>>;
        // The rule's own incoming pixel, not a copy: rows can be a few pixels long, and the
        // 8-bit opacity table is longer than that.
        Upper& up = upper;
        const auto general = [&](Pixel* d, const Pixel* s, std::size_t n) {
            if constexpr (kBytePixel<Pixel>) {
                blend_lanes(d, s, n, [&up](lanes::Px p) { return up.lane(p); });
            } else {
                for (std::size_t i = 0; i < n; ++i) {
                    d[i] = d[i].alpha == 0 ? s[i] : op(d[i], up(s[i]));
                }
            }
        };
        using W = onto_opaque::Words<Pixel, VB>;
        if (opaque_footage) {
            // One incoming alpha for the whole row.
            const auto ua = static_cast<typename T::Word>(
                up(make_pixel<Pixel>(static_cast<typename T::Channel>(T::kFull), 0, 0, 0)).alpha);
            onto_opaque::blend_row<Op::kind, VB>(
                dst, src, run, ahead, [ua](const W&, W& out) { out = W{} + ua; }, general);
            return;
        }
        if constexpr (std::is_same_v<Upper, FootageAsIs>) {
            onto_opaque::blend_row<Op::kind, VB>(
                dst, src, run, ahead, [](const W& s, W& out) { out = s & T::kAlphaBits; }, general);
        } else {
            onto_opaque::blend_row<Op::kind, VB>(
                dst, src, run, ahead,
                [&up](const W& s, W& out) {
                    for (std::size_t k = 0; k < sizeof(W) / sizeof(typename T::Word); ++k) {
                        const Pixel p = make_pixel<Pixel>(
                            static_cast<typename T::Channel>(s[k] & T::kAlphaBits), 0, 0, 0);
                        out[k] = up(p).alpha;
                    }
                },
                general);
        }
    }

    void blend_stretch(Pixel* dst, const Pixel* src, std::size_t n) {
        const Upper up = upper;
        blend_lanes(dst, src, n, [&up](lanes::Px s) { return up.lane(s); });
    }

    // Every pixel of the stretch, free ones included, without a branch: the compiler runs
    // the loop on many pixels at once, which pays even for the few free pixels among them.
    // The lanes take words in the alpha-first layout, alpha in the low byte.
    template <class Lane>
    static void blend_lanes(Pixel* dst, const Pixel* src, std::size_t n, Lane lane) {
        static_assert(kBytePixel<Pixel>);
        for (std::size_t x = 0; x < n; ++x) {
            const std::uint32_t d = alpha_first_word<Pixel>(load_word(dst + x));
            const std::uint32_t s = alpha_first_word<Pixel>(load_word(src + x));
            const lanes::Px r = lanes::blend<Op::kind>(lanes::unpack(d), lane(lanes::unpack(s)));
            const std::uint32_t free = -static_cast<std::uint32_t>((d & 0xFF) == 0);
            store_word(dst + x, alpha_in_place_word<Pixel>((s & free) | (lanes::pack(r) & ~free)));
        }
    }
};

template <class Pixel, class Op, class Upper>
BlendRule<Pixel, Op, Upper> blend_rule(Op op, Upper upper, bool plain_cover) {
    return BlendRule<Pixel, Op, Upper>{op, upper, plain_cover};
}

// Calls f with the blend rule of operator op for the render's settings, which call for one.
template <class Pixel, class Op, class F>
decltype(auto) with_blend_rule(const OverlapSettings<Pixel>& s, Op op, F&& f) {
    if (!s.footage) return f(blend_rule<Pixel>(op, FlatColor<Pixel>{s.color}, false));
    if (s.opacity == 1.0) {
        return f(blend_rule<Pixel>(op, FootageAsIs{},
                                   Op::kind == BlendKind::over && opaque_footage_hides(s)));
    }
    return f(blend_rule<Pixel>(op, FootageScaled<Pixel>{OpacityScale<Pixel>(s.opacity)}, false));
}

// Calls plain with the rule of the render's settings where it needs no operator, else blended
// with the operator: each operator's rules can then be built apart.
template <class Pixel, class Plain, class Blended>
decltype(auto) with_overlap_rule(const OverlapSettings<Pixel>& s, Plain&& plain,
                                 Blended&& blended) {
    constexpr auto kFull = PixelTraits<Pixel>::kFull;
    if (s.completed) return plain(CopyRule<Pixel>{});
    if (!s.footage) {
        if (s.color.alpha == 0) return plain(KeepRule<Pixel>{});
        if (s.kind == BlendKind::over && s.color.alpha == kFull) {
            return plain(FlatColorRule<Pixel>{s.color});
        }
    } else if (s.opacity != 1.0 && OpacityScale<Pixel>(s.opacity).all_zero()) {
        return plain(KeepRule<Pixel>{});
    }
    return with_blend_op(s.kind, blended);
}

// Calls f with the rule of the render's settings.
template <class Pixel, class F>
decltype(auto) with_overlap_rule(const OverlapSettings<Pixel>& s, F&& f) {
    return with_overlap_rule(s, f, [&](auto op) { return with_blend_rule(s, op, f); });
}

template <class Pixel>
inline constexpr bool kRealPixel = std::is_floating_point_v<typename PixelTraits<Pixel>::Channel>;

// One row of a block through the rule, its source first made the drawing's own form where the
// stage says so.
template <std::size_t VB, class Pixel, class Rule>
void draw_run(const PixelStage<Pixel>& stage, Rule& rule, Pixel* dst, const Pixel* src,
              std::size_t run, RowAhead ahead, bool stream) {
    if (stage.load_row != nullptr) {
        // The source's rows ahead are asked for by the loader: the rule reads the row buffer,
        // not the frame.
        stage.load_row(reinterpret_cast<const std::uint8_t*>(src), stage.row_buffer, run,
                       ahead.src_bytes);
        src = stage.row_buffer;
        ahead = RowAhead{0, 0};
    }
    rule.template row<VB>(dst, src, run, ahead, stream);
}

// Whether the rule can draw from the top down: its covers<VB>(pixels, n) then says whether
// pixels it draws hide whatever lies below them.
template <class Rule>
bool draws_top_down(const Rule& rule) {
    if constexpr (requires { rule.top_down(); }) {
        return rule.top_down();
    } else {
        return false;
    }
}

// Copies the block's pixels to their moved place; where the output already holds a pixel
// (alpha not 0) the rule decides. With a cover, stretches no block has written yet take the
// block's pixels as they are; from the top down, only those.
template <std::size_t VB = 16, class Pixel, class Rule>
void draw_block(const PixelStage<Pixel>& stage, Rule& rule, const BlockExtent& source,
                Offset offset) {
    // Clip the source rectangle to the rows and columns whose destination is inside the window.
    const DrawWindow& w = stage.window;
    const std::int64_t ys_begin = std::max<std::int64_t>(source.y0, std::int64_t{w.y0} - offset.y);
    const std::int64_t ys_end = std::min<std::int64_t>(source.y1, std::int64_t{w.y1} - offset.y);
    const std::int64_t xs_begin = std::max<std::int64_t>(source.x0, std::int64_t{w.x0} - offset.x);
    const std::int64_t xs_end = std::min<std::int64_t>(source.x1, std::int64_t{w.x1} - offset.x);
    if (ys_begin >= ys_end || xs_begin >= xs_end) return;

    const std::size_t run = static_cast<std::size_t>(xs_end - xs_begin);
    const std::size_t bytes = run * sizeof(Pixel);
    const std::ptrdiff_t ahead = prefetch_rows_ahead(bytes);
    const bool stream =
        stream_copy::kAvailable<VB> && stage.stream_rows && bytes >= stream_copy::kMinRowBytes;
    // Rows ahead are asked for up to the block's end in the frame, past the window's: the next
    // part or band of the window goes on with them.
    const std::int64_t ahead_end =
        std::min<std::int64_t>(source.y1, std::int64_t{stage.height} - offset.y);
    // Each row of the block, through draw_row(frame row, source, output, ahead).
    const auto each_row = [&](auto&& draw_row) {
        for (std::int64_t ys = ys_begin; ys < ys_end; ++ys) {
            const Pixel* src =
                reinterpret_cast<const Pixel*>(stage.in + ys * stage.in_rowbytes) + xs_begin;
            Pixel* dst =
                reinterpret_cast<Pixel*>(stage.out + (ys + offset.y) * stage.out_rowbytes) +
                xs_begin + offset.x;
            const bool due = ys + ahead < ahead_end;
            draw_row(ys + offset.y, src, dst,
                     RowAhead{due ? ahead * stage.in_rowbytes : 0,
                              due ? ahead * stage.out_rowbytes : 0});
        }
    };
    if (stage.cover == nullptr) [[likely]] {
        each_row([&](std::int64_t, const Pixel* src, Pixel* dst, RowAhead row_ahead) {
            draw_run<VB>(stage, rule, dst, src, run, row_ahead, stream);
        });
        if (stream) stream_copy::settle();
        return;
    }
    // The block's pixels where nothing lies below them yet, in the drawing's own form.
    const auto take = [&](Pixel* dst, const Pixel* src, std::size_t n, RowAhead row_ahead) {
        if (stage.load_row != nullptr) {
            stage.load_row(reinterpret_cast<const std::uint8_t*>(src), dst, n, row_ahead.src_bytes);
        } else if constexpr (kRealPixel<Pixel>) {
            if (stream) {
                stream_copy::copy(reinterpret_cast<std::uint8_t*>(dst),
                                  reinterpret_cast<const std::uint8_t*>(src), n * sizeof(Pixel),
                                  row_ahead.src_bytes);
            } else {
                std::memcpy(dst, src, n * sizeof(Pixel));
            }
        } else {
            copy_row<VB>(dst, src, n, row_ahead, stream);
        }
    };
    const auto from = static_cast<std::int32_t>(xs_begin + offset.x);
    if constexpr (requires { rule.template covers<VB>(nullptr, 0); }) {
        if (stage.top_down) {
            each_row([&](std::int64_t y, const Pixel* src, Pixel* dst, RowAhead row_ahead) {
                // Pixels made the drawing's own form are tested as made; others before they
                // are copied.
                const auto hides = [&](std::int32_t a, std::int32_t b) {
                    const auto at = static_cast<std::size_t>(a - from);
                    const auto n = static_cast<std::size_t>(b - a);
                    if (stage.load_row == nullptr && !rule.template covers<VB>(src + at, n)) {
                        return false;
                    }
                    take(dst + at, src + at, n, row_ahead);
                    if (stage.load_row != nullptr && !rule.template covers<VB>(dst + at, n)) {
                        return false;
                    }
                    if (stage.finish_row != nullptr) stage.finish_row(dst + at, n);
                    return true;
                };
                stage.cover->claim(static_cast<std::int32_t>(y), from,
                                   from + static_cast<std::int32_t>(run), hides);
            });
            if (stream) stream_copy::settle();
            return;
        }
    }
    each_row([&](std::int64_t y, const Pixel* src, Pixel* dst, RowAhead row_ahead) {
        stage.cover->write(
            static_cast<std::int32_t>(y), from, from + static_cast<std::int32_t>(run),
            [&](std::int32_t a, std::int32_t b, bool fresh) {
                const auto at = static_cast<std::size_t>(a - from);
                const auto n = static_cast<std::size_t>(b - a);
                if (fresh) {
                    take(dst + at, src + at, n, row_ahead);
                } else {
                    draw_run<VB>(stage, rule, dst + at, src + at, n, row_ahead, stream);
                }
            },
            [&](std::int32_t a, std::int32_t b) {
                std::memset(dst + (a - from), 0, static_cast<std::size_t>(b - a) * sizeof(Pixel));
            });
    });
    if (stream) stream_copy::settle();
}

// The same drawing built for 32-byte vectors (AVX2) where the processor has them, chosen at
// run time once per render: the pixels are the same, the loops take twice the pixels at once.
#if defined(__x86_64__) || defined(__i386__)
template <class Pixel, class Rule>
[[gnu::target("avx2"), gnu::flatten]] void draw_block_wide(const PixelStage<Pixel>& stage,
                                                           Rule& rule, const BlockExtent& source,
                                                           Offset offset) {
    draw_block<32>(stage, rule, source, offset);
}

inline bool wide_vectors_available() {
    return __builtin_cpu_supports("avx2");
}
#else
template <class Pixel, class Rule>
void draw_block_wide(const PixelStage<Pixel>& stage, Rule& rule, const BlockExtent& source,
                     Offset offset) {
    draw_block(stage, rule, source, offset);
}

inline bool wide_vectors_available() {
    return false;
}
#endif
