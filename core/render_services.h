// What a render asks of its front end: memory for its tables, progress, a way to stop, and
// (for a host that insists on doing it) the output's starting state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

#include "host/ae_api.h"

// The largest table a render asks for, in bytes: what a host's handle can hold, whatever the
// front end, so that every front end renders the same frames.
inline constexpr std::uint64_t kMaxTableBytes = std::numeric_limits<A_HandleSize>::max();

// Byte size of a table of `count` records of `record_size`; false when it is beyond
// kMaxTableBytes.
inline bool table_bytes(std::int32_t count, std::size_t record_size, A_HandleSize& bytes) {
    const std::uint64_t total = static_cast<std::uint64_t>(count) * record_size;
    if (count < 0 || total > kMaxTableBytes) return false;
    bytes = static_cast<A_HandleSize>(total);
    return true;
}

// The render's tables, in the order they are asked for and given back.
enum class TableSlot : int { blocks, strip_records, strip_sizes, count };

struct RenderServices {
    void* user = nullptr;
    // Room for `bytes` bytes in the slot, or null when there is none; every table obtained is
    // given back through release_table, in slot order. Without them the core uses the heap.
    void* (*new_table)(void* user, TableSlot slot, std::size_t bytes) = nullptr;
    void (*release_table)(void* user, TableSlot slot) = nullptr;
    // The heap's tables of one render together stay within this many bytes.
    std::size_t heap_limit = SIZE_MAX;
    // After each drawn step: steps done and the total. A nonzero result ends the reports (not
    // the drawing) and becomes the render's result.
    int (*progress)(void* user, std::int32_t done, std::int32_t total) = nullptr;
    // True when the render is to stop; asked between steps.
    bool (*abort)(void* user) = nullptr;
    // The whole output made a copy of the source (`copy`) or transparent black by the front
    // end itself; a nonzero result fails the render. Without it the core writes the window.
    int (*start_output)(void* user, bool copy) = nullptr;
};
