// "Row & Width" and "Height & Column": lines cut by strips of random size, every line cut in
// its own random order and reassembled in a second one, every piece moved to a random line.
// Both modes are one procedure; only the axis of the strips differs.
#pragma once

#include <utility>

#include "host/ae_api.h"
#include "layout/block_grid.h"
#include "layout/block_motion.h"
#include "layout/random_source.h"
#include "layout/render_context.h"

struct StripRecord {
    A_long col;
    A_long row;
    A_long x;  // origin of the target slot at this position
    A_long y;
};

// Exchanges inside every line of the grid, lines being its rows or its columns. `swap_fields`
// exchanges the chosen fields of two records and leaves the others in place.
template <class Record, class SwapFields>
A_long shuffle_within_lines(Record* records, A_long columns, A_long rows, bool lines_are_rows,
                            A_long seed, RandomSource& random, SwapFields swap_fields) {
    random.restart(seed);
    const A_long line_count = lines_are_rows ? rows : columns;
    const A_long line_length = lines_are_rows ? columns : rows;
    for (A_long line = 0; line < line_count; ++line) {
        for (A_long j = 0; j + 1 < line_length; ++j) {
            const A_long k =
                j + static_cast<A_long>(random.draw_unit() * static_cast<double>(line_length - j));
            const A_long a = lines_are_rows ? line * columns + j : j * columns + line;
            const A_long b = lines_are_rows ? line * columns + k : k * columns + line;
            swap_fields(records[a], records[b]);
        }
    }
    return PF_Err_NONE;
}

template <class Record, class SwapFields>
A_long shuffle_within_rows(Record* records, A_long columns, A_long rows, A_long seed,
                           RandomSource& random, SwapFields swap_fields) {
    return shuffle_within_lines(records, columns, rows, true, seed, random, swap_fields);
}

template <class Record, class SwapFields>
A_long shuffle_within_columns(Record* records, A_long columns, A_long rows, A_long seed,
                              RandomSource& random, SwapFields swap_fields) {
    return shuffle_within_lines(records, columns, rows, false, seed, random, swap_fields);
}

inline constexpr auto kSwapColRow = [](auto& a, auto& b) {
    std::swap(a.col, b.col);
    std::swap(a.row, b.row);
};
inline constexpr auto kSwapTarget = [](BlockRecord& a, BlockRecord& b) {
    std::swap(a.target, b.target);
};

// The sizes of the S strips: the S - 1 drawn by the count, the last taking what remains.
void fill_strip_sizes(A_long* strip_sizes, const GridShape& grid, const StripSizer& sizer,
                      A_long seed, RandomSource& random);

// Lays out the pieces: cell references, uniform-axis origins, the three shuffles and two
// inversions, then source and target slot origins.
void lay_out_strips(BlockRecord* blocks, StripRecord* strips, const A_long* strip_sizes,
                    const GridShape& grid, const RenderContext& ctx, const ParamSnapshot& snap,
                    RandomSource& random);

// The piece at grid position (i, j): its source slot and its offset at the current completion.
DrawStep strip_step(const BlockRecord* blocks, const StripRecord* strips, const GridShape& grid,
                    const RenderContext& ctx, const ParamSnapshot& snap, A_long i, A_long j);
