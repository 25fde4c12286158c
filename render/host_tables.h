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
