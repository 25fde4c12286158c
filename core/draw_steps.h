// The drawing of a render's steps through its overlap rule. Each rule's drawing is a large
// body of inlined pixel loops, built twice (plain and wide vectors); the operators' rules are
// built in units of their own (draw_units.h), so that none takes long to compile.
#pragma once

#include <cstdint>
#include <type_traits>

#include "composite/blend_ops.h"
#include "composite/pixel_stage.h"
#include "core/render_services.h"
#include "layout/block_motion.h"

// Where the render's steps come from: a grid's or the strips' layout, called once per step.
struct StepSource {
    const void* layout;
    DrawStep (*at)(const void* layout, std::int32_t step);
};

template <class Pixel>
struct DrawJob {
    const RenderServices* services;
    PixelStage<Pixel> stage;
    std::int32_t count;
    StepSource steps;
    bool report_progress;  // one band of a render split over threads reports nothing
};

// How a drawing ended: the first failed progress report's code, or stopped on request.
struct DrawEnd {
    int err;
    bool aborted;
};

// Draws every step, in order or, where the stage asks and the rule allows, from the last one
// back, and reports progress after each; a failed report ends the reports but not the drawing.
template <class Pixel, class Rule>
DrawEnd draw_steps(const DrawJob<Pixel>& job, Rule rule) {
    DrawEnd end{0, false};
    const RenderServices& sv = *job.services;
    const bool wide = wide_vectors_available();
    PixelStage<Pixel> stage = job.stage;
    stage.top_down = stage.top_down && draws_top_down(rule);
    for (std::int32_t done = 0; done < job.count; ++done) {
        if (sv.abort != nullptr && sv.abort(sv.user)) return {end.err, true};
        const DrawStep s =
            job.steps.at(job.steps.layout, stage.top_down ? job.count - 1 - done : done);
        if constexpr (std::is_floating_point_v<typename PixelTraits<Pixel>::Channel>) {
            draw_block(stage, rule, s.source, s.offset);  // general loops only
        } else if (wide) {
            draw_block_wide(stage, rule, s.source, s.offset);
        } else {
            draw_block(stage, rule, s.source, s.offset);
        }
        if (end.err == 0 && job.report_progress && sv.progress != nullptr) {
            end.err = sv.progress(sv.user, done, job.count + 1);
        }
    }
    return end;
}

// The operators' rules are built in this many groups of kinds (by their number modulo it).
constexpr int kDrawGroups = 4;

// Draws through the blend rules of operator K; built in the units of draw_units.h.
template <class Pixel, BlendKind K>
DrawEnd draw_blended(const DrawJob<Pixel>& job, const OverlapSettings<Pixel>& s);

// Draws through the settings' overlap rule: the operator's kind is chosen here, once.
template <class Pixel>
DrawEnd draw_integer(const DrawJob<Pixel>& job, const OverlapSettings<Pixel>& s);

// The float drawing (draw_float.cpp): every operator pixel by pixel in real arithmetic.
template <class Pixel>
DrawEnd draw_float(const DrawJob<Pixel>& job, const OverlapSettings<Pixel>& s);
