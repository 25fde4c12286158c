#include "frei0r/mixer.h"

#include <cstring>

#include "embed/transition_step.h"
#include "frei0r/param_mapping.h"

namespace zx::frei0r {

Mixer::Mixer(unsigned width, unsigned height) : filter_(width, height) {}

void Mixer::update(const std::uint32_t* a, const std::uint32_t* b, std::uint32_t* out) {
    if (a == nullptr || out == nullptr || filter_.width() == 0 || filter_.height() == 0) return;
    const std::size_t bytes = static_cast<std::size_t>(filter_.width()) * 4 * filter_.height();
    const double t = percent_of(filter_.number(kTransitionParam));
    bool ok = b != nullptr && embed::transition_t_valid(t);
    if (ok) {
        const embed::TransitionStep step = embed::transition_step(t);
        const std::uint32_t* moving = step.a_moves ? a : b;
        const std::uint32_t* still = step.a_moves ? b : a;
        // The shuffle is drawn where it can be laid over the still picture: the output, unless
        // the output is one of the pictures.
        std::uint32_t* drawn = out == a || out == b ? filter_.scratch() : out;
        const OutputRect frame{0, 0, static_cast<std::int32_t>(filter_.width()),
                               static_cast<std::int32_t>(filter_.height())};
        ok = drawn != nullptr &&
             render_frame(filter_.view(moving), filter_.view(drawn),
                          filter_.snapshot(&step.completion), frame, filter_.services())
                     .kind == RenderEnd::Kind::ok;
        if (ok) {
            lay_over(filter_.view(still), filter_.view(drawn), frame);
            if (drawn != out) std::memcpy(out, drawn, bytes);
        }
    }
    if (!ok && a != out) std::memmove(out, a, bytes);
}

}  // namespace zx::frei0r
