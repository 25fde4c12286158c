#include "render/render_pass.h"

#include "core/render_core.h"
#include "host/suite_cache.h"
#include "params/blend_modes.h"
#include "params/param_ids.h"
#include "params/param_table.h"
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

// The host's side of the render: its handles hold the tables, its copy and fill start the
// output, its progress callback takes the reports.
struct HostServices {
    const RenderContext& ctx;
    RenderTables& tables;

    static void* new_table(void* user, TableSlot slot, std::size_t bytes) {
        auto& self = *static_cast<HostServices*>(user);
        return self.tables.allocate_bytes(static_cast<RenderTables::Slot>(slot),
                                          static_cast<A_HandleSize>(bytes));
    }
    // The tables go back in slot order when the pass's RenderTables ends.
    static void release_table(void*, TableSlot) {}
    static int progress(void* user, std::int32_t done, std::int32_t total) {
        const PF_InData* in_data = static_cast<HostServices*>(user)->ctx.in_data;
        return in_data->inter.progress(in_data->effect_ref, done, total);
    }
    static int start_output(void* user, bool copy) {
        const RenderContext& ctx = static_cast<HostServices*>(user)->ctx;
        const PF_InData* in_data = ctx.in_data;
        if (copy) {
            return in_data->utils->copy(in_data->effect_ref, ctx.input, ctx.output, nullptr,
                                        nullptr);
        }
        const PF_Pixel clear{0, 0, 0, 0};
        return in_data->utils->fill(in_data->effect_ref, &clear, nullptr, ctx.output);
    }
};

FrameView view_of(PF_PixelPtr pixels, A_long rowbytes, const RenderContext& ctx) {
    return FrameView{pixels,
                     rowbytes,
                     ctx.width,
                     ctx.height,
                     ctx.real   ? SampleDepth::floats
                     : ctx.deep ? SampleDepth::shorts
                                : SampleDepth::byte,
                     ChannelOrder::argb};
}

// The render through the core, on the host's own worlds. The tables live exactly as long as
// this call, so they are back before the render's close.
RenderEnd render_on_host(const RenderContext& ctx, const ParamSnapshot& snap) {
    RenderTables tables(ctx.in_data->utils);
    HostServices host{ctx, tables};
    RenderServices services;
    services.user = &host;
    services.new_table = HostServices::new_table;
    services.release_table = HostServices::release_table;
    services.progress = HostServices::progress;
    // The host's copy and fill know only its own depths.
    if (!ctx.real) services.start_output = HostServices::start_output;
    const RenderEnd end = render_frame(view_of(ctx.in_pixels, ctx.in_rowbytes, ctx),
                                       view_of(ctx.out_pixels, ctx.out_rowbytes, ctx), snap,
                                       OutputRect{0, 0, ctx.width, ctx.height}, services);
    // The message before the tables go back, as the host has always seen it.
    if (end.kind == RenderEnd::Kind::no_memory) memory_error(ctx.in_data, ctx.out_data);
    return end;
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
    const RenderEnd end = render_on_host(ctx, snap);
    switch (end.kind) {
        case RenderEnd::Kind::ok:
            // The close, after the tables are back: the final progress report.
            return in_data->inter.progress(in_data->effect_ref, end.steps + 1, end.steps + 1);
        case RenderEnd::Kind::no_memory:
            return PF_Err_INTERNAL_STRUCT_DAMAGED;
        case RenderEnd::Kind::failed:
            return static_cast<PF_Err>(end.code);
        case RenderEnd::Kind::bad_frame:
        case RenderEnd::Kind::aborted:
            break;
    }
    return unusable_frame(in_data, out_data);
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
