// How the layer is cut into blocks: the grid shape of each Split choice, the random strip
// sizes, the block table's records, axis-order flags and the plain grid's cell origins.
#pragma once

#include "host/ae_api.h"
#include "layout/random_source.h"
#include "layout/render_context.h"

struct BlockRecord {
    A_long target;
    A_long col;
    A_long row;
    A_long x;
    A_long y;
    A_u_char x_first;  // Manhattan paths: 1 = along x first
};

struct GridShape {
    A_long columns;  // C
    A_long rows;     // R
    A_long strips;   // S, strip modes only
    A_long count;    // n = C x R
};

// Source rectangle x0 <= x < x1, y0 <= y < y1.
struct BlockExtent {
    A_long x0, x1, y0, y1;
};

// Draws the size of one random strip along an axis of `length` pixels from the base size.
struct StripSizer {
    A_long base;
    A_long length;
    double downsample;
    // No draw can give a strip of one pixel or more (a tiny or negative downsample factor):
    // every strip is then one pixel, so that the strips still end.
    bool one_pixel_strips;
};

StripSizer make_strip_sizer(A_long base, A_long length, double downsample);
A_long strip_size(const StripSizer& sizer, double u);
// The sizer of the strip mode in `snap`: widths across the layer for "Row & Width", heights
// down it otherwise.
StripSizer strip_sizer_for(const RenderContext& ctx, const ParamSnapshot& snap);

// Clamps Row and Column to the layer, restarts the random source and fixes C, R, S and n.
// Fails with PF_Err_INTERNAL_STRUCT_DAMAGED when the block count does not fit the host's types,
// or as soon as the strips counted so far are more than a handle could hold the table of.
PF_Err plan_grid(const RenderContext& ctx, ParamSnapshot& snap, RandomSource& random,
                 GridShape& grid);

// Byte size of a table of `count` records of `record_size`; false when it does not fit the
// host's allocation size type.
bool table_bytes(A_long count, std::size_t record_size, A_HandleSize& bytes);

void assign_axis_order(BlockRecord* blocks, A_long count, A_long seed, RandomSource& random);

// Plain grid: every block's target is its own index, then shuffled; then the cell origins.
PF_Err assign_targets_and_cells(BlockRecord* blocks, const GridShape& grid,
                                const RenderContext& ctx, A_long seed, RandomSource& random);

// A block reaches to the origin of its right and lower neighbours; the last column and row
// reach the layer's edges.
inline BlockExtent block_extent(const BlockRecord* blocks, A_long index, A_long columns,
                                A_long rows, A_long width, A_long height) {
    BlockExtent e;
    e.x0 = blocks[index].x;
    e.y0 = blocks[index].y;
    e.x1 = (index % columns == columns - 1) ? width : blocks[index + 1].x;
    e.y1 = (index >= (rows - 1) * columns) ? height : blocks[index + columns].y;
    return e;
}
