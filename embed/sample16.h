// 16-bit samples as files and video hold them (0..65535) and the effect's 16-bit channels
// (0..32768), converted both ways by every front end alike, so that a 16-bit picture renders
// the same in each of them.
#pragma once

#include <cstdint>

#include "host/ae_api.h"

namespace zx::embed {

constexpr A_u_short png16_to_channel(std::uint32_t v) {
    return static_cast<A_u_short>((v * 32768u + 32767u) / 65535u);
}

constexpr std::uint32_t channel_to_png16(A_u_short c) {
    const std::uint32_t v = (std::uint32_t{c} * 65535u + 16384u) / 32768u;
    return v > 65535u ? 65535u : v;  // the host's channels end at 32768
}

}  // namespace zx::embed
