#include "layout/strip_layout.h"

#include "params/param_ids.h"

namespace {

// The grid seen along its lines: in "Row & Width" the lines are rows and the strips columns,
// in "Height & Column" the other way round.
struct LineView {
    bool lines_are_rows;
    std::int32_t columns;
    std::int32_t rows;

    std::int32_t line_count() const { return lines_are_rows ? rows : columns; }
    std::int32_t slot_count() const { return lines_are_rows ? columns : rows; }
    std::int32_t at(std::int32_t line, std::int32_t slot) const {
        return lines_are_rows ? line * columns + slot : slot * columns + line;
    }
    std::int32_t line_of(std::int32_t i, std::int32_t j) const { return lines_are_rows ? i : j; }
    std::int32_t strip_of(std::int32_t i, std::int32_t j) const { return lines_are_rows ? j : i; }
    // Coordinate along the strip axis, and along the uniform axis.
    template <class Record>
    std::int32_t& along(Record& r) const {
        return lines_are_rows ? r.x : r.y;
    }
    template <class Record>
    std::int32_t& across(Record& r) const {
        return lines_are_rows ? r.y : r.x;
    }
    // Which strip a strip record's target slot holds.
    std::int32_t held_strip(const StripRecord& r) const { return lines_are_rows ? r.col : r.row; }
};

LineView line_view(const GridShape& grid, const LayoutParams& params) {
    return LineView{params.split == kSplitRowWidth, grid.columns, grid.rows};
}

}  // namespace

void fill_strip_sizes(std::int32_t* strip_sizes, const GridShape& grid, const StripSizer& sizer,
                      std::int32_t seed, RandomSource& random) {
    // The same restart and draws as the count give the same sizes.
    random.restart(seed);
    std::int32_t sum = 0;
    for (std::int32_t k = 0; k + 1 < grid.strips; ++k) {
        strip_sizes[k] = strip_size(sizer, random.draw_unit());
        sum += strip_sizes[k];
    }
    strip_sizes[grid.strips - 1] = sizer.length - sum;
}

void lay_out_strips(BlockRecord* blocks, StripRecord* strips, const std::int32_t* strip_sizes,
                    const GridShape& grid, FrameSize frame, const LayoutParams& params,
                    RandomSource& random) {
    const LineView view = line_view(grid, params);
    const std::int32_t C = grid.columns;
    const std::int32_t R = grid.rows;
    const std::int32_t uniform_length = view.lines_are_rows ? frame.height : frame.width;
    const double line_step = static_cast<double>(uniform_length) / view.line_count();

    for (std::int32_t i = 0; i < R; ++i) {
        for (std::int32_t j = 0; j < C; ++j) {
            const std::int32_t p = i * C + j;
            BlockRecord& block = blocks[p];
            StripRecord& strip = strips[p];
            block.col = strip.col = j;
            block.row = strip.row = i;
            block.target = view.strip_of(i, j);
            view.across(strip) = static_cast<std::int32_t>(view.line_of(i, j) * line_step);
            view.across(block) = view.across(strip);
            view.along(strip) = 0;
            view.along(block) = 0;
        }
    }

    // Destination lines: inside every strip.
    shuffle_within_lines(blocks, C, R, !view.lines_are_rows, params.seed, random, kSwapColRow);
    for (std::int32_t i = 0; i < R; ++i) {
        for (std::int32_t j = 0; j < C; ++j) {
            const BlockRecord& block = blocks[i * C + j];
            StripRecord& strip = strips[block.row * C + block.col];
            strip.col = j;
            strip.row = i;
        }
    }
    // Target orders, then source orders: inside every line, with the same exchanges.
    shuffle_within_lines(strips, C, R, view.lines_are_rows, params.seed, random, kSwapColRow);
    for (std::int32_t i = 0; i < R; ++i) {
        for (std::int32_t j = 0; j < C; ++j) {
            const StripRecord& strip = strips[i * C + j];
            BlockRecord& block = blocks[strip.row * C + strip.col];
            block.col = j;
            block.row = i;
        }
    }
    shuffle_within_lines(blocks, C, R, view.lines_are_rows, params.seed, random, kSwapTarget);

    // Slot origins as running sums along every line. Source slot k holds the strip whose
    // target is k; target slot k holds the strip its strip record names.
    for (std::int32_t line = 0; line < view.line_count(); ++line) {
        for (std::int32_t m = 0; m < view.slot_count(); ++m) {
            const std::int32_t slot = blocks[view.at(line, m)].target;
            view.along(blocks[view.at(line, slot)]) = strip_sizes[m];
        }
        std::int32_t source_origin = 0;
        std::int32_t target_origin = 0;
        for (std::int32_t k = 0; k < view.slot_count(); ++k) {
            std::int32_t& source = view.along(blocks[view.at(line, k)]);
            const std::int32_t source_size = source;
            source = source_origin;
            source_origin += source_size;

            StripRecord& target = strips[view.at(line, k)];
            view.along(target) = target_origin;
            target_origin += strip_sizes[view.held_strip(target)];
        }
    }
}

DrawStep strip_step(const BlockRecord* blocks, const StripRecord* strips, const GridShape& grid,
                    FrameSize frame, const LayoutParams& params, std::int32_t i, std::int32_t j) {
    const LineView view = line_view(grid, params);
    const BlockRecord& piece = blocks[i * grid.columns + j];
    const std::int32_t source_slot = view.at(view.line_of(i, j), piece.target);
    const StripRecord& target = strips[piece.row * grid.columns + piece.col];

    DrawStep step;
    step.source =
        block_extent(blocks, source_slot, grid.columns, grid.rows, frame.width, frame.height);
    step.offset = block_offset(target.x - step.source.x0, target.y - step.source.y0, piece.x_first,
                               params.mode, params.completion);
    return step;
}
