#include "layout/strip_layout.h"

#include "params/param_ids.h"

namespace {

// The grid seen along its lines: in "Row & Width" the lines are rows and the strips columns,
// in "Height & Column" the other way round.
struct LineView {
    bool lines_are_rows;
    A_long columns;
    A_long rows;

    A_long line_count() const { return lines_are_rows ? rows : columns; }
    A_long slot_count() const { return lines_are_rows ? columns : rows; }
    A_long at(A_long line, A_long slot) const {
        return lines_are_rows ? line * columns + slot : slot * columns + line;
    }
    A_long line_of(A_long i, A_long j) const { return lines_are_rows ? i : j; }
    A_long strip_of(A_long i, A_long j) const { return lines_are_rows ? j : i; }
    // Coordinate along the strip axis, and along the uniform axis.
    template <class Record>
    A_long& along(Record& r) const {
        return lines_are_rows ? r.x : r.y;
    }
    template <class Record>
    A_long& across(Record& r) const {
        return lines_are_rows ? r.y : r.x;
    }
    // Which strip a strip record's target slot holds.
    A_long held_strip(const StripRecord& r) const { return lines_are_rows ? r.col : r.row; }
};

LineView line_view(const GridShape& grid, const ParamSnapshot& snap) {
    return LineView{snap.split == kSplitRowWidth, grid.columns, grid.rows};
}

}  // namespace

void fill_strip_sizes(A_long* strip_sizes, const GridShape& grid, const StripSizer& sizer,
                      A_long seed, RandomSource& random) {
    // The same restart and draws as the count give the same sizes.
    random.restart(seed);
    A_long sum = 0;
    for (A_long k = 0; k + 1 < grid.strips; ++k) {
        strip_sizes[k] = strip_size(sizer, random.draw_unit());
        sum += strip_sizes[k];
    }
    strip_sizes[grid.strips - 1] = sizer.length - sum;
}

void lay_out_strips(BlockRecord* blocks, StripRecord* strips, const A_long* strip_sizes,
                    const GridShape& grid, const RenderContext& ctx, const ParamSnapshot& snap,
                    RandomSource& random) {
    const LineView view = line_view(grid, snap);
    const A_long C = grid.columns;
    const A_long R = grid.rows;
    const A_long uniform_length = view.lines_are_rows ? ctx.height : ctx.width;
    const double line_step = static_cast<double>(uniform_length) / view.line_count();

    for (A_long i = 0; i < R; ++i) {
        for (A_long j = 0; j < C; ++j) {
            const A_long p = i * C + j;
            BlockRecord& block = blocks[p];
            StripRecord& strip = strips[p];
            block.col = strip.col = j;
            block.row = strip.row = i;
            block.target = view.strip_of(i, j);
            view.across(strip) = static_cast<A_long>(view.line_of(i, j) * line_step);
            view.across(block) = view.across(strip);
            view.along(strip) = 0;
            view.along(block) = 0;
        }
    }

    // Destination lines: inside every strip.
    shuffle_within_lines(blocks, C, R, !view.lines_are_rows, snap.seed, random, kSwapColRow);
    for (A_long i = 0; i < R; ++i) {
        for (A_long j = 0; j < C; ++j) {
            const BlockRecord& block = blocks[i * C + j];
            StripRecord& strip = strips[block.row * C + block.col];
            strip.col = j;
            strip.row = i;
        }
    }
    // Target orders, then source orders: inside every line, with the same exchanges.
    shuffle_within_lines(strips, C, R, view.lines_are_rows, snap.seed, random, kSwapColRow);
    for (A_long i = 0; i < R; ++i) {
        for (A_long j = 0; j < C; ++j) {
            const StripRecord& strip = strips[i * C + j];
            BlockRecord& block = blocks[strip.row * C + strip.col];
            block.col = j;
            block.row = i;
        }
    }
    shuffle_within_lines(blocks, C, R, view.lines_are_rows, snap.seed, random, kSwapTarget);

    // Slot origins as running sums along every line. Source slot k holds the strip whose
    // target is k; target slot k holds the strip its strip record names.
    for (A_long line = 0; line < view.line_count(); ++line) {
        for (A_long m = 0; m < view.slot_count(); ++m) {
            const A_long slot = blocks[view.at(line, m)].target;
            view.along(blocks[view.at(line, slot)]) = strip_sizes[m];
        }
        A_long source_origin = 0;
        A_long target_origin = 0;
        for (A_long k = 0; k < view.slot_count(); ++k) {
            A_long& source = view.along(blocks[view.at(line, k)]);
            const A_long source_size = source;
            source = source_origin;
            source_origin += source_size;

            StripRecord& target = strips[view.at(line, k)];
            view.along(target) = target_origin;
            target_origin += strip_sizes[view.held_strip(target)];
        }
    }
}

DrawStep strip_step(const BlockRecord* blocks, const StripRecord* strips, const GridShape& grid,
                    const RenderContext& ctx, const ParamSnapshot& snap, A_long i, A_long j) {
    const LineView view = line_view(grid, snap);
    const BlockRecord& piece = blocks[i * grid.columns + j];
    const A_long source_slot = view.at(view.line_of(i, j), piece.target);
    const StripRecord& target = strips[piece.row * grid.columns + piece.col];

    DrawStep step;
    step.source = block_extent(blocks, source_slot, grid.columns, grid.rows, ctx.width, ctx.height);
    step.offset = block_offset(target.x - step.source.x0, target.y - step.source.y0, piece.x_first,
                               snap.mode, snap.completion);
    return step;
}
