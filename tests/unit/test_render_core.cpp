// The render core against today's outputs: over random frames, parameters, depths, channel
// orders and row layouts (padded, bottom-up), a full render equals the reference renderer's
// output (8 and 16 bits) or the alpha-first render (float), and any window drawn in bands of one
// plan, in any band order, equals that window of the full render and writes nothing else; so
// does a window of frames in another form (16-bit 0..65535, premultiplied, a transition's
// still picture under it) against converting, rendering and laying over in the effect's form.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "composite/sample_forms.h"
#include "core/render_core.h"
#include "render_helpers.h"

namespace {

using namespace rendertest;

// A frame in its own bytes: `pad` bytes after each row, rows stored bottom-up when `flipped`.
struct Frame {
    std::vector<std::uint8_t> bytes;
    FrameView view;
};

Frame make_frame(A_long w, A_long h, SampleDepth depth, ChannelOrder order, std::size_t pad,
                 bool flipped, std::uint8_t fill) {
    const std::size_t row = static_cast<std::size_t>(w) * bytes_per_pixel(depth) + pad;
    Frame f{std::vector<std::uint8_t>(row * static_cast<std::size_t>(h) + 16, fill), {}};
    auto* base = f.bytes.data() + 16;  // room before the rows, as in a host's buffer
    const auto step = static_cast<std::ptrdiff_t>(row);
    f.view = FrameView{
        flipped ? base + (h - 1) * step : base, flipped ? -step : step, w, h, depth, order};
    return f;
}

std::uint8_t* at(const FrameView& v, A_long x, A_long y) {
    return static_cast<std::uint8_t*>(v.pixels) + y * v.row_bytes +
           static_cast<std::size_t>(x) * bytes_per_pixel(v.depth);
}

// Where channel i of an alpha-first pixel (a, r, g, b) sits in the order.
int place(ChannelOrder order, int i) {
    static constexpr int kPlace[3][4] = {{0, 1, 2, 3}, {3, 0, 1, 2}, {3, 2, 1, 0}};
    return kPlace[static_cast<int>(order)][i];
}

// Copies pixel (x, y) between frames of the same depth, reordering its channels.
void copy_pixel(const FrameView& from, FrameView& to, A_long x, A_long y) {
    const std::size_t c = bytes_per_pixel(from.depth) / 4;
    std::uint8_t argb[16];
    for (int i = 0; i < 4; ++i)
        std::memcpy(argb + i * c, at(from, x, y) + place(from.order, i) * c, c);
    for (int i = 0; i < 4; ++i) std::memcpy(at(to, x, y) + place(to.order, i) * c, argb + i * c, c);
}

Frame reordered(const FrameView& from, ChannelOrder order, std::size_t pad, bool flipped) {
    Frame f = make_frame(from.width, from.height, from.depth, order, pad, flipped, 0);
    for (A_long y = 0; y < from.height; ++y) {
        for (A_long x = 0; x < from.width; ++x) copy_pixel(from, f.view, x, y);
    }
    return f;
}

bool same_pixel(const FrameView& a, const FrameView& b, A_long x, A_long y) {
    return std::memcmp(at(a, x, y), at(b, x, y), bytes_per_pixel(a.depth)) == 0;
}

// Every pixel of `f` (the effect's own form, in place) taken to or from the form of `to`.
void convert(FrameView& f, const FrameView& form, bool to_form) {
    using namespace sample_forms;
    const int c = static_cast<int>(bytes_per_pixel(f.depth)) / 4;
    const auto full = static_cast<std::uint32_t>(f.depth == SampleDepth::byte ? 255 : 32768);
    for (A_long y = 0; y < f.height; ++y) {
        for (A_long x = 0; x < f.width; ++x) {
            std::uint8_t* p = at(f, x, y);
            const auto ch = [&](int i) { return p + place(f.order, i) * c; };
            float v[4];
            for (int i = 0; i < 4; ++i) {
                std::uint16_t s16 = 0;
                std::memcpy(c == 4 ? static_cast<void*>(&v[i]) : &s16, ch(i), c);
                if (c == 2)
                    v[i] = form.depth == SampleDepth::shorts_full && !to_form
                               ? png16_to_channel(s16)
                               : s16;
                if (c == 1) v[i] = *ch(i);
            }
            for (int i = 1; i < 4 && form.premultiplied; ++i) {
                v[i] = c == 4    ? (to_form ? premultiply(v[i], v[0]) : unpremultiply(v[i], v[0]))
                       : to_form ? premultiply(std::uint32_t(v[i]), std::uint32_t(v[0]), full)
                                 : unpremultiply(std::uint32_t(v[i]), std::uint32_t(v[0]), full);
            }
            for (int i = 0; i < 4; ++i) {
                const std::uint32_t n = form.depth == SampleDepth::shorts_full && to_form
                                            ? channel_to_png16(std::uint16_t(v[i]))
                                            : std::uint32_t(v[i]);
                if (c == 4) std::memcpy(ch(i), &v[i], 4);
                if (c == 2) std::memcpy(ch(i), &n, 2);
                if (c == 1) *ch(i) = static_cast<std::uint8_t>(n);
            }
        }
    }
}

ParamSnapshot snapshot_of_settings(const Settings& s) {
    return snapshot_of(PanelValues{s.mode, s.completion / 65536.0, s.split, s.rows, s.strip_height,
                                   s.columns, s.strip_width, s.seed, s.overlap_mode, s.color,
                                   s.blend_mode, s.opacity / 65536.0, s.ds_num,
                                   static_cast<std::uint32_t>(s.ds_den)});
}

Settings random_settings(std::mt19937& rng) {
    const auto pick = [&](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(rng);
    };
    Settings s;
    s.mode = pick(1, 2);
    const int completion = pick(0, 9);
    s.completion = percent(completion == 0 ? 0 : completion == 1 ? 100 : pick(1, 9999) / 100.0);
    s.split = pick(1, 3);
    s.rows = pick(1, 7);
    s.columns = pick(1, 7);
    s.strip_height = pick(param_entry(kParamHeight).valid_min, 30);
    s.strip_width = pick(param_entry(kParamWidth).valid_min, 30);
    s.seed = pick(0, 100000);
    s.overlap_mode = pick(1, 2);
    s.color = PF_Pixel{255, static_cast<A_u_char>(pick(0, 255)),
                       static_cast<A_u_char>(pick(0, 255)), static_cast<A_u_char>(pick(0, 255))};
    s.blend_mode = pick(1, 8);
    const int opacity = pick(0, 5);
    s.opacity = percent(opacity == 0 ? 100 : opacity == 1 ? 0 : pick(1, 9999) / 100.0);
    s.ds_den = static_cast<A_u_long>(pick(1, 3));
    return s;
}

// Opaque runs of pixels, as footage has them, in every other stretch of 40 columns.
bool opaque_run(std::mt19937& rng, A_long x) {
    return x / 40 % 2 == 1 || std::uniform_int_distribution<int>(0, 9)(rng) == 0;
}

// The source, alpha-first and tightly packed, and the full render every other render is held
// to: the reference renderer's at 8 and 16 bits, the core's own alpha-first one at float.
void source_and_expected(std::mt19937& rng, A_long w, A_long h, SampleDepth depth,
                         const Settings& s, Frame& source, Frame& expected) {
    source = make_frame(w, h, depth, ChannelOrder::argb, 0, false, 0);
    expected = make_frame(w, h, depth, ChannelOrder::argb, 0, false, 0);
    if (depth == SampleDepth::floats) {
        std::uniform_real_distribution<float> channel(0.0f, 1.25f);
        std::uniform_int_distribution<int> kind(0, 3);
        for (A_long y = 0; y < h; ++y) {
            for (A_long x = 0; x < w; ++x) {
                const int k = opaque_run(rng, x) ? 1 : kind(rng);
                const float p[4] = {k == 0   ? 0.0f
                                    : k == 1 ? 1.0f
                                             : channel(rng) * 0.8f,
                                    channel(rng), channel(rng), channel(rng)};
                std::memcpy(at(source.view, x, y), p, sizeof p);
            }
        }
        const RenderEnd end = render_frame(source.view, expected.view, snapshot_of_settings(s),
                                           {0, 0, w, h}, RenderServices{});
        ASSERT_EQ(end.kind, RenderEnd::Kind::ok);
        return;
    }
    const Depth world_depth = depth == SampleDepth::byte ? Depth::eight : Depth::sixteen;
    World in(w, h, world_depth);
    fill_random(in, rng);
    for (A_long y = 0; y < h; ++y) {
        for (A_long x = 0; x < w; ++x) {
            if (!opaque_run(rng, x)) continue;
            if (world_depth == Depth::eight) in.px8(x, y).alpha = 255;
            if (world_depth == Depth::sixteen) in.px16(x, y).alpha = 32768;
        }
    }
    const World want = ref_render(in, World(w, h, world_depth), s);
    const std::size_t row = static_cast<std::size_t>(w) * bytes_per_pixel(depth);
    for (A_long y = 0; y < h; ++y) {
        const bool eight = world_depth == Depth::eight;
        std::memcpy(at(source.view, 0, y),
                    eight ? static_cast<void*>(&in.px8(0, y)) : &in.px16(0, y), row);
        std::memcpy(at(expected.view, 0, y),
                    eight ? static_cast<const void*>(&want.px8(0, y)) : &want.px16(0, y), row);
    }
}

TEST(RenderCore, AnyWindowInAnyBandsOrderAndRowLayoutIsThatWindowOfTodaysRender) {
    std::mt19937 rng(28);
    const auto pick = [&](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(rng);
    };
    constexpr SampleDepth kDepths[] = {SampleDepth::byte, SampleDepth::shorts, SampleDepth::floats};
    for (int round = 0; round < 300; ++round) {
        const SampleDepth depth = kDepths[round % 3];
        const auto order = static_cast<ChannelOrder>(pick(0, 2));
        // Now and then a frame large enough to be drawn in several parts.
        // Now and then more steps than the parts of a large window may walk each, too.
        // Once a float frame beyond the caches, whose long rows are streamed to memory.
        const bool beyond = round == 152, large = round % 20 == 0 || beyond, many = round % 40 == 0;
        const A_long w = beyond  ? 1030
                         : many  ? 400
                         : large ? pick(200, 400)
                                 : pick(1, 90),
                     h = beyond  ? 800
                         : many  ? 300
                         : large ? pick(150, 300)
                                 : pick(1, 60);
        Settings s = random_settings(rng);
        // A third of the rounds with the panel's usual overlap, which is drawn from the top down.
        if (round % 9 < 3) {
            s.overlap_mode = kFootage;
            s.blend_mode = choice_number(kParamBlendMode, "Normal");
            s.opacity = percent(100);
        }
        if (many) s.split = 1, s.rows = s.columns = 260;
        if (beyond) s.split = 1;  // blocks, whose rows are long enough to stream
        SCOPED_TRACE(s.describe() + " frame " + std::to_string(w) + "x" + std::to_string(h) +
                     " depth " + std::to_string(round % 3) + " order " +
                     std::to_string(static_cast<int>(order)));
        Frame argb_source, expected;
        source_and_expected(rng, w, h, depth, s, argb_source, expected);
        const std::size_t channel = bytes_per_pixel(depth) / 4;
        const Frame source = reordered(argb_source.view, order, channel * pick(0, 3), pick(0, 1));
        const bool flipped = pick(0, 1) != 0;
        const std::size_t pad = channel * pick(0, 5);

        // The whole frame on one thread.
        Frame full = make_frame(w, h, depth, order, pad, flipped, 0x5A);
        const RenderEnd end = render_frame(source.view, full.view, snapshot_of_settings(s),
                                           {0, 0, w, h}, RenderServices{});
        ASSERT_EQ(end.kind, RenderEnd::Kind::ok);
        const Frame full_argb = reordered(full.view, ChannelOrder::argb, 0, false);
        for (A_long y = 0; y < h; ++y) {
            for (A_long x = 0; x < w; ++x) {
                ASSERT_TRUE(same_pixel(full_argb.view, expected.view, x, y)) << x << "," << y;
            }
        }

        // A window in bands of one plan, drawn last band first, over stale pixels.
        RenderPlan plan;
        ASSERT_EQ(plan_render(snapshot_of_settings(s), {w, h}, RenderServices{}, plan).kind,
                  RenderEnd::Kind::ok);
        const A_long x0 = pick(0, w), y0 = pick(0, h);
        const OutputRect window =
            large ? OutputRect{0, 0, w, h} : OutputRect{x0, y0, pick(x0, w), pick(y0, h)};
        const int bands = pick(1, 4);
        Frame part = make_frame(w, h, depth, order, pad, flipped, 0x5A);
        Frame want = make_frame(w, h, depth, order, pad, flipped, 0x5A);
        for (int band = bands - 1; band >= 0; --band) {
            ASSERT_EQ(draw_window(plan, source.view, part.view, band_of(window, band, bands),
                                  RenderServices{}, false)
                          .kind,
                      RenderEnd::Kind::ok);
        }
        for (A_long y = window.y0; y < window.y1; ++y) {
            for (A_long x = window.x0; x < window.x1; ++x) copy_pixel(full.view, want.view, x, y);
        }
        ASSERT_EQ(part.bytes, want.bytes) << "window " << window.x0 << "," << window.y0 << " "
                                          << window.x1 << "," << window.y1 << " bands " << bands;
        // The same window in a queue of bands taken by three threads; this one reports the
        // bands it draws, in order, out of them all.
        Frame queued = make_frame(w, h, depth, order, pad, flipped, 0x5A);
        BandQueue queue(plan, source.view, queued.view, window, 3);
        struct Seen {
            std::int32_t last = -1, total = 0;
            bool rising = true;
        } seen;
        RenderServices reports_bands;
        reports_bands.user = &seen;
        reports_bands.progress = [](void* user, std::int32_t done, std::int32_t total) {
            auto& s = *static_cast<Seen*>(user);
            s.rising &= done > s.last && done <= total;
            s.last = done, s.total = total;
            return 0;
        };
        std::thread others[2] = {std::thread([&] { queue.draw({}, false); }),
                                 std::thread([&] { queue.draw({}, false); })};
        queue.draw(reports_bands, true);
        for (std::thread& t : others) t.join();
        ASSERT_EQ(queue.end().kind, RenderEnd::Kind::ok);
        ASSERT_EQ(queued.bytes, want.bytes) << "bands of a queue: " << queue.count();
        EXPECT_TRUE(seen.rising && (queue.count() == 1 || seen.total % queue.count() == 0));

        // The same window of frames in another form, the source taken as held in it.
        Frame formed_source = reordered(source.view, order, 0, false);
        formed_source.view.depth = depth == SampleDepth::shorts ? SampleDepth::shorts_full : depth;
        formed_source.view.premultiplied = pick(0, 1) != 0;
        // 16-bit as hosts hold it, 0..65535: opaque runs at 65535, which hide what lies below.
        for (std::size_t i = 0; depth == SampleDepth::shorts && i < formed_source.bytes.size();
             i += 2) {
            std::uint16_t v;
            std::memcpy(&v, &formed_source.bytes[i], 2);
            v = static_cast<std::uint16_t>(sample_forms::channel_to_png16(v));
            std::memcpy(&formed_source.bytes[i], &v, 2);
        }
        Frame under = reordered(source.view, order, 0, true);
        under.view.depth = formed_source.view.depth;
        under.view.premultiplied = pick(0, 1) != 0;
        const bool transition = pick(0, 1) != 0;
        Frame formed = make_frame(w, h, depth, order, pad, flipped, 0x5A);
        formed.view.depth = formed_source.view.depth;
        formed.view.premultiplied = pick(0, 1) != 0;
        Frame formed_want = make_frame(w, h, depth, order, pad, flipped, 0x5A);
        Frame own = reordered(formed_source.view, order, 0, false);
        own.view.depth = depth;
        convert(own.view, formed_source.view, false);
        Frame own_under = reordered(under.view, order, 0, false);
        own_under.view.depth = depth;
        convert(own_under.view, under.view, false);
        Frame own_out = make_frame(w, h, depth, order, 0, false, 0);
        ASSERT_EQ(render_frame(own.view, own_out.view, snapshot_of_settings(s), {0, 0, w, h},
                               RenderServices{})
                      .kind,
                  RenderEnd::Kind::ok);
        if (transition) lay_over(own_under.view, own_out.view, {0, 0, w, h});
        convert(own_out.view, formed.view, true);
        for (A_long y = window.y0; y < window.y1; ++y) {
            for (A_long x = window.x0; x < window.x1; ++x) {
                std::memcpy(at(formed_want.view, x, y), at(own_out.view, x, y),
                            bytes_per_pixel(depth));
            }
        }
        // Each band reports every step of every part it is drawn in once, in order.
        struct Reports {
            std::int32_t next = 0, total = 0;
            bool in_order = true;
        };
        RenderServices reporting;
        reporting.progress = [](void* user, std::int32_t done, std::int32_t total) {
            auto& r = *static_cast<Reports*>(user);
            r.in_order &= done == r.next++ && (r.total == 0 || total == r.total);
            r.total = total;
            return 0;
        };
        for (int band = 0; band < bands; ++band) {
            Reports reports;
            reporting.user = &reports;
            ASSERT_EQ(
                draw_window(plan, formed_source.view, formed.view, band_of(window, band, bands),
                            reporting, true, transition ? &under.view : nullptr)
                    .kind,
                RenderEnd::Kind::ok);
            EXPECT_TRUE(reports.in_order &&
                        (reports.next == 0 || reports.next == reports.total - 1))
                << "band " << band << ": " << reports.next << " reports of " << reports.total;
        }
        ASSERT_EQ(formed.bytes, formed_want.bytes)
            << "formed, premultiplied " << formed_source.view.premultiplied
            << under.view.premultiplied << formed.view.premultiplied << " transition "
            << transition;
    }
}

}  // namespace
