// What a window's rows have written, against a map of written columns: random stretches, from
// few per row to more than a row keeps apart.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "composite/row_cover.h"

TEST(RowCover, PiecesAndGapsMatchAMapOfWrittenColumns) {
    constexpr std::int32_t kX0 = 7, kX1 = 300, kRows = 4, kY0 = 11;
    std::mt19937 rng(5);
    std::vector<CoverRow> rows(kRows);
    int settled_seen = 0;
    for (int round = 0; round < 400; ++round) {
        RowCover cover{rows.data(), 0, kX0, kX1};
        cover.reset(kY0, kRows);
        std::vector<std::vector<int>> map(kRows, std::vector<int>(kX1, 0));  // 0 none, 1 written
        const int writes = std::uniform_int_distribution<int>(1, 60)(rng);
        for (int i = 0; i < writes; ++i) {
            const int row = std::uniform_int_distribution<int>(0, kRows - 1)(rng);
            const int width = std::uniform_int_distribution<int>(1, round % 2 ? 12 : 90)(rng);
            const int a = std::uniform_int_distribution<int>(kX0, kX1 - width)(rng);
            std::vector<int>& m = map[row];
            std::vector<int> visited(kX1, 0);
            cover.write(
                kY0 + row, a, a + width,
                [&](std::int32_t from, std::int32_t to, bool fresh) {
                    for (std::int32_t x = from; x < to; ++x) {
                        ASSERT_EQ(visited[x]++, 0) << "column " << x << " given twice";
                        ASSERT_EQ(fresh, m[x] == 0) << "column " << x;
                    }
                },
                [&](std::int32_t from, std::int32_t to) {
                    for (std::int32_t x = from; x < to; ++x) {
                        ASSERT_EQ(m[x], 0) << "written column " << x << " cleared";
                        m[x] = 1;
                    }
                    ++settled_seen;
                });
            for (int x = kX0; x < kX1; ++x) ASSERT_EQ(visited[x], x >= a && x < a + width);
            for (int x = a; x < a + width; ++x) m[x] = 1;
        }
        for (int row = 0; row < kRows; ++row) {
            std::vector<int> gap(kX1, 0);
            cover.each_gap(kY0 + row, [&](std::int32_t from, std::int32_t to) {
                for (std::int32_t x = from; x < to; ++x) gap[x] = 1;
            });
            for (int x = kX0; x < kX1; ++x) ASSERT_EQ(gap[x], 1 - map[row][x]) << "column " << x;
        }
    }
    EXPECT_GT(settled_seen, 20);
}
