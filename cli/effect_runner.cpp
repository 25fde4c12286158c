#include "cli/effect_runner.h"

#include <cmath>
#include <new>
#include <sstream>
#include <thread>
#include <vector>

#include "embed/transition_step.h"
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
    const SampleDepth depth = frame.depth() == embed::Depth::float32   ? SampleDepth::floats
                              : frame.depth() == embed::Depth::sixteen ? SampleDepth::shorts
                                                                       : SampleDepth::byte;
    return FrameView{const_cast<std::uint8_t*>(frame.data()),
                     frame.row_bytes(),
                     frame.width(),
                     frame.height(),
                     depth,
                     ChannelOrder::argb};
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
    downsample_.downsample_num = p.downsample_num;
    downsample_.downsample_den = p.downsample_den;
}

ParamSnapshot EffectRunner::snapshot(double completion_percent) const {
    PanelValues v = downsample_;
    for (const ParamEntry& entry : kParamTable) {
        const PF_ParamDef* def = host_.param(entry.index);
        if (def == nullptr) continue;
        switch (entry.type) {
            case ParamType::popup:
                *whole_value(v, entry.index) = def->u.pd.value;
                break;
            case ParamType::slider:
                *whole_value(v, entry.index) = def->u.sd.value;
                break;
            case ParamType::percent:
                *percent_value(v, entry.index) = def->u.fd.value / 65536.0;
                break;
            case ParamType::color:
                v.color = def->u.cd.value;
                break;
            case ParamType::group_start:
            case ParamType::group_end:
                break;
        }
    }
    v.completion_percent = completion_percent;
    return snapshot_of(v);
}

void EffectRunner::draw(const Frame& moving, const ParamSnapshot& snap,
                        const ProgressFn& progress) {
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
    const OutputRect frame{0, 0, source.width, source.height};
    const int bands = std::min(bands_, std::max(1, source.height / 16));
    std::vector<RenderEnd> ends(static_cast<std::size_t>(bands),
                                RenderEnd{RenderEnd::Kind::ok, 0, 0});
    const auto band = [&](int i) {
        ends[static_cast<std::size_t>(i)] =
            draw_window(plan, source, output, band_of(frame, i, bands),
                        i == 0 ? reports : RenderServices{}, i == 0);
    };
    // Band 0 on this thread, with the progress reports; a band whose thread cannot start is
    // drawn here too.
    std::vector<std::thread> threads;
    for (int i = 1; i < bands; ++i) {
        try {
            threads.emplace_back(band, i);
        } catch (...) {
            band(i);
        }
    }
    band(0);
    for (std::thread& t : threads) t.join();
    for (const RenderEnd& end : ends) {
        if (end.kind != RenderEnd::Kind::ok) throw EffectError("the effect failed in Render");
    }
}

const Frame& EffectRunner::render(double completion_percent, const ProgressFn& progress) {
    check(host_.set_fixed(kParamCompletion, percent_to_fixed(completion_percent)), "Completion");
    draw(input_, snapshot(completion_percent), progress);
    return output_;
}

const Frame& EffectRunner::render_transition(double t_percent, const ProgressFn& progress) {
    if (!embed::transition_t_valid(t_percent)) {
        throw EffectError("the host refused the values for Render");
    }
    const embed::TransitionStep step = embed::transition_step(t_percent);
    check(host_.set_fixed(kParamCompletion, percent_to_fixed(step.completion)), "Completion");
    draw(step.a_moves ? input_ : target_, snapshot(step.completion), progress);
    const Frame& still = step.a_moves ? target_ : input_;
    lay_over(view_of(still), view_of(output_), {0, 0, output_.width(), output_.height()});
    return output_;
}

}  // namespace zx::cli
