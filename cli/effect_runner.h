// The effect driven through the embedded host exactly as a host drives it: Global Setup and
// Params Setup once, then the parameter values and one Render per frame.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cli/errors.h"
#include "cli/image.h"
#include "cli/options.h"
#include "embed/embed_host.h"
#include "embed/percent.h"

namespace zx::cli {

// A command the effect refused; the message holds its return message and error code.
struct EffectError : Failure {
    using Failure::Failure;
};

using embed::percent_to_fixed;

// "major.minor" of a version in the host's packing.
std::string version_number(A_u_long packed);

class EffectRunner {
  public:
    EffectRunner();  // sends Global Setup and Params Setup

    embed::Host& host() { return host_; }
    A_u_long effect_version() const { return host_.effect_version(); }
    std::string about();  // the About command's message

    // The input layer; the output frame is made to match it.
    void set_layer(Frame layer);
    bool has_layer() const { return input_.width() > 0; }
    const Frame& layer() const { return input_; }
    // The picture a transition ends on, of the layer's size and depth.
    void set_target(Frame target);
    bool has_target() const { return target_.width() > 0; }
    // Every parameter value; Completion is set again by render().
    void set_params(const EffectParams& params);

    using ProgressFn = std::function<void(long done, long total)>;
    // Renders the layer at `completion_percent`; the result lives until the next render.
    const Frame& render(double completion_percent, const ProgressFn& progress = {});
    // Renders the transition from the layer to the target at t (percent, embed/transition.h).
    const Frame& render_transition(double t_percent, const ProgressFn& progress = {});

  private:
    void check(embed::Status status, const char* what);

    embed::Host host_;
    Frame input_;
    Frame output_;
    Frame target_;
    std::vector<std::uint8_t> scratch_;
};

}  // namespace zx::cli
