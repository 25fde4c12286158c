// The drawing of a render's steps through its overlap rule. Each rule's drawing is a large
// body of inlined pixel loops, built twice (plain and wide vectors); the operators' rules are
// split over a few translation units (draw_group), so that none takes long to compile.
#pragma once

#include <type_traits>

#include "composite/blend_ops.h"
#include "composite/pixel_stage.h"
#include "host/ae_api.h"
#include "layout/block_motion.h"

// Where the render's steps come from: a grid's or the strips' layout, called once per step.
struct StepSource {
    const void* layout;
    DrawStep (*at)(const void* layout, A_long step);
};

template <class Pixel>
struct DrawJob {
    const PF_InData* in_data;
    PixelStage<Pixel> stage;
    A_long count;
    StepSource steps;
};

// Draws every step in order and reports progress after each; a failed report ends the
// reports but not the drawing.
template <class Pixel, class Rule>
PF_Err draw_steps(const DrawJob<Pixel>& job, Rule rule) {
    PF_Err err = PF_Err_NONE;
    const bool wide = wide_vectors_available();
    for (A_long step = 0; step < job.count; ++step) {
        const DrawStep s = job.steps.at(job.steps.layout, step);
        if constexpr (std::is_same_v<Pixel, PixelF32>) {
            draw_block(job.stage, rule, s.source, s.offset);  // general loops only
        } else if (wide) {
            draw_block_wide(job.stage, rule, s.source, s.offset);
        } else {
            draw_block(job.stage, rule, s.source, s.offset);
        }
        if (err == PF_Err_NONE) {
            err = job.in_data->inter.progress(job.in_data->effect_ref, step, job.count + 1);
        }
    }
    return err;
}

// The operators fall into this many groups by their kind's number, each group's rules built in
// a translation unit of its own (draw_group.h), which the build writes for each depth.
constexpr int kDrawGroups = 4;

// Draws through the blend rule of the settings' operator, whose kind's number is I or a
// multiple of kDrawGroups above it.
template <class Pixel, int G, int I = G>
PF_Err draw_group(const DrawJob<Pixel>& job, const OverlapSettings<Pixel>& s);

// The float drawing (draw_float.cpp): every operator pixel by pixel in real arithmetic.
PF_Err draw_float(const DrawJob<PixelF32>& job, const OverlapSettings<PixelF32>& s);
