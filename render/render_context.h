// The Render command's plain records of the frame and of the parameter values, read once from
// the host's records.
#pragma once

#include "core/param_snapshot.h"
#include "host/ae_api.h"
#include "layout/layout_params.h"

// The frame of one render: the host's records and worlds, and how the worlds' rows are laid out.
struct RenderContext {
    PF_InData* in_data;
    PF_OutData* out_data;
    PF_EffectWorld* input;
    PF_EffectWorld* output;
    PF_PixelPtr in_pixels;  // the worlds' pixel bases; the pixel stage views them at the depth
    PF_PixelPtr out_pixels;
    A_long width;
    A_long height;
    // Bytes from one row to the next: rows are found by bytes, never by whole pixels, as
    // the host may pad a row by part of a pixel.
    A_long in_rowbytes;
    A_long out_rowbytes;
    A_u_char deep;  // 1: 16-bit pixels, from the output world's flags
    bool real;      // float pixels (PixelF32), which only the embedded host's own render sends
};

inline constexpr PF_Err kBuildFailed = 255;

// Both return 0, or kBuildFailed when the frame cannot be rendered. With `real` the worlds
// hold float pixels, whatever their flags say.
PF_Err build_render_context(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                            PF_EffectWorld* output, RenderContext& ctx, bool real = false);
PF_Err build_param_snapshot(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                            PF_EffectWorld* output, ParamSnapshot& snap);

inline FrameSize frame_of(const RenderContext& ctx) {
    return FrameSize{ctx.width, ctx.height};
}
