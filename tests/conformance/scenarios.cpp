#include "tests/conformance/scenarios.h"

#include <cinttypes>
#include <cstdio>
#include <functional>

#include "layout/block_grid.h"
#include "params/param_ids.h"
#include "simhost/sim_host.h"

namespace conformance {
namespace {

using simhost::HostFn;
using simhost::SimHost;
using worlds::Depth;
using worlds::World;

// FNV-1a over the pixels inside width x height; row padding is not the effect's to write.
std::uint64_t pixel_checksum(const World& w) {
    std::uint64_t hash = 1469598103934665603ull;
    const auto* base = reinterpret_cast<const std::uint8_t*>(w.def()->data);
    if (base == nullptr) return hash;
    const std::size_t row_bytes = static_cast<std::size_t>(w.width()) * w.pixel_size();
    for (A_long y = 0; y < w.height(); ++y) {
        const std::uint8_t* row = base + static_cast<std::ptrdiff_t>(y) * w.rowbytes();
        for (std::size_t i = 0; i < row_bytes; ++i) {
            hash = (hash ^ row[i]) * 1099511628211ull;
        }
    }
    return hash;
}

// Control characters (the About text has a carriage return) are written as \xNN so that every
// scenario stays on one line of text.
std::string escaped(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x20 || c == '\\' || c >= 0x7F) {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02X", c);
            out += code;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string line(const std::string& name, PF_Err err, SimHost& host, const std::string& extra) {
    char buffer[768];
    std::snprintf(buffer, sizeof buffer, "%s result=%ld flags=0x%lx live=%d msg=\"%s\"%s",
                  name.c_str(), static_cast<long>(err),
                  static_cast<unsigned long>(host.out_data().out_flags), host.live_handles(),
                  escaped(host.message()).c_str(), extra.c_str());
    return buffer;
}

struct RenderCase {
    A_long split;
    A_long mode;
    Depth depth;
    double completion;
    A_long overlap;
    A_long blend;
    double opacity;
    A_long downsample_den;
};

std::string render_name(const RenderCase& c) {
    char buffer[160];
    std::snprintf(buffer, sizeof buffer,
                  "render split=%ld mode=%ld depth=%d completion=%.1f overlap=%ld blend=%ld "
                  "opacity=%.0f downsample=1/%ld",
                  static_cast<long>(c.split), static_cast<long>(c.mode),
                  c.depth == Depth::sixteen ? 16 : 8, c.completion, static_cast<long>(c.overlap),
                  static_cast<long>(c.blend), c.opacity, static_cast<long>(c.downsample_den));
    return buffer;
}

// A picture with row padding and some transparent pixels, on a size no grid divides evenly.
void prepare_render(SimHost& host, const RenderCase& c) {
    host.setup();
    const A_long pad = c.depth == Depth::sixteen ? 24 : 12;
    World input(53, 37, c.depth, pad);
    input.fill_test_picture(true);
    host.set_input(std::move(input));
    // Stale content, so an untouched output and a cleared one tell apart.
    World output(53, 37, c.depth, pad + 8);
    if (c.depth == Depth::sixteen) {
        output.fill16(PF_Pixel16{100, 200, 300, 400});
    } else {
        output.fill8(PF_Pixel{10, 20, 30, 40});
    }
    host.set_output(std::move(output));
    host.set_popup(kParamSplit, c.split);
    host.set_popup(kParamMode, c.mode);
    host.set_percent(kParamCompletion, c.completion);
    host.set_slider(kParamRow, 5);
    host.set_slider(kParamColumn, 7);
    host.set_slider(kParamWidth, 17);
    host.set_slider(kParamHeight, 11);
    host.set_slider(kParamSeed, 4711);
    host.set_popup(kParamOverlapMode, c.overlap);
    host.set_color(kParamColor, PF_Pixel{255, 40, 200, 90});
    host.set_popup(kParamBlendMode, c.blend);
    host.set_percent(kParamOpacity, c.opacity);
    host.set_downsample_x(1, static_cast<A_u_long>(c.downsample_den));
    host.reset_out_data();
}

std::string render_line(PF_EntryPointFunc entry, const RenderCase& c,
                        const std::function<void(SimHost&)>& before = {}) {
    SimHost host(entry);
    prepare_render(host, c);
    if (before) before(host);
    const PF_Err err = host.send(PF_Cmd_RENDER);
    char extra[160];
    std::snprintf(extra, sizeof extra, " progress=%zu checksum=%016" PRIx64 " padding=%s",
                  host.progress_log().size(), pixel_checksum(host.output()),
                  host.output().padding_intact() ? "intact" : "WRITTEN");
    return line(render_name(c), err, host, extra);
}

}  // namespace

std::vector<std::string> run_scenarios(PF_EntryPointFunc entry) {
    std::vector<std::string> lines;

    {
        SimHost host(entry);
        const PF_Err err = host.send(PF_Cmd_ABOUT);
        lines.push_back(line("about", err, host, ""));
    }
    {
        SimHost host(entry);
        const PF_Err err = host.send(PF_Cmd_GLOBAL_SETUP);
        char extra[96];
        std::snprintf(extra, sizeof extra, " version=0x%lx global=%s",
                      static_cast<unsigned long>(host.out_data().my_version),
                      host.global_data() != nullptr ? "handed-over" : "none");
        lines.push_back(line("global-setup", err, host, extra));
    }
    {
        SimHost host(entry);
        host.send(PF_Cmd_GLOBAL_SETUP);
        host.reset_out_data();
        const PF_Err err = host.send(PF_Cmd_PARAMS_SETUP);
        std::string types;
        for (const simhost::Registration& r : host.registrations()) {
            types += format(" %ld:%s", static_cast<long>(r.def.param_type), r.def.name);
        }
        char extra[32];
        std::snprintf(extra, sizeof extra, " num_params=%ld",
                      static_cast<long>(host.out_data().num_params));
        lines.push_back(line("params-setup", err, host, extra + types));
    }
    for (PF_Cmd cmd : {PF_Cmd_UPDATE_PARAMS_UI, PF_Cmd_USER_CHANGED_PARAM}) {
        for (A_long split : {1, 2, 3}) {
            for (A_long overlap : {1, 2}) {
                SimHost host(entry);
                host.setup();
                host.set_popup(kParamSplit, split);
                host.set_popup(kParamOverlapMode, overlap);
                host.reset_out_data();
                const PF_Err err = host.send(cmd);
                std::string hidden;
                for (PF_ParamIndex i :
                     {kParamRow, kParamHeight, kParamColumn, kParamWidth, kParamColor}) {
                    const auto h = host.hidden(i);
                    hidden += h ? (*h ? 'H' : 'S') : '?';
                }
                lines.push_back(
                    line(format("visibility cmd=%ld split=%ld overlap=%ld", static_cast<long>(cmd),
                                static_cast<long>(split), static_cast<long>(overlap)),
                         err, host, format(" panel=%s", hidden.c_str())));
            }
        }
    }
    {
        SimHost host(entry);
        char text[] = "echo of a general command";
        const PF_Err err = host.send(PF_Cmd_COMPLETELY_GENERAL, text);
        lines.push_back(line("completely-general", err, host, ""));
    }
    {
        // A suite the host will not supply ends the command with 516, from inside the module.
        SimHost host(entry);
        host.refuse_suite("PF ANSI Suite", 1, 7);
        const PF_Err err = host.send(PF_Cmd_ABOUT);
        lines.push_back(line("about-without-ansi-suite", err, host, ""));
        SimHost setup_host(entry);
        setup_host.set_null_basic_suite(true);
        const PF_Err setup_err = setup_host.send(PF_Cmd_GLOBAL_SETUP);
        lines.push_back(line("global-setup-without-basic-suite", setup_err, setup_host, ""));
    }
    {
        // The handle suite of the module's own width: version 1 with 32-bit sizes on a 32-bit
        // host, version 2 with 64-bit sizes on a 64-bit host, which has no version 1.
        SimHost host(entry);
        const PF_Err err = host.send(PF_Cmd_GLOBAL_SETUP);
        int own = 0;
        int other = 0;
        for (const simhost::SuiteEvent& e : host.suite_log()) {
            if (e.acquire && e.name == kPFHandleSuite) {
                ++(e.version == kPFHandleSuiteVersion ? own : other);
            }
        }
        lines.push_back(line("global-setup-handle-suite", err, host,
                             format(" own-width=%d other-width=%d", own, other)));
        SimHost refused(entry);
        refused.refuse_suite(kPFHandleSuite, kPFHandleSuiteVersion, 9);
        const PF_Err refused_err = refused.send(PF_Cmd_GLOBAL_SETUP);
        lines.push_back(line("global-setup-without-own-handle-suite", refused_err, refused, ""));
    }
    {
        // A block table beyond 4 GiB (20000 x 20000 blocks) is a memory error on both widths:
        // a 32-bit size cannot express it, so nothing is asked; a 64-bit host is asked for the
        // exact size and refuses. A truncated request would allocate a table far too small.
        static PF_Pixel dummy[1] = {};
        const PF_LayerDef huge = worlds::layer_def(0, dummy, 20000 * 4, 20000, 20000);
        SimHost host(entry);
        host.setup();
        host.set_input(World::raw(huge));
        host.set_output(World::raw(huge));
        host.set_slider(kParamRow, 20000);
        host.set_slider(kParamColumn, 20000);
        host.set_percent(kParamCompletion, 50.0);
        host.reset_out_data();
        host.clear_logs();
        const PF_Err err = host.send(PF_Cmd_RENDER);
        const std::uint64_t exact = std::uint64_t{20000} * 20000 * sizeof(BlockRecord);
        const auto& asked = host.handle_requests();
        const bool sound = kHost64 ? asked.size() == 1 && asked.front() == exact : asked.empty();
        lines.push_back(line("render-table-beyond-4gib", err, host,
                             format(" request=%s world-ops=%zu", sound ? "sound" : "TRUNCATED",
                                    host.world_ops().size())));
    }
    for (PF_Cmd cmd : {2, 5, 12, 99, -3}) {
        SimHost host(entry);
        const PF_Err err = host.send(cmd);
        lines.push_back(line(format("unhandled cmd=%ld", static_cast<long>(cmd)), err, host, ""));
    }

    for (A_long split : {1, 2, 3}) {
        for (A_long mode : {1, 2}) {
            for (Depth depth : {Depth::eight, Depth::sixteen}) {
                for (double completion : {0.0, 37.5, 100.0}) {
                    lines.push_back(render_line(
                        entry, RenderCase{split, mode, depth, completion, 1, 1, 100.0, 1}));
                }
                lines.push_back(
                    render_line(entry, RenderCase{split, mode, depth, 61.0, 2, 4, 70.0, 2}));
            }
        }
    }
    for (A_long blend = 1; blend <= 8; ++blend) {
        for (Depth depth : {Depth::eight, Depth::sixteen}) {
            lines.push_back(render_line(entry, RenderCase{1, 1, depth, 55.0, 1, blend, 65.0, 1}));
        }
    }
    // Frames beyond the caches, where long rows that are only written are streamed to memory.
    for (Depth depth : {Depth::eight, Depth::sixteen}) {
        const bool deep = depth == Depth::sixteen;
        const A_long w = deep ? 1448 : 2048, h = deep ? 1100 : 1600;
        for (double completion : {37.5, 100.0}) {
            const RenderCase c{1, 1, depth, completion, 1, 1, 100.0, 1};
            lines.push_back(render_line(entry, c,
                                        [&](SimHost& host) {
                                            World input(w, h, depth, 12);
                                            input.fill_test_picture(true);
                                            host.set_input(std::move(input));
                                            host.set_output(World(w, h, depth, 20));
                                        }) +
                            format(" frame=%ldx%ld", static_cast<long>(w), static_cast<long>(h)));
        }
    }
    // Refused allocations: the block table, then the strip tables.
    for (int k : {1, 2, 3}) {
        const RenderCase c{k == 1 ? 1 : 2, 1, Depth::eight, 50.0, 1, 1, 100.0, 1};
        lines.push_back(
            render_line(entry, c, [k](SimHost& host) { host.fail_call(HostFn::new_handle, k); }) +
            format(" refused-allocation=%d", k));
    }
    return lines;
}

}  // namespace conformance
