#include "render/render_pass.h"

#include <cstring>

#include "composite/blend_modes.h"
#include "composite/pixel_stage.h"
#include "host/suite_cache.h"
#include "layout/block_grid.h"
#include "layout/random_source.h"
#include "layout/strip_layout.h"
#include "params/param_ids.h"
#include "params/param_table.h"
#include "render/draw_steps.h"
#include "render/host_tables.h"
#include "render/render_context.h"

// The panel's popup text is the host's literal; the render reads the operators from the table.
static_assert(choices_match_table(param_entry(kParamBlendMode).choices));

namespace {

// The frame cannot be read: say so, and report it as a failure so the host does not show
// whatever the output buffer holds.
PF_Err unusable_frame(const PF_InData* in_data, PF_OutData* out_data) {
    in_data->utils->ansi.sprintf(out_data->return_msg, "%s", "Error!");
    out_data->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
    return PF_Err_INTERNAL_STRUCT_DAMAGED;
}

// A table the host could not give: say so; the tables obtained so far go back on the way out.
PF_Err memory_error(const PF_InData* in_data, PF_OutData* out_data) {
    in_data->utils->ansi.strcpy(out_data->return_msg, "Memory Error!");
    out_data->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
    return PF_Err_INTERNAL_STRUCT_DAMAGED;
}

// Output frames from this size on are no longer in the caches when the drawing starts.
bool frame_beyond_caches(const RenderContext& ctx) {
    const auto magnitude =
        static_cast<std::size_t>(ctx.out_rowbytes < 0 ? -ctx.out_rowbytes : ctx.out_rowbytes);
    return magnitude * static_cast<std::size_t>(ctx.height) >= stream_copy::kMinFrameBytes;
}

// The output as the input (0 %) or transparent black, float pixels row by row.
void copy_or_clear_float(const RenderContext& ctx, bool copy) {
    const auto bytes = static_cast<std::size_t>(ctx.width) * sizeof(PixelF32);
    for (A_long y = 0; y < ctx.height; ++y) {
        auto* out = reinterpret_cast<std::uint8_t*>(ctx.out_pixels) +
                    static_cast<std::ptrdiff_t>(y) * ctx.out_rowbytes;
        const auto* in = reinterpret_cast<const std::uint8_t*>(ctx.in_pixels) +
                         static_cast<std::ptrdiff_t>(y) * ctx.in_rowbytes;
        if (copy) {
            std::memmove(out, in, bytes);
        } else {
            std::memset(out, 0, bytes);  // 0.0f in every channel
        }
    }
}

// Where the pixels of the render's depth are.
template <class Pixel>
PixelStage<Pixel> make_stage(const RenderContext& ctx) {
    return PixelStage<Pixel>{reinterpret_cast<const std::uint8_t*>(ctx.in_pixels),
                             reinterpret_cast<std::uint8_t*>(ctx.out_pixels),
                             ctx.in_rowbytes,
                             ctx.out_rowbytes,
                             ctx.width,
                             ctx.height,
                             !ctx.real && frame_beyond_caches(ctx)};
}

template <class Pixel>
OverlapSettings<Pixel> overlap_settings(const ParamSnapshot& snap) {
    return OverlapSettings<Pixel>{snap.completion == 1.0, snap.overlap_mode == kOverlapFootage,
                                  blend_kind(snap.blend_mode), snap.opacity,
                                  overlap_color<Pixel>(snap)};
}

template <class Pixel>
PF_Err draw_depth(const DrawJob<Pixel>& job, const ParamSnapshot& snap) {
    const OverlapSettings<Pixel> s = overlap_settings<Pixel>(snap);
    return with_overlap_rule(
        s, [&](auto rule) { return draw_steps(job, rule); },
        [&](auto op) {
            constexpr int kGroup = static_cast<int>(decltype(op)::kind) % kDrawGroups;
            return draw_group<Pixel, kGroup>(job, s);
        });
}

// The one place where the render's depth is chosen: float for the embedded host's own render,
// else the output world's deep flag.
template <class Layout>
PF_Err draw_all(const PF_InData* in_data, const RenderContext& ctx, const ParamSnapshot& snap,
                A_long count, const Layout& layout) {
    const StepSource steps{
        &layout, [](const void* l, A_long step) { return (*static_cast<const Layout*>(l))(step); }};
    if (ctx.real) {
        return draw_float(DrawJob<PixelF32>{in_data, make_stage<PixelF32>(ctx), count, steps},
                          overlap_settings<PixelF32>(snap));
    }
    if (ctx.deep) {
        return draw_depth(DrawJob<PF_Pixel16>{in_data, make_stage<PF_Pixel16>(ctx), count, steps},
                          snap);
    }
    return draw_depth(DrawJob<PF_Pixel>{in_data, make_stage<PF_Pixel>(ctx), count, steps}, snap);
}

// How the pass ended: its error code, its step count and whether it reached the close (the
// error exits do not, and make no final progress report).
struct PassEnd {
    PF_Err err;
    A_long steps;
    bool closed;
};

// Grid, output preparation and drawing steps. The tables live exactly as long as this call,
// so each of its returns gives them back before the render's close.
PassEnd run_pass(PF_InData* in_data, PF_OutData* out_data, const RenderContext& ctx,
                 ParamSnapshot& snap) {
    RandomSource random;
    RenderTables tables(in_data->utils);
    GridShape grid{};
    if (!plan_grid(frame_of(ctx), snap, random, grid, kMaxTableBytes)) {
        return {memory_error(in_data, out_data), 0, false};
    }
    BlockRecord* blocks = nullptr;
    if (grid.count > 0) {
        blocks = tables.allocate<BlockRecord>(RenderTables::kBlockTable, grid.count);
        if (blocks == nullptr) return {memory_error(in_data, out_data), grid.count, false};
    }
    assign_axis_order(blocks, grid.count, snap.seed, random);
    PF_Err err = PF_Err_NONE;
    const bool plain_grid = snap.split == kSplitRowColumn;
    if (plain_grid && grid.count > 0) {
        err = assign_targets_and_cells(blocks, grid, frame_of(ctx), snap.seed, random);
    }

    // At exactly 0 % the output is the input; otherwise it starts transparent black.
    const bool untouched = snap.completion == 0.0;
    if (err == PF_Err_NONE && ctx.real) {
        // The host's copy and fill know only its own depths.
        copy_or_clear_float(ctx, untouched);
    } else if (err == PF_Err_NONE) {
        if (untouched) {
            err =
                in_data->utils->copy(in_data->effect_ref, ctx.input, ctx.output, nullptr, nullptr);
        } else {
            const PF_Pixel clear{0, 0, 0, 0};
            err = in_data->utils->fill(in_data->effect_ref, &clear, nullptr, ctx.output);
        }
    }
    if (err != PF_Err_NONE) return {err, grid.count, false};
    if (untouched || grid.count == 0) return {err, grid.count, true};

    if (plain_grid) {
        err = draw_all(in_data, ctx, snap, grid.count,
                       [&](A_long b) { return grid_step(blocks, grid, frame_of(ctx), snap, b); });
        return {err, grid.count, true};
    }
    A_long* sizes = tables.allocate<A_long>(RenderTables::kStripSizes, grid.strips);
    if (sizes == nullptr) return {memory_error(in_data, out_data), grid.count, false};
    StripRecord* strips = tables.allocate<StripRecord>(RenderTables::kStripRecords, grid.count);
    if (strips == nullptr) return {memory_error(in_data, out_data), grid.count, false};

    fill_strip_sizes(sizes, grid, strip_sizer_for(frame_of(ctx), snap), snap.seed, random);
    lay_out_strips(blocks, strips, sizes, grid, frame_of(ctx), snap, random);
    err = draw_all(in_data, ctx, snap, grid.count, [&](A_long step) {
        return strip_step(blocks, strips, grid, frame_of(ctx), snap, step / grid.columns,
                          step % grid.columns);
    });
    return {err, grid.count, true};
}

}  // namespace

namespace {

PF_Err render_pass(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                   PF_LayerDef* output, bool real) {
    SuiteCache suites(in_data->pica_basicP);
    RenderContext ctx{};
    ParamSnapshot snap{};
    if (build_render_context(in_data, out_data, params, output, ctx, real) != PF_Err_NONE ||
        build_param_snapshot(in_data, out_data, params, output, snap) != PF_Err_NONE) {
        return unusable_frame(in_data, out_data);
    }
    const PassEnd end = run_pass(in_data, out_data, ctx, snap);
    // The close, after the tables are back: the final progress report.
    if (end.closed && end.err == PF_Err_NONE) {
        return in_data->inter.progress(in_data->effect_ref, end.steps + 1, end.steps + 1);
    }
    return end.err;
}

}  // namespace

PF_Err render(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
              PF_LayerDef* output) {
    return render_pass(in_data, out_data, params, output, false);
}

PF_Err render_float(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                    PF_LayerDef* output) {
    // As the entry point does for the Render command.
    try {
        return render_pass(in_data, out_data, params, output, true);
    } catch (SuiteMissing code) {
        return code;
    }
}
