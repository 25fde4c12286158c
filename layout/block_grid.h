// How the layer is cut into blocks: the grid shape of each Split choice, the random strip
// sizes, the block table's records, axis-order flags and the plain grid's cell origins.
#pragma once

#include <cstddef>
#include <cstdint>

#include "layout/layout_params.h"
#include "layout/random_source.h"

struct BlockRecord {
    std::int32_t target;
    std::int32_t col;
    std::int32_t row;
    std::int32_t x;
    std::int32_t y;
    std::uint8_t x_first;  // Manhattan paths: 1 = along x first
};

struct GridShape {
    std::int32_t columns;  // C
    std::int32_t rows;     // R
    std::int32_t strips;   // S, strip modes only
    std::int32_t count;    // n = C x R
};

// Source rectangle x0 <= x < x1, y0 <= y < y1.
struct BlockExtent {
    std::int32_t x0, x1, y0, y1;
};

// Draws the size of one random strip along an axis of `length` pixels from the base size.
struct StripSizer {
    std::int32_t base;
    std::int32_t length;
    double downsample;
    // No draw can give a strip of one pixel or more (a tiny or negative downsample factor):
    // every strip is then one pixel, so that the strips still end.
    bool one_pixel_strips;
};

StripSizer make_strip_sizer(std::int32_t base, std::int32_t length, double downsample);
std::int32_t strip_size(const StripSizer& sizer, double u);
// The sizer of the strip mode in `params`: widths across the layer for "Row & Width", heights
// down it otherwise.
StripSizer strip_sizer_for(FrameSize frame, const LayoutParams& params);

// Clamps Row and Column to the layer, restarts the random source and fixes C, R, S and n.
// False when the block count (with the progress total one more) does not fit 32 bits, or as
// soon as the strips counted so far are more than `max_table_bytes` could hold the table of.
bool plan_grid(FrameSize frame, LayoutParams& params, RandomSource& random, GridShape& grid,
               std::uint64_t max_table_bytes);

void assign_axis_order(BlockRecord* blocks, std::int32_t count, std::int32_t seed,
                       RandomSource& random);

// Plain grid: every block's target is its own index, then shuffled; then the cell origins.
std::int32_t assign_targets_and_cells(BlockRecord* blocks, const GridShape& grid, FrameSize frame,
                                      std::int32_t seed, RandomSource& random);

// A block reaches to the origin of its right and lower neighbours; the last column and row
// reach the layer's edges.
inline BlockExtent block_extent(const BlockRecord* blocks, std::int32_t index, std::int32_t columns,
                                std::int32_t rows, std::int32_t width, std::int32_t height) {
    BlockExtent e;
    e.x0 = blocks[index].x;
    e.y0 = blocks[index].y;
    e.x1 = (index % columns == columns - 1) ? width : blocks[index + 1].x;
    e.y1 = (index >= (rows - 1) * columns) ? height : blocks[index + columns].y;
    return e;
}
