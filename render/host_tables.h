// The render's tables in host memory: the block table, the strip records and the strip sizes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

#include "host/ae_api.h"

// The largest table a handle can hold, in bytes.
inline constexpr std::uint64_t kMaxTableBytes = std::numeric_limits<A_HandleSize>::max();

// Byte size of a table of `count` records of `record_size`; false when it does not fit the
// host's allocation size type.
inline bool table_bytes(A_long count, std::size_t record_size, A_HandleSize& bytes) {
    const std::uint64_t total = static_cast<std::uint64_t>(count) * record_size;
    if (count < 0 || total > kMaxTableBytes) return false;
    bytes = static_cast<A_HandleSize>(total);
    return true;
}

// The render's tables, each in its own host handle, given back when the owner goes out of
// scope: on every exit of the pass, in the order of the slots (block table, strip records,
// strip sizes), each only if it was obtained.
class RenderTables {
  public:
    enum Slot : std::size_t { kBlockTable, kStripRecords, kStripSizes, kSlotCount };

    explicit RenderTables(const PF_UtilCallbacks* utils) : utils_(utils) {}
    ~RenderTables() {
        for (PF_Handle& handle : handles_) {
            if (handle != nullptr) utils_->host_dispose_handle(handle);
            handle = nullptr;
        }
    }
    RenderTables(const RenderTables&) = delete;
    RenderTables& operator=(const RenderTables&) = delete;

    // Room for `count` records in the slot's handle, used unlocked; null when the size does
    // not fit the host's size type or the host has no memory.
    template <class Record>
    Record* allocate(Slot slot, A_long count) {
        A_HandleSize bytes = 0;
        if (!table_bytes(count, sizeof(Record), bytes)) return nullptr;
        PF_Handle& handle = handles_[slot];
        handle = utils_->host_new_handle(bytes);
        return handle != nullptr ? static_cast<Record*>(*handle) : nullptr;
    }

  private:
    const PF_UtilCallbacks* utils_;
    PF_Handle handles_[kSlotCount] = {};
};
