#include "cli/effect_runner.h"

#include <cmath>
#include <sstream>
#include <thread>
#include <vector>

#include "embed/panel_values.h"
#include "embed/transition_step.h"
#include "params/param_table.h"

namespace zx::cli {

namespace {

[[noreturn]] void refuse(const std::string& what) {
    throw EffectError("the effect refused the values for " + what);
}

std::string failure_text(const std::string& what, const std::string& message, PF_Err err) {
    std::ostringstream text;
    text << "the effect failed in " << what;
    if (!message.empty()) text << ": \"" << message << "\"";
    text << " (error code " << err << ")";
    return text.str();
}

// The core takes a plain function; a display problem must not unwind through the render.
int relay_progress(void* user, std::int32_t done, std::int32_t total) {
    const auto& listener = *static_cast<const EffectRunner::ProgressFn*>(user);
    try {
        listener(done, total);
    } catch (...) {
    }
    return 0;
}

FrameView view_of(const Frame& frame) {
    return FrameView{const_cast<std::uint8_t*>(frame.data()),
                     frame.row_bytes(),
                     frame.width(),
                     frame.height(),
                     frame.depth(),
                     ChannelOrder::argb};
}

}  // namespace

EffectRunner::EffectRunner() : values_(embed::default_values()) {}

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
        switch (entry.type) {
            case ParamType::popup:
            case ParamType::slider:
                if (!embed::set_value(values_, entry.index, v.number)) refuse(entry.name);
                break;
            case ParamType::percent:
                set_percent(entry.index, v.number, entry.name);
                break;
            case ParamType::color:
                values_.color = v.color;
                break;
            case ParamType::group_start:
            case ParamType::group_end:
                break;
        }
    }
    if (p.downsample_num < 1 || p.downsample_den < 1) refuse("the downsample factor");
    values_.downsample_num = p.downsample_num;
    values_.downsample_den = p.downsample_den;
}

void EffectRunner::set_percent(int index, double percent, const char* what) {
    // Checked as the module holds it, rounded: a sweep's last frame may lie a rounding error
    // beyond 100 %. Beyond what 16.16 holds the rounding would wrap around.
    constexpr double kFixedLimit = 32768.0;
    if (!(std::fabs(percent) < kFixedLimit) ||
        !embed::set_value(values_, index, percent_to_fixed(percent) / 65536.0)) {
        refuse(what);
    }
}

void EffectRunner::draw(const Frame& moving, const ProgressFn& progress) {
    const ParamSnapshot snap = snapshot_of(values_);
    const FrameView source = view_of(moving);
    const FrameView output = view_of(output_);
    RenderPlan plan;
    RenderServices memory;
    memory.heap_limit = memory_limit_;
    if (plan_render(snap, {source.width, source.height}, memory, plan).kind !=
        RenderEnd::Kind::ok) {
        // The table the layout needs cannot be had: what the module says of it.
        throw EffectError(failure_text("Render", "Memory Error!", PF_Err_INTERNAL_STRUCT_DAMAGED));
    }
    RenderServices reports;
    if (progress) {
        reports.user = const_cast<ProgressFn*>(&progress);
        reports.progress = relay_progress;
    }
    BandQueue bands(plan, source, output, OutputRect{0, 0, source.width, source.height}, threads_);
    // This thread reports the progress; a thread that cannot start leaves its bands to the
    // others.
    std::vector<std::thread> threads;
    for (int i = 1; i < std::min(threads_, bands.count()); ++i) {
        try {
            threads.emplace_back([&bands] { bands.draw(RenderServices{}, false); });
        } catch (...) {
            break;
        }
    }
    bands.draw(reports, true);
    for (std::thread& t : threads) t.join();
    if (bands.end().kind != RenderEnd::Kind::ok) {
        throw EffectError("the effect failed in Render");
    }
}

const Frame& EffectRunner::render(double completion_percent, const ProgressFn& progress) {
    set_percent(kParamCompletion, completion_percent, "Completion");
    draw(input_, progress);
    return output_;
}

const Frame& EffectRunner::render_transition(double t_percent, const ProgressFn& progress) {
    if (!embed::transition_t_valid(t_percent)) refuse("Render");
    const embed::TransitionStep step = embed::transition_step(t_percent);
    set_percent(kParamCompletion, step.completion, "Completion");
    draw(step.a_moves ? input_ : target_, progress);
    const Frame& still = step.a_moves ? target_ : input_;
    lay_over(view_of(still), view_of(output_), {0, 0, output_.width(), output_.height()});
    return output_;
}

}  // namespace zx::cli
