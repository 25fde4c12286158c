// What the layout needs of a render: the layer's size and the parameter values, as plain
// numbers. The render pass fills them from the host's records; tests fill them directly.
#pragma once

#include <cstdint>

struct FrameSize {
    std::int32_t width;
    std::int32_t height;
};

struct LayoutParams {
    double downsample;  // horizontal downsample factor, 1.0 at full resolution
    std::int32_t mode;  // "Mode" popup value
    double completion;  // 0.0 .. 1.0
    std::int32_t split;
    std::int32_t rows;
    std::int32_t strip_height;
    std::int32_t columns;
    std::int32_t strip_width;
    std::int32_t seed;
};
