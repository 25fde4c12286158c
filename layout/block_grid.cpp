#include "layout/block_grid.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "params/param_ids.h"

namespace {

constexpr double kLargestUnit = 2147483647.0 / 2147483648.0;

// Truncated toward zero, kept inside 0 .. limit so the conversion is always defined; a size
// of at least `limit` ends the count all the same.
A_long raw_strip_size(A_long base, double downsample, double u, A_long limit) {
    const double size =
        (u * static_cast<double>(static_cast<std::int64_t>(base) - 3) + 4.0) * downsample;
    if (!(size > 0.0)) return 0;
    if (size >= static_cast<double>(limit)) return limit;
    return static_cast<A_long>(size);
}

}  // namespace

StripSizer make_strip_sizer(A_long base, A_long length, double downsample) {
    StripSizer sizer{base, length, downsample, false};
    const A_long limit = std::max<A_long>(length, 1);
    const A_long largest = std::max(raw_strip_size(base, downsample, 0.0, limit),
                                    raw_strip_size(base, downsample, kLargestUnit, limit));
    sizer.one_pixel_strips = largest < 1;
    return sizer;
}

A_long strip_size(const StripSizer& sizer, double u) {
    if (sizer.one_pixel_strips) return 1;
    return raw_strip_size(sizer.base, sizer.downsample, u, std::max<A_long>(sizer.length, 1));
}

StripSizer strip_sizer_for(const RenderContext& ctx, const ParamSnapshot& snap) {
    if (snap.split == kSplitRowWidth) {
        return make_strip_sizer(snap.strip_width, ctx.width, snap.downsample);
    }
    return make_strip_sizer(snap.strip_height, ctx.height, snap.downsample);
}

namespace {

// The most strips whose block table (`lines` records per strip, the largest of the render's
// tables) a handle can still hold.
A_long strip_limit(A_long lines) {
    const std::uint64_t most = std::numeric_limits<A_HandleSize>::max() /
                               (static_cast<std::uint64_t>(lines) * sizeof(BlockRecord));
    const std::uint64_t cap = std::numeric_limits<A_long>::max() - 1;
    return static_cast<A_long>(std::min(most, cap));
}

constexpr double kUnitOfDraw = 1.0 / 2147483648.0;  // as RandomSource::draw_unit

A_long size_of_draw(const StripSizer& sizer, A_long draw) {
    return strip_size(sizer, static_cast<double>(draw) * kUnitOfDraw);
}

// The draws that give a strip of a pixel or more: below..above. A size only grows, or only
// shrinks, with the draw, so bisection finds the ends; a long count then skips the arithmetic
// of the empty strips, nearly all of its draws.
struct NonEmptyDraws {
    A_long below = 0;
    A_long above = 0x7FFFFFFF;
};

NonEmptyDraws non_empty_draws(const StripSizer& sizer) {
    NonEmptyDraws range;
    if (sizer.one_pixel_strips) return range;
    const bool growing =
        (static_cast<std::int64_t>(sizer.base) - 3 >= 0) == (sizer.downsample > 0.0);
    A_long low = 0;
    A_long high = 0x7FFFFFFF;
    if (growing) {  // the largest draw gives a pixel: find the smallest that does
        while (low < high) {
            const A_long mid = low + (high - low) / 2;
            if (size_of_draw(sizer, mid) >= 1)
                high = mid;
            else
                low = mid + 1;
        }
        range.below = low;
    } else {  // the smallest draw gives a pixel: find the largest that does
        while (low < high) {
            const A_long mid = high - (high - low) / 2;
            if (size_of_draw(sizer, mid) >= 1)
                low = mid;
            else
                high = mid - 1;
        }
        range.above = low;
    }
    return range;
}

// False when the strips would outnumber `limit` before reaching the length: their tables
// could not be allocated, so there is no point in drawing on.
bool count_strips(const StripSizer& sizer, RandomSource& random, A_long limit, A_long& count) {
    const NonEmptyDraws non_empty = non_empty_draws(sizer);
    std::int64_t sum = 0;
    count = 0;
    while (count == 0 || sum < sizer.length) {
        if (count == limit) return false;
        ++count;
        const A_long draw = random.draw();
        if (draw >= non_empty.below && draw <= non_empty.above) sum += size_of_draw(sizer, draw);
    }
    return true;
}

}  // namespace

PF_Err plan_grid(const RenderContext& ctx, ParamSnapshot& snap, RandomSource& random,
                 GridShape& grid) {
    snap.rows = std::min(snap.rows, ctx.height);
    snap.columns = std::min(snap.columns, ctx.width);
    random.restart(snap.seed);

    grid = GridShape{};
    if (snap.split == kSplitRowColumn) {
        grid.columns = snap.columns;
        grid.rows = snap.rows;
    } else {
        const bool across = snap.split == kSplitRowWidth;
        const A_long lines = across ? snap.rows : snap.columns;
        // Without lines there are no blocks, whatever the strips: nothing to count.
        if (ctx.width > 0 && ctx.height > 0 && lines > 0 &&
            !count_strips(strip_sizer_for(ctx, snap), random, strip_limit(lines), grid.strips)) {
            return PF_Err_INTERNAL_STRUCT_DAMAGED;
        }
        grid.columns = across ? grid.strips : snap.columns;
        grid.rows = across ? snap.rows : grid.strips;
    }
    // An empty layer has no blocks; Row and Column below 1 never come from the host.
    if (ctx.width <= 0 || ctx.height <= 0 || grid.columns <= 0 || grid.rows <= 0) {
        grid.count = 0;
        return PF_Err_NONE;
    }
    const std::int64_t count = static_cast<std::int64_t>(grid.columns) * grid.rows;
    // The progress total is n + 1, so n + 1 must fit as well.
    if (count >= std::numeric_limits<A_long>::max()) return PF_Err_INTERNAL_STRUCT_DAMAGED;
    grid.count = static_cast<A_long>(count);
    return PF_Err_NONE;
}

bool table_bytes(A_long count, std::size_t record_size, A_HandleSize& bytes) {
    const std::uint64_t total = static_cast<std::uint64_t>(count) * record_size;
    if (count < 0 || total > std::numeric_limits<A_HandleSize>::max()) return false;
    bytes = static_cast<A_HandleSize>(total);
    return true;
}

void assign_axis_order(BlockRecord* blocks, A_long count, A_long seed, RandomSource& random) {
    random.restart(seed);
    for (A_long i = 0; i < count; ++i) blocks[i].x_first = random.draw_unit() >= 0.5 ? 1 : 0;
}

PF_Err assign_targets_and_cells(BlockRecord* blocks, const GridShape& grid,
                                const RenderContext& ctx, A_long seed, RandomSource& random) {
    for (A_long i = 0; i < grid.count; ++i) blocks[i].target = i;
    const PF_Err err = shuffle_targets(blocks, grid.count, seed, random);
    const double cell_width = static_cast<double>(ctx.width) / grid.columns;
    const double cell_height = static_cast<double>(ctx.height) / grid.rows;
    for (A_long r = 0; r < grid.rows; ++r) {
        for (A_long c = 0; c < grid.columns; ++c) {
            BlockRecord& block = blocks[r * grid.columns + c];
            block.x = static_cast<A_long>(c * cell_width);
            block.y = static_cast<A_long>(r * cell_height);
        }
    }
    return err;
}
