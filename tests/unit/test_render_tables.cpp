// The render's tables in host memory: their byte sizes against the host's size type, and the
// order in which they go back to the host.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

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

// A host memory that records what it hands out and what comes back, in order.
struct Ledger {
    std::vector<PF_Handle> handed;
    std::vector<PF_Handle> disposed;
    int refuse_at = -1;  // the new-handle call (0-based) that returns null
};
Ledger* g_ledger = nullptr;

PF_Handle PF_CALLBACK new_handle(A_HandleSize) {
    if (static_cast<int>(g_ledger->handed.size()) == g_ledger->refuse_at) {
        g_ledger->handed.push_back(nullptr);
        return nullptr;
    }
    auto* master = new void*(new std::uint64_t[4]{});
    g_ledger->handed.push_back(reinterpret_cast<PF_Handle>(master));
    return reinterpret_cast<PF_Handle>(master);
}

void PF_CALLBACK dispose_handle(PF_Handle h) {
    g_ledger->disposed.push_back(h);
    auto* master = reinterpret_cast<void**>(h);
    delete[] static_cast<std::uint64_t*>(*master);
    delete master;
}

TEST(RenderTables, GivesBackWhatItGotInSlotOrderWhateverTheOrderOfAllocation) {
    for (const int refuse_at : {-1, 0, 1, 2}) {
        SCOPED_TRACE(refuse_at);
        Ledger ledger;
        ledger.refuse_at = refuse_at;
        g_ledger = &ledger;
        PF_UtilCallbacks utils{};
        utils.host_new_handle = new_handle;
        utils.host_dispose_handle = dispose_handle;
        {
            RenderTables tables(&utils);
            // The render's own order: block table, strip sizes, strip records.
            EXPECT_EQ(tables.allocate<std::int32_t>(RenderTables::kBlockTable, 2) != nullptr,
                      refuse_at != 0);
            EXPECT_EQ(tables.allocate<std::int32_t>(RenderTables::kStripSizes, 2) != nullptr,
                      refuse_at != 1);
            EXPECT_EQ(tables.allocate<std::int32_t>(RenderTables::kStripRecords, 2) != nullptr,
                      refuse_at != 2);
            EXPECT_TRUE(ledger.disposed.empty());
        }
        std::vector<PF_Handle> expected;
        for (const std::size_t k : {0u, 2u, 1u}) {
            if (ledger.handed[k] != nullptr) expected.push_back(ledger.handed[k]);
        }
        EXPECT_EQ(ledger.disposed, expected);
        g_ledger = nullptr;
    }
}

TEST(RenderTables, ASizeBeyondTheHostsTypeAsksTheHostForNothing) {
    Ledger ledger;
    g_ledger = &ledger;
    PF_UtilCallbacks utils{};
    utils.host_new_handle = new_handle;
    utils.host_dispose_handle = dispose_handle;
    {
        RenderTables tables(&utils);
        EXPECT_EQ(tables.allocate<std::int32_t>(RenderTables::kBlockTable, -1), nullptr);
    }
    EXPECT_TRUE(ledger.handed.empty());
    EXPECT_TRUE(ledger.disposed.empty());
    g_ledger = nullptr;
}

}  // namespace
