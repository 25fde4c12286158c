// The effect's parameters held as its panel holds them (Global Setup and Params Setup once,
// through the embedded host, which checks every value), and each frame drawn by the render
// core on the layer's own rows, in bands over threads when asked for.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cli/errors.h"
#include "cli/image.h"
#include "cli/options.h"
#include "core/render_core.h"
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
    // A frame is drawn in this many bands at once, each on a thread of its own.
    void set_bands(int bands) { bands_ = bands < 1 ? 1 : bands; }
    // A render's tables stay within this many bytes (no limit unless set).
    void set_memory_limit(std::size_t bytes) { memory_limit_ = bytes; }

    using ProgressFn = std::function<void(long done, long total)>;
    // Renders the layer at `completion_percent`; the result lives until the next render.
    const Frame& render(double completion_percent, const ProgressFn& progress = {});
    // Renders the transition from the layer to the target at t (percent, embed/transition.h).
    const Frame& render_transition(double t_percent, const ProgressFn& progress = {});

  private:
    void check(embed::Status status, const char* what);
    ParamSnapshot snapshot(double completion_percent) const;
    // Draws the layer `moving` into the output at the snapshot.
    void draw(const Frame& moving, const ParamSnapshot& snap, const ProgressFn& progress);

    embed::Host host_;
    Frame input_;
    Frame output_;
    Frame target_;
    PanelValues downsample_{};
    int bands_ = 1;
    std::size_t memory_limit_ = SIZE_MAX;
};

}  // namespace zx::cli
