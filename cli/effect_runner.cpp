#include "cli/effect_runner.h"

#include <cmath>
#include <sstream>
#include <stdexcept>

#include "host/entry_point.h"
#include "params/param_table.h"

namespace zx::cli {

namespace {

// The effect's progress calls reach the simulated host's callback through this relay, which
// also hands them to the tool's progress bar.
thread_local PF_Err(PF_CALLBACK* t_host_progress)(PF_ProgPtr, A_long, A_long) = nullptr;
thread_local const EffectRunner::ProgressFn* t_listener = nullptr;

PF_Err PF_CALLBACK relay_progress(PF_ProgPtr ref, A_long done, A_long total) {
    const PF_Err err = t_host_progress(ref, done, total);
    if (t_listener != nullptr && *t_listener) {
        try {
            (*t_listener)(done, total);
        } catch (...) {
            // A display problem must not unwind through the effect.
        }
    }
    return err;
}

class ProgressRelay {
  public:
    ProgressRelay(simhost::SimHost& host, const EffectRunner::ProgressFn& listener)
        : host_(host), saved_(host.in_data().inter.progress) {
        t_host_progress = saved_;
        t_listener = &listener;
        host.in_data().inter.progress = relay_progress;
    }
    ~ProgressRelay() {
        host_.in_data().inter.progress = saved_;
        t_listener = nullptr;
    }
    ProgressRelay(const ProgressRelay&) = delete;
    ProgressRelay& operator=(const ProgressRelay&) = delete;

  private:
    simhost::SimHost& host_;
    PF_Err(PF_CALLBACK* saved_)(PF_ProgPtr, A_long, A_long);
};

std::string failure_text(const std::string& what, const std::string& message, PF_Err err) {
    std::ostringstream text;
    text << "the effect failed in " << what;
    if (!message.empty()) text << ": \"" << message << "\"";
    text << " (error code " << err << ")";
    return text.str();
}

}  // namespace

PF_Fixed percent_to_fixed(double percent) {
    return static_cast<PF_Fixed>(std::lround(percent * 65536.0));
}

std::string version_number(A_u_long packed) {
    return std::to_string(packed >> 19 & 0x7) + "." + std::to_string(packed >> 15 & 0xF);
}

EffectRunner::EffectRunner() : host_(&EntryPointFunc) {
    send_checked(PF_Cmd_GLOBAL_SETUP, "Global Setup");
    version_ = host_.out_data().my_version;
    send_checked(PF_Cmd_PARAMS_SETUP, "Params Setup");
    if (host_.param_count() != kParamCount) {
        throw EffectError("the effect registered " + std::to_string(host_.param_count() - 1) +
                          " parameters, not " + std::to_string(kParamCount - 1));
    }
}

PF_Err EffectRunner::send_checked(PF_Cmd cmd, const char* what) {
    host_.reset_out_data();
    // The host's logs are for tests; a long sequence must not grow them without end.
    host_.clear_logs();
    const int escaped = host_.escaped_exceptions();
    const PF_Err err = host_.send(cmd);
    const std::string message = host_.message();
    // A render reports trouble through its message even when it returns 0.
    const bool message_is_error = cmd == PF_Cmd_RENDER && !message.empty();
    if (err != PF_Err_NONE || message_is_error || host_.escaped_exceptions() != escaped) {
        throw EffectError(failure_text(what, message, err));
    }
    return err;
}

std::string EffectRunner::about() {
    send_checked(PF_Cmd_ABOUT, "About");
    return host_.message();
}

void EffectRunner::set_layer(simhost::World layer) {
    const A_long width = layer.width();
    const A_long height = layer.height();
    const simhost::Depth depth = layer.deep() ? simhost::Depth::sixteen : simhost::Depth::eight;
    host_.set_input(std::move(layer));
    host_.set_output(simhost::World(width, height, depth));
}

void EffectRunner::set_params(const EffectParams& p) {
    try {
        for (const ParamSpec& spec : kParamTable) {
            const ParamValue& v = p.value[spec.index];
            switch (spec.type) {
                case ParamType::popup:
                    host_.set_popup(spec.index, static_cast<A_long>(v.number));
                    break;
                case ParamType::slider:
                    host_.set_slider(spec.index, static_cast<A_long>(v.number));
                    break;
                case ParamType::percent:
                    host_.set_fixed(spec.index, percent_to_fixed(v.number));
                    break;
                case ParamType::color:
                    host_.set_color(spec.index, v.color);
                    break;
                case ParamType::group_start:
                case ParamType::group_end:
                    break;
            }
        }
    } catch (const std::logic_error& e) {
        throw EffectError(std::string("the effect's parameters are not as expected: ") + e.what());
    }
    host_.set_downsample_x(p.downsample_num, p.downsample_den);
}

const simhost::World& EffectRunner::render(double completion_percent, const ProgressFn& progress) {
    host_.set_fixed(kParamCompletion, percent_to_fixed(completion_percent));
    {
        ProgressRelay relay(host_, progress);
        send_checked(PF_Cmd_RENDER, "Render");
    }
    return host_.output();
}

}  // namespace zx::cli
