#include "layout/block_grid.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "params/param_ids.h"

namespace {

constexpr double kLargestUnit = 2147483647.0 / 2147483648.0;

// Truncated toward zero, kept inside 0 .. limit so the conversion is always defined; a size
// of at least `limit` ends the count all the same.
std::int32_t raw_strip_size(std::int32_t base, double downsample, double u, std::int32_t limit) {
    const double size =
        (u * static_cast<double>(static_cast<std::int64_t>(base) - 3) + 4.0) * downsample;
    if (!(size > 0.0)) return 0;
    if (size >= static_cast<double>(limit)) return limit;
    return static_cast<std::int32_t>(size);
}

}  // namespace

StripSizer make_strip_sizer(std::int32_t base, std::int32_t length, double downsample) {
    StripSizer sizer{base, length, downsample, false};
    const std::int32_t limit = std::max<std::int32_t>(length, 1);
    const std::int32_t largest = std::max(raw_strip_size(base, downsample, 0.0, limit),
                                          raw_strip_size(base, downsample, kLargestUnit, limit));
    sizer.one_pixel_strips = largest < 1;
    return sizer;
}

std::int32_t strip_size(const StripSizer& sizer, double u) {
    if (sizer.one_pixel_strips) return 1;
    return raw_strip_size(sizer.base, sizer.downsample, u, std::max<std::int32_t>(sizer.length, 1));
}

StripSizer strip_sizer_for(FrameSize frame, const LayoutParams& params) {
    if (params.split == kSplitRowWidth) {
        return make_strip_sizer(params.strip_width, frame.width, params.downsample);
    }
    return make_strip_sizer(params.strip_height, frame.height, params.downsample);
}

namespace {

// The most strips whose block table (`lines` records per strip, the largest of the render's
// tables) a handle can still hold, and whose block count (strips x lines, with its progress
// total one more) still fits the counter: a layout beyond either fails anyway.
std::int32_t strip_limit(std::int32_t lines, std::uint64_t max_table_bytes) {
    const std::uint64_t held =
        max_table_bytes / (static_cast<std::uint64_t>(lines) * sizeof(BlockRecord));
    const std::uint64_t counted =
        static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max() - 1) / lines;
    return static_cast<std::int32_t>(std::min(held, counted));
}

constexpr double kUnitOfDraw = 1.0 / 2147483648.0;  // as RandomSource::draw_unit

std::int32_t size_of_draw(const StripSizer& sizer, std::int32_t draw) {
    return strip_size(sizer, static_cast<double>(draw) * kUnitOfDraw);
}

// The draws that give a strip of a pixel or more: below..above. A size only grows, or only
// shrinks, with the draw, so bisection finds the ends; a long count then skips the arithmetic
// of the empty strips, nearly all of its draws.
struct NonEmptyDraws {
    std::int32_t below = 0;
    std::int32_t above = 0x7FFFFFFF;
};

NonEmptyDraws non_empty_draws(const StripSizer& sizer) {
    NonEmptyDraws range;
    if (sizer.one_pixel_strips) return range;
    const bool growing =
        (static_cast<std::int64_t>(sizer.base) - 3 >= 0) == (sizer.downsample > 0.0);
    std::int32_t low = 0;
    std::int32_t high = 0x7FFFFFFF;
    if (growing) {  // the largest draw gives a pixel: find the smallest that does
        while (low < high) {
            const std::int32_t mid = low + (high - low) / 2;
            if (size_of_draw(sizer, mid) >= 1)
                high = mid;
            else
                low = mid + 1;
        }
        range.below = low;
    } else {  // the smallest draw gives a pixel: find the largest that does
        while (low < high) {
            const std::int32_t mid = high - (high - low) / 2;
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
bool count_strips(const StripSizer& sizer, RandomSource& random, std::int32_t limit,
                  std::int32_t& count) {
    const NonEmptyDraws non_empty = non_empty_draws(sizer);
    // Where fewer than one draw in sixteen gives a pixel, the empty ones are skipped in bulk.
    const bool sparse = non_empty.above - non_empty.below < 0x7FFFFFFF / 16;
    std::int64_t sum = 0;
    count = 0;
    while (count == 0 || sum < sizer.length) {
        if (count == limit) return false;
        if (sparse) {
            count += random.skip_outside(non_empty.below, non_empty.above, limit - count);
            if (count == limit) return false;
        }
        ++count;
        const std::int32_t draw = random.draw();
        if (draw >= non_empty.below && draw <= non_empty.above) sum += size_of_draw(sizer, draw);
    }
    return true;
}

}  // namespace

bool plan_grid(FrameSize frame, LayoutParams& params, RandomSource& random, GridShape& grid,
               std::uint64_t max_table_bytes) {
    params.rows = std::min(params.rows, frame.height);
    params.columns = std::min(params.columns, frame.width);
    random.restart(params.seed);

    grid = GridShape{};
    if (params.split == kSplitRowColumn) {
        grid.columns = params.columns;
        grid.rows = params.rows;
    } else {
        const bool across = params.split == kSplitRowWidth;
        const std::int32_t lines = across ? params.rows : params.columns;
        // Without lines there are no blocks, whatever the strips: nothing to count.
        if (frame.width > 0 && frame.height > 0 && lines > 0 &&
            !count_strips(strip_sizer_for(frame, params), random,
                          strip_limit(lines, max_table_bytes), grid.strips)) {
            return false;
        }
        grid.columns = across ? grid.strips : params.columns;
        grid.rows = across ? params.rows : grid.strips;
    }
    // An empty layer has no blocks; Row and Column below 1 never come from the host.
    if (frame.width <= 0 || frame.height <= 0 || grid.columns <= 0 || grid.rows <= 0) {
        grid.count = 0;
        return true;
    }
    const std::int64_t count = static_cast<std::int64_t>(grid.columns) * grid.rows;
    // The progress total is n + 1, so n + 1 must fit as well.
    if (count >= std::numeric_limits<std::int32_t>::max()) return false;
    grid.count = static_cast<std::int32_t>(count);
    return true;
}

void assign_axis_order(BlockRecord* blocks, std::int32_t count, std::int32_t seed,
                       RandomSource& random) {
    random.restart(seed);
    for (std::int32_t i = 0; i < count; ++i) blocks[i].x_first = random.draw_unit() >= 0.5 ? 1 : 0;
}

std::int32_t assign_targets_and_cells(BlockRecord* blocks, const GridShape& grid, FrameSize frame,
                                      std::int32_t seed, RandomSource& random) {
    for (std::int32_t i = 0; i < grid.count; ++i) blocks[i].target = i;
    const std::int32_t err = shuffle_targets(blocks, grid.count, seed, random);
    const double cell_width = static_cast<double>(frame.width) / grid.columns;
    const double cell_height = static_cast<double>(frame.height) / grid.rows;
    for (std::int32_t r = 0; r < grid.rows; ++r) {
        for (std::int32_t c = 0; c < grid.columns; ++c) {
            BlockRecord& block = blocks[r * grid.columns + c];
            block.x = static_cast<std::int32_t>(c * cell_width);
            block.y = static_cast<std::int32_t>(r * cell_height);
        }
    }
    return err;
}
