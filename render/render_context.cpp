#include "render/render_context.h"

#include <cstdint>

#include "params/param_ids.h"

namespace {

double fixed_percent_to_unit(PF_Fixed value) {
    return value / 65536.0 * 0.01;
}

// A world the render can read or write: pixels where it claims to have some, no negative sizes.
bool world_usable(const PF_EffectWorld& world) {
    if (world.width < 0 || world.height < 0 || world.rowbytes < 0) return false;
    return world.data != nullptr || world.width == 0 || world.height == 0;
}

}  // namespace

PF_Err build_render_context(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                            PF_EffectWorld* output, RenderContext& ctx, bool real) {
    if (params == nullptr || params[kParamInput] == nullptr || output == nullptr) {
        return kBuildFailed;
    }
    PF_EffectWorld* input = &params[kParamInput]->u.ld;
    ctx.in_data = in_data;
    ctx.out_data = out_data;
    ctx.input = input;
    ctx.output = output;
    ctx.deep = !real && (output->world_flags & PF_WorldFlag_DEEP) ? 1 : 0;
    ctx.real = real;
    ctx.in_pixels = input->data;
    ctx.out_pixels = output->data;
    ctx.width = input->width;
    ctx.height = input->height;
    ctx.in_rowbytes = input->rowbytes;
    ctx.out_rowbytes = output->rowbytes;

    // The output's row padding is no place for pixels: the output must be as wide as the input.
    const std::int64_t row_used = std::int64_t{ctx.width} * (real ? 16 : ctx.deep ? 8 : 4);
    if (ctx.in_rowbytes < row_used || ctx.out_rowbytes < row_used ||
        input->height != output->height || output->width < input->width) {
        return kBuildFailed;
    }
    // 16-bit and float channels are read in place, so every row must start on a channel
    // boundary.
    const A_long channel = real ? 4 : ctx.deep ? 2 : 1;
    if (ctx.in_rowbytes % channel != 0 || ctx.out_rowbytes % channel != 0) return kBuildFailed;
    if (!world_usable(*input) || !world_usable(*output)) return kBuildFailed;
    return PF_Err_NONE;
}

PF_Err build_param_snapshot(PF_InData* in_data, PF_OutData*, PF_ParamDef* params[],
                            PF_EffectWorld* output, ParamSnapshot& snap) {
    if (params == nullptr || output == nullptr) return kBuildFailed;
    for (int i = kParamMode; i < kParamCount; ++i) {
        if (i != kParamOverlapGroup && i != kParamOverlapGroupEnd && params[i] == nullptr) {
            return kBuildFailed;
        }
    }
    const PF_RationalScale scale = in_data->downsample_x;
    // A zero denominator would divide by zero; the host means full resolution by it.
    snap.downsample = scale.den == 0 ? 1.0 : static_cast<double>(scale.num) / scale.den;
    snap.mode = params[kParamMode]->u.pd.value;
    snap.completion = fixed_percent_to_unit(params[kParamCompletion]->u.fd.value);
    snap.split = params[kParamSplit]->u.pd.value;
    snap.rows = params[kParamRow]->u.sd.value;
    snap.strip_height = params[kParamHeight]->u.sd.value;
    snap.columns = params[kParamColumn]->u.sd.value;
    snap.strip_width = params[kParamWidth]->u.sd.value;
    snap.seed = params[kParamSeed]->u.sd.value;
    snap.overlap_mode = params[kParamOverlapMode]->u.pd.value;
    snap.color = params[kParamColor]->u.cd.value;
    snap.blend_mode = params[kParamBlendMode]->u.pd.value;
    // Kept inside 0 .. 1 so that a scaled alpha always stays a channel value.
    const double opacity = fixed_percent_to_unit(params[kParamOpacity]->u.fd.value);
    snap.opacity = opacity < 0.0 ? 0.0 : (opacity > 1.0 ? 1.0 : opacity);
    return PF_Err_NONE;
}
