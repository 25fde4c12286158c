// The effect's parameters held as its panel holds them, every value checked against the
// parameter table as the module's parameters take it, and each frame drawn by the render core
// on the layer's own rows, in bands over threads when asked for.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cli/errors.h"
#include "cli/image.h"
#include "cli/options.h"
#include "core/render_core.h"
#include "embed/percent.h"

namespace zx::cli {

// Values the effect does not take, or a render that failed; the message says which, with the
// module's own message and error code where it has one.
struct EffectError : Failure {
    using Failure::Failure;
};

using embed::percent_to_fixed;

class EffectRunner {
  public:
    EffectRunner();  // every parameter at its default

    // The values as the effect receives them; Completion is the last rendered.
    const PanelValues& values() const { return values_; }

    // The input layer; the output frame is made to match it.
    void set_layer(Frame layer);
    bool has_layer() const { return input_.width() > 0; }
    const Frame& layer() const { return input_; }
    // The picture a transition ends on, of the layer's size and depth.
    void set_target(Frame target);
    bool has_target() const { return target_.width() > 0; }
    // Every parameter value; Completion is set again by render(). A value the parameter does
    // not take is refused and the values set before it stay.
    void set_params(const EffectParams& params);
    // A frame is drawn in bands on this many threads at once.
    void set_threads(int threads) { threads_ = threads < 1 ? 1 : threads; }
    // A render's tables stay within this many bytes (no limit unless set).
    void set_memory_limit(std::size_t bytes) { memory_limit_ = bytes; }

    using ProgressFn = std::function<void(long done, long total)>;
    // Renders the layer at `completion_percent`; the result lives until the next render.
    const Frame& render(double completion_percent, const ProgressFn& progress = {});
    // Renders the transition from the layer to the target at t (percent,
    // embed/transition_step.h).
    const Frame& render_transition(double t_percent, const ProgressFn& progress = {});

  private:
    // Sets a percent as the module holds it, rounded to 16.16; `what` names it when refused.
    void set_percent(int index, double percent, const char* what);
    // Draws the layer `moving` into the output at the values.
    void draw(const Frame& moving, const ProgressFn& progress);

    PanelValues values_;
    Frame input_;
    Frame output_;
    Frame target_;
    int threads_ = 1;
    std::size_t memory_limit_ = SIZE_MAX;
};

}  // namespace zx::cli
