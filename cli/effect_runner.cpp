#include "cli/effect_runner.h"

#include <cmath>
#include <sstream>

#include "embed/transition.h"
#include "params/param_table.h"

namespace zx::cli {

namespace {

std::string failure_text(const std::string& what, const std::string& message, PF_Err err) {
    std::ostringstream text;
    text << "the effect failed in " << what;
    if (!message.empty()) text << ": \"" << message << "\"";
    text << " (error code " << err << ")";
    return text.str();
}

// The embedded host takes a plain function; a display problem must not unwind through the
// effect.
void relay_progress(void* user, long done, long total) {
    const auto& listener = *static_cast<const EffectRunner::ProgressFn*>(user);
    try {
        listener(done, total);
    } catch (...) {
    }
}

}  // namespace

std::string version_number(A_u_long packed) {
    return std::to_string(packed >> 19 & 0x7) + "." + std::to_string(packed >> 15 & 0xF);
}

EffectRunner::EffectRunner() {
    check(host_.status(), "Global Setup and Params Setup");
}

void EffectRunner::check(embed::Status status, const char* what) {
    switch (status) {
        case embed::Status::ok:
            return;
        case embed::Status::effect_error:
            throw EffectError(failure_text(what, host_.message(), host_.effect_result()));
        case embed::Status::out_of_memory:
            throw std::bad_alloc();
        case embed::Status::bad_argument:
            break;
    }
    throw EffectError(std::string("the host refused the values for ") + what);
}

std::string EffectRunner::about() {
    std::string text;
    check(host_.about(text), "About");
    return text;
}

void EffectRunner::set_layer(Frame layer) {
    input_ = std::move(layer);
    output_ = Frame(input_.width(), input_.height(), input_.depth());
}

void EffectRunner::set_target(Frame target) {
    target_ = std::move(target);
}

void EffectRunner::set_params(const EffectParams& p) {
    for (const ParamEntry& entry : kParamTable) {
        const ParamValue& v = p.value[entry.index];
        embed::Status status = embed::Status::ok;
        switch (entry.type) {
            case ParamType::popup:
            case ParamType::slider:
                status = host_.set_value(entry.index, v.number);
                break;
            case ParamType::percent:
                status = host_.set_fixed(entry.index, percent_to_fixed(v.number));
                break;
            case ParamType::color:
                status = host_.set_color(entry.index, v.color);
                break;
            case ParamType::group_start:
            case ParamType::group_end:
                break;
        }
        check(status, entry.name);
    }
    check(host_.set_downsample(p.downsample_num, p.downsample_den), "the downsample factor");
}

const Frame& EffectRunner::render(double completion_percent, const ProgressFn& progress) {
    check(host_.set_fixed(kParamCompletion, percent_to_fixed(completion_percent)), "Completion");
    check(host_.render(input_.format, input_.data(), input_.row_bytes(), output_.data(),
                       output_.row_bytes(), progress ? relay_progress : nullptr,
                       const_cast<ProgressFn*>(&progress)),
          "Render");
    return output_;
}

const Frame& EffectRunner::render_transition(double t_percent, const ProgressFn& progress) {
    scratch_.resize(embed::transition_scratch_bytes(input_.format));
    const embed::TransitionFrames frames{input_.data(),  input_.row_bytes(),
                                         target_.data(), target_.row_bytes(),
                                         output_.data(), output_.row_bytes()};
    check(embed::render_transition(host_, input_.format, frames, t_percent, scratch_.data(),
                                   scratch_.size(), progress ? relay_progress : nullptr,
                                   const_cast<ProgressFn*>(&progress)),
          "Render");
    return output_;
}

}  // namespace zx::cli
