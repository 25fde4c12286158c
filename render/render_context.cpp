#include "render/render_context.h"

#include <cstdint>

#include "params/param_ids.h"

namespace {

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
    PanelValues v{};
    v.downsample_num = scale.num;
    v.downsample_den = scale.den;
    v.mode = params[kParamMode]->u.pd.value;
    v.completion_percent = params[kParamCompletion]->u.fd.value / 65536.0;
    v.split = params[kParamSplit]->u.pd.value;
    v.rows = params[kParamRow]->u.sd.value;
    v.strip_height = params[kParamHeight]->u.sd.value;
    v.columns = params[kParamColumn]->u.sd.value;
    v.strip_width = params[kParamWidth]->u.sd.value;
    v.seed = params[kParamSeed]->u.sd.value;
    v.overlap_mode = params[kParamOverlapMode]->u.pd.value;
    v.color = params[kParamColor]->u.cd.value;
    v.blend_mode = params[kParamBlendMode]->u.pd.value;
    v.opacity_percent = params[kParamOpacity]->u.fd.value / 65536.0;
    snap = snapshot_of(v);
    return PF_Err_NONE;
}
