// How far a block has travelled toward its target at the current completion.
#pragma once

#include "host/ae_api.h"
#include "layout/block_grid.h"
#include "layout/render_context.h"

struct Offset {
    A_long x;
    A_long y;
};

// Manhattan (mode 1): along one axis, then the other, in the order of x_first; any other
// mode: straight toward the target. Both end exactly on (dx, dy) at completion 1.0.
Offset block_offset(A_long dx, A_long dy, A_u_char x_first, A_long mode, double completion);

// What one drawing step hands to the pixel stage.
struct DrawStep {
    BlockExtent source;
    Offset offset;
};

// Plain grid: block b's own cell, moved toward its target cell's origin.
DrawStep grid_step(const BlockRecord* blocks, const GridShape& grid, const RenderContext& ctx,
                   const ParamSnapshot& snap, A_long b);
