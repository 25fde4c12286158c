// The OpenFX bundle loaded from disk by the test host and run as hosts run it: both contexts,
// both integer depths, rows bottom-up with negative and padded row bytes, bounds off the origin,
// premultiplied clips, render scales, two threads, and bad input. Built natively it checks every
// output against the command-line renderer; built for Windows it checks the Windows bundle's
// outputs against those the native build wrote.
//
//   usage: zx_ofx_host_test BINARY.ofx [--write OUTCOMES | --expect OUTCOMES]
#include "tests/ofx/ofx_host.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "embed/sample16.h"
#include "host/effect_info.h"
#include "ofx/ofx_api.h"
#include "params/param_table.h"
#include "tests/ofx/ofx_prop_facts.h"

#if defined(ZX_WITH_CLI)
#include <unistd.h>

#include <filesystem>

#include "cli/png_io.h"
#include "cli/tool.h"
#include "composite/blend_ops.h"
#include "params/param_ids.h"
#include "simhost/embedded_transition.h"
#endif

using namespace zx::ofxtest;

namespace {

int g_failures = 0;

void expect(bool ok, const std::string& what) {
    if (!ok) {
        ++g_failures;
        std::cerr << "FAILED: " << what << "\n";
    }
}

// RGBA samples, top row first: 0..255, or 0..65535 when deep, or float bits when real.
struct Picture {
    int w = 0;
    int h = 0;
    bool deep = false;
    std::vector<std::uint32_t> s;
    bool real = false;
    std::uint32_t& at(int x, int y, int c) {
        return s[(static_cast<std::size_t>(y) * static_cast<std::size_t>(w) +
                  static_cast<std::size_t>(x)) *
                     4 +
                 static_cast<std::size_t>(c)];
    }
    bool operator==(const Picture&) const = default;
};

Picture make_picture(int w, int h, bool deep, std::uint32_t salt = 0) {
    Picture p{w, h, deep, std::vector<std::uint32_t>(static_cast<std::size_t>(w * h) * 4)};
    const std::uint32_t full = deep ? 65535 : 255;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const std::uint32_t k =
                static_cast<std::uint32_t>(x * 131 + y * 977 + x * y * 7) + salt;
            p.at(x, y, 0) = (k * 2654435761u >> 7) % (full + 1);
            p.at(x, y, 1) = (static_cast<std::uint32_t>(x) * full) / static_cast<std::uint32_t>(w);
            p.at(x, y, 2) = (static_cast<std::uint32_t>(y) * full) / static_cast<std::uint32_t>(h);
            const int band =
                static_cast<int>((static_cast<std::uint32_t>(x / 7 + y / 5) + salt) % 4);
            p.at(x, y, 3) = band == 0 ? 0 : band == 1 ? full : (k * 40503u >> 5) % (full + 1);
        }
    }
    return p;
}

float real_at(const Picture& p, std::size_t i) {
    float v;
    std::memcpy(&v, &p.s[i], sizeof v);
    return v;
}

void set_real(Picture& p, std::size_t i, float v) {
    std::memcpy(&p.s[i], &v, sizeof v);
}

// The 16-bit picture's channels as float, k / 32768.
Picture real_picture(const Picture& deep) {
    Picture p = deep;
    p.deep = false;
    p.real = true;
    for (std::size_t i = 0; i < p.s.size(); ++i) {
        set_real(p, i, zx::embed::png16_to_channel(deep.s[i]) / 32768.0f);
    }
    return p;
}

// Colour no greater than alpha, as premultiplied pictures have it.
Picture premultiplied(Picture p) {
    if (p.real) {
        for (std::size_t i = 0; i < p.s.size(); i += 4) {
            for (std::size_t c = 0; c < 3; ++c) {
                set_real(p, i + c, real_at(p, i + c) * real_at(p, i + 3));
            }
        }
        return p;
    }
    const double full = p.deep ? 65535 : 255;
    for (std::size_t i = 0; i < p.s.size(); i += 4) {
        for (int c = 0; c < 3; ++c) {
            p.s[i + static_cast<std::size_t>(c)] = static_cast<std::uint32_t>(
                std::floor(p.s[i + static_cast<std::size_t>(c)] * (p.s[i + 3] / full)));
        }
    }
    return p;
}

struct Layout {
    std::string name;
    int x1 = 0;
    int y1 = 0;
    int pad = 0;
    bool negative = false;
};

const std::vector<Layout> kLayouts = {
    {"plain", 0, 0, 0, false},
    {"negative", 0, 0, 0, true},
    {"padded", 0, 0, 24, false},
    {"offset", 13, -7, 8, true},
};

constexpr std::uint8_t kFill = 0xA5;

std::shared_ptr<TestImage> make_image(const Picture& p, const Layout& l, bool blank = false) {
    auto img = std::make_shared<TestImage>();
    img->depth = p.real ? kOfxBitDepthFloat : p.deep ? kOfxBitDepthShort : kOfxBitDepthByte;
    const int bpp = p.real ? 16 : p.deep ? 8 : 4;
    const int row = p.w * bpp + l.pad;
    img->storage.assign(static_cast<std::size_t>(row * p.h), kFill);
    img->bounds = {l.x1, l.y1, l.x1 + p.w, l.y1 + p.h};
    img->row_bytes = l.negative ? -row : row;
    img->data =
        img->storage.data() + (l.negative ? static_cast<std::ptrdiff_t>(row) * (p.h - 1) : 0);
    if (blank) return img;
    for (int k = 0; k < p.h; ++k) {
        std::uint8_t* dst = img->data + static_cast<std::ptrdiff_t>(k) * img->row_bytes;
        const int y = p.h - 1 - k;  // OFX rows run bottom-up
        for (int x = 0; x < p.w; ++x) {
            for (int c = 0; c < 4; ++c) {
                const std::uint32_t v = const_cast<Picture&>(p).at(x, y, c);
                if (p.real) {
                    std::memcpy(dst + x * 16 + c * 4, &v, 4);
                } else if (p.deep) {
                    const auto v16 = static_cast<std::uint16_t>(v);
                    std::memcpy(dst + x * 8 + c * 2, &v16, 2);
                } else {
                    dst[x * 4 + c] = static_cast<std::uint8_t>(v);
                }
            }
        }
    }
    return img;
}

Picture read_image(const TestImage& img, bool deep) {
    Picture p{img.bounds.x2 - img.bounds.x1, img.bounds.y2 - img.bounds.y1, deep, {}};
    p.real = img.depth == kOfxBitDepthFloat;
    p.deep = deep && !p.real;
    p.s.resize(static_cast<std::size_t>(p.w * p.h) * 4);
    for (int k = 0; k < p.h; ++k) {
        const std::uint8_t* src = img.data + static_cast<std::ptrdiff_t>(k) * img.row_bytes;
        for (int x = 0; x < p.w; ++x) {
            for (int c = 0; c < 4; ++c) {
                std::uint32_t v = 0;
                if (p.real) {
                    std::memcpy(&v, src + x * 16 + c * 4, 4);
                } else if (deep) {
                    std::uint16_t v16 = 0;
                    std::memcpy(&v16, src + x * 8 + c * 2, 2);
                    v = v16;
                } else {
                    v = src[x * 4 + c];
                }
                p.at(x, p.h - 1 - k, c) = v;
            }
        }
    }
    return p;
}

// The bytes of each row's padding, which a render must leave alone.
bool padding_untouched(const TestImage& img) {
    const int bpp = img.depth == kOfxBitDepthFloat ? 16 : img.depth == kOfxBitDepthShort ? 8 : 4;
    const int width = img.bounds.x2 - img.bounds.x1;
    const int row = std::abs(img.row_bytes);
    for (int k = 0; k < img.bounds.y2 - img.bounds.y1; ++k) {
        const std::uint8_t* r = img.data + static_cast<std::ptrdiff_t>(k) * img.row_bytes;
        for (int i = width * bpp; i < row; ++i) {
            if (r[i] != kFill) return false;
        }
    }
    return true;
}

std::uint64_t digest(const Picture& p) {
    std::uint64_t h = 1469598103934665603ull;
    for (std::uint32_t v : p.s) {
        for (int i = 0; i < 4; ++i) {
            h ^= (v >> (8 * i)) & 0xFF;
            h *= 1099511628211ull;
        }
    }
    return h;
}

// Parameter values as the host holds them, and the same as command-line options.
struct Settings {
    std::string name;
    int mode = 0;
    double completion = 40;
    int split = 0;
    int row = 6, strip_height = 100, column = 8, strip_width = 100, seed = 0;
    int overlap = 0;
    std::array<double, 3> color{1, 0, 0};
    int blend = 0;
    double opacity = 100;
};

const std::vector<Settings> kSettings = {
    {"defaults40", 0, 40, 0, 6, 100, 8, 100, 0, 0, {1, 0, 0}, 0, 100},
    {"colour", 1, 62.5, 1, 3, 100, 8, 30, 5, 1, {0.2, 0.6, 1.0}, 2, 70},
    {"strips", 0, 85, 2, 6, 12, 5, 100, 11, 0, {1, 0, 0}, 3, 55},
};

void apply(Effect* inst, const Settings& s, bool with_completion = true) {
    const std::map<std::string, std::vector<double>> values = {
        {"mode", {double(s.mode)}},
        {"split", {double(s.split)}},
        {"row", {double(s.row)}},
        {"stripHeight", {double(s.strip_height)}},
        {"column", {double(s.column)}},
        {"stripWidth", {double(s.strip_width)}},
        {"seed", {double(s.seed)}},
        {"overlapMode", {double(s.overlap)}},
        {"color", {s.color[0], s.color[1], s.color[2]}},
        {"blendMode", {double(s.blend)}},
        {"opacity", {s.opacity}},
    };
    for (const auto& [name, v] : values) {
        Param* p = inst->param(name);
        expect(p != nullptr, "parameter " + name);
        if (p) p->value = v;
    }
    if (with_completion) {
        Param* p = inst->param("completion");
        expect(p != nullptr, "parameter completion");
        if (p) p->value = {s.completion};
    }
}

std::map<std::string, std::uint64_t> g_outcomes;

void record(const std::string& name, const Picture& p) {
    g_outcomes[name] = digest(p);
}

#if defined(ZX_WITH_CLI)
std::filesystem::path g_temp;

std::string number(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

std::string hex_color(const std::array<double, 3>& c) {
    char text[16];
    std::snprintf(text, sizeof text, "%02lX%02lX%02lX", std::lround(c[0] * 255),
                  std::lround(c[1] * 255), std::lround(c[2] * 255));
    return text;
}

// The command-line renderer's output for `in` with the same values.
Picture cli_render(const Picture& in, const Settings& s, double completion,
                   const std::string& downsample = "1/1") {
    zx::cli::Image image = zx::cli::Image::blank(in.w, in.h, in.deep ? 16 : 8);
    for (int y = 0; y < in.h; ++y) {
        for (int x = 0; x < in.w; ++x) {
            for (int c = 0; c < 4; ++c)
                image.set_sample(x, y, c, const_cast<Picture&>(in).at(x, y, c));
        }
    }
    const std::string in_path = (g_temp / "in.png").string();
    const std::string out_path = (g_temp / "out.png").string();
    zx::cli::write_png(in_path, image);
    static const char* modes[] = {"manhattan", "euclidean"};
    static const char* splits[] = {"row-column", "row-width", "height-column"};
    static const char* overlaps[] = {"footage", "color"};
    static const char* blends[] = {"normal",  "add",         "multiply",  "screen",
                                   "overlay", "color-dodge", "color-burn"};
    const std::vector<std::string> args = {"zentrilox",
                                           in_path,
                                           "-o",
                                           out_path,
                                           "--quiet",
                                           "--mode",
                                           modes[s.mode],
                                           "--completion",
                                           number(completion),
                                           "--split",
                                           splits[s.split],
                                           "--rows",
                                           std::to_string(s.row),
                                           "--strip-height",
                                           std::to_string(s.strip_height),
                                           "--columns",
                                           std::to_string(s.column),
                                           "--strip-width",
                                           std::to_string(s.strip_width),
                                           "--seed",
                                           std::to_string(s.seed),
                                           "--overlap",
                                           overlaps[s.overlap],
                                           "--color",
                                           hex_color(s.color),
                                           "--blend",
                                           blends[s.blend],
                                           "--opacity",
                                           number(s.opacity),
                                           "--downsample",
                                           downsample};
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    const int status = zx::cli::run(static_cast<int>(argv.size()), argv.data());
    expect(status == 0, "the command-line renderer ran");
    const zx::cli::Image out = zx::cli::read_png(out_path);
    Picture p{out.width, out.height, out.depth == 16, {}};
    p.s.resize(static_cast<std::size_t>(p.w * p.h) * 4);
    for (int y = 0; y < p.h; ++y) {
        for (int x = 0; x < p.w; ++x) {
            for (int c = 0; c < 4; ++c) p.at(x, y, c) = out.sample(x, y, c);
        }
    }
    return p;
}

// Straight colour from premultiplied and back as OFX hosts mean them, on the effect's channels.
Picture through_straight(const Picture& in, bool to_straight) {
    Picture p = in;
    const double full = in.deep ? 32768 : 255;
    for (std::size_t i = 0; i < p.s.size(); i += 4) {
        std::uint32_t ch[4];
        for (int c = 0; c < 4; ++c) {
            const std::uint32_t v = p.s[i + static_cast<std::size_t>(c)];
            ch[c] = in.deep ? zx::embed::png16_to_channel(v) : v;
        }
        for (int c = 0; c < 3 && ch[3] != 0; ++c) {
            const double v =
                to_straight ? std::round(ch[c] * full / ch[3]) : std::round(ch[c] * (ch[3] / full));
            ch[c] = static_cast<std::uint32_t>(std::min(v, full));
        }
        for (int c = 0; c < 4; ++c) {
            p.s[i + static_cast<std::size_t>(c)] =
                in.deep ? zx::embed::channel_to_png16(static_cast<A_u_short>(ch[c])) : ch[c];
        }
    }
    return p;
}
#endif

#if defined(ZX_WITH_CLI)
// The transition by its rule: the command line's render of the picture that moves, laid over
// the other with the effect's Normal operator.
Picture cli_transition(const Picture& from, const Picture& to, const Settings& s, double t) {
    const double pct = t * 100.0;
    const bool from_moves = pct < 50.0;
    const double completion = from_moves ? 2.0 * pct : 200.0 - 2.0 * pct;
    const Picture upper = cli_render(from_moves ? from : to, s, completion);
    Picture out = from_moves ? to : from;
    for (std::size_t i = 0; i < out.s.size(); i += 4) {
        if (out.deep) {
            const auto ch = [](std::uint32_t v) { return zx::embed::png16_to_channel(v); };
            const PF_Pixel16 l{ch(out.s[i + 3]), ch(out.s[i]), ch(out.s[i + 1]), ch(out.s[i + 2])};
            const PF_Pixel16 u{ch(upper.s[i + 3]), ch(upper.s[i]), ch(upper.s[i + 1]),
                               ch(upper.s[i + 2])};
            const PF_Pixel16 o = BlendOp<BlendKind::over>{}(l, u);
            const std::uint32_t r[4] = {o.red, o.green, o.blue, o.alpha};
            for (int c = 0; c < 4; ++c) {
                out.s[i + static_cast<std::size_t>(c)] =
                    zx::embed::channel_to_png16(static_cast<A_u_short>(r[c]));
            }
        } else {
            const auto ch = [](std::uint32_t v) { return static_cast<A_u_char>(v); };
            const PF_Pixel l{ch(out.s[i + 3]), ch(out.s[i]), ch(out.s[i + 1]), ch(out.s[i + 2])};
            const PF_Pixel u{ch(upper.s[i + 3]), ch(upper.s[i]), ch(upper.s[i + 1]),
                             ch(upper.s[i + 2])};
            const PF_Pixel o = BlendOp<BlendKind::over>{}(l, u);
            const std::uint32_t r[4] = {o.red, o.green, o.blue, o.alpha};
            for (int c = 0; c < 4; ++c) out.s[i + static_cast<std::size_t>(c)] = r[c];
        }
    }
    return out;
}
#endif

#if defined(ZX_WITH_CLI)
// The float path's own render through an embedded host with the same values, on straight
// colour when `premult` (made so and back as the plug-in does): what the plug-in must hand back
// at float, bit for bit. The float path itself is checked against the 16-bit one elsewhere.
// `t` < 0 renders the filter, else the transition from `in` to `to` at t.
Picture embed_float(const Picture& in, const Settings& s, bool premult, double t = -1,
                    const Picture* to = nullptr) {
    simhost::embedded::Host host;
    const auto color = [&](int c) { return static_cast<A_u_char>(std::lround(s.color[c] * 255)); };
    const bool ok =
        host.set_value(kParamMode, s.mode + 1) == simhost::embedded::Status::ok &&
        host.set_value(kParamCompletion, s.completion) == simhost::embedded::Status::ok &&
        host.set_value(kParamSplit, s.split + 1) == simhost::embedded::Status::ok &&
        host.set_value(kParamRow, s.row) == simhost::embedded::Status::ok &&
        host.set_value(kParamHeight, s.strip_height) == simhost::embedded::Status::ok &&
        host.set_value(kParamColumn, s.column) == simhost::embedded::Status::ok &&
        host.set_value(kParamWidth, s.strip_width) == simhost::embedded::Status::ok &&
        host.set_value(kParamSeed, s.seed) == simhost::embedded::Status::ok &&
        host.set_value(kParamOverlapMode, s.overlap + 1) == simhost::embedded::Status::ok &&
        host.set_color(kParamColor, PF_Pixel{255, color(0), color(1), color(2)}) ==
            simhost::embedded::Status::ok &&
        host.set_value(kParamBlendMode, s.blend == 0 ? 1 : s.blend + 2) ==
            simhost::embedded::Status::ok &&
        host.set_value(kParamOpacity, s.opacity) == simhost::embedded::Status::ok;
    expect(ok, "embedded host values");
    const auto straight = [&](Picture p, bool to_straight) {
        for (std::size_t i = 0; premult && i < p.s.size(); i += 4) {
            const float a = real_at(p, i + 3);
            for (std::size_t c = 0; c < 3 && a != 0.0f; ++c) {
                const float v = real_at(p, i + c);
                set_real(p, i + c, to_straight ? v / a : v * a);
            }
        }
        return p;
    };
    const Picture a = straight(in, true);
    Picture out = a;
    const simhost::embedded::FrameFormat format{in.w, in.h, simhost::embedded::Depth::float32,
                                                simhost::embedded::Channels::rgba};
    const std::ptrdiff_t row = in.w * 16;
    if (t < 0) {
        expect(host.render(format, a.s.data(), row, out.s.data(), row) ==
                   simhost::embedded::Status::ok,
               "embedded float render");
    } else {
        const Picture b = straight(*to, true);
        expect(simhost::embedded::render_transition(
                   host, format, {a.s.data(), row, b.s.data(), row, out.s.data(), row},
                   t * 100.0) == simhost::embedded::Status::ok,
               "embedded float transition");
    }
    return straight(out, false);
}
#endif

struct Run {
    OfxStatus status = kOfxStatOK;
    Picture out;
};

// One filter render of `in` laid out as `layout`; the output image has the same layout.
Run render_filter(Host& host, Effect* inst, const Picture& in, const Layout& layout,
                  bool premult = false, double scale = 1.0) {
    Clip* src = inst->clip(kOfxImageEffectSimpleSourceClipName);
    Clip* out = inst->clip(kOfxImageEffectOutputClipName);
    src->image = make_image(in, layout);
    out->image = make_image(in, layout, true);
    if (premult) {
        src->image->premultiplication = kOfxImagePreMultiplied;
        out->image->premultiplication = kOfxImagePreMultiplied;
    }
    Run run;
    run.status = host.render(inst, 0, out->image->bounds, scale);
    run.out = read_image(*out->image, in.deep);
    expect(padding_untouched(*out->image), "row padding untouched (" + layout.name + ")");
    expect(host.live_images() == 0, "every fetched image released");
    return run;
}

// One transition render at t of `from` to `to`, all three images laid out as `layout`.
Run render_transition(Host& host, Effect* inst, const Picture& from, const Picture& to,
                      const Layout& layout, double t, bool premult = false) {
    Clip* a = inst->clip(kOfxImageEffectTransitionSourceFromClipName);
    Clip* b = inst->clip(kOfxImageEffectTransitionSourceToClipName);
    Clip* out = inst->clip(kOfxImageEffectOutputClipName);
    a->image = make_image(from, layout);
    b->image = make_image(to, layout);
    out->image = make_image(from, layout, true);
    for (Clip* c : {a, b, out}) {
        c->image->premultiplication = premult ? kOfxImagePreMultiplied : kOfxImageUnPreMultiplied;
    }
    inst->param(kOfxImageEffectTransitionParamName)->value = {t};
    Run run;
    run.status = host.render(inst, 0, out->image->bounds);
    run.out = read_image(*out->image, from.deep);
    expect(padding_untouched(*out->image), "row padding untouched (" + layout.name + ")");
    expect(host.live_images() == 0, "every fetched image released");
    return run;
}

void transition_renders(Host& host, Effect* inst) {
    for (bool deep : {false, true}) {
        const Picture from = make_picture(61, 37, deep);
        const Picture to = make_picture(61, 37, deep, 12345);
        const std::string depth = deep ? "short" : "byte";
        for (double t : {0.0, 0.3, 0.5, 0.85, 1.0}) {
            const Settings& s = kSettings[1];
            apply(inst, s, false);
#if defined(ZX_WITH_CLI)
            const Picture expected = cli_transition(from, to, s, t);
#endif
            for (const Layout& layout : {kLayouts[0], kLayouts[3]}) {
                const std::string name =
                    "transition." + depth + "." + std::to_string(t) + "." + layout.name;
                const Run run = render_transition(host, inst, from, to, layout, t);
                expect(run.status == kOfxStatOK, name + ": render");
                record(name, run.out);
#if defined(ZX_WITH_CLI)
                expect(run.out == expected, name + ": the command line's renders composited");
#endif
            }
        }
        const Picture pm_from = premultiplied(from);
        const Picture pm_to = premultiplied(to);
        apply(inst, kSettings[2], false);
        const std::string name = "transition." + depth + ".premultiplied";
        const Run run = render_transition(host, inst, pm_from, pm_to, kLayouts[2], 0.3, true);
        expect(run.status == kOfxStatOK, name + ": render");
        record(name, run.out);
#if defined(ZX_WITH_CLI)
        const Picture expected =
            through_straight(cli_transition(through_straight(pm_from, true),
                                            through_straight(pm_to, true), kSettings[2], 0.3),
                             false);
        expect(run.out == expected, name + ": composited on straight colour, premultiplied");
#endif
    }
    const Picture from = real_picture(make_picture(61, 37, true));
    const Picture to = real_picture(make_picture(61, 37, true, 12345));
    for (bool premult : {false, true}) {
        const Settings& s = kSettings[premult ? 2 : 1];
        apply(inst, s, false);
        const Picture a = premult ? premultiplied(from) : from;
        const Picture b = premult ? premultiplied(to) : to;
        for (double t : {0.3, 0.5, 0.85}) {
            const std::string name =
                "transition.float." + std::to_string(t) + (premult ? ".premultiplied" : "");
            const Run run = render_transition(host, inst, a, b, kLayouts[3], t, premult);
            expect(run.status == kOfxStatOK, name + ": render");
            record(name, run.out);
#if defined(ZX_WITH_CLI)
            expect(run.out == embed_float(a, s, premult, t, &b), name + ": the float transition");
#endif
        }
    }
}

void transition_fallbacks(Host& host, Effect* inst) {
    // A missing SourceTo frame is transparent: at t = 1 what is left is SourceFrom where it
    // is not transparent.
    const Picture from = make_picture(20, 10, false);
    Clip* b = inst->clip(kOfxImageEffectTransitionSourceToClipName);
    render_transition(host, inst, from, from, kLayouts[0], 1.0);
    b->image.reset();
    Clip* out = inst->clip(kOfxImageEffectOutputClipName);
    out->image = make_image(from, kLayouts[0], true);
    expect(host.render(inst, 0, out->image->bounds) == kOfxStatOK, "no SourceTo image: rendered");
    Picture want = from;
    for (std::size_t i = 0; i < want.s.size(); i += 4) {
        if (want.s[i + 3] == 0) std::fill_n(want.s.begin() + static_cast<std::ptrdiff_t>(i), 4, 0u);
    }
    expect(read_image(*out->image, false) == want, "no SourceTo image at t = 1: SourceFrom");
    expect(host.live_images() == 0, "every fetched image released");
}

void check_description(Host& host) {
    const PropSet& d = host.descriptor();
    expect(d.get_string(kOfxPropLabel) == kEffectName, "label");
    expect(d.get_string(kOfxImageEffectPluginPropGrouping) == "Transition", "grouping");
    expect(d.get_int(kOfxPropVersion, 0) == kMajorVersion &&
               d.get_int(kOfxPropVersion, 1) == kMinorVersion &&
               d.get_string(kOfxPropVersionLabel) ==
                   std::to_string(kMajorVersion) + "." + std::to_string(kMinorVersion),
           "the effect's version");
    expect(
        d.get_string(kOfxImageEffectPropSupportedContexts, 0) == kOfxImageEffectContextFilter &&
            d.get_string(kOfxImageEffectPropSupportedContexts, 1) == kOfxImageEffectContextGeneral,
        "contexts");
    expect(d.get_string(kOfxImageEffectPropSupportedPixelDepths, 0) == kOfxBitDepthByte &&
               d.get_string(kOfxImageEffectPropSupportedPixelDepths, 1) == kOfxBitDepthShort &&
               d.get_string(kOfxImageEffectPropSupportedPixelDepths, 2) == kOfxBitDepthFloat,
           "depths");
    expect(d.get_string(kOfxImageEffectPluginRenderThreadSafety) == kOfxImageEffectRenderFullySafe,
           "thread safety");
}

void check_params(Effect* inst, bool transition) {
    const std::map<std::string, std::string> types = {
        {"mode", kOfxParamTypeChoice},    {"split", kOfxParamTypeChoice},
        {"row", kOfxParamTypeInteger},    {"stripHeight", kOfxParamTypeInteger},
        {"column", kOfxParamTypeInteger}, {"stripWidth", kOfxParamTypeInteger},
        {"seed", kOfxParamTypeInteger},   {"overlapMode", kOfxParamTypeChoice},
        {"color", kOfxParamTypeRGB},      {"blendMode", kOfxParamTypeChoice},
        {"opacity", kOfxParamTypeDouble}, {"completion", kOfxParamTypeDouble}};
    for (const auto& [name, type] : types) {
        Param* p = inst->param(name);
        if (transition && name == "completion") {
            expect(p == nullptr, "no completion in the transition");
            continue;
        }
        expect(p && p->type == type, name + " is a " + type);
        if (!p) continue;
        expect(p->props.get_string(kOfxParamPropScriptName) == name, name + ": script name");
        expect(p->props.get_int(kOfxParamPropAnimates) == 1, name + ": animates");
    }
    for (const ParamEntry& e : kParamTable) {
        Param* p = inst->param(std::string(e.script_name));
        if (p == nullptr) continue;
        expect(p->props.get_string(kOfxParamPropHint) == e.explanation,
               std::string(e.script_name) + ": the table's explanation as hint");
    }
    Param* blend = inst->param("blendMode");
    if (blend) {
        expect(blend->props.dimension(kOfxParamPropChoiceOption) == 7 &&
                   blend->props.get_string(kOfxParamPropChoiceOption, 1) == "Add" &&
                   blend->props.get_string(kOfxParamPropChoiceOption, 6) == "Color Burn",
               "blend options without the separator");
    }
    Param* opacity = inst->param("opacity");
    if (opacity) {
        expect(opacity->props.get_double(kOfxParamPropMin) == 0 &&
                   opacity->props.get_double(kOfxParamPropMax) == 100 &&
                   opacity->props.get_double(kOfxParamPropDefault) == 100,
               "opacity 0..100, default 100");
    }
    Param* row = inst->param("row");
    if (row) {
        expect(row->props.get_int(kOfxParamPropMin) == 1 &&
                   row->props.get_int(kOfxParamPropMax) == 2000 &&
                   row->props.get_int(kOfxParamPropDisplayMax) == 100 &&
                   row->props.get_int(kOfxParamPropDefault) == 6,
               "row: valid and display ranges, default");
    }
}

std::string hidden_params(Effect* inst) {
    std::string out;
    for (const char* name : {"row", "stripHeight", "column", "stripWidth", "color"}) {
        Param* p = inst->param(name);
        if (p && p->props.get_int(kOfxParamPropSecret) == 1)
            out += std::string(out.empty() ? "" : " ") + name;
    }
    return out;
}

void check_visibility(Host& host, Effect* inst) {
    expect(hidden_params(inst) == "stripHeight stripWidth color",
           "hidden at creation: " + hidden_params(inst));
    inst->param("split")->value = {1};
    inst->param("overlapMode")->value = {1};
    expect(host.instance_changed(inst, "split") == kOfxStatOK, "instance changed");
    expect(hidden_params(inst) == "stripHeight column",
           "hidden for Row & Width, Color: " + hidden_params(inst));
    inst->param("split")->value = {2};
    host.instance_changed(inst, "split");
    expect(hidden_params(inst) == "row stripWidth",
           "hidden for Height & Column: " + hidden_params(inst));
}

// At 100 % every pixel is a moved one: premultiplied or not, the same bytes.
void premultiplied_blocks_move(Host& host, Effect* inst, const Picture& in,
                               const std::string& depth) {
    Settings all = kSettings[1];
    all.completion = 100;
    apply(inst, all);
    const Picture pm = premultiplied(in);
    const Run as_straight = render_filter(host, inst, pm, kLayouts[0], false);
    const Run as_premult = render_filter(host, inst, pm, kLayouts[0], true);
    expect(as_straight.out == as_premult.out, depth + ": premultiplied blocks move as they are");
}

void filter_renders(Host& host, Effect* inst, const std::string& context) {
    for (bool deep : {false, true}) {
        const Picture in = make_picture(61, 37, deep);
        const std::string depth = deep ? "short" : "byte";
        for (const Settings& s : kSettings) {
            apply(inst, s);
#if defined(ZX_WITH_CLI)
            const Picture expected = cli_render(in, s, s.completion);
#endif
            for (const Layout& layout : kLayouts) {
                const std::string name = context + "." + depth + "." + s.name + "." + layout.name;
                const Run run = render_filter(host, inst, in, layout);
                expect(run.status == kOfxStatOK, name + ": render");
                record(name, run.out);
#if defined(ZX_WITH_CLI)
                expect(run.out == expected, name + ": equals the command-line render");
#endif
            }
            // Premultiplied: blocks move as they are, blends are made on straight colour.
            const Picture pm = premultiplied(in);
            const std::string name = context + "." + depth + "." + s.name + ".premultiplied";
            const Run run = render_filter(host, inst, pm, kLayouts[3], true);
            expect(run.status == kOfxStatOK, name + ": render");
            record(name, run.out);
#if defined(ZX_WITH_CLI)
            const Picture straight = through_straight(pm, true);
            expect(run.out == through_straight(cli_render(straight, s, s.completion), false),
                   name + ": the command-line render of the straight picture, premultiplied");
#endif
        }
        premultiplied_blocks_move(host, inst, in, depth);
        // A render scale below 1 is the effect's horizontal downsample.
        apply(inst, kSettings[2]);
        const Run half = render_filter(host, inst, in, kLayouts[0], false, 0.5);
        record(context + "." + depth + ".scale-half", half.out);
#if defined(ZX_WITH_CLI)
        expect(half.out == cli_render(in, kSettings[2], kSettings[2].completion, "1/2"),
               depth + ": render scale 1/2 is the downsample 1/2");
        apply(inst, kSettings[2]);
        const Run full = render_filter(host, inst, in, kLayouts[0], false, 1.0);
        expect(!(full.out == half.out), depth + ": the downsample changes the strips");
#endif
    }
}

// Float: the picture at k / 32768, every settings and layout, and premultiplied.
void float_filter_renders(Host& host, Effect* inst, const std::string& context) {
    const Picture in = real_picture(make_picture(61, 37, true));
    for (const Settings& s : kSettings) {
        apply(inst, s);
        for (const Layout& layout : kLayouts) {
            const std::string name = context + ".float." + s.name + "." + layout.name;
            const Run run = render_filter(host, inst, in, layout);
            expect(run.status == kOfxStatOK, name + ": render");
            record(name, run.out);
#if defined(ZX_WITH_CLI)
            expect(run.out == embed_float(in, s, false), name + ": the float path's render");
#endif
        }
        const Picture pm = premultiplied(in);
        const std::string name = context + ".float." + s.name + ".premultiplied";
        const Run run = render_filter(host, inst, pm, kLayouts[3], true);
        expect(run.status == kOfxStatOK, name + ": render");
        record(name, run.out);
#if defined(ZX_WITH_CLI)
        expect(run.out == embed_float(pm, s, true), name + ": on straight colour, premultiplied");
#endif
    }
    premultiplied_blocks_move(host, inst, in, "float");
}

// Identity is claimed exactly where the render hands the source back byte for byte: over every
// split, overlap, blend and opacity at Completion 0 (and a value that rounds to it) and beyond,
// at every depth, straight and premultiplied (float colour any value up to alpha); the host then
// passes the source through. A transition lays one clip over the other: never either clip.
void identity_where_render_is_source(Host& host, Effect* inst, bool transition) {
    const std::string output = kOfxImageEffectOutputClipName;
    int claims = 0;
    for (int n = 0; n < 3 * 2 * (transition ? 3 : 3 * 8 * 3 * 4); ++n) {
        const int depth = n % 3;
        const bool premult = n / 3 % 2 == 1;
        const auto picture = [depth](std::uint32_t salt) {
            return depth == 2 ? real_picture(make_picture(29, 17, true, salt))
                              : make_picture(29, 17, depth == 1, salt);
        };
        Picture in = premult ? premultiplied(picture(0)) : picture(0);
        for (std::size_t i = 0; premult && depth == 2 && i < in.s.size(); ++i) {
            if (i % 4 != 3 && real_at(in, i) > 0) {
                set_real(in, i, std::nextafter(real_at(in, i), 0.0f));
            }
        }
        const Picture to = picture(77);
        const int k = n / 6;
        Settings s = kSettings[0];
        s.mode = k % 2;
        s.seed = k % 5;
        s.split = k % 3;
        s.row = s.column = 3;
        s.strip_height = s.strip_width = 9;
        s.overlap = k / 3 % 8 == 7 ? 1 : 0;
        s.blend = k / 3 % 8 % 7;
        s.opacity = std::array{0.0, 50.0, 100.0}[static_cast<std::size_t>(k / 24 % 3)];
        s.completion = std::array{0.0, 1e-6, 50.0, 100.0}[static_cast<std::size_t>(k / 72)];
        apply(inst, s, !transition);
        for (auto& [name, clip] : inst->clips) {
            clip->image = make_image(name == kOfxImageEffectTransitionSourceToClipName ? to : in,
                                     kLayouts[3], name == output);
            clip->image->premultiplication =
                premult ? kOfxImagePreMultiplied : kOfxImageUnPreMultiplied;
        }
        if (transition) inst->param(kOfxImageEffectTransitionParamName)->value = {k / 2.0};
        const OfxRectI window = inst->clip(output)->image->bounds;
        const std::string name = "identity case " + std::to_string(n);
        std::string clip;
        double clip_time = -1;
        const OfxStatus reply = host.is_identity(inst, 3.0, window, 1.0, clip, clip_time);
        const bool claimed = reply == kOfxStatOK;
        expect(claimed ? clip == kOfxImageEffectSimpleSourceClipName && clip_time == 3.0
                       : reply == kOfxStatReplyDefault,
               name + ": the source at the render's time, or the default reply");
        expect(host.render_action(inst, 3.0, window) == kOfxStatOK, name + ": render");
        const Picture rendered = read_image(*inst->clip(output)->image, depth == 1);
        expect(claimed == (rendered == in || (transition && rendered == to)),
               name + (claimed ? ": claimed, the render differs" : ": the source, not claimed"));
        if (claimed) {
            expect(host.render(inst, 3.0, window) == kOfxStatOK &&
                       read_image(*inst->clip(output)->image, depth == 1) == in,
                   name + ": the host passes the source through");
        }
        claims += claimed;
    }
    expect(transition ? claims == 0 : claims > 0, "identity claimed where it holds");
    expect(host.live_images() == 0, "identity checks released every image");
}

void two_threads(Host& host, Effect* inst) {
    const Picture in = make_picture(96, 64, false);
    apply(inst, kSettings[1]);
    Param* completion = inst->param("completion");
    completion->at_times = {{1.0, {30.0}}, {2.0, {70.0}}};
    Clip* src = inst->clip(kOfxImageEffectSimpleSourceClipName);
    Clip* out = inst->clip(kOfxImageEffectOutputClipName);
    src->image = make_image(in, kLayouts[0]);
    out->at_times = {{1.0, make_image(in, kLayouts[0], true)},
                     {2.0, make_image(in, kLayouts[0], true)}};
    std::array<Picture, 2> reference;
    for (int t = 0; t < 2; ++t) {
        host.render(inst, t + 1.0, out->at_times[t + 1.0]->bounds);
        reference[static_cast<std::size_t>(t)] = read_image(*out->at_times[t + 1.0], false);
    }
    expect(!(reference[0] == reference[1]), "two times, two pictures");
    std::array<int, 2> mismatches{};
    auto work = [&](int t) {
        for (int i = 0; i < 6; ++i) {
            const OfxStatus s = host.render(inst, t + 1.0, out->at_times[t + 1.0]->bounds);
            if (s != kOfxStatOK || !(read_image(*out->at_times[t + 1.0], false) ==
                                     reference[static_cast<std::size_t>(t)])) {
                ++mismatches[static_cast<std::size_t>(t)];
            }
        }
    };
    run_together([&] { work(0); }, [&] { work(1); });
    expect(mismatches[0] == 0 && mismatches[1] == 0, "two threads render as one does");
    expect(host.live_images() == 0, "threads released every image");
    completion->at_times.clear();
    out->at_times.clear();
}

// Tiles: an output image holding part of the frame gets that part of the whole frame's render,
// at 8 and 16 bits, straight and premultiplied; every input is asked for whole.
void tiles_are_parts_of_the_frame(Host& host, Effect* inst) {
    apply(inst, kSettings[2]);
    Clip* src = inst->clip(kOfxImageEffectSimpleSourceClipName);
    Clip* out = inst->clip(kOfxImageEffectOutputClipName);
    for (bool deep : {false, true}) {
        const Picture in = make_picture(40, 30, deep);
        src->image = make_image(in, kLayouts[0]);
        out->image = make_image(in, kLayouts[0], true);
        src->image->premultiplication = out->image->premultiplication =
            deep ? kOfxImagePreMultiplied : kOfxImageUnPreMultiplied;
        expect(host.render(inst, 0, {0, 0, 40, 30}) == kOfxStatOK, "tiles: the whole frame");
        const Picture whole = read_image(*out->image, deep);
        for (const OfxRectI& t : {OfxRectI{0, 0, 17, 11}, {17, 11, 40, 30}, {5, 20, 33, 30}}) {
            auto tile = make_image(make_picture(t.x2 - t.x1, t.y2 - t.y1, deep),
                                   Layout{"tile", t.x1, t.y1, 8, true}, true);
            tile->premultiplication = out->image->premultiplication;
            tile->region = OfxRectI{0, 0, 40, 30};
            out->image = tile;
            expect(host.render(inst, 0, t) == kOfxStatOK, "tiles: a tile rendered");
            const Picture part = read_image(*tile, deep);
            bool same = true;
            for (int y = 0; y < part.h; ++y) {
                for (int x = 0; x < part.w; ++x) {
                    for (int c = 0; c < 4; ++c) {
                        same =
                            same && const_cast<Picture&>(part).at(x, y, c) ==
                                        const_cast<Picture&>(whole).at(t.x1 + x, 30 - t.y2 + y, c);
                    }
                }
            }
            expect(same && padding_untouched(*tile),
                   "tiles: " + std::to_string(t.x1) + "," + std::to_string(t.y1) +
                       (deep ? " 16-bit premultiplied" : " 8-bit") + " is that part of the frame");
        }
    }
    PropSet in_args, out_args;
    in_args.props[kOfxPropTime] = Prop{zx::ofxtest::kind_double, {}, {0.0}, {}, {}};
    const std::string roi = std::string(kClipRegionOfInterestPrefix) + "Source";
    out_args.props[roi] = Prop{zx::ofxtest::kind_double, {}, {10, 10, 20, 20}, {}, {}};
    expect(host.send(kOfxImageEffectActionGetRegionsOfInterest, inst, &in_args, &out_args) ==
                   kOfxStatOK &&
               out_args.props[roi].doubles == std::vector<double>{0, 0, 40, 30},
           "regions of interest: the whole source");
}

void bad_input(Host& host, Effect* inst) {
    const Picture in = make_picture(20, 10, false);
    const Layout& plain = kLayouts[0];
    Clip* src = inst->clip(kOfxImageEffectSimpleSourceClipName);
    Clip* out = inst->clip(kOfxImageEffectOutputClipName);
    apply(inst, kSettings[0]);
    struct Case {
        std::string name;
        std::function<void()> spoil;
        OfxStatus want;
    };
    const std::vector<Case> cases = {
        {"half floats", [&] { src->image->depth = out->image->depth = kOfxBitDepthHalf; },
         kOfxStatErrUnsupported},
        {"RGB", [&] { src->image->components = kOfxImageComponentRGB; }, kOfxStatErrUnsupported},
        {"depths differ", [&] { src->image->depth = kOfxBitDepthShort; }, kOfxStatErrImageFormat},
        {"short rows", [&] { src->image->row_bytes = 20 * 4 - 1; }, kOfxStatErrImageFormat},
        {"no data", [&] { out->image->data = nullptr; }, kOfxStatErrImageFormat},
        {"empty bounds", [&] { out->image->bounds.x2 = out->image->bounds.x1; },
         kOfxStatErrImageFormat},
        {"no output image", [&] { out->image.reset(); }, kOfxStatFailed},
        {"the host aborts", [&] { zx::ofxtest::set_host_aborts(true); }, kOfxStatFailed},
        {"bounds too tall",
         [&] {
             out->image->bounds.y1 = -2000000000;
             out->image->bounds.y2 = 2000000000;
         },
         kOfxStatErrImageFormat},
    };
    for (const Case& c : cases) {
        src->image = make_image(in, plain);
        out->image = make_image(in, plain, true);
        c.spoil();
        const OfxStatus s = host.render(inst, 0, {0, 0, 20, 10});
        zx::ofxtest::set_host_aborts(false);
        expect(s == c.want,
               c.name + ": status " + std::to_string(s) + ", want " + std::to_string(c.want));
        expect(host.live_images() == 0, c.name + ": every fetched image released");
    }
    // A frame the clip does not have counts as transparent black.
    src->image.reset();
    out->image = make_image(in, plain, true);
    expect(host.render(inst, 0, {0, 0, 20, 10}) == kOfxStatOK, "no source image: rendered");
    const Picture blank = read_image(*out->image, false);
    expect(std::all_of(blank.s.begin(), blank.s.end(), [](std::uint32_t v) { return v == 0; }),
           "no source image: transparent black");
    // Only the render window is written.
    src->image = make_image(in, plain);
    out->image = make_image(in, plain, true);
    expect(host.render(inst, 0, {2, 3, 9, 7}) == kOfxStatOK, "window: rendered");
    const Picture windowed = read_image(*out->image, false);
    bool outside_untouched = true;
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 20; ++x) {
            const int oy = 9 - y;  // OFX row of picture row y
            const bool inside = x >= 2 && x < 9 && oy >= 3 && oy < 7;
            if (!inside && const_cast<Picture&>(windowed).at(x, y, 0) != kFill)
                outside_untouched = false;
        }
    }
    expect(outside_untouched, "pixels outside the render window untouched");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::cerr << "usage: zx_ofx_host_test BINARY.ofx [--write OUTCOMES | --expect OUTCOMES]\n";
        return 2;
    }
#if defined(ZX_WITH_CLI)
    g_temp = std::filesystem::temp_directory_path() / ("zx_ofx_test_" + std::to_string(getpid()));
    std::filesystem::create_directories(g_temp);
#endif
    {
        Host host;
        if (!host.load(argv[1])) {
            for (const auto& p : host.problems()) std::cerr << "FAILED: " << p << "\n";
            return 1;
        }
        check_description(host);
        for (const std::string context :
             {kOfxImageEffectContextFilter, kOfxImageEffectContextGeneral}) {
            Effect* inst = host.create_instance(context);
            expect(inst != nullptr, context + ": instance");
            if (inst == nullptr) continue;
            check_params(inst, false);
            check_visibility(host, inst);
            const std::string name = context == kOfxImageEffectContextFilter ? "filter" : "general";
            filter_renders(host, inst, name);
            float_filter_renders(host, inst, name);
            identity_where_render_is_source(host, inst, false);
            if (context == kOfxImageEffectContextFilter) {
                two_threads(host, inst);
                bad_input(host, inst);
                tiles_are_parts_of_the_frame(host, inst);
            }
            expect(host.destroy_instance(inst) == kOfxStatOK, context + ": destroyed");
        }
        Effect* inst = host.create_instance(kOfxImageEffectContextTransition);
        expect(inst != nullptr, "transition: instance");
        if (inst != nullptr) {
            check_params(inst, true);
            transition_renders(host, inst);
            transition_fallbacks(host, inst);
            identity_where_render_is_source(host, inst, true);
            expect(host.destroy_instance(inst) == kOfxStatOK, "transition: destroyed");
        }
        expect(host.images_fetched() > 0, "images were fetched");
        host.unload();
        for (const auto& p : host.problems()) expect(false, "API use: " + p);
    }
#if defined(ZX_WITH_CLI)
    std::filesystem::remove_all(g_temp);
#endif

    if (argc == 4 && std::string(argv[2]) == "--write") {
        std::ofstream file(argv[3]);
        for (const auto& [name, d] : g_outcomes) file << name << " " << d << "\n";
        expect(static_cast<bool>(file), "outcomes written");
    } else if (argc == 4 && std::string(argv[2]) == "--expect") {
        std::ifstream file(argv[3]);
        std::map<std::string, std::uint64_t> want;
        std::string name;
        std::uint64_t d = 0;
        while (file >> name >> d) want[name] = d;
        expect(!want.empty(), "expected outcomes read");
        expect(want.size() == g_outcomes.size(), "as many outcomes as expected");
        for (const auto& [n, v] : want) {
            auto it = g_outcomes.find(n);
            expect(it != g_outcomes.end() && it->second == v, n + ": the native build's output");
        }
    }
    std::cout << g_outcomes.size() << " outputs, " << g_failures << " failures\n";
    return g_failures == 0 ? 0 : 1;
}
