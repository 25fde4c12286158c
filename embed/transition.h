// The effect as a transition from picture A to picture B, the one definition every front end
// uses. With E(X, c) the effect rendering X at Completion c and "U over L" the effect's Normal
// operator at full opacity, at transition t:
//
//   t <  50 %   E(A, 2t) over B        (A shuffles away, B shows through)
//   t >= 50 %   E(B, 200 % - 2t) over A
//
// Every other parameter applies as the host holds it; Completion is set by the render and left
// at the value last rendered.
//
// t is given in percent, 0..100, the unit the command line's --completion takes and the one
// frei0r's x * 100 gives. The side of 50 % is chosen on that exact double and only the
// Completion is rounded to 16.16, by percent_to_fixed(). Both branches' Completion, 2t and
// 200 - 2t, are exact in double for every t in range, so no front end adds a rounding of its
// own. Just below 50 % both sides render at Completion 100 % once rounded, yet t = 50 - e still
// puts A's shuffle over B: a front end that rounded t to 16.16 first would flip that to the
// other side, which is why t is never passed as a fixed-point value. A front end holding t as
// 0..1 passes t * 100: one rounded multiplication, which keeps every t below 1/2 below 50 %.
#pragma once

#include <cstddef>

#include "embed/embed_host.h"
#include "embed/transition_step.h"

namespace zx::embed {

// The pictures: each holds format.height rows of format.width pixels, rows row_bytes apart.
// `out` may be the same buffer as `a` or `b` with the same row bytes.
struct TransitionFrames {
    const void* a = nullptr;
    std::ptrdiff_t a_row_bytes = 0;
    const void* b = nullptr;
    std::ptrdiff_t b_row_bytes = 0;
    void* out = nullptr;
    std::ptrdiff_t out_row_bytes = 0;
};

// The scratch a render needs: one tightly packed frame of the format; 0 for a format with no
// pixels or too large to address.
std::size_t transition_scratch_bytes(const FrameFormat& format);

// Renders the transition at t (percent). `scratch` of `scratch_bytes` is used when given (at
// least transition_scratch_bytes(); 16-bit and float argb pixels aligned as Host::render wants
// them), and allocated for the call otherwise; failing that allocation is out_of_memory. When
// the result is not ok the output holds no defined picture. Never throws.
Status render_transition(Host& host, const FrameFormat& format, const TransitionFrames& frames,
                         double t_percent, void* scratch = nullptr, std::size_t scratch_bytes = 0,
                         ProgressFn progress = nullptr, void* progress_user = nullptr);

}  // namespace zx::embed
