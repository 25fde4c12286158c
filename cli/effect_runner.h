// The effect driven through the embedded host exactly as a host drives it: Global Setup and
// Params Setup once, then the parameter values and one Render per frame.
#pragma once

#include <functional>
#include <string>

#include "cli/errors.h"
#include "cli/options.h"
#include "embed/embed_host.h"
#include "worlds/world.h"

namespace zx::cli {

// A command the effect refused; the message holds its return message and error code.
struct EffectError : Failure {
    using Failure::Failure;
};

// The 16.16 fixed-point value of a percent, as the effect receives it.
PF_Fixed percent_to_fixed(double percent);

// "major.minor" of a version in the host's packing.
std::string version_number(A_u_long packed);

class EffectRunner {
  public:
    EffectRunner();  // sends Global Setup and Params Setup

    embed::Host& host() { return host_; }
    A_u_long effect_version() const { return host_.effect_version(); }
    std::string about();  // the About command's message

    // The input layer; the output world is made to match it.
    void set_layer(simhost::World layer);
    // Every parameter value; Completion is set again by render().
    void set_params(const EffectParams& params);

    using ProgressFn = std::function<void(long done, long total)>;
    // Renders the layer at `completion_percent`; the result lives until the next render.
    const simhost::World& render(double completion_percent, const ProgressFn& progress = {});

  private:
    void check(embed::Status status, const char* what);

    embed::Host host_;
    simhost::World input_;
    simhost::World output_;
};

}  // namespace zx::cli
