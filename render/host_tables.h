// The render's tables in host memory: the block table, the strip records and the strip sizes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

#include "core/render_services.h"
#include "host/ae_api.h"

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
        return static_cast<Record*>(allocate_bytes(slot, bytes));
    }

    void* allocate_bytes(Slot slot, A_HandleSize bytes) {
        PF_Handle& handle = handles_[slot];
        handle = utils_->host_new_handle(bytes);
        return handle != nullptr ? *handle : nullptr;
    }

  private:
    const PF_UtilCallbacks* utils_;
    PF_Handle handles_[kSlotCount] = {};
};
