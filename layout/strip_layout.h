// "Row & Width" and "Height & Column": lines cut by strips of random size, every line cut in
// its own random order and reassembled in a second one, every piece moved to a random line.
// Both modes are one procedure; only the axis of the strips differs.
#pragma once

#include <cstdint>
#include <utility>

#include "layout/block_grid.h"
#include "layout/block_motion.h"
#include "layout/layout_params.h"
#include "layout/random_source.h"

struct StripRecord {
    std::int32_t col;
    std::int32_t row;
    std::int32_t x;  // origin of the target slot at this position
    std::int32_t y;
};

// Exchanges inside every line of the grid, lines being its rows or its columns. `swap_fields`
// exchanges the chosen fields of two records and leaves the others in place.
template <class Record, class SwapFields>
std::int32_t shuffle_within_lines(Record* records, std::int32_t columns, std::int32_t rows,
                                  bool lines_are_rows, std::int32_t seed, RandomSource& random,
                                  SwapFields swap_fields) {
    random.restart(seed);
    const std::int32_t line_count = lines_are_rows ? rows : columns;
    const std::int32_t line_length = lines_are_rows ? columns : rows;
    for (std::int32_t line = 0; line < line_count; ++line) {
        for (std::int32_t j = 0; j + 1 < line_length; ++j) {
            const std::int32_t k =
                j + static_cast<std::int32_t>(random.draw_unit() *
                                              static_cast<double>(line_length - j));
            const std::int32_t a = lines_are_rows ? line * columns + j : j * columns + line;
            const std::int32_t b = lines_are_rows ? line * columns + k : k * columns + line;
            swap_fields(records[a], records[b]);
        }
    }
    return 0;
}

template <class Record, class SwapFields>
std::int32_t shuffle_within_rows(Record* records, std::int32_t columns, std::int32_t rows,
                                 std::int32_t seed, RandomSource& random, SwapFields swap_fields) {
    return shuffle_within_lines(records, columns, rows, true, seed, random, swap_fields);
}

template <class Record, class SwapFields>
std::int32_t shuffle_within_columns(Record* records, std::int32_t columns, std::int32_t rows,
                                    std::int32_t seed, RandomSource& random,
                                    SwapFields swap_fields) {
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
void fill_strip_sizes(std::int32_t* strip_sizes, const GridShape& grid, const StripSizer& sizer,
                      std::int32_t seed, RandomSource& random);

// Lays out the pieces: cell references, uniform-axis origins, the three shuffles and two
// inversions, then source and target slot origins.
void lay_out_strips(BlockRecord* blocks, StripRecord* strips, const std::int32_t* strip_sizes,
                    const GridShape& grid, FrameSize frame, const LayoutParams& params,
                    RandomSource& random);

// The piece at grid position (i, j): its source slot and its offset at the current completion.
DrawStep strip_step(const BlockRecord* blocks, const StripRecord* strips, const GridShape& grid,
                    FrameSize frame, const LayoutParams& params, std::int32_t i, std::int32_t j);
