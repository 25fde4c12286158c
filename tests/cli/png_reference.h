// PNG files for the tests, read and written through libpng's whole-image calls with no
// transforms: a code path of its own, so that a fault in the tool's reader or writer shows.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "worlds/world.h"

namespace clitest {

struct RawPng {
    int width = 0;
    int height = 0;
    int bit_depth = 8;
    int color_type = 6;  // PNG_COLOR_TYPE_RGB_ALPHA
    bool interlaced = false;
    std::vector<std::uint16_t> samples;                // row-major, channels() per pixel, unpacked
    std::vector<std::array<std::uint8_t, 4>> palette;  // RGBA, palette files only

    int channels() const;
    std::uint16_t at(int x, int y, int channel) const {
        return samples[(static_cast<std::size_t>(y) * width + x) * channels() + channel];
    }
};

void write_raw_png(const std::string& path, const RawPng& png);
RawPng read_raw_png(const std::string& path);  // throws std::runtime_error

// An RGBA picture from a function of (x, y, channel).
template <class F>
RawPng make_rgba(int width, int height, int bit_depth, F sample) {
    RawPng png{width, height, bit_depth, 6, false, {}, {}};
    png.samples.reserve(static_cast<std::size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 4; ++c)
                png.samples.push_back(static_cast<std::uint16_t>(sample(x, y, c)));
    return png;
}

// The host's 16-bit channel of a 16-bit file sample, and the file sample of a 16-bit channel.
constexpr std::uint32_t decode16(std::uint32_t v) {
    return (v * 32768 + 32767) / 65535;
}
constexpr std::uint32_t encode16(std::uint32_t c) {
    return (c * 65535 + 16384) / 32768;
}

// The world the effect should see for an RGBA file at the same depth.
worlds::World world_of(const RawPng& rgba);

// "" when the tool's RGBA output holds exactly the world's pixels, else the first difference.
std::string compare(const RawPng& output, const worlds::World& world);

}  // namespace clitest
