// Pictures as a PNG file holds them, and their conversion to and from the host's worlds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "composite/pixel_traits.h"  // channel8_to_16, channel16_to_8: changing the working depth
#include "embed/sample16.h"
#include "host/ae_api.h"
#include "worlds/world.h"

namespace zx::cli {

// Largest width or height the tool accepts, for inputs, the test card and outputs alike.
inline constexpr int kMaxSide = 16384;

// RGBA rows of 8-bit or 16-bit samples; 16-bit samples are stored big-endian as in the file.
struct Image {
    int width = 0;
    int height = 0;
    int depth = 8;
    std::vector<std::uint8_t> bytes;

    static Image blank(int width, int height, int depth);  // transparent black

    std::size_t row_bytes() const {
        return static_cast<std::size_t>(width) * 4 * static_cast<std::size_t>(depth / 8);
    }
    std::uint8_t* row(int y) { return bytes.data() + static_cast<std::size_t>(y) * row_bytes(); }
    const std::uint8_t* row(int y) const {
        return bytes.data() + static_cast<std::size_t>(y) * row_bytes();
    }
    unsigned sample(int x, int y, int channel) const;  // channel 0 red .. 3 alpha
    void set_sample(int x, int y, int channel, unsigned value);
};

// A 16-bit file sample v (0..65535) as a host channel (0..32768), and back.
using embed::channel_to_png16;
using embed::png16_to_channel;

// The layer the effect sees: `image` at the working depth (8 or 16).
worlds::World to_world(const Image& image, int working_depth);
// An output world as a PNG picture of the world's own depth.
Image from_world(const worlds::World& world);

}  // namespace zx::cli
