// Which stretches of each row of a window the drawing has written so far, for drawings that
// clear the window themselves. A block landing where nothing was written yet takes its pixels
// as they are, which is what every overlap rule makes of cleared output (a free pixel takes
// the block's), so the window need not be cleared first and read back: only the stretches no
// block wrote are cleared, once, at the end.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

struct CoverRow {
    // Up to this many stretches a row keeps apart; a row with more is cleared where it is
    // still unwritten and counts as written across the window from then on.
    static constexpr int kMaxSpans = 15;
    std::int32_t count;
    std::int32_t span[kMaxSpans][2];  // [from, to), in order, apart and not touching
};

struct RowCover {
    CoverRow* rows;  // one per window row, from y0
    std::int32_t y0;
    std::int32_t x0, x1;  // the window's columns

    void reset(std::int32_t first_row, std::int32_t row_count) {
        y0 = first_row;
        for (std::int32_t i = 0; i < row_count; ++i) rows[i].count = 0;
    }

    // The stretches of [x0, x1) the row has not written, each through clear(from, to).
    template <class Clear>
    void each_gap(std::int32_t y, Clear&& clear) const {
        const CoverRow& r = rows[y - y0];
        std::int32_t at = x0;
        for (std::int32_t i = 0; i < r.count; ++i) {
            if (r.span[i][0] > at) clear(at, r.span[i][0]);
            at = r.span[i][1];
        }
        if (at < x1) clear(at, x1);
    }

    // Row y is written over [a, b): piece(from, to, fresh) for each stretch, fresh where the
    // row had not been written before. Where the row would hold too many stretches, its gaps
    // go through clear first and the whole of [a, b) is one piece that is not fresh.
    template <class Piece, class Clear>
    void write(std::int32_t y, std::int32_t a, std::int32_t b, Piece&& piece, Clear&& clear) {
        CoverRow& r = rows[y - y0];
        // The stretches [first, last) touch [a, b) and merge with it.
        std::int32_t first = 0;
        while (first < r.count && r.span[first][1] < a) ++first;
        std::int32_t last = first;
        while (last < r.count && r.span[last][0] <= b) ++last;
        const std::int32_t count = r.count - (last - first) + 1;
        if (count > CoverRow::kMaxSpans) {
            each_gap(y, clear);
            r.count = 1;
            r.span[0][0] = x0;
            r.span[0][1] = x1;
            piece(a, b, false);
            return;
        }
        std::int32_t at = a;
        for (std::int32_t i = first; i < last && at < b; ++i) {
            const std::int32_t from = r.span[i][0], to = r.span[i][1];
            if (from > at) piece(at, from, true);
            if (std::max(at, from) < std::min(to, b))
                piece(std::max(at, from), std::min(to, b), false);
            at = std::max(at, to);
        }
        if (at < b) piece(at, b, true);
        const std::int32_t from = first < last ? std::min(a, r.span[first][0]) : a;
        const std::int32_t to = first < last ? std::max(b, r.span[last - 1][1]) : b;
        // The stretches after the merged ones move into place behind the merged one.
        std::memmove(r.span[first + 1], r.span[last],
                     static_cast<std::size_t>(r.count - last) * sizeof r.span[0]);
        r.span[first][0] = from;
        r.span[first][1] = to;
        r.count = count;
    }
};
