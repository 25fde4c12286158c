// How far a block has travelled toward its target at the current completion.
#pragma once

#include <cstdint>

#include "layout/block_grid.h"
#include "layout/layout_params.h"

struct Offset {
    std::int32_t x;
    std::int32_t y;
};

// Manhattan (mode 1): along one axis, then the other, in the order of x_first; any other
// mode: straight toward the target. Both end exactly on (dx, dy) at completion 1.0.
Offset block_offset(std::int32_t dx, std::int32_t dy, std::uint8_t x_first, std::int32_t mode,
                    double completion);

// What one drawing step hands to the pixel stage.
struct DrawStep {
    BlockExtent source;
    Offset offset;
};

// Plain grid: block b's own cell, moved toward its target cell's origin.
DrawStep grid_step(const BlockRecord* blocks, const GridShape& grid, FrameSize frame,
                   const LayoutParams& params, std::int32_t b);
