#include "frei0r/mixer.h"

#include <cstring>
#include <new>

#include "embed/transition.h"
#include "frei0r/param_mapping.h"

namespace zx::frei0r {

namespace {

embed::FrameFormat format_of(const Filter& f) {
    return {static_cast<int>(f.width()), static_cast<int>(f.height()), embed::Depth::eight,
            embed::Channels::rgba};
}

}  // namespace

Mixer::Mixer(unsigned width, unsigned height) : filter_(width, height) {
    try {
        if (filter_.ready()) scratch_.resize(embed::transition_scratch_bytes(format_of(filter_)));
    } catch (const std::bad_alloc&) {
        scratch_.clear();
    }
}

void Mixer::update(const std::uint32_t* a, const std::uint32_t* b, std::uint32_t* out) {
    if (a == nullptr || out == nullptr || filter_.width() == 0 || filter_.height() == 0) return;
    const std::ptrdiff_t row_bytes = static_cast<std::ptrdiff_t>(filter_.width()) * 4;
    bool ok = b != nullptr && filter_.send_values();
    if (ok) {
        const embed::TransitionFrames frames{a, row_bytes, b, row_bytes, out, row_bytes};
        ok = embed::render_transition(filter_.host(), format_of(filter_), frames,
                                      percent_of(filter_.number(kTransitionParam)),
                                      scratch_.empty() ? nullptr : scratch_.data(),
                                      scratch_.size()) == embed::Status::ok;
    }
    if (!ok && a != out) {
        std::memmove(out, a, static_cast<std::size_t>(row_bytes) * filter_.height());
    }
}

}  // namespace zx::frei0r
