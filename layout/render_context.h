// The render pass's plain records of the frame and of the parameter values.
#pragma once

#include "host/ae_api.h"

struct RenderContext {
    PF_InData* in_data;
    PF_OutData* out_data;
    PF_EffectWorld* input;
    PF_EffectWorld* output;
    PF_Pixel* in_pixels;
    PF_Pixel* out_pixels;
    A_long width;
    A_long height;
    A_long in_stride;  // pixels per row
    A_long out_stride;
    A_long in_extra;
    A_long out_extra;
    A_u_char deep;  // 1: 16-bit pixels, from the output world's flags
    PF_Pixel16* in_pixels16;
    PF_Pixel16* out_pixels16;
};

struct ParamSnapshot {
    double downsample;
    A_long mode;
    double completion;  // 0.0 .. 1.0
    A_long split;
    A_long rows;
    A_long strip_height;
    A_long columns;
    A_long strip_width;
    A_long seed;
    A_long overlap_mode;
    PF_Pixel color;
    A_long blend_mode;
    double opacity;  // 0.0 .. 1.0
};

struct OverlapColor {
    PF_Pixel color8;
    PF_Pixel16 color16;
};

inline constexpr PF_Err kBuildFailed = 255;

// Both return 0, or kBuildFailed when the frame cannot be rendered.
PF_Err build_render_context(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                            PF_EffectWorld* output, RenderContext& ctx);
PF_Err build_param_snapshot(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                            PF_EffectWorld* output, ParamSnapshot& snap);

OverlapColor prepare_overlap_color(const ParamSnapshot& snap);

// 8-bit channel to the 16-bit range, 255 becoming 32768.
constexpr A_u_short channel8_to_16(A_u_char c) {
    return static_cast<A_u_short>((static_cast<A_u_long>(c) * 32768u + 128u) / 255u);
}
