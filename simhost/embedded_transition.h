// The transition (embed/transition_step.h) rendered through the embedded host: the moving
// picture at its Completion, laid over the still one with the effect's Normal operator.
// Completion is set by the render and left at the value last rendered.
#pragma once

#include <cstddef>

#include "embed/transition_step.h"
#include "simhost/embedded_host.h"

namespace simhost::embedded {

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

}  // namespace simhost::embedded
