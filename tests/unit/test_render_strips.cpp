// The Render command in "Row & Width" and "Height & Column", driven through EntryPointFunc and
// the simulated host: the 20 x 10 worked example, one strip, one line, empty strips, the last
// strip, strip counts that could never end, layout properties over random set-ups, agreement
// with the reference renderer, allocation failures and the fault sweep.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "render_helpers.h"

namespace {

using namespace rendertest;

// "Row & Width", 20 x 10, Row 2, Width 10, seed 0: the drawing steps (i, j) in order, as
// source rectangle x0, x1, y0, y1 and displacement dx, dy; strip sizes [8, 6, 6].
const RefStep kWorkedSteps[6] = {
    {6, 14, 0, 5, 6, 5, true},      {0, 6, 0, 5, 0, 0, false},  {14, 20, 0, 5, -14, 5, true},
    {12, 20, 5, 10, -6, -5, false}, {6, 12, 5, 10, 0, 0, true}, {0, 6, 5, 10, 14, -5, false},
};
// The x_first flags above are those of blocks 0 to 5 with seed 0: 1, 0, 1, 0, 1, 0.

Settings worked_settings() {
    Settings s;
    s.split = kRowWidth;
    s.rows = 2;
    s.strip_width = 10;
    s.seed = 0;
    return s;
}

RefStep transposed(const RefStep& st) {
    return {st.y0, st.y1, st.x0, st.x1, st.dy, st.dx, st.x_first};
}

Depth depth_of(bool deep) {
    return deep ? Depth::sixteen : Depth::eight;
}

World picture(A_long w, A_long h, bool deep, A_long pad = 0, bool holes = false) {
    World p(w, h, depth_of(deep), pad);
    p.fill_test_picture(holes);
    return p;
}

// At 100 %: every destination covered exactly once by the translated source rectangles.
template <class P>
void expect_tiled_as(const World& in, World& out, const std::vector<RefStep>& steps) {
    std::vector<int> cover(static_cast<std::size_t>(in.width() * in.height()), 0);
    for (const RefStep& st : steps) {
        for (A_long y = st.y0; y < st.y1; ++y) {
            for (A_long x = st.x0; x < st.x1; ++x) {
                const A_long xd = x + st.dx;
                const A_long yd = y + st.dy;
                ASSERT_TRUE(xd >= 0 && xd < in.width() && yd >= 0 && yd < in.height());
                ++cover[static_cast<std::size_t>(yd * in.width() + xd)];
                EXPECT_TRUE(same(px<P>(out, xd, yd), cpx<P>(in, x, y)))
                    << "(" << x << ", " << y << ") should be at (" << xd << ", " << yd << ")";
            }
        }
    }
    for (int c : cover) ASSERT_EQ(c, 1);
}

void expect_tiled(const World& in, World& out, const std::vector<RefStep>& steps) {
    with_pixel_of(out, [&](auto pixel) { expect_tiled_as<decltype(pixel)>(in, out, steps); });
}

// --- the worked example

TEST(RenderStripsWorkedExample, ReferenceReproducesTheTable) {
    const RefLayout layout = ref_strip_layout(20, 10, worked_settings());
    EXPECT_EQ(layout.strip_sizes, (std::vector<A_long>{8, 6, 6}));
    ASSERT_EQ(layout.steps.size(), 6u);
    for (std::size_t k = 0; k < 6; ++k) {
        const RefStep& a = layout.steps[k];
        const RefStep& b = kWorkedSteps[k];
        EXPECT_EQ(std::tie(a.x0, a.x1, a.y0, a.y1, a.dx, a.dy, a.x_first),
                  std::tie(b.x0, b.x1, b.y0, b.y1, b.dx, b.dy, b.x_first))
            << "step " << k;
    }
}

TEST(RenderStripsWorkedExample, HundredPercentRebuildsTheLayerAsTheTableSays) {
    const std::vector<RefStep> steps(std::begin(kWorkedSteps), std::end(kWorkedSteps));
    std::vector<RefStep> steps_t;
    for (const RefStep& st : steps) steps_t.push_back(transposed(st));
    for (const bool deep : {false, true}) {
        for (A_long mode : {kManhattan, kEuclidean}) {
            Settings s = worked_settings();
            s.mode = mode;
            s.completion = percent(100);
            s.overlap_mode = kColorOverlap;
            s.opacity = percent(50);
            const World in = picture(20, 10, deep, 8, true);
            auto host = render_host(in, World(20, 10, depth_of(deep), 16), s);
            ASSERT_EQ(host->send(PF_Cmd_RENDER), PF_Err_NONE);
            expect_tiled(in, host->output(), steps);
            EXPECT_TRUE(host->output().padding_intact());
            EXPECT_EQ(host->progress_log(),
                      (Progress{{0, 7}, {1, 7}, {2, 7}, {3, 7}, {4, 7}, {5, 7}, {7, 7}}));
            EXPECT_TRUE(host->problems().empty()) << sweep::join(host->problems());

            // "Height & Column" on the transposed layer is the same layout transposed.
            Settings t = s;
            t.split = kHeightColumn;
            t.rows = 1;
            t.columns = 2;
            t.strip_height = 10;
            t.strip_width = 77;
            const World in_t = picture(10, 20, deep);
            auto host_t = render_host(in_t, World(10, 20, depth_of(deep)), t);
            ASSERT_EQ(host_t->send(PF_Cmd_RENDER), PF_Err_NONE);
            expect_tiled(in_t, host_t->output(), steps_t);
        }
    }
}

TEST(RenderStripsWorkedExample, IntermediateCompletionsFollowTheTable) {
    // The expected picture comes from the table's rectangles and displacements alone, moved by
    // the motion rule and drawn with the pixel rule.
    RefLayout table;
    table.steps.assign(std::begin(kWorkedSteps), std::end(kWorkedSteps));
    for (const bool deep : {false, true}) {
        for (A_long mode : {kManhattan, kEuclidean}) {
            for (PF_Fixed completion :
                 {percent(0.1), percent(29), percent(50), percent(77), percent(99.9)}) {
                for (A_long overlap : {kFootage, kColorOverlap}) {
                    Settings s = worked_settings();
                    s.mode = mode;
                    s.completion = completion;
                    s.overlap_mode = overlap;
                    s.blend_mode = kMultiply;
                    s.opacity = percent(80);
                    s.color = {255, 40, 140, 240};
                    SCOPED_TRACE(s.describe());
                    const World in = picture(20, 10, deep, 0, true);
                    World expected(20, 10, depth_of(deep));
                    if (deep) {
                        ref_draw<PF_Pixel16>(in, expected, 20, 10, table, s, nullptr);
                    } else {
                        ref_draw<PF_Pixel>(in, expected, 20, 10, table, s, nullptr);
                    }
                    auto host = render_host(in, World(20, 10, depth_of(deep), 8), s);
                    ASSERT_EQ(host->send(PF_Cmd_RENDER), PF_Err_NONE);
                    EXPECT_EQ(host->output().first_difference(expected), "");
                }
            }
        }
    }
}

// --- particular shapes

// Lines of `thickness` pixels across the uniform axis; returns, for every output line, the
// input line it is a whole copy of, or -1.
template <class P>
std::vector<A_long> whole_lines(const World& in, World& out, bool rows, A_long thickness) {
    const A_long count = (rows ? in.height() : in.width()) / thickness;
    std::vector<A_long> source(static_cast<std::size_t>(count), -1);
    for (A_long to = 0; to < count; ++to) {
        for (A_long from = 0; from < count && source[to] < 0; ++from) {
            bool equal = true;
            for (A_long a = 0; a < thickness && equal; ++a) {
                const A_long along = rows ? in.width() : in.height();
                for (A_long b = 0; b < along && equal; ++b) {
                    const A_long xo = rows ? b : to * thickness + a;
                    const A_long yo = rows ? to * thickness + a : b;
                    const A_long xi = rows ? b : from * thickness + a;
                    const A_long yi = rows ? from * thickness + a : b;
                    equal = same(px<P>(out, xo, yo), cpx<P>(in, xi, yi));
                }
            }
            if (equal) source[to] = from;
        }
    }
    return source;
}

TEST(RenderStripsShapes, OneStripMovesWholeLines) {
    // A first drawn size of 67 covers the 16 pixels at once: S = 1, every piece a whole line.
    for (const bool deep : {false, true}) {
        for (A_long split : {kRowWidth, kHeightColumn}) {
            for (A_long seed : {0, 1, 2, 3, 4}) {
                Settings s;
                s.split = split;
                s.rows = 4;
                s.columns = 4;
                s.strip_width = 100;
                s.strip_height = 100;
                s.seed = seed;
                s.completion = percent(100);
                const bool rows = split == kRowWidth;
                const World in = picture(rows ? 16 : 12, rows ? 12 : 16, deep);
                ASSERT_EQ(ref_layout(in.width(), in.height(), s).strip_sizes,
                          (std::vector<A_long>{16}));
                auto host = render_host(in, World(in.width(), in.height(), depth_of(deep)), s);
                ASSERT_EQ(host->send(PF_Cmd_RENDER), PF_Err_NONE);
                EXPECT_EQ(host->progress_log().back(), (std::pair<A_long, A_long>{5, 5}));
                std::vector<A_long> from =
                    deep ? whole_lines<PF_Pixel16>(in, host->output(), rows, 3)
                         : whole_lines<PF_Pixel>(in, host->output(), rows, 3);
                std::sort(from.begin(), from.end());
                EXPECT_EQ(from, (std::vector<A_long>{0, 1, 2, 3})) << "seed " << seed;
                for (PF_Fixed completion : {percent(40), percent(100)}) {
                    s.completion = completion;
                    expect_matches_reference(in, World(in.width(), in.height(), depth_of(deep)), s);
                }
            }
        }
    }
}

TEST(RenderStripsShapes, OneLineOnlySlidesAlongItself) {
    // Row 1 or Column 1: every piece stays in the line; with opaque footage covering, every
    // drawn pixel is an input pixel of the same row ("Row & Width") or column.
    for (A_long split : {kRowWidth, kHeightColumn}) {
        for (A_long seed : {0, 7, 99, 1234}) {
            for (A_long mode : {kManhattan, kEuclidean}) {
                for (PF_Fixed completion : {percent(20), percent(63), percent(100)}) {
                    Settings s;
                    s.split = split;
                    s.rows = 1;
                    s.columns = 1;
                    s.strip_width = 9;
                    s.strip_height = 9;
                    s.seed = seed;
                    s.mode = mode;
                    s.completion = completion;
                    SCOPED_TRACE(s.describe());
                    const World in = picture(37, 29, false);
                    auto host = render_host(in, World(37, 29), s);
                    ASSERT_EQ(host->send(PF_Cmd_RENDER), PF_Err_NONE);
                    std::map<std::pair<int, int>, int> landed;
                    for (A_long y = 0; y < 29; ++y) {
                        for (A_long x = 0; x < 37; ++x) {
                            const PF_Pixel p = host->output().px8(x, y);
                            if (p.alpha == 0) continue;
                            // red is the source x, green the source y.
                            EXPECT_TRUE(same(p, World::test_pixel8(p.red, p.green)));
                            EXPECT_EQ(split == kRowWidth ? p.green : p.red,
                                      split == kRowWidth ? y : x);
                            ++landed[{p.red, p.green}];
                        }
                    }
                    if (completion == percent(100)) {
                        // Every input pixel lands exactly once.
                        EXPECT_EQ(landed.size(), 37u * 29u);
                    }
                    expect_matches_reference(in, World(37, 29, Depth::eight, 4), s);
                }
            }
        }
    }
}

TEST(RenderStripsShapes, EmptyStripsDrawNothing) {
    // Width 5 at downsample 1/5: trunc((2u + 4) / 5) is 1 for u >= 0.5, else 0. With seed 0
    // the draws 0.655, 0.305, 0.675, 0.107, 0.517 give 1, 0, 1, 0, 1 on a layer 3 wide.
    Settings s;
    s.split = kRowWidth;
    s.rows = 2;
    s.strip_width = 5;
    s.ds_num = 1;
    s.ds_den = 5;
    EXPECT_EQ(ref_layout(3, 4, s).strip_sizes, (std::vector<A_long>{1, 0, 1, 0, 1}));
    for (const bool deep : {false, true}) {
        const World in = picture(3, 4, deep);
        for (PF_Fixed completion : {percent(35), percent(70), percent(100)}) {
            s.completion = completion;
            for (A_long mode : {kManhattan, kEuclidean}) {
                s.mode = mode;
                expect_matches_reference(in, World(3, 4, depth_of(deep)), s);
            }
        }
        // Ten steps, four of them empty; at 100 % the other six rebuild the layer.
        s.completion = percent(100);
        auto host = render_host(in, World(3, 4, depth_of(deep)), s);
        ASSERT_EQ(host->send(PF_Cmd_RENDER), PF_Err_NONE);
        EXPECT_EQ(host->progress_log().size(), 11u);
        std::vector<RefStep> drawn;
        for (const RefStep& st : ref_layout(3, 4, s).steps) {
            if (st.x0 < st.x1) drawn.push_back(st);
        }
        EXPECT_EQ(drawn.size(), 6u);
        expect_tiled(in, host->output(), drawn);
    }
}

TEST(RenderStripsShapes, TheLastStripTakesWhatRemains) {
    // Width 100 on 200 pixels, seed 0: drawn 67, 33, 69, 14, 54; the last strip is 17.
    Settings s;
    s.split = kRowWidth;
    s.rows = 1;
    s.strip_width = 100;
    s.completion = percent(100);
    EXPECT_EQ(ref_layout(200, 3, s).strip_sizes, (std::vector<A_long>{67, 33, 69, 14, 17}));
    const World in = picture(200, 3, false);
    auto host = render_host(in, World(200, 3), s);
    ASSERT_EQ(host->send(PF_Cmd_RENDER), PF_Err_NONE);
    // Cut the rebuilt row where the source x stops running on; the pieces are the strips.
    std::vector<A_long> pieces{1};
    for (A_long x = 1; x < 200; ++x) {
        if (host->output().px8(x, 0).red == host->output().px8(x - 1, 0).red + 1) {
            ++pieces.back();
        } else {
            pieces.push_back(1);
        }
    }
    std::sort(pieces.begin(), pieces.end());
    EXPECT_EQ(pieces, (std::vector<A_long>{14, 17, 33, 67, 69}));
    expect_matches_reference(in, World(200, 3), s);
    // On 640 pixels: fourteen strips, the last 640 - 593 = 47 of a drawn 66.
    EXPECT_EQ(ref_layout(640, 1, s).strip_sizes,
              (std::vector<A_long>{67, 33, 69, 14, 54, 51, 62, 39, 28, 40, 84, 20, 32, 47}));
    s.completion = percent(45);
    expect_matches_reference(picture(640, 2, false), World(640, 2), s);
}

TEST(RenderStripsShapes, StripCountsThatCouldNeverEndUseOnePixelStrips) {
    // Width 4 at 1/5, and downsample factors of 0 or below: no draw reaches a pixel, so every
    // strip is one pixel. A zero denominator counts as full resolution.
    struct Case {
        A_long num;
        A_u_long den;
        A_long strips;  // on a layer 7 wide or high, Width / Height 4
    };
    for (const Case c : {Case{1, 5, 7}, Case{0, 1, 7}, Case{-1, 2, 7}, Case{1, 0, 2}}) {
        for (A_long split : {kRowWidth, kHeightColumn}) {
            for (const bool deep : {false, true}) {
                Settings s;
                s.split = split;
                s.rows = 2;
                s.columns = 2;
                s.strip_width = 4;
                s.strip_height = 4;
                s.ds_num = c.num;
                s.ds_den = c.den;
                s.completion = percent(60);
                SCOPED_TRACE(s.describe());
                const World in = picture(7, 7, deep);
                auto host = render_host(in, World(7, 7, depth_of(deep)), s);
                ASSERT_EQ(host->send(PF_Cmd_RENDER), PF_Err_NONE);
                const A_long n = 2 * c.strips;
                EXPECT_EQ(host->progress_log().back(), (std::pair<A_long, A_long>{n + 1, n + 1}));
                expect_matches_reference(in, World(7, 7, depth_of(deep)), s);
            }
        }
    }
}

TEST(RenderStripsShapes, StripCountsBeyondAnyTableFailAsARefusedAllocation) {
    // Sizes that are nearly always 0 at this downsample: the count stops where the block table
    // could no longer be held, and the render fails as if the host had refused it.
    Settings s;
    s.split = kRowWidth;
    s.rows = 48;
    s.strip_width = 2000;
    s.ds_num = 1000000;
    s.ds_den = 2000999999;
    const World out = picture(64, 48, false, 3);
    auto host = render_host(picture(64, 48, false), out, s);
    EXPECT_EQ(host->send(PF_Cmd_RENDER), PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(host->message(), "Memory Error!");
    EXPECT_EQ(host->out_data().out_flags, PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    EXPECT_EQ(host->calls(HostFn::new_handle), 0);
    EXPECT_EQ(host->output().first_difference(out), "");
    EXPECT_TRUE(host->output().padding_intact());
    EXPECT_TRUE(host->problems().empty()) << sweep::join(host->problems());
}

// --- properties over random set-ups

struct StripCase {
    Settings s;
    A_long w, h;
    bool deep;
};

StripCase random_strip_case(std::mt19937& rng, bool even_lines) {
    StripCase c;
    c.deep = std::uniform_int_distribution<int>(0, 1)(rng) == 1;
    c.s.split = std::uniform_int_distribution<int>(0, 1)(rng) == 0 ? kRowWidth : kHeightColumn;
    c.s.seed = std::uniform_int_distribution<A_long>(0, 100000)(rng);
    c.s.mode = std::uniform_int_distribution<A_long>(1, 2)(rng);
    const A_long lines = std::uniform_int_distribution<A_long>(1, 9)(rng);
    c.s.rows = lines;
    c.s.columns = lines;
    c.s.strip_width = std::uniform_int_distribution<A_long>(4, 30)(rng);
    c.s.strip_height = std::uniform_int_distribution<A_long>(4, 30)(rng);
    const A_long along = std::uniform_int_distribution<A_long>(1, 60)(rng);
    A_long across = std::uniform_int_distribution<A_long>(1, 40)(rng);
    if (even_lines) across = lines * std::uniform_int_distribution<A_long>(1, 5)(rng);
    const bool rw = c.s.split == kRowWidth;
    c.w = rw ? along : across;
    c.h = rw ? across : along;
    return c;
}

template <class P>
std::vector<std::tuple<int, int, int, int>> sorted_pixels(const World& w) {
    std::vector<std::tuple<int, int, int, int>> all;
    for (A_long y = 0; y < w.height(); ++y) {
        for (A_long x = 0; x < w.width(); ++x) {
            const P p = cpx<P>(w, x, y);
            all.emplace_back(p.alpha, p.red, p.green, p.blue);
        }
    }
    std::sort(all.begin(), all.end());
    return all;
}

TEST(RenderStripsProperties, AtHundredPercentEvenLinesArePermutedAndModeDoesNotMatter) {
    std::mt19937 rng(31337);
    for (int trial = 0; trial < 120; ++trial) {
        StripCase c = random_strip_case(rng, true);
        c.s.completion = percent(100);
        SCOPED_TRACE(c.s.describe() + " layer " + std::to_string(c.w) + "x" + std::to_string(c.h));
        const World in = picture(c.w, c.h, c.deep, 8);
        World outputs[2];
        for (A_long mode : {kManhattan, kEuclidean}) {
            Settings s = c.s;
            s.mode = mode;
            auto host = render_host(in, World(c.w, c.h, depth_of(c.deep)), s);
            ASSERT_EQ(host->send(PF_Cmd_RENDER), PF_Err_NONE);
            outputs[mode - 1] = host->output();
        }
        EXPECT_EQ(outputs[0].first_difference(outputs[1]), "");
        // All pixels of the test picture differ, so equal multisets mean every input pixel
        // landed exactly once.
        if (c.deep) {
            EXPECT_EQ(sorted_pixels<PF_Pixel16>(outputs[0]), sorted_pixels<PF_Pixel16>(in));
        } else {
            EXPECT_EQ(sorted_pixels<PF_Pixel>(outputs[0]), sorted_pixels<PF_Pixel>(in));
        }
        if (HasFailure()) break;
    }
}

TEST(RenderStripsProperties, EveryDrawnPixelIsTheInputPixelOfItsPiece) {
    // Opaque footage covering at full opacity: no pixel is ever mixed, so every drawn pixel is
    // an input pixel, and the pixels of one piece keep their relative places: along the strip
    // axis a piece's pixels move by one displacement per source slot.
    std::mt19937 rng(4242);
    for (int trial = 0; trial < 120; ++trial) {
        StripCase c = random_strip_case(rng, false);
        c.deep = false;
        c.s.completion = std::uniform_int_distribution<PF_Fixed>(1, percent(100))(rng);
        SCOPED_TRACE(c.s.describe() + " layer " + std::to_string(c.w) + "x" + std::to_string(c.h));
        const World in = picture(c.w, c.h, false);
        auto host = render_host(in, World(c.w, c.h), c.s);
        ASSERT_EQ(host->send(PF_Cmd_RENDER), PF_Err_NONE);
        const RefLayout layout = ref_layout(c.w, c.h, c.s);
        for (A_long y = 0; y < c.h; ++y) {
            for (A_long x = 0; x < c.w; ++x) {
                const PF_Pixel p = host->output().px8(x, y);
                if (p.alpha == 0) continue;
                ASSERT_TRUE(same(p, World::test_pixel8(p.red, p.green)))
                    << "(" << x << ", " << y << ") holds a mixed pixel " << show(p);
                // The source pixel belongs to exactly one piece; its move must be that piece's.
                bool explained = false;
                for (const RefStep& st : layout.steps) {
                    if (p.red < st.x0 || p.red >= st.x1 || p.green < st.y0 || p.green >= st.y1) {
                        continue;
                    }
                    const auto [ox, oy] =
                        ref_offset(st.dx, st.dy, st.x_first, c.s.mode, completion_of(c.s));
                    explained = x - p.red == ox && y - p.green == oy;
                }
                ASSERT_TRUE(explained) << "(" << x << ", " << y << ") from (" << int{p.red} << ", "
                                       << int{p.green} << ")";
            }
        }
        if (HasFailure()) break;
    }
}

TEST(RenderStripsProperties, EveryCompletionAndModeFollowsOneLayout) {
    // The same set-up rendered at several completions and both modes: every render matches the
    // reference built from one layout.
    std::mt19937 rng(8080);
    for (int trial = 0; trial < 20; ++trial) {
        const StripCase c = random_strip_case(rng, false);
        const World in = picture(c.w, c.h, c.deep, 0, true);
        for (A_long mode : {kManhattan, kEuclidean}) {
            for (PF_Fixed completion : {percent(1), percent(33), percent(66), percent(100)}) {
                Settings s = c.s;
                s.mode = mode;
                s.completion = completion;
                expect_matches_reference(in, World(c.w, c.h, depth_of(c.deep)), s);
            }
        }
        if (HasFailure()) break;
    }
}

// --- reference renderer

TEST(RenderStripsReference, RandomParameterSetsMatchPixelForPixel) {
    std::mt19937 rng(777);
    const PF_Fixed completions[] = {percent(0.1), percent(29), percent(50), percent(99.9),
                                    percent(100), percent(0),  percent(58), percent(150),
                                    percent(-40), 1,           6553599,     percent(71)};
    const A_long nums[] = {1, 1, 2, 1, 1, 0, -1, 3};
    const A_u_long dens[] = {1, 2, 3, 3, 5, 1, 2, 0};
    for (int trial = 0; trial < 300; ++trial) {
        StripCase c = random_strip_case(rng, trial % 3 == 0);
        Settings& s = c.s;
        // Any Split value but 1 and 2 is "Height & Column".
        if (s.split == kHeightColumn && trial % 4 == 1) s.split = trial % 8 == 1 ? 0 : 4;
        s.rows = std::uniform_int_distribution<A_long>(1, 45)(rng);
        s.columns = std::uniform_int_distribution<A_long>(1, 45)(rng);
        s.completion = completions[std::uniform_int_distribution<int>(0, 11)(rng)];
        s.overlap_mode = std::uniform_int_distribution<A_long>(1, 2)(rng);
        s.blend_mode = std::uniform_int_distribution<A_long>(0, 9)(rng);
        s.opacity = std::uniform_int_distribution<PF_Fixed>(percent(-10), percent(110))(rng);
        s.color = {static_cast<A_u_char>(rng() & 0xFF), static_cast<A_u_char>(rng() & 0xFF),
                   static_cast<A_u_char>(rng() & 0xFF), static_cast<A_u_char>(rng() & 0xFF)};
        const int d = std::uniform_int_distribution<int>(0, 7)(rng);
        s.ds_num = nums[d];
        s.ds_den = dens[d];
        const Depth depth = depth_of(c.deep);
        World in(c.w, c.h, depth, 8 * std::uniform_int_distribution<A_long>(0, 2)(rng));
        fill_random(in, rng);
        World out(c.w + (trial % 5 == 0 ? 2 : 0), c.h, depth, 8);
        fill_random(out, rng);
        expect_matches_reference(std::move(in), std::move(out), s);
        if (HasFailure()) break;
    }
}

// --- allocation failures

TEST(RenderStripsFailures, RefusedStripTablesReportMemoryErrorAndLeaveTheOutputCleared) {
    for (A_long split : {kRowWidth, kHeightColumn}) {
        for (const bool deep : {false, true}) {
            for (int refused : {2, 3}) {
                SCOPED_TRACE("split " + std::to_string(split) + " allocation " +
                             std::to_string(refused));
                Settings s;
                s.split = split;
                s.strip_width = 5;
                s.strip_height = 5;
                World out(11, 9, depth_of(deep), 8);
                if (deep) {
                    out.fill16({1, 2, 3, 4});
                } else {
                    out.fill8({1, 2, 3, 4});
                }
                auto host = render_host(picture(11, 9, deep), out, s);
                host->out_data().out_flags = PF_OutFlag_DEEP_COLOR_AWARE;
                host->fail_call(HostFn::new_handle, refused);
                EXPECT_EQ(host->send(PF_Cmd_RENDER), PF_Err_INTERNAL_STRUCT_DAMAGED);
                EXPECT_EQ(host->message(), "Memory Error!");
                EXPECT_EQ(host->out_data().out_flags,
                          PF_OutFlag_DEEP_COLOR_AWARE | PF_OutFlag_DISPLAY_ERROR_MESSAGE);
                EXPECT_EQ(host->calls(HostFn::new_handle), refused);
                EXPECT_EQ(host->calls(HostFn::dispose_handle), refused - 1);
                EXPECT_EQ(host->calls(HostFn::fill), 1);
                EXPECT_TRUE(host->progress_log().empty());
                World cleared(11, 9, depth_of(deep));
                EXPECT_EQ(host->output().first_difference(cleared), "");
                EXPECT_TRUE(host->output().padding_intact());
                EXPECT_TRUE(host->problems().empty()) << sweep::join(host->problems());
            }
        }
    }
}

// --- fault sweep

TEST(RenderFaultSweep, StripModes) {
    for (A_long split : {kRowWidth, kHeightColumn}) {
        Settings s;
        s.split = split;
        s.rows = 2;
        s.columns = 2;
        s.strip_width = 4;
        s.strip_height = 4;
        s.seed = 3;
        s.overlap_mode = kColorOverlap;
        s.opacity = percent(60);
        for (PF_Fixed completion : {0, percent(50), percent(100)}) {
            s.completion = completion;
            for (const Depth depth : {Depth::eight, Depth::sixteen}) {
                sweep_render("Render strips " + s.describe(), s, 7, 6, depth);
            }
        }
    }
}

}  // namespace
