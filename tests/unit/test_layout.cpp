// Random source, shuffles, grid shape, strip sizes and motion, checked against worked numbers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <random>
#include <utility>
#include <vector>

#include "layout/block_grid.h"
#include "layout/block_motion.h"
#include "layout/random_source.h"
#include "layout/strip_layout.h"
#include "params/param_ids.h"

namespace {

std::vector<std::int32_t> shuffled_targets(std::int32_t n, std::int32_t seed = 0) {
    std::vector<BlockRecord> blocks(static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n; ++i) {
        blocks[i].target = i;
        blocks[i].x = 1000 + i;  // must survive the shuffle
    }
    RandomSource random;
    EXPECT_EQ(shuffle_targets(blocks.data(), n, seed, random), 0);
    std::vector<std::int32_t> targets;
    for (std::int32_t i = 0; i < n; ++i) {
        EXPECT_EQ(blocks[i].x, 1000 + i);
        targets.push_back(blocks[i].target);
    }
    return targets;
}

FrameSize context(std::int32_t width, std::int32_t height) {
    return FrameSize{width, height};
}

// The largest handle of a 32-bit and of a 64-bit host.
constexpr std::uint64_t kHandle32 = 0xFFFFFFFFu;
constexpr std::uint64_t kHandle64 = std::numeric_limits<std::uint64_t>::max();

LayoutParams snapshot(std::int32_t split, std::int32_t rows, std::int32_t columns,
                      std::int32_t strip_width, std::int32_t strip_height,
                      double downsample = 1.0) {
    LayoutParams snap{};
    snap.split = split;
    snap.rows = rows;
    snap.columns = columns;
    snap.strip_width = strip_width;
    snap.strip_height = strip_height;
    snap.downsample = downsample;
    snap.mode = kModeManhattan;
    return snap;
}

std::vector<std::int32_t> drawn_sizes(std::int32_t base, std::int32_t length, double downsample,
                                      std::int32_t count) {
    const StripSizer sizer = make_strip_sizer(base, length, downsample);
    RandomSource random;
    random.restart(0);
    std::vector<std::int32_t> sizes;
    for (std::int32_t k = 0; k < count; ++k) sizes.push_back(strip_size(sizer, random.draw_unit()));
    return sizes;
}

}  // namespace

TEST(RandomSource, SeedZeroSequence) {
    RandomSource random;
    random.reseed(0);
    EXPECT_EQ(random.draw(), 12345);
    EXPECT_EQ(random.draw_unit(), 1406932606.0 / 2147483648.0);
    EXPECT_EQ(random.draw_unit(), 654583775.0 / 2147483648.0);

    random.restart(0);
    const double expected[] = {0.655154, 0.304814, 0.674961, 0.106768, 0.516574, 0.489666};
    for (double e : expected) EXPECT_NEAR(random.draw_unit(), e, 1e-6);
}

TEST(RandomSource, SkippingOutsideARangeDrawsWhatOneDrawAtATimeWould) {
    std::mt19937 rng(5);
    for (int trial = 0; trial < 400; ++trial) {
        const std::int32_t seed = std::uniform_int_distribution<std::int32_t>()(rng);
        // Ranges from a single value to most of them, budgets that are and are not whole lanes.
        const std::int32_t width = trial % 4 == 0 ? 0 : (1 << (trial % 31)) - 1;
        const std::int32_t below =
            std::uniform_int_distribution<std::int32_t>(0, 0x7FFFFFFF - width)(rng);
        const std::int32_t above = below + width;
        const std::int32_t most = std::uniform_int_distribution<std::int32_t>(0, 5000)(rng);
        RandomSource one;
        RandomSource bulk;
        one.reseed(seed);
        bulk.reseed(seed);
        std::int32_t expected = 0;
        while (expected < most) {
            RandomSource peek = one;
            const std::int32_t d = peek.draw();
            if (d >= below && d <= above) break;
            one = peek;
            ++expected;
        }
        ASSERT_EQ(bulk.skip_outside(below, above, most), expected) << trial;
        EXPECT_EQ(bulk.draw(), one.draw()) << trial;  // the same place in the sequence
    }
}

TEST(RandomSource, LargeSeedsAndNegativeStatesStayInRange) {
    for (std::int32_t seed : {100000, -1, 2147483647, -2147483647 - 1}) {
        RandomSource random;
        random.reseed(seed);
        for (int i = 0; i < 10000; ++i) {
            const std::int32_t v = random.draw();
            ASSERT_GE(v, 0);
            const double u = random.draw_unit();
            ASSERT_GE(u, 0.0);
            ASSERT_LT(u, 1.0);
        }
    }
    // Same seed, same sequence.
    RandomSource a, b;
    a.restart(100000);
    b.restart(100000);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(a.draw(), b.draw());
}

TEST(ShuffleTargets, SeedZeroPermutations) {
    EXPECT_EQ(shuffled_targets(1), (std::vector<std::int32_t>{0}));
    EXPECT_EQ(shuffled_targets(2), (std::vector<std::int32_t>{1, 0}));
    EXPECT_EQ(shuffled_targets(3), (std::vector<std::int32_t>{0, 2, 1}));
    EXPECT_EQ(shuffled_targets(4), (std::vector<std::int32_t>{1, 2, 0, 3}));
    EXPECT_EQ(shuffled_targets(6), (std::vector<std::int32_t>{5, 4, 3, 0, 1, 2}));
    const std::vector<std::int32_t> t48 = shuffled_targets(48);
    EXPECT_EQ(std::vector<std::int32_t>(t48.begin(), t48.begin() + 6),
              (std::vector<std::int32_t>{25, 31, 16, 33, 8, 27}));
}

TEST(ShuffleTargets, AlwaysAPermutationAndRepeatable) {
    for (std::int32_t n : {0, 1, 2, 5, 17, 100, 1000}) {
        for (std::int32_t seed : {0, 1, 99, 100000}) {
            std::vector<std::int32_t> t = shuffled_targets(n, seed);
            EXPECT_EQ(t, shuffled_targets(n, seed));
            std::sort(t.begin(), t.end());
            std::vector<std::int32_t> identity(static_cast<std::size_t>(n));
            std::iota(identity.begin(), identity.end(), 0);
            EXPECT_EQ(t, identity) << "n=" << n << " seed=" << seed;
        }
    }
}

TEST(BlockGrid, AxisOrderFlagsForSeedZero) {
    std::vector<BlockRecord> blocks(12);
    RandomSource random;
    assign_axis_order(blocks.data(), 12, 0, random);
    const std::uint8_t expected[] = {1, 0, 1, 0, 1, 0, 1, 0, 0, 0, 1, 0};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(blocks[i].x_first, expected[i]) << "block " << i;
}

TEST(BlockGrid, DefaultGridCellsAndExtents) {
    FrameSize ctx = context(640, 480);
    LayoutParams snap = snapshot(kSplitRowColumn, 6, 8, 100, 100);
    RandomSource random;
    GridShape grid{};
    ASSERT_TRUE(plan_grid(ctx, snap, random, grid, kHandle32));
    ASSERT_EQ(grid.count, 48);
    std::vector<BlockRecord> blocks(48);
    assign_axis_order(blocks.data(), 48, 0, random);
    ASSERT_EQ(assign_targets_and_cells(blocks.data(), grid, ctx, 0, random), 0);
    EXPECT_EQ(blocks[9].x, 80);
    EXPECT_EQ(blocks[9].y, 80);
    const BlockExtent e9 = block_extent(blocks.data(), 9, 8, 6, 640, 480);
    EXPECT_EQ((std::vector<std::int32_t>{e9.x0, e9.x1, e9.y0, e9.y1}),
              (std::vector<std::int32_t>{80, 160, 80, 160}));
    const BlockExtent e47 = block_extent(blocks.data(), 47, 8, 6, 640, 480);
    EXPECT_EQ(e47.x1, 640);
    EXPECT_EQ(e47.y1, 480);
    EXPECT_EQ(blocks[0].target, 25);
    EXPECT_EQ(blocks[1].target, 31);
}

TEST(BlockGrid, UnevenColumnsAndClamping) {
    FrameSize ctx = context(100, 3);
    LayoutParams snap = snapshot(kSplitRowColumn, 10, 3, 100, 100);
    RandomSource random;
    GridShape grid{};
    ASSERT_TRUE(plan_grid(ctx, snap, random, grid, kHandle32));
    EXPECT_EQ(snap.rows, 3);  // clamped to the height: one-pixel rows
    EXPECT_EQ(grid.count, 9);
    std::vector<BlockRecord> blocks(9);
    assign_targets_and_cells(blocks.data(), grid, ctx, 0, random);
    EXPECT_EQ(blocks[0].x, 0);
    EXPECT_EQ(blocks[1].x, 33);
    EXPECT_EQ(blocks[2].x, 66);
    EXPECT_EQ(block_extent(blocks.data(), 2, 3, 3, 100, 3).x1, 100);
    for (std::int32_t r = 0; r < 3; ++r) EXPECT_EQ(blocks[r * 3].y, r);
}

TEST(BlockGrid, SingleBlockNeverMoves) {
    std::vector<BlockRecord> blocks(1);
    RandomSource random;
    GridShape grid{1, 1, 0, 1};
    assign_targets_and_cells(blocks.data(), grid, context(50, 40), 7, random);
    EXPECT_EQ(blocks[0].target, 0);
}

TEST(BlockGrid, StripCountsAndSizes) {
    RandomSource random;
    GridShape grid{};
    {
        FrameSize ctx = context(200, 50);
        LayoutParams snap = snapshot(kSplitRowWidth, 6, 8, 100, 100);
        ASSERT_TRUE(plan_grid(ctx, snap, random, grid, kHandle32));
        EXPECT_EQ(grid.strips, 5);
        EXPECT_EQ(grid.columns, 5);
        EXPECT_EQ(grid.rows, 6);
        EXPECT_EQ(drawn_sizes(100, 200, 1.0, 5), (std::vector<std::int32_t>{67, 33, 69, 14, 54}));
    }
    {
        FrameSize ctx = context(640, 480);
        LayoutParams snap = snapshot(kSplitRowWidth, 6, 8, 100, 100);
        ASSERT_TRUE(plan_grid(ctx, snap, random, grid, kHandle32));
        EXPECT_EQ(grid.strips, 14);
        EXPECT_EQ(
            drawn_sizes(100, 640, 1.0, 14),
            (std::vector<std::int32_t>{67, 33, 69, 14, 54, 51, 62, 39, 28, 40, 84, 20, 32, 66}));
        LayoutParams half = snapshot(kSplitRowWidth, 6, 8, 100, 100, 0.5);
        ASSERT_TRUE(plan_grid(ctx, half, random, grid, kHandle32));
        EXPECT_EQ(grid.strips, 24);
        EXPECT_EQ(drawn_sizes(100, 640, 0.5, 4), (std::vector<std::int32_t>{33, 16, 34, 7}));
    }
    {
        // Width 4 at full resolution: every strip is 4 pixels.
        FrameSize ctx = context(200, 10);
        LayoutParams snap = snapshot(kSplitRowWidth, 1, 1, 4, 4);
        ASSERT_TRUE(plan_grid(ctx, snap, random, grid, kHandle32));
        EXPECT_EQ(grid.strips, 50);
        LayoutParams half = snapshot(kSplitRowWidth, 1, 1, 4, 4, 0.5);
        ASSERT_TRUE(plan_grid(ctx, half, random, grid, kHandle32));
        EXPECT_EQ(grid.strips, 100);  // halved to 2 pixels
    }
    {
        // "Height & Column" counts down the layer with Height.
        FrameSize ctx = context(30, 200);
        LayoutParams snap = snapshot(kSplitHeightColumn, 6, 8, 4, 100);
        ASSERT_TRUE(plan_grid(ctx, snap, random, grid, kHandle32));
        EXPECT_EQ(grid.strips, 5);
        EXPECT_EQ(grid.rows, 5);
        EXPECT_EQ(grid.columns, 8);
    }
}

TEST(BlockGrid, StripCountEndsWhenEverySizeWouldBeZero) {
    // Height 4 at a fifth of full resolution: no draw can give a pixel.
    RandomSource random;
    GridShape grid{};
    FrameSize ctx = context(40, 7);
    for (double downsample : {0.2, 0.1, 0.0, -1.0}) {
        LayoutParams snap = snapshot(kSplitRowWidth, 1, 1, 4, 4, downsample);
        ASSERT_TRUE(plan_grid(ctx, snap, random, grid, kHandle32));
        EXPECT_EQ(grid.strips, 40) << downsample;  // one-pixel strips
    }
    // At a quarter every draw gives one pixel or more, so the drawn sizes stand.
    LayoutParams quarter = snapshot(kSplitRowWidth, 1, 1, 4, 4, 0.25);
    EXPECT_FALSE(make_strip_sizer(4, 40, 0.25).one_pixel_strips);
    ASSERT_TRUE(plan_grid(ctx, quarter, random, grid, kHandle32));
    EXPECT_EQ(grid.strips, 40);
}

TEST(BlockGrid, StripCountStopsWhereTheBlockTableCouldNotBeHeld) {
    RandomSource random;
    GridShape grid{};
    // One-pixel strips (Width 4 at 1/10) give S = width. With 1000 rows a 32-bit handle holds
    // the block table of 178956 strips but not of one more; with a 64-bit handle the block
    // count (below 2^31 - 1) stops it at 2147483 strips.
    for (const auto& [limit, expected] : {std::pair{kHandle32, std::int32_t{178956}},
                                          std::pair{kHandle64, std::int32_t{2147483}}}) {
        SCOPED_TRACE(limit);
        const std::uint64_t held = limit / (std::uint64_t{1000} * sizeof(BlockRecord));
        const auto most = static_cast<std::int32_t>(
            std::min<std::uint64_t>(held, std::uint64_t{2147483646} / 1000));
        EXPECT_EQ(most, expected);
        LayoutParams snap = snapshot(kSplitRowWidth, 1000, 1, 4, 4, 0.1);
        ASSERT_TRUE(plan_grid(context(most, 1000), snap, random, grid, limit));
        EXPECT_EQ(grid.strips, most);
        EXPECT_EQ(grid.count, most * 1000);
        snap = snapshot(kSplitHeightColumn, 1, 1000, 4, 4, 0.1);
        ASSERT_TRUE(plan_grid(context(1000, most), snap, random, grid, limit));
        EXPECT_EQ(grid.rows, most);
        snap = snapshot(kSplitRowWidth, 1000, 1, 4, 4, 0.1);
        EXPECT_FALSE(plan_grid(context(most + 1, 1000), snap, random, grid, limit));
        snap = snapshot(kSplitHeightColumn, 1, 1000, 4, 4, 0.1);
        EXPECT_FALSE(plan_grid(context(1000, most + 1), snap, random, grid, limit));
    }

    // Sizes that are almost always 0 but not always: the count would run for about 10^12
    // draws. It stops at the limit instead.
    LayoutParams snap = snapshot(kSplitRowWidth, 480, 1, 2000, 4, 1000000.0 / 2000999999.0);
    EXPECT_FALSE(make_strip_sizer(2000, 640, snap.downsample).one_pixel_strips);
    EXPECT_FALSE(plan_grid(context(640, 480), snap, random, grid, kHandle64));
    // Height INT_MIN: only draws below 2^-30 give a pixel.
    snap = snapshot(-2147483647 - 1, 1, 2000, 4, -2147483647 - 1);
    EXPECT_FALSE(plan_grid(context(2000, 12), snap, random, grid, kHandle64));
}

TEST(BlockGrid, StripCountAgreesWithDrawingEverySize) {
    // The count skips the arithmetic of the draws that give empty strips; the strips it
    // counts must be those of drawing every size. Downsample factors around 1 / size put the
    // first pixel anywhere among the draws, and bases of either sign turn the sizes around.
    std::mt19937 rng(11);
    int compared = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        const std::int32_t bases[] = {-2147483647 - 1, -70, 0, 2, 3, 4, 9, 100, 2000, 2147483647};
        const std::int32_t base = bases[trial % 10];
        const double spread = std::uniform_real_distribution<double>(0.5, 2.0)(rng);
        const double typical = std::abs(static_cast<double>(base) / 2.0) + 4.0;
        double downsample = spread / typical;
        if (trial % 7 == 0) downsample = -downsample;
        const std::int32_t length = std::uniform_int_distribution<std::int32_t>(1, 64)(rng);
        const std::int32_t seed = std::uniform_int_distribution<std::int32_t>(0, 100000)(rng);

        const StripSizer sizer = make_strip_sizer(base, length, downsample);
        RandomSource naive;
        naive.restart(seed);
        std::int64_t sum = 0;
        std::int32_t strips = 0;
        while ((strips == 0 || sum < length) && strips < 1000000) {
            ++strips;
            sum += strip_size(sizer, naive.draw_unit());
        }
        if (sum < length) continue;  // too long to draw here

        LayoutParams snap = snapshot(kSplitRowWidth, 1, 1, base, 4, downsample);
        snap.seed = seed;
        RandomSource random;
        GridShape grid{};
        ASSERT_TRUE(plan_grid(context(length, 1), snap, random, grid, kHandle32));
        EXPECT_EQ(grid.strips, strips) << "base " << base << " downsample " << downsample;
        ++compared;
    }
    EXPECT_GT(compared, 2500);
}

// The seed whose first draw after a restart is `draw`: the generator run backwards.
std::int32_t seed_for_first_draw(std::uint32_t draw) {
    const std::uint32_t a = 1103515245u;
    std::uint32_t inverse = a;
    for (int i = 0; i < 5; ++i) inverse *= 2u - a * inverse;
    const std::uint32_t discarded = (draw - 12345u) * inverse;
    return static_cast<std::int32_t>((discarded - 12345u) * inverse);
}

TEST(BlockGrid, StripCountAgreesAtTheFirstDrawThatGivesAPixel) {
    for (const auto& [base, downsample] : {std::pair<std::int32_t, double>{2000, 1.0 / 1500.0},
                                           {100, 0.011},
                                           {2, 0.3},
                                           {-70, 0.5},
                                           {-70, -0.02}}) {
        const StripSizer sizer = make_strip_sizer(base, 1, downsample);
        const auto gives_pixel = [&](std::uint32_t d) {
            return strip_size(sizer, static_cast<double>(d) / 2147483648.0) >= 1;
        };
        // Where the sizes turn from empty to a pixel, found apart from the effect's own search.
        const bool first_empty = !gives_pixel(0);
        std::uint32_t low = 0;
        std::uint32_t high = 0x7FFFFFFFu;
        while (high - low > 1) {
            const std::uint32_t mid = low + (high - low) / 2;
            (gives_pixel(mid) == first_empty ? high : low) = mid;
        }
        ASSERT_NE(gives_pixel(low), gives_pixel(high));
        for (std::uint32_t d : {low - 1, low, high, high + 1}) {
            LayoutParams snap = snapshot(kSplitRowWidth, 1, 1, base, 4, downsample);
            snap.seed = seed_for_first_draw(d);
            RandomSource check;
            check.restart(snap.seed);
            ASSERT_EQ(static_cast<std::uint32_t>(check.draw()), d);
            std::int32_t strips =
                1;  // a layer one pixel wide: the first strip with a pixel ends it
            if (!gives_pixel(d)) {
                do {
                    ++strips;
                } while (strip_size(sizer, check.draw_unit()) < 1);
            }
            RandomSource random;
            GridShape grid{};
            ASSERT_TRUE(plan_grid(context(1, 1), snap, random, grid, kHandle32))
                << "base " << base << " downsample " << downsample << " draw " << d;
            EXPECT_EQ(grid.strips, strips)
                << "base " << base << " downsample " << downsample << " draw " << d;
        }
    }
}

TEST(BlockGrid, StripsAreNotCountedWhenThereAreNoLines) {
    // No blocks whatever the strips: the count is skipped, even one that would never end.
    RandomSource random;
    GridShape grid{};
    const std::int32_t low = -2147483647 - 1;
    LayoutParams snap = snapshot(low, 1, 8, 4, low);
    ASSERT_TRUE(plan_grid(context(0, 12), snap, random, grid, kHandle32));
    EXPECT_EQ(grid.count, 0);
    snap = snapshot(kSplitHeightColumn, 1, low, 4, low);
    ASSERT_TRUE(plan_grid(context(12, 12), snap, random, grid, kHandle32));
    EXPECT_EQ(grid.count, 0);
    snap = snapshot(kSplitRowWidth, 0, 1, 2000, 4, 1000000.0 / 2000999999.0);
    ASSERT_TRUE(plan_grid(context(640, 480), snap, random, grid, kHandle32));
    EXPECT_EQ(grid.count, 0);
}

TEST(BlockGrid, EmptyLayerHasNoBlocks) {
    RandomSource random;
    for (std::int32_t split : {kSplitRowColumn, kSplitRowWidth, kSplitHeightColumn}) {
        GridShape grid{};
        FrameSize ctx = context(0, 10);
        LayoutParams snap = snapshot(split, 6, 8, 100, 100);
        ASSERT_TRUE(plan_grid(ctx, snap, random, grid, kHandle32));
        EXPECT_EQ(grid.count, 0);
        ctx = context(10, 0);
        snap = snapshot(split, 6, 8, 100, 100);
        ASSERT_TRUE(plan_grid(ctx, snap, random, grid, kHandle32));
        EXPECT_EQ(grid.count, 0);
    }
}

TEST(BlockGrid, BlockCountOverflowIsRefused) {
    // A grid whose block count does not fit is refused before anything is drawn.
    RandomSource random;
    GridShape grid{};
    FrameSize ctx = context(2147483647, 2147483647);
    LayoutParams snap = snapshot(kSplitRowColumn, 2147483647, 2147483647, 100, 100);
    EXPECT_FALSE(plan_grid(ctx, snap, random, grid, kHandle32));
}

TEST(BlockMotion, ManhattanAndEuclideanExamples) {
    auto offset = [](std::int32_t dx, std::int32_t dy, std::uint8_t x_first, std::int32_t mode,
                     double c) {
        const Offset o = block_offset(dx, dy, x_first, mode, c);
        return std::vector<std::int32_t>{o.x, o.y};
    };
    using V = std::vector<std::int32_t>;
    EXPECT_EQ(offset(80, 240, 1, kModeManhattan, 0.5), (V{80, 80}));
    EXPECT_EQ(offset(80, 240, 1, kModeEuclidean, 0.5), (V{40, 120}));
    EXPECT_EQ(offset(480, 240, 0, kModeManhattan, 0.5), (V{120, 240}));
    EXPECT_EQ(offset(480, 240, 0, kModeEuclidean, 0.5), (V{240, 120}));
    EXPECT_EQ(offset(30, -40, 1, kModeManhattan, 0.5), (V{30, -5}));
    EXPECT_EQ(offset(30, -40, 0, kModeManhattan, 0.5), (V{0, -35}));
    EXPECT_EQ(offset(-30, 40, 1, kModeManhattan, 0.2), (V{-14, 0}));
    EXPECT_EQ(offset(25, 0, 0, kModeManhattan, 0.4), (V{10, 0}));
    EXPECT_EQ(offset(-5, 7, 0, kModeEuclidean, 0.5), (V{-2, 3}));
    EXPECT_EQ(offset(0, 0, 1, kModeManhattan, 0.7), (V{0, 0}));
    // Any mode other than 1 is a straight path.
    EXPECT_EQ(offset(-5, 7, 0, 9, 0.5), (V{-2, 3}));
    for (std::uint8_t x_first : {0, 1}) {
        EXPECT_EQ(offset(-37, 91, x_first, kModeManhattan, 1.0), (V{-37, 91}));
        EXPECT_EQ(offset(-37, 91, x_first, kModeEuclidean, 1.0), (V{-37, 91}));
    }
}

TEST(BlockMotion, WholePercentTruncation) {
    // The fixed-point percent lies just below 0.29 and 0.58.
    for (int percent = 0; percent <= 100; ++percent) {
        const double completion = (percent * 65536) / 65536.0 * 0.01;
        const std::int32_t expected = percent == 29 ? 28 : (percent == 58 ? 57 : percent);
        EXPECT_EQ(block_offset(100, 0, 1, kModeEuclidean, completion).x, expected) << percent;
    }
}

TEST(StripShuffles, SingleColumnOrRowDrawsNothing) {
    std::vector<BlockRecord> blocks(4);
    for (std::int32_t i = 0; i < 4; ++i) blocks[i].target = i;
    RandomSource random;
    shuffle_within_rows(blocks.data(), 1, 4, 0, random, kSwapTarget);
    // After the restart nothing was drawn: the next unit value is the first of the sequence.
    EXPECT_NEAR(random.draw_unit(), 0.655154, 1e-6);
    shuffle_within_columns(blocks.data(), 4, 1, 0, random, kSwapTarget);
    EXPECT_NEAR(random.draw_unit(), 0.655154, 1e-6);
    for (std::int32_t i = 0; i < 4; ++i) EXPECT_EQ(blocks[i].target, i);
}

TEST(StripShuffles, RowsAndColumnsAreTheSameShuffleTransposed) {
    const std::int32_t C = 5, R = 3;
    std::vector<BlockRecord> by_rows(C * R), by_columns(C * R);
    for (std::int32_t i = 0; i < R; ++i) {
        for (std::int32_t j = 0; j < C; ++j) {
            by_rows[i * C + j].target = i * C + j;
            by_columns[j * R + i].target = i * C + j;  // the transposed grid
        }
    }
    RandomSource random;
    shuffle_within_rows(by_rows.data(), C, R, 42, random, kSwapTarget);
    shuffle_within_columns(by_columns.data(), R, C, 42, random, kSwapTarget);
    for (std::int32_t i = 0; i < R; ++i) {
        for (std::int32_t j = 0; j < C; ++j) {
            EXPECT_EQ(by_rows[i * C + j].target, by_columns[j * R + i].target);
        }
    }
    // Each row still holds its own values.
    for (std::int32_t i = 0; i < R; ++i) {
        std::vector<std::int32_t> row;
        for (std::int32_t j = 0; j < C; ++j) row.push_back(by_rows[i * C + j].target);
        std::sort(row.begin(), row.end());
        for (std::int32_t j = 0; j < C; ++j) EXPECT_EQ(row[j], i * C + j);
    }
}

TEST(StripLayout, WorkedExampleRowAndWidth) {
    FrameSize ctx = context(20, 10);
    LayoutParams snap = snapshot(kSplitRowWidth, 2, 1, 10, 100);
    snap.completion = 1.0;
    RandomSource random;
    GridShape grid{};
    ASSERT_TRUE(plan_grid(ctx, snap, random, grid, kHandle32));
    ASSERT_EQ(grid.strips, 3);
    ASSERT_EQ(grid.columns, 3);
    ASSERT_EQ(grid.rows, 2);
    std::vector<std::int32_t> sizes(3);
    fill_strip_sizes(sizes.data(), grid, strip_sizer_for(ctx, snap), snap.seed, random);
    EXPECT_EQ(sizes, (std::vector<std::int32_t>{8, 6, 6}));

    std::vector<BlockRecord> blocks(6);
    std::vector<StripRecord> strips(6);
    assign_axis_order(blocks.data(), 6, 0, random);
    lay_out_strips(blocks.data(), strips.data(), sizes.data(), grid, ctx, snap, random);

    struct Expected {
        std::int32_t x0, x1, y0, y1, row, slot, dx, dy;
    };
    const Expected expected[] = {
        {6, 14, 0, 5, 1, 2, 6, 5},     {0, 6, 0, 5, 0, 0, 0, 0},   {14, 20, 0, 5, 1, 0, -14, 5},
        {12, 20, 5, 10, 0, 1, -6, -5}, {6, 12, 5, 10, 1, 1, 0, 0}, {0, 6, 5, 10, 0, 2, 14, -5},
    };
    for (std::int32_t p = 0; p < 6; ++p) {
        const DrawStep step =
            strip_step(blocks.data(), strips.data(), grid, ctx, snap, p / 3, p % 3);
        const Expected& e = expected[p];
        EXPECT_EQ((std::vector<std::int32_t>{step.source.x0, step.source.x1, step.source.y0,
                                             step.source.y1, blocks[p].row, blocks[p].col,
                                             step.offset.x, step.offset.y}),
                  (std::vector<std::int32_t>{e.x0, e.x1, e.y0, e.y1, e.row, e.slot, e.dx, e.dy}))
            << "step " << p;
    }
    // Target orders [1, 0, 2] and [2, 1, 0] with their origins.
    EXPECT_EQ((std::vector<std::int32_t>{strips[0].col, strips[1].col, strips[2].col}),
              (std::vector<std::int32_t>{1, 0, 2}));
    EXPECT_EQ((std::vector<std::int32_t>{strips[3].col, strips[4].col, strips[5].col}),
              (std::vector<std::int32_t>{2, 1, 0}));
    EXPECT_EQ((std::vector<std::int32_t>{strips[0].x, strips[1].x, strips[2].x}),
              (std::vector<std::int32_t>{0, 6, 14}));
    EXPECT_EQ((std::vector<std::int32_t>{strips[3].x, strips[4].x, strips[5].x}),
              (std::vector<std::int32_t>{0, 6, 12}));
}
