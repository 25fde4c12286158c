#include "layout/block_motion.h"

#include <cstdint>
#include <cstdlib>

#include "params/param_ids.h"

namespace {

// Distance along one axis with the sign of the displacement; strict test, so a zero
// displacement takes the negated branch (which is zero all the same).
std::int32_t signed_along(std::int64_t distance, std::int32_t displacement) {
    return static_cast<std::int32_t>(displacement > 0 ? distance : -distance);
}

}  // namespace

Offset block_offset(std::int32_t dx, std::int32_t dy, std::uint8_t x_first, std::int32_t mode,
                    double completion) {
    if (mode != kModeManhattan) {
        return Offset{static_cast<std::int32_t>(dx * completion),
                      static_cast<std::int32_t>(dy * completion)};
    }
    const std::int64_t abs_dx = std::llabs(dx);
    const std::int64_t abs_dy = std::llabs(dy);
    const std::int64_t travelled =
        static_cast<std::int64_t>(static_cast<double>(abs_dx + abs_dy) * completion);
    if (x_first) {
        if (travelled >= abs_dx) return Offset{dx, signed_along(travelled - abs_dx, dy)};
        return Offset{signed_along(travelled, dx), 0};
    }
    if (travelled >= abs_dy) return Offset{signed_along(travelled - abs_dy, dx), dy};
    return Offset{0, signed_along(travelled, dy)};
}

DrawStep grid_step(const BlockRecord* blocks, const GridShape& grid, FrameSize frame,
                   const LayoutParams& params, std::int32_t b) {
    const BlockRecord& block = blocks[b];
    const BlockRecord& target = blocks[block.target];
    DrawStep step;
    step.source = block_extent(blocks, b, grid.columns, grid.rows, frame.width, frame.height);
    step.offset = block_offset(target.x - block.x, target.y - block.y, block.x_first, params.mode,
                               params.completion);
    return step;
}
