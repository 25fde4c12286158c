// How far a block has travelled toward its target at the current completion.
#pragma once

#include "host/ae_api.h"

struct Offset {
    A_long x;
    A_long y;
};

// Manhattan (mode 1): along one axis, then the other, in the order of x_first; any other
// mode: straight toward the target. Both end exactly on (dx, dy) at completion 1.0.
Offset block_offset(A_long dx, A_long dy, A_u_char x_first, A_long mode, double completion);
