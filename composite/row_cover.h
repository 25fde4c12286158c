// Which stretches of each row of a window the drawing has written so far, for drawings that
// clear the window themselves. A block landing where nothing was written yet takes its pixels
// as they are, which is what every overlap rule makes of cleared output (a free pixel takes
// the block's), so the window need not be cleared first and read back: only the stretches no
// block wrote are cleared, once, at the end.
//
// A drawing from the top block down claims stretches instead: where its pixels hide whatever
// lies below, the blocks below write nothing there, and each pixel is written once. A row where
// they do not is left to be drawn again in order.
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
        const Merge m = merge_of(r, a, b);
        if (m.count > CoverRow::kMaxSpans) {
            each_gap(y, clear);
            r.count = 1;
            r.span[0][0] = x0;
            r.span[0][1] = x1;
            piece(a, b, false);
            return;
        }
        each_piece(r, m, a, b, [&](std::int32_t from, std::int32_t to, bool fresh) {
            piece(from, to, fresh);
            return true;
        });
        merge(r, m, a, b);
    }

    // From the top down: row y takes [a, b) where no block above wrote, through fresh(from, to),
    // which draws the stretch and says whether its pixels hide whatever lies below. Where one
    // does not, or the row would hold too many stretches, the row is left to be drawn in order
    // and takes nothing more.
    template <class Fresh>
    void claim(std::int32_t y, std::int32_t a, std::int32_t b, Fresh&& fresh) {
        CoverRow& r = rows[y - y0];
        if (r.count < 0) return;
        const Merge m = merge_of(r, a, b);
        const bool hidden =
            m.count <= CoverRow::kMaxSpans &&
            each_piece(r, m, a, b, [&](std::int32_t from, std::int32_t to, bool unwritten) {
                return !unwritten || fresh(from, to);
            });
        if (hidden) {
            merge(r, m, a, b);
        } else {
            r.count = -1;
        }
    }

    // Whether row y was left by claim to be drawn in order; restart(y) forgets what it wrote.
    bool in_order(std::int32_t y) const { return rows[y - y0].count < 0; }
    void restart(std::int32_t y) { rows[y - y0].count = 0; }

  private:
    // The stretches [first, last) touch [a, b) and merge with it into `count` stretches.
    struct Merge {
        std::int32_t first, last, count;
    };

    static Merge merge_of(const CoverRow& r, std::int32_t a, std::int32_t b) {
        std::int32_t first = 0;
        while (first < r.count && r.span[first][1] < a) ++first;
        std::int32_t last = first;
        while (last < r.count && r.span[last][0] <= b) ++last;
        return {first, last, r.count - (last - first) + 1};
    }

    // piece(from, to, fresh) over [a, b) in order, until one returns false.
    template <class Piece>
    static bool each_piece(const CoverRow& r, Merge m, std::int32_t a, std::int32_t b,
                           Piece&& piece) {
        std::int32_t at = a;
        for (std::int32_t i = m.first; i < m.last && at < b; ++i) {
            const std::int32_t from = r.span[i][0], to = r.span[i][1];
            if (from > at && !piece(at, from, true)) return false;
            if (std::max(at, from) < std::min(to, b) &&
                !piece(std::max(at, from), std::min(to, b), false)) {
                return false;
            }
            at = std::max(at, to);
        }
        return at >= b || piece(at, b, true);
    }

    static void merge(CoverRow& r, Merge m, std::int32_t a, std::int32_t b) {
        const std::int32_t from = m.first < m.last ? std::min(a, r.span[m.first][0]) : a;
        const std::int32_t to = m.first < m.last ? std::max(b, r.span[m.last - 1][1]) : b;
        // The stretches after the merged ones move into place behind the merged one.
        std::memmove(r.span[m.first + 1], r.span[m.last],
                     static_cast<std::size_t>(r.count - m.last) * sizeof r.span[0]);
        r.span[m.first][0] = from;
        r.span[m.first][1] = to;
        r.count = m.count;
    }
};
