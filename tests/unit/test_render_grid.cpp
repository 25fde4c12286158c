// The Render command in "Row & Column", driven through EntryPointFunc and the simulated host:
// overlap colour, pixel rule, exact 0 % and 100 %, clipping, progress, failure exits, unusable
// frames, the fault sweep, 8-bit against 16-bit, and pixel-exact agreement with the reference
// renderer of render_helpers.h over many random parameter sets.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "layout/block_grid.h"
#include "render_helpers.h"

namespace {

using namespace rendertest;

// Row 1, Column 2 on a layer 8 wide: with seed 0 the two blocks swap (targets (1, 0)). At 50 %
// block 0 (x 0..3) moves right by 2 and block 1 (x 4..7) left by 2, on either path, so block 1
// lands entirely on block 0 at x 2..5; x 0, 1, 6, 7 stay empty.
Settings two_block_swap() {
    Settings s;
    s.rows = 1;
    s.columns = 2;
    s.seed = 0;
    s.completion = percent(50);
    return s;
}

// 8-bit: the left half one pixel, the right half another.
World halves8(A_long h, PF_Pixel left, PF_Pixel right) {
    World w(8, h);
    for (A_long y = 0; y < h; ++y) {
        for (A_long x = 0; x < 8; ++x) w.px8(x, y) = x < 4 ? left : right;
    }
    return w;
}

std::unique_ptr<SimHost> render_two_blocks(const World& input, const Settings& s) {
    World out(input.width(), input.height(), input.deep() ? Depth::sixteen : Depth::eight);
    auto host = render_host(input, std::move(out), s);
    EXPECT_EQ(host->send(PF_Cmd_RENDER), PF_Err_NONE);
    return host;
}

// Checks the two-block swap picture: empty outside x 2..5, `overlap(x, y)` inside.
template <class P, class Overlap>
void expect_two_block_picture(World& out, Overlap overlap) {
    for (A_long y = 0; y < out.height(); ++y) {
        for (A_long x = 0; x < 8; ++x) {
            const P want = x >= 2 && x < 6 ? overlap(x, y) : P{0, 0, 0, 0};
            EXPECT_TRUE(same(px<P>(out, x, y), want))
                << "(" << x << ", " << y << ") is " << show(px<P>(out, x, y)) << ", want "
                << show(want);
        }
    }
}

// Column x of the output is column source_x[x] of the input, or transparent black where
// source_x[x] is -1.
template <class P>
void expect_columns_from_as(const World& in, World& out, const A_long* source_x) {
    for (A_long y = 0; y < out.height(); ++y) {
        for (A_long x = 0; x < out.width(); ++x) {
            const P want = source_x[x] < 0 ? P{} : cpx<P>(in, source_x[x], y);
            EXPECT_TRUE(same(px<P>(out, x, y), want)) << x << ", " << y;
        }
    }
}

void expect_columns_from(const World& in, World& out, const A_long* source_x) {
    with_pixel_of(out,
                  [&](auto pixel) { expect_columns_from_as<decltype(pixel)>(in, out, source_x); });
}

// --- the overlap colour

TEST(RenderGridColour, HalfOpacityColourIsLaidOverWithAlpha127Or16384) {
    // Color (255, 255, 128, 0) at 50 % Opacity and 50 % Completion: (127, 255, 128, 0) in
    // 8-bit, (16384, 32768, 16448, 0) in 16-bit, laid over an opaque black lower block.
    Settings s = two_block_swap();
    s.overlap_mode = kColorOverlap;
    s.color = {255, 255, 128, 0};
    s.opacity = percent(50);
    const World black = halves8(3, {255, 0, 0, 0}, {255, 9, 9, 9});
    for (A_long mode : {kManhattan, kEuclidean}) {
        s.mode = mode;
        auto h8 = render_two_blocks(black, s);
        expect_two_block_picture<PF_Pixel>(h8->output(), [](A_long, A_long) {
            return PF_Pixel{255, 127, 63, 0};
        });
        auto h16 = render_two_blocks(converted_to_16(black), s);
        expect_two_block_picture<PF_Pixel16>(h16->output(), [](A_long, A_long) {
            return PF_Pixel16{32768, 16384, 8224, 0};
        });
    }
    // The parameter's own alpha plays no part; over a test picture the same colour pixel goes
    // through the over operator.
    s.color = {0x33, 255, 128, 0};
    World picture(8, 3);
    picture.fill_test_picture();
    auto h8 = render_two_blocks(picture, s);
    expect_two_block_picture<PF_Pixel>(h8->output(), [&](A_long x, A_long y) {
        return BlendOp<BlendKind::over>{}(picture.px8(x - 2, y), PF_Pixel{127, 255, 128, 0});
    });
    const World picture16 = converted_to_16(picture);
    auto h16 = render_two_blocks(picture16, s);
    expect_two_block_picture<PF_Pixel16>(h16->output(), [&](A_long x, A_long y) {
        return BlendOp<BlendKind::over>{}(picture16.px16(x - 2, y),
                                          PF_Pixel16{16384, 32768, 16448, 0});
    });
}

TEST(RenderGridColour, FullOpacityColourCoversOverlapsUntil100Percent) {
    // At 99.9 % the colour's alpha is still full: overlaps become the plain colour. Block 0
    // lands at x 3..6, block 1 at x 1..4.
    Settings s = two_block_swap();
    s.overlap_mode = kColorOverlap;
    s.color = {0, 10, 20, 30};
    s.mode = kEuclidean;
    s.completion = percent(99.9);
    World picture(8, 2);
    picture.fill_test_picture();
    auto h8 = render_two_blocks(picture, s);
    for (A_long y = 0; y < 2; ++y) {
        const PF_Pixel row[8] = {{0, 0, 0, 0},      picture.px8(4, y), picture.px8(5, y),
                                 {255, 10, 20, 30}, {255, 10, 20, 30}, picture.px8(2, y),
                                 picture.px8(3, y), {0, 0, 0, 0}};
        for (A_long x = 0; x < 8; ++x) {
            EXPECT_TRUE(same(h8->output().px8(x, y), row[x])) << x << ", " << y;
        }
    }
    auto h16 = render_two_blocks(converted_to_16(picture), s);
    const PF_Pixel16 colour16{32768, channel8_to_16(10), channel8_to_16(20), channel8_to_16(30)};
    EXPECT_TRUE(same(h16->output().px16(3, 1), colour16)) << show(h16->output().px16(3, 1));
    EXPECT_TRUE(same(h16->output().px16(4, 0), colour16));
}

// --- the pixel rule

TEST(RenderGridPixelRule, OpacityScalesTheIncomingAlphaByTruncation) {
    // Opaque white over opaque black: 50 % gives alpha 127 (8-bit), so 127 per channel, and
    // 16384 (16-bit), so 16384 per channel.
    Settings s = two_block_swap();
    s.opacity = percent(50);
    const World bw = halves8(2, {255, 0, 0, 0}, {255, 255, 255, 255});
    auto h8 = render_two_blocks(bw, s);
    expect_two_block_picture<PF_Pixel>(h8->output(), [](A_long, A_long) {
        return PF_Pixel{255, 127, 127, 127};
    });
    auto h16 = render_two_blocks(converted_to_16(bw), s);
    expect_two_block_picture<PF_Pixel16>(h16->output(), [](A_long, A_long) {
        return PF_Pixel16{32768, 16384, 16384, 16384};
    });

    // 33 %: trunc(255 x 0.33) = 84 and trunc(32768 x 0.33) = 10813, colours unchanged.
    s.opacity = percent(33);
    World picture(8, 2, Depth::eight);
    picture.fill_test_picture();
    auto p8 = render_two_blocks(picture, s);
    expect_two_block_picture<PF_Pixel>(p8->output(), [&](A_long x, A_long y) {
        PF_Pixel upper = picture.px8(x + 2, y);
        upper.alpha = 84;
        return BlendOp<BlendKind::over>{}(picture.px8(x - 2, y), upper);
    });
    const World picture16 = converted_to_16(picture);
    auto p16 = render_two_blocks(picture16, s);
    expect_two_block_picture<PF_Pixel16>(p16->output(), [&](A_long x, A_long y) {
        PF_Pixel16 upper = picture16.px16(x + 2, y);
        upper.alpha = 10813;
        return BlendOp<BlendKind::over>{}(picture16.px16(x - 2, y), upper);
    });
}

TEST(RenderGridPixelRule, FootageNormalFullOpacityCoversAndZeroOpacityKeeps) {
    World picture(8, 3);
    picture.fill_test_picture();
    Settings s = two_block_swap();
    auto covered = render_two_blocks(picture, s);
    expect_two_block_picture<PF_Pixel>(covered->output(),
                                       [&](A_long x, A_long y) { return picture.px8(x + 2, y); });
    // 0 % Opacity keeps the earlier block, for footage with any operator and for the colour.
    s.opacity = 0;
    for (A_long overlap : {kFootage, kColorOverlap}) {
        for (A_long blend : {1, 3, 4, 5, 6, 7, 8}) {
            s.overlap_mode = overlap;
            s.blend_mode = blend;
            auto kept = render_two_blocks(picture, s);
            expect_two_block_picture<PF_Pixel>(
                kept->output(), [&](A_long x, A_long y) { return picture.px8(x - 2, y); });
            const World picture16 = converted_to_16(picture);
            auto kept16 = render_two_blocks(picture16, s);
            expect_two_block_picture<PF_Pixel16>(
                kept16->output(), [&](A_long x, A_long y) { return picture16.px16(x - 2, y); });
        }
    }
}

TEST(RenderGridPixelRule, OnlyExactlyFullAlphaSimplyCovers) {
    // 16-bit alphas above full are out of range, but they still take the over operator like any
    // alpha that is not exactly full; only rows of exactly full alpha may be copied whole. Row 0
    // mixes 32768 with 49152, whose bits include all of 32768's.
    World picture(8, 2, Depth::sixteen);
    for (A_long y = 0; y < 2; ++y) {
        for (A_long x = 0; x < 8; ++x) {
            const bool above_full = y == 0 && x >= 4 && x % 2 == 0;
            picture.px16(x, y) = PF_Pixel16{above_full ? A_u_short{49152} : A_u_short{32768},
                                            static_cast<A_u_short>(1000 * x), 2000, 3000};
        }
    }
    auto out = render_two_blocks(picture, two_block_swap());
    expect_two_block_picture<PF_Pixel16>(out->output(), [&](A_long x, A_long y) {
        return BlendOp<BlendKind::over>{}(picture.px16(x - 2, y), picture.px16(x + 2, y));
    });
}

TEST(RenderGridPixelRule, FootageGoesThroughTheChosenOperator) {
    World picture(8, 2);
    std::mt19937 rng(7);
    fill_random(picture, rng);
    const World picture16 = converted_to_16(picture);
    Settings s = two_block_swap();
    s.opacity = percent(70);
    for (A_long blend : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, -1, 1000}) {
        SCOPED_TRACE("blend mode " + std::to_string(blend));
        s.blend_mode = blend;
        const double opacity = opacity_of(s);
        auto h8 = render_two_blocks(picture, s);
        expect_two_block_picture<PF_Pixel>(h8->output(), [&](A_long x, A_long y) {
            const PF_Pixel l = picture.px8(x - 2, y);
            PF_Pixel u = picture.px8(x + 2, y);
            // A free pixel takes the incoming one unchanged.
            if (l.alpha == 0) return u;
            u.alpha = static_cast<A_u_char>(u.alpha * opacity);
            return ref_blend(blend, l, u);
        });
        auto h16 = render_two_blocks(picture16, s);
        expect_two_block_picture<PF_Pixel16>(h16->output(), [&](A_long x, A_long y) {
            const PF_Pixel16 l = picture16.px16(x - 2, y);
            PF_Pixel16 u = picture16.px16(x + 2, y);
            if (l.alpha == 0) return u;
            u.alpha = static_cast<A_u_short>(u.alpha * opacity);
            return ref_blend(blend, l, u);
        });
    }
}

TEST(RenderGridPixelRule, ColourWithMultiplyMultipliesTheEarlierPixel) {
    World picture(8, 2);
    picture.fill_test_picture();
    Settings s = two_block_swap();
    s.overlap_mode = kColorOverlap;
    s.blend_mode = kMultiply;
    s.color = {255, 200, 100, 50};
    auto h8 = render_two_blocks(picture, s);
    expect_two_block_picture<PF_Pixel>(h8->output(), [&](A_long x, A_long y) {
        const PF_Pixel l = picture.px8(x - 2, y);
        return PF_Pixel{255, static_cast<A_u_char>(l.red * 200 / 255),
                        static_cast<A_u_char>(l.green * 100 / 255),
                        static_cast<A_u_char>(l.blue * 50 / 255)};
    });
    const World picture16 = converted_to_16(picture);
    auto h16 = render_two_blocks(picture16, s);
    // 200, 100 and 50 become 25700, 12850 and 6425.
    expect_two_block_picture<PF_Pixel16>(h16->output(), [&](A_long x, A_long y) {
        const PF_Pixel16 l = picture16.px16(x - 2, y);
        return PF_Pixel16{32768, static_cast<A_u_short>(l.red * 25700 / 32768),
                          static_cast<A_u_short>(l.green * 12850 / 32768),
                          static_cast<A_u_short>(l.blue * 6425 / 32768)};
    });
}

TEST(RenderGridPixelRule, TransparentSourceOnAFreePixelIsWrittenAndStaysFree) {
    // Row 1, Column 3, width 6, seed 0: targets (0, 2, 1). At 50 % block 0 stays at x 0..1,
    // blocks 1 and 2 both land at x 3..4; x 2 and 5 stay empty. Blocks 0 and 1 are fully
    // transparent but coloured.
    World picture(6, 2);
    picture.fill_test_picture();
    for (A_long y = 0; y < 2; ++y) {
        for (A_long x = 0; x < 4; ++x) picture.px8(x, y).alpha = 0;
    }
    Settings s;
    s.rows = 1;
    s.columns = 3;
    s.completion = percent(50);
    s.overlap_mode = kColorOverlap;  // would show if block 2 were blended
    s.color = {255, 1, 2, 3};
    s.opacity = percent(50);
    for (const bool deep : {false, true}) {
        const World in = deep ? converted_to_16(picture) : picture;
        auto host = render_host(in, World(6, 2, deep ? Depth::sixteen : Depth::eight), s);
        ASSERT_EQ(host->send(PF_Cmd_RENDER), PF_Err_NONE);
        const A_long source_x[6] = {0, 1, -1, 4, 5, -1};
        expect_columns_from(in, host->output(), source_x);
    }
}

// --- exactly 0 % and exactly 100 %

TEST(RenderGridExact, ZeroPercentIsAHostCopyOfTheInput) {
    for (A_long split : {kRowColumn, kRowWidth, kHeightColumn}) {
        for (const Depth depth : {Depth::eight, Depth::sixteen}) {
            SCOPED_TRACE("split " + std::to_string(split));
            Settings s;
            s.split = split;
            s.rows = 3;
            s.columns = 4;
            s.strip_width = 5;
            s.strip_height = 4;
            s.completion = 0;
            s.overlap_mode = kColorOverlap;
            s.opacity = percent(40);
            World in(13, 9, depth, 8);
            in.fill_test_picture(true);
            World out(13, 9, depth, 24);
            if (depth == Depth::eight) {
                out.fill8({1, 2, 3, 4});
            } else {
                out.fill16({1, 2, 3, 4});
            }
            const A_long n = static_cast<A_long>(ref_layout(13, 9, s).steps.size());
            auto host = render_host(in, out, s);
            ASSERT_EQ(host->send(PF_Cmd_RENDER), PF_Err_NONE);
            EXPECT_EQ(host->output().first_difference(in), "");
            EXPECT_TRUE(host->output().padding_intact());
            ASSERT_EQ(host->world_ops().size(), 1u);
            const simhost::WorldOp& op = host->world_ops()[0];
            EXPECT_EQ(op.fn, HostFn::copy);
            EXPECT_EQ(op.src, simhost::WorldId::input);
            EXPECT_EQ(op.dst, simhost::WorldId::output);
            EXPECT_TRUE(op.src_rect_null);
            EXPECT_TRUE(op.dst_rect_null);
            EXPECT_EQ(host->calls(HostFn::fill), 0);
            EXPECT_EQ(host->progress_log(), (Progress{{n + 1, n + 1}}));
            // The block table is still allocated first; the strip tables never are.
            EXPECT_EQ(host->calls(HostFn::new_handle), 1);
            EXPECT_TRUE(host->problems().empty()) << sweep::join(host->problems());
        }
    }
}

TEST(RenderGridExact, HundredPercentCopiesEveryPixelAndTheLaterStepWins) {
    // Width 5, Column 2: cells 0..1 and 2..4, swapped by seed 0. Block 0 lands at x 2..3,
    // then block 1 (x 2..4) at x 0..2 and wins at x 2; x 4 stays empty.
    World picture(5, 2);
    picture.fill_test_picture(true);
    Settings plain;
    plain.rows = 1;
    plain.columns = 2;
    plain.completion = percent(100);
    const A_long source_x[5] = {2, 3, 4, 1, -1};
    std::vector<Settings> variants;
    for (A_long mode : {kManhattan, kEuclidean}) {
        for (A_long overlap : {kFootage, kColorOverlap}) {
            for (A_long blend : {1, 3, 4, 8}) {
                for (PF_Fixed opacity : {0, percent(37), percent(100)}) {
                    Settings s = plain;
                    s.mode = mode;
                    s.overlap_mode = overlap;
                    s.blend_mode = blend;
                    s.opacity = opacity;
                    s.color = {255, 200, 10, 90};
                    variants.push_back(s);
                }
            }
        }
    }
    for (const bool deep : {false, true}) {
        const World in = deep ? converted_to_16(picture) : picture;
        for (const Settings& s : variants) {
            SCOPED_TRACE(s.describe());
            auto host = render_host(in, World(5, 2, deep ? Depth::sixteen : Depth::eight), s);
            ASSERT_EQ(host->send(PF_Cmd_RENDER), PF_Err_NONE);
            expect_columns_from(in, host->output(), source_x);
        }
    }
}

TEST(RenderGridExact, HundredPercentIgnoresEveryOverlapSettingOnLargerGrids) {
    std::mt19937 rng(11);
    for (int trial = 0; trial < 12; ++trial) {
        const bool deep = trial % 2 == 1;
        const A_long w = std::uniform_int_distribution<A_long>(5, 23)(rng);
        const A_long h = std::uniform_int_distribution<A_long>(5, 17)(rng);
        World in(w, h, deep ? Depth::sixteen : Depth::eight, 8);
        fill_random(in, rng);
        Settings s;
        s.rows = std::uniform_int_distribution<A_long>(1, 7)(rng);
        s.columns = std::uniform_int_distribution<A_long>(1, 7)(rng);
        s.seed = trial * 31;
        s.completion = percent(100);
        World first;
        const auto render_with = [&](A_long overlap, A_long blend, PF_Fixed opacity) {
            Settings v = s;
            v.overlap_mode = overlap;
            v.blend_mode = blend;
            v.opacity = opacity;
            v.color = {255, 3, 4, 5};
            auto host = render_host(in, World(w, h, deep ? Depth::sixteen : Depth::eight), v);
            EXPECT_EQ(host->send(PF_Cmd_RENDER), PF_Err_NONE);
            return host->output();
        };
        first = render_with(kFootage, kNormal, percent(100));
        EXPECT_EQ(first.first_difference(ref_render(in, first, s)), "");
        for (A_long overlap : {kFootage, kColorOverlap}) {
            for (A_long blend : {3, 4, 5, 6, 7, 8}) {
                EXPECT_EQ(render_with(overlap, blend, percent(13)).first_difference(first), "")
                    << "overlap " << overlap << " blend " << blend;
            }
        }
    }
}

// --- reference renderer

TEST(RenderGridReference, ReferenceReproducesTheDefaultGridExample) {
    // 640 x 480, Row 6, Column 8, seed 0: block 0 from (0, 0) to target 25 at (80, 240), x
    // first; block 1 from (80, 0) to target 31 at (560, 240), y first; block 9 spans
    // 80..160 x 80..160 and block 47 reaches (640, 480).
    Settings s;
    s.rows = 6;
    s.columns = 8;
    const RefLayout layout = ref_grid_layout(640, 480, s);
    ASSERT_EQ(layout.steps.size(), 48u);
    EXPECT_EQ(layout.steps[0].dx, 80);
    EXPECT_EQ(layout.steps[0].dy, 240);
    EXPECT_TRUE(layout.steps[0].x_first);
    EXPECT_EQ(layout.steps[1].dx, 480);
    EXPECT_EQ(layout.steps[1].dy, 240);
    EXPECT_FALSE(layout.steps[1].x_first);
    EXPECT_EQ((std::vector<A_long>{layout.steps[9].x0, layout.steps[9].x1, layout.steps[9].y0,
                                   layout.steps[9].y1}),
              (std::vector<A_long>{80, 160, 80, 160}));
    EXPECT_EQ(layout.steps[47].x1, 640);
    EXPECT_EQ(layout.steps[47].y1, 480);
    EXPECT_EQ(ref_offset(80, 240, true, kManhattan, 0.5), (std::pair<A_long, A_long>{80, 80}));
    EXPECT_EQ(ref_offset(80, 240, true, kEuclidean, 0.5), (std::pair<A_long, A_long>{40, 120}));
    EXPECT_EQ(ref_offset(480, 240, false, kManhattan, 0.5), (std::pair<A_long, A_long>{120, 240}));
    EXPECT_EQ(ref_offset(480, 240, false, kEuclidean, 0.5), (std::pair<A_long, A_long>{240, 120}));
}

TEST(RenderGridReference, DefaultGridAtHalfCompletionMatches) {
    World in(640, 480);
    in.fill_test_picture(true);
    Settings s;
    s.rows = 6;
    s.columns = 8;
    for (A_long mode : {kManhattan, kEuclidean}) {
        s.mode = mode;
        expect_matches_reference(in, World(640, 480), s);
    }
}

// Frames larger than the caches, where long rows that are only written are streamed to
// memory: copies at 100 %, opaque footage under "Normal", footage with holes, a blend and wide
// strips, at both depths, on padded rows.
TEST(RenderGridReference, FramesBeyondTheCachesMatch) {
    for (Depth depth : {Depth::eight, Depth::sixteen}) {
        const bool deep = depth == Depth::sixteen;
        // Just above 12 MiB of output.
        const A_long w = deep ? 1448 : 2048, h = deep ? 1100 : 1600;
        for (bool holes : {false, true}) {
            World in(w, h, depth, 12);
            in.fill_test_picture(holes);
            Settings s;
            s.rows = 6;
            s.columns = 8;
            for (PF_Fixed completion : {percent(100), percent(37)}) {
                s.completion = completion;
                expect_matches_reference(in, World(w, h, depth, 12), s);
            }
            s.blend_mode = kMultiply;
            s.opacity = percent(50);
            expect_matches_reference(in, World(w, h, depth, 12), s);
            s = Settings{};
            s.split = kRowWidth;
            s.rows = 3;
            s.strip_width = 150;
            s.completion = percent(holes ? 100 : 61);
            expect_matches_reference(in, World(w, h, depth, 12), s);
        }
    }
}

PF_Fixed random_completion(std::mt19937& rng) {
    const PF_Fixed listed[] = {percent(0.1),  percent(29),  percent(58),  percent(50),
                               percent(99.9), percent(100), percent(0),   1,
                               6553599,       percent(150), percent(-30), percent(250)};
    std::uniform_int_distribution<int> pick(0, 15);
    const int i = pick(rng);
    if (i < 12) return listed[i];
    return std::uniform_int_distribution<PF_Fixed>(1, percent(100))(rng);
}

A_long random_size(std::mt19937& rng) {
    const A_long listed[] = {1, 2, 3, 7, 11, 13, 17, 23, 29, 31};
    std::uniform_int_distribution<int> pick(0, 14);
    const int i = pick(rng);
    return i < 10 ? listed[i] : std::uniform_int_distribution<A_long>(1, 40)(rng);
}

// Mostly host-like values, now and then values no popup or slider gives (modes other than 1
// are Euclidean, overlap modes other than 1 are Color, seeds wrap around).
Settings random_overlap_settings(std::mt19937& rng, Settings s) {
    const A_long modes[] = {1, 2, 1, 2, 1, 2, 0, 3};
    s.mode = modes[std::uniform_int_distribution<int>(0, 7)(rng)];
    s.completion = random_completion(rng);
    s.seed = std::uniform_int_distribution<int>(0, 9)(rng) == 0
                 ? static_cast<A_long>(rng())
                 : std::uniform_int_distribution<A_long>(0, 100000)(rng);
    const A_long overlaps[] = {1, 2, 1, 2, 1, 2, 0, 7};
    s.overlap_mode = overlaps[std::uniform_int_distribution<int>(0, 7)(rng)];
    s.color = {static_cast<A_u_char>(rng() & 0xFF), static_cast<A_u_char>(rng() & 0xFF),
               static_cast<A_u_char>(rng() & 0xFF), static_cast<A_u_char>(rng() & 0xFF)};
    const A_long blends[] = {1, 2, 3, 4, 5, 6, 7, 8, 0, 9, -3};
    s.blend_mode = blends[std::uniform_int_distribution<int>(0, 10)(rng)];
    const PF_Fixed opacities[] = {0,           percent(100), percent(50),
                                  percent(33), percent(150), percent(-20)};
    const int o = std::uniform_int_distribution<int>(0, 8)(rng);
    s.opacity =
        o < 6 ? opacities[o] : std::uniform_int_distribution<PF_Fixed>(0, percent(100))(rng);
    const A_long nums[] = {1, 1, 1, 2, 1, 0, -1};
    const A_u_long dens[] = {1, 2, 3, 3, 0, 1, 2};
    const int d = std::uniform_int_distribution<int>(0, 6)(rng);
    s.ds_num = nums[d];
    s.ds_den = dens[d];
    return s;
}

// Random layer and worlds: padded rows, sometimes an output wider than the input.
std::pair<World, World> random_worlds(std::mt19937& rng, bool deep, A_long w, A_long h) {
    const Depth depth = deep ? Depth::sixteen : Depth::eight;
    const A_long pad = 8 * std::uniform_int_distribution<A_long>(0, 2)(rng);
    World in(w, h, depth, pad);
    fill_random(in, rng);
    const A_long extra = std::uniform_int_distribution<A_long>(0, 3)(rng) == 0 ? 3 : 0;
    World out(w + extra, h, depth, 8 * std::uniform_int_distribution<A_long>(0, 2)(rng));
    fill_random(out, rng);  // stale content that the render must replace (or keep at 0 %)
    return {std::move(in), std::move(out)};
}

TEST(RenderGridReference, RandomParameterSetsMatchPixelForPixel) {
    std::mt19937 rng(20240611);
    for (int trial = 0; trial < 400; ++trial) {
        const bool deep = trial % 2 == 1;
        const A_long w = random_size(rng);
        const A_long h = random_size(rng);
        Settings s;
        s.split = kRowColumn;
        s.rows = std::uniform_int_distribution<A_long>(1, 45)(rng);
        s.columns = std::uniform_int_distribution<A_long>(1, 45)(rng);
        s.strip_width = std::uniform_int_distribution<A_long>(4, 50)(rng);
        s.strip_height = std::uniform_int_distribution<A_long>(4, 50)(rng);
        s = random_overlap_settings(rng, s);
        auto [in, out] = random_worlds(rng, deep, w, h);
        expect_matches_reference(std::move(in), std::move(out), s);
        if (HasFailure()) break;
    }
}

TEST(RenderGridReference, AxisOrderIsXFirstAtExactlyOneHalf) {
    // A seed whose first unit value after the restart is exactly 0.5, found by running the
    // generator backwards from the state 0xC0000000: block 0 must go along x first.
    const std::uint32_t a = 1103515245u;
    std::uint32_t inverse = a;
    for (int i = 0; i < 5; ++i) inverse *= 2u - a * inverse;
    const std::uint32_t before = (0xC0000000u - 12345u) * inverse;
    const auto seed = static_cast<A_long>((before - 12345u) * inverse);
    Lcg g;
    g.restart(seed);
    ASSERT_EQ(g.unit(), 0.5);

    Settings s;
    s.seed = seed;
    s.mode = kManhattan;
    s.completion = percent(50);
    bool found = false;
    for (A_long rows = 2; rows <= 5 && !found; ++rows) {
        for (A_long columns = 2; columns <= 5 && !found; ++columns) {
            s.rows = rows;
            s.columns = columns;
            const RefStep b0 = ref_grid_layout(20, 20, s).steps[0];
            ASSERT_TRUE(b0.x_first);
            // Only a block that moves on both axes shows its order.
            found = ref_offset(b0.dx, b0.dy, true, kManhattan, 0.5) !=
                    ref_offset(b0.dx, b0.dy, false, kManhattan, 0.5);
        }
    }
    ASSERT_TRUE(found);
    World in(20, 20);
    in.fill_test_picture();
    expect_matches_reference(in, World(20, 20), s);
}

TEST(RenderGridReference, TheInputDepthFollowsTheOutputWorld) {
    // An input world whose own flags say 8-bit is read as 16-bit when the output is 16-bit.
    World in(10, 6, Depth::sixteen, 16);
    in.fill_test_picture(true);
    Settings s;
    s.rows = 2;
    s.columns = 3;
    s.opacity = percent(45);
    s.blend_mode = kAdd;
    const World expected = ref_render(in, World(10, 6, Depth::sixteen), s);
    auto host = render_host(in, World(10, 6, Depth::sixteen), s);
    host->input().def()->world_flags = 0;
    ASSERT_EQ(host->send(PF_Cmd_RENDER), PF_Err_NONE);
    EXPECT_EQ(host->output().first_difference(expected), "");
}

// --- clipping

TEST(RenderGridClipping, BlocksPastTheEdgesLoseExactlyTheirOutsidePixels) {
    // Within 0 .. 100 % no block of the grid ever leaves the layer; a Completion past the
    // ends (150 %, -50 %) pushes the two swapped blocks out over each edge.
    World wide(8, 3);
    wide.fill_test_picture();
    World tall(3, 8);
    tall.fill_test_picture();
    Settings s;
    s.mode = kEuclidean;
    for (PF_Fixed completion : {percent(150), percent(-50), percent(175)}) {
        s.completion = completion;
        const double c = completion_of(s);
        // Across: Row 1, Column 2, the halves swap (dx = +4 and -4).
        s.rows = 1;
        s.columns = 2;
        auto h = render_host(wide, World(8, 3, Depth::eight, 8), s);
        ASSERT_EQ(h->send(PF_Cmd_RENDER), PF_Err_NONE);
        const A_long o = static_cast<A_long>(4 * c);
        for (A_long y = 0; y < 3; ++y) {
            for (A_long x = 0; x < 8; ++x) {
                // Block 0 (x 0..3) moved by +o, block 1 (x 4..7) by -o, block 1 over block 0.
                PF_Pixel want{};
                if (x - o >= 0 && x - o < 4) want = wide.px8(x - o, y);
                if (x + o >= 4 && x + o < 8) want = wide.px8(x + o, y);
                EXPECT_TRUE(same(h->output().px8(x, y), want)) << x << ", " << y << " c " << c;
            }
        }
        EXPECT_TRUE(h->output().padding_intact());
        // Down: Row 2, Column 1.
        s.rows = 2;
        s.columns = 1;
        auto v = render_host(tall, World(3, 8, Depth::eight, 8), s);
        ASSERT_EQ(v->send(PF_Cmd_RENDER), PF_Err_NONE);
        for (A_long y = 0; y < 8; ++y) {
            for (A_long x = 0; x < 3; ++x) {
                PF_Pixel want{};
                if (y - o >= 0 && y - o < 4) want = tall.px8(x, y - o);
                if (y + o >= 4 && y + o < 8) want = tall.px8(x, y + o);
                EXPECT_TRUE(same(v->output().px8(x, y), want)) << x << ", " << y << " c " << c;
            }
        }
        EXPECT_TRUE(v->output().padding_intact());
    }
}

TEST(RenderGridClipping, ManyBlocksThrownOutOnEveryEdgeMatchTheReference) {
    std::mt19937 rng(99);
    for (int trial = 0; trial < 60; ++trial) {
        const bool deep = trial % 2 == 0;
        Settings s;
        s.rows = std::uniform_int_distribution<A_long>(1, 6)(rng);
        s.columns = std::uniform_int_distribution<A_long>(1, 6)(rng);
        s = random_overlap_settings(rng, s);
        s.completion = std::uniform_int_distribution<PF_Fixed>(percent(-300), percent(300))(rng);
        const A_long w = random_size(rng) + 3;
        const A_long h = random_size(rng) + 3;
        auto [in, out] = random_worlds(rng, deep, w, h);
        expect_matches_reference(std::move(in), std::move(out), s);
        if (HasFailure()) break;
    }
}

// --- progress

TEST(RenderGridProgress, OneReportPerStepThenTheFinalOne) {
    World in(9, 7);
    in.fill_test_picture();
    Settings s;
    s.rows = 3;
    s.columns = 4;
    auto host = render_host(in, World(9, 7), s);
    ASSERT_EQ(host->send(PF_Cmd_RENDER), PF_Err_NONE);
    Progress want;
    for (A_long k = 0; k < 12; ++k) want.emplace_back(k, 13);
    want.emplace_back(13, 13);
    EXPECT_EQ(host->progress_log(), want);
}

TEST(RenderGridProgress, TheOutputIsClearedOnceBeforeDrawing) {
    World in(9, 7, Depth::sixteen);
    in.fill_test_picture();
    Settings s;
    s.rows = 3;
    s.columns = 4;
    auto host = render_host(in, World(9, 7, Depth::sixteen), s);
    ASSERT_EQ(host->send(PF_Cmd_RENDER), PF_Err_NONE);
    ASSERT_EQ(host->world_ops().size(), 1u);
    const simhost::WorldOp& op = host->world_ops()[0];
    EXPECT_EQ(op.fn, HostFn::fill);
    EXPECT_EQ(op.dst, simhost::WorldId::output);
    EXPECT_TRUE(op.dst_rect_null);
    EXPECT_FALSE(op.color_null);
    EXPECT_TRUE(same(op.color, PF_Pixel{0, 0, 0, 0}));
}

TEST(RenderGridProgress, ACancelStopsTheReportsButNotTheDrawing) {
    World in(9, 7);
    in.fill_test_picture(true);
    Settings s;
    s.rows = 3;
    s.columns = 4;
    s.opacity = percent(60);
    s.blend_mode = kScreen;
    auto clean = render_host(in, World(9, 7), s);
    ASSERT_EQ(clean->send(PF_Cmd_RENDER), PF_Err_NONE);
    const PF_Err cancel = 0x1234;
    for (std::size_t k = 0; k <= 12; ++k) {
        SCOPED_TRACE("cancel at report " + std::to_string(k));
        auto host = render_host(in, World(9, 7), s);
        std::vector<PF_Err> results(k, 0);
        results.push_back(cancel);
        host->set_progress_results(results);
        EXPECT_EQ(host->send(PF_Cmd_RENDER), cancel);
        EXPECT_EQ(host->output().first_difference(clean->output()), "");
        // The failing report is the last one; the final report only when every step passed.
        EXPECT_EQ(host->progress_log(),
                  Progress(clean->progress_log().begin(), clean->progress_log().begin() + k + 1));
        EXPECT_EQ(host->live_handles(), 0);
        EXPECT_TRUE(host->problems().empty()) << sweep::join(host->problems());
    }
}

// --- failure exits

TEST(RenderGridFailures, RefusedBlockTableReportsMemoryErrorAndTouchesNothing) {
    for (PF_Fixed completion : {0, percent(50), percent(100)}) {
        World in(9, 7);
        in.fill_test_picture();
        World out(9, 7, Depth::eight, 4);
        out.fill8({5, 6, 7, 8});
        Settings s;
        s.completion = completion;
        auto host = render_host(in, out, s);
        host->out_data().out_flags = PF_OutFlag_USE_OUTPUT_EXTENT;
        const auto before = host->output().snapshot();
        host->fail_call(HostFn::new_handle, 1);
        EXPECT_EQ(host->send(PF_Cmd_RENDER), PF_Err_INTERNAL_STRUCT_DAMAGED);
        EXPECT_EQ(host->message(), "Memory Error!");
        EXPECT_EQ(host->out_data().out_flags,
                  PF_OutFlag_USE_OUTPUT_EXTENT | PF_OutFlag_DISPLAY_ERROR_MESSAGE);
        EXPECT_EQ(host->output().snapshot(), before);
        EXPECT_TRUE(host->world_ops().empty());
        EXPECT_TRUE(host->progress_log().empty());
        EXPECT_TRUE(host->problems().empty()) << sweep::join(host->problems());
    }
}

TEST(RenderGridFailures, BlockTableTooLargeForTheHostSizeTypeIsAMemoryError) {
    // 20000 x 20000 blocks of 24 bytes need more than 2^32 bytes: a 32-bit host's size type
    // cannot express them, so nothing is asked of it; a 64-bit host is asked for the exact size
    // and refuses it. Never a truncated size, and no pixel is touched (the worlds have no pixels
    // behind them).
    const std::uint64_t exact = std::uint64_t{20000} * 20000 * sizeof(BlockRecord);
    PF_Pixel dummy[1] = {};
    PF_LayerDef def = worlds::layer_def(0, dummy, 20000 * 4, 20000, 20000);
    Settings s;
    s.rows = 20000;
    s.columns = 20000;
    for (PF_Fixed completion : {0, percent(50)}) {
        s.completion = completion;
        auto host = render_host(World::raw(def), World::raw(def), s);
        EXPECT_EQ(host->send(PF_Cmd_RENDER), PF_Err_INTERNAL_STRUCT_DAMAGED);
        EXPECT_EQ(host->message(), "Memory Error!");
        EXPECT_EQ(host->out_data().out_flags, PF_OutFlag_DISPLAY_ERROR_MESSAGE);
        EXPECT_EQ(host->calls(HostFn::new_handle), kHost64 ? 1 : 0);
        if (kHost64) {
            EXPECT_EQ(host->handle_requests().back(), exact);
        }
        EXPECT_TRUE(host->world_ops().empty());
        EXPECT_TRUE(host->progress_log().empty());
        EXPECT_TRUE(host->problems().empty()) << sweep::join(host->problems());
    }
}

TEST(RenderGridFailures, FailedCopyOrFillEndsTheRenderWithItsCode) {
    for (const bool zero : {true, false}) {
        World in(9, 7, Depth::sixteen);
        in.fill_test_picture();
        World out(9, 7, Depth::sixteen, 8);
        out.fill16({5, 6, 7, 8});
        Settings s;
        s.completion = zero ? 0 : percent(50);
        auto host = render_host(in, out, s);
        const auto before = host->output().snapshot();
        host->fail_call(zero ? HostFn::copy : HostFn::fill, 1, 0x777);
        EXPECT_EQ(host->send(PF_Cmd_RENDER), 0x777);
        EXPECT_EQ(host->output().snapshot(), before);
        EXPECT_TRUE(host->progress_log().empty());
        EXPECT_EQ(host->message(), "");
        EXPECT_EQ(host->out_data().out_flags, 0);
        EXPECT_EQ(host->calls(HostFn::new_handle), 1);
        EXPECT_TRUE(host->problems().empty()) << sweep::join(host->problems());
    }
}

// --- frames the render cannot use, and empty layers

TEST(RenderFrame, UnusableFramesSayErrorAndTouchNothing) {
    struct Case {
        std::string name;
        std::function<void(SimHost&)> spoil;
    };
    static PF_Pixel pixels[64] = {};
    const auto raw = [](A_long w, A_long h, A_long rowbytes, PF_Pixel* data) {
        return World::raw(worlds::layer_def(0, data, rowbytes, w, h));
    };
    const std::vector<Case> cases = {
        {"no parameters", [](SimHost& h) { h.pass_null_params(true); }},
        {"no input layer", [](SimHost& h) { h.pass_null_input(true); }},
        {"no output", [](SimHost& h) { h.pass_null_output(true); }},
        {"heights differ", [](SimHost& h) { h.set_output(World(8, 5)); }},
        {"output stride below the input width", [](SimHost& h) { h.set_output(World(7, 6)); }},
        {"output narrower than the input, its padding wide enough",
         [](SimHost& h) { h.set_output(World(7, 6, Depth::eight, 4)); }},
        {"input stride below its width", [&](SimHost& h) { h.set_input(raw(8, 6, 28, pixels)); }},
        {"input without pixels", [&](SimHost& h) { h.set_input(raw(8, 6, 32, nullptr)); }},
        {"output without pixels", [&](SimHost& h) { h.set_output(raw(8, 6, 32, nullptr)); }},
        {"negative width", [&](SimHost& h) { h.set_input(raw(-4, 6, 32, pixels)); }},
        {"negative height",
         [&](SimHost& h) {
             h.set_input(raw(2, -6, 8, pixels));
             h.set_output(raw(2, -6, 8, pixels));
         }},
        {"negative row bytes", [&](SimHost& h) { h.set_input(raw(8, 6, -32, pixels)); }},
        // 16-bit channels would straddle their boundaries on every other row.
        {"16-bit output with odd row bytes",
         [&](SimHost& h) {
             h.set_input(World::raw(worlds::layer_def(PF_WorldFlag_DEEP, pixels, 64, 8, 6)));
             h.set_output(World::raw(worlds::layer_def(PF_WorldFlag_DEEP, pixels, 65, 8, 6)));
         }},
        {"16-bit input with odd row bytes",
         [&](SimHost& h) {
             h.set_input(World::raw(worlds::layer_def(PF_WorldFlag_DEEP, pixels, 67, 8, 6)));
             h.set_output(World::raw(worlds::layer_def(PF_WorldFlag_DEEP, pixels, 64, 8, 6)));
         }},
    };
    for (const Case& c : cases) {
        for (PF_Fixed completion : {0, percent(50)}) {
            SCOPED_TRACE(c.name);
            World in(8, 6);
            in.fill_test_picture();
            World out(8, 6);
            out.fill8({1, 2, 3, 4});
            Settings s;
            s.completion = completion;
            auto host = render_host(in, out, s);
            c.spoil(*host);
            host->out_data().out_flags = PF_OutFlag_USE_OUTPUT_EXTENT;
            const auto before = host->output().snapshot();
            EXPECT_EQ(host->send(PF_Cmd_RENDER), PF_Err_INTERNAL_STRUCT_DAMAGED);
            EXPECT_EQ(host->message(), "Error!");
            EXPECT_EQ(host->out_data().out_flags,
                      PF_OutFlag_USE_OUTPUT_EXTENT | PF_OutFlag_DISPLAY_ERROR_MESSAGE);
            EXPECT_EQ(host->output().snapshot(), before);
            EXPECT_EQ(host->calls(HostFn::new_handle), 0);
            EXPECT_TRUE(host->world_ops().empty());
            EXPECT_TRUE(host->progress_log().empty());
            EXPECT_TRUE(host->problems().empty()) << sweep::join(host->problems());
        }
    }
}

TEST(RenderFrame, AnOutputWiderThanTheInputIsUsedOnlyAsWideAsTheInput) {
    World in(6, 4);
    in.fill_test_picture();
    Settings s;
    s.rows = 2;
    s.columns = 3;
    s.completion = percent(100);
    expect_matches_reference(in, World(11, 4, Depth::eight, 4), s);
}

TEST(RenderFrame, EmptyLayersHaveNoBlocksAndAllocateNothing) {
    for (const auto& [w, h] : {std::pair<A_long, A_long>{0, 6}, {8, 0}, {0, 0}}) {
        for (A_long split : {kRowColumn, kRowWidth, kHeightColumn}) {
            for (PF_Fixed completion : {0, percent(50), percent(100)}) {
                SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " split " +
                             std::to_string(split) + " completion " + std::to_string(completion));
                Settings s;
                s.split = split;
                s.completion = completion;
                s.strip_width = 4;
                s.strip_height = 4;
                auto host = render_host(World(w, h), World(w, h), s);
                EXPECT_EQ(host->send(PF_Cmd_RENDER), PF_Err_NONE);
                EXPECT_EQ(host->calls(HostFn::new_handle), 0);
                EXPECT_EQ(host->progress_log(), (Progress{{1, 1}}));
                EXPECT_EQ(host->message(), "");
                EXPECT_TRUE(host->problems().empty()) << sweep::join(host->problems());
            }
        }
    }
}

// --- fault sweep

TEST(RenderFaultSweep, RowAndColumn) {
    Settings s;
    s.rows = 2;
    s.columns = 3;
    s.opacity = percent(50);
    for (PF_Fixed completion : {0, percent(50), percent(100)}) {
        s.completion = completion;
        for (const Depth depth : {Depth::eight, Depth::sixteen}) {
            sweep_render("Render grid " + s.describe(), s, 7, 5, depth);
        }
    }
}

// --- 8-bit against 16-bit

void expect_depths_agree(const World& picture8, const Settings& s) {
    SCOPED_TRACE(s.describe());
    auto h8 = render_host(picture8, World(picture8.width(), picture8.height()), s);
    ASSERT_EQ(h8->send(PF_Cmd_RENDER), PF_Err_NONE);
    auto h16 = render_host(converted_to_16(picture8, 16),
                           World(picture8.width(), picture8.height(), Depth::sixteen), s);
    ASSERT_EQ(h16->send(PF_Cmd_RENDER), PF_Err_NONE);
    EXPECT_EQ(h16->output().first_difference(converted_to_16(h8->output())), "");
}

TEST(RenderDepths, CopiesAgreeAcrossDepths) {
    std::mt19937 rng(5);
    for (int trial = 0; trial < 40; ++trial) {
        const A_long w = random_size(rng);
        World picture(w, random_size(rng));
        fill_random(picture, rng);
        Settings s;
        s.split = 1 + trial % 3;
        s.rows = std::uniform_int_distribution<A_long>(1, 9)(rng);
        s.columns = std::uniform_int_distribution<A_long>(1, 9)(rng);
        s.strip_width = std::uniform_int_distribution<A_long>(4, 12)(rng);
        s.strip_height = std::uniform_int_distribution<A_long>(4, 12)(rng);
        s = random_overlap_settings(rng, s);
        s.ds_num = 1;
        s.ds_den = 1;
        // Exactly 0 % and 100 %: every pixel is a copy.
        for (PF_Fixed completion : {0, percent(100)}) {
            s.completion = completion;
            expect_depths_agree(picture, s);
        }
        // 0 % Opacity: every overlap keeps the earlier pixel, so no pixel is ever mixed.
        s.completion = random_completion(rng);
        s.opacity = 0;
        expect_depths_agree(picture, s);
        // A single block never moves.
        Settings single = s;
        single.split = kRowColumn;
        single.rows = 1;
        single.columns = 1;
        single.opacity = percent(50);
        expect_depths_agree(picture, single);
        if (HasFailure()) break;
    }
}

TEST(RenderDepths, PixelsNeverMixedAgreeAcrossDepths) {
    // Whether a pixel is free depends only on alpha being 0, which the conversion keeps, so
    // both depths mix the same pixels; all others must agree exactly.
    std::mt19937 rng(17);
    for (int trial = 0; trial < 60; ++trial) {
        const A_long w = random_size(rng);
        World picture(w, random_size(rng));
        fill_random(picture, rng);
        Settings s;
        s.split = 1 + trial % 3;
        s.rows = std::uniform_int_distribution<A_long>(1, 9)(rng);
        s.columns = std::uniform_int_distribution<A_long>(1, 9)(rng);
        s.strip_width = std::uniform_int_distribution<A_long>(4, 12)(rng);
        s.strip_height = std::uniform_int_distribution<A_long>(4, 12)(rng);
        s = random_overlap_settings(rng, s);
        SCOPED_TRACE(s.describe());
        std::vector<bool> mixed;
        ref_render(picture, World(picture.width(), picture.height()), s, &mixed);
        auto h8 = render_host(picture, World(picture.width(), picture.height()), s);
        ASSERT_EQ(h8->send(PF_Cmd_RENDER), PF_Err_NONE);
        auto h16 = render_host(converted_to_16(picture),
                               World(picture.width(), picture.height(), Depth::sixteen), s);
        ASSERT_EQ(h16->send(PF_Cmd_RENDER), PF_Err_NONE);
        for (A_long y = 0; y < picture.height(); ++y) {
            for (A_long x = 0; x < picture.width(); ++x) {
                if (mixed[static_cast<std::size_t>(y * picture.width() + x)]) continue;
                EXPECT_TRUE(same(h16->output().px16(x, y), to16(h8->output().px8(x, y))))
                    << x << ", " << y;
            }
        }
        if (HasFailure()) break;
    }
}

// --- rows whose byte count is not a whole number of pixels

// A host may pad rows by any number of bytes (an even number for 16-bit channels). Every row
// must be found at its own byte offset: pixels drawn where they belong, padding left alone.
TEST(RenderRowBytes, RowsPaddedByPartPixelsAreDrawnInPlace) {
    std::mt19937 rng(7321);
    for (const bool deep : {false, true}) {
        const Depth depth = deep ? Depth::sixteen : Depth::eight;
        const std::vector<A_long> pads =
            deep ? std::vector<A_long>{2, 4, 6, 10} : std::vector<A_long>{1, 2, 3, 5};
        for (const A_long in_pad : pads) {
            for (const A_long out_pad : {A_long{0}, pads[1], pads[2]}) {
                // Split 3 at 0 %: the host's copy between the padded worlds.
                for (const A_long split : {kRowColumn, kRowWidth, kHeightColumn, A_long{0}}) {
                    SCOPED_TRACE("pads " + std::to_string(in_pad) + "/" + std::to_string(out_pad));
                    Settings s;
                    s.split = split == 0 ? kHeightColumn : split;
                    s.rows = 3;
                    s.columns = 4;
                    s.strip_width = 6;
                    s.strip_height = 5;
                    s.completion = percent(split == 0 ? 0 : 60);
                    s.blend_mode = kMultiply;
                    s.opacity = percent(70);
                    World in(23, 17, depth, in_pad);
                    fill_random(in, rng);
                    World out(23, 17, depth, out_pad);
                    fill_random(out, rng);
                    expect_matches_reference(std::move(in), std::move(out), s);
                    if (HasFailure()) return;
                }
            }
        }
    }
}

}  // namespace
