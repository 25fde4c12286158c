// The render's tables in host memory: their byte sizes against the host's size type.
#include <gtest/gtest.h>

#include <cstdint>

#include "layout/block_grid.h"
#include "render/host_tables.h"

namespace {

TEST(RenderTables, TableSizeOverflowIsRefused) {
    A_HandleSize bytes = 0;
    EXPECT_TRUE(table_bytes(1000, sizeof(BlockRecord), bytes));
    EXPECT_EQ(bytes, 1000 * sizeof(BlockRecord));
    // Beyond 4 GiB: refused where the host's size type is 32 bits, exact where it is 64 bits.
    const std::uint64_t huge = std::uint64_t{2147483647} * sizeof(BlockRecord);
    EXPECT_EQ(table_bytes(2147483647, sizeof(BlockRecord), bytes), kHost64);
    if (kHost64) {
        EXPECT_EQ(bytes, huge);
    }
    EXPECT_FALSE(table_bytes(-1, 4, bytes));
}

}  // namespace
