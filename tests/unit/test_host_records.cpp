// The host's records as the effect sees them: every member and function slot the effect has no
// business with is untouched by every command, and the layout table in the project is the one
// the build checks.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "host_helpers.h"
#include "render_helpers.h"
#include "sweep.h"

namespace {

using namespace testhost;
using namespace rendertest;
using worlds::Depth;
using worlds::World;

// Everything a command leaves behind that the host could see.
struct Outcome {
    PF_Err result = 0;
    std::string message;
    PF_OutFlags out_flags = 0;
    A_u_long my_version = 0;
    A_long num_params = 0;
    bool global_data = false;
    std::vector<std::uint8_t> output;
    std::vector<std::pair<A_long, A_long>> progress;
    std::vector<std::vector<std::uint8_t>> registrations;
    std::vector<std::string> hidden;
    std::vector<SuitePair> suites;
    bool operator==(const Outcome&) const = default;
};

struct Scenario {
    std::string name;
    PF_Cmd cmd;
    std::function<void(SimHost&)> prepare;
};

Outcome run(const Scenario& scenario, std::uint8_t pattern) {
    auto host = fresh_host();
    host->set_unused_pattern(pattern);
    scenario.prepare(*host);
    host->clear_logs();
    Outcome o;
    o.result = host->send(scenario.cmd, nullptr);
    o.message = host->message();
    o.out_flags = host->out_data().out_flags;
    o.my_version = host->out_data().my_version;
    o.num_params = host->out_data().num_params;
    o.global_data = host->out_data().global_data != nullptr;
    o.output = host->output().snapshot();
    o.progress = host->progress_log();
    for (const simhost::Registration& r : host->registrations()) {
        PF_ParamDef def = r.def;
        if (def.param_type == PF_Param_POPUP) def.u.pd.u.namesptr = nullptr;  // host's copy
        o.registrations.push_back(bytes_of(&def, sizeof def));
    }
    for (PF_ParamIndex i = 1; i < static_cast<PF_ParamIndex>(host->param_count()); ++i) {
        const auto h = host->hidden(i);
        o.hidden.push_back(h ? (*h ? "hidden" : "shown") : "-");
    }
    o.suites = acquisitions(*host);
    EXPECT_TRUE(host->problems().empty()) << scenario.name << ": " << sweep::join(host->problems());
    return o;
}

void prepare_render(SimHost& host, const Settings& s, Depth depth) {
    host.setup();
    World input(23, 17, depth, depth == Depth::sixteen ? 16 : 8);
    input.fill_test_picture(true);
    host.set_input(std::move(input));
    host.set_output(World(23, 17, depth, 12));
    apply(host, s);
    host.reset_out_data();
}

std::vector<Scenario> scenarios() {
    std::vector<Scenario> list = {
        {"about", PF_Cmd_ABOUT, [](SimHost&) {}},
        {"global setup", PF_Cmd_GLOBAL_SETUP, [](SimHost&) {}},
        {"params setup", PF_Cmd_PARAMS_SETUP, [](SimHost& h) { h.send(PF_Cmd_GLOBAL_SETUP); }},
    };
    for (PF_Cmd cmd : {PF_Cmd_USER_CHANGED_PARAM, PF_Cmd_UPDATE_PARAMS_UI}) {
        for (A_long split : {kRowColumn, kRowWidth, kHeightColumn}) {
            list.push_back({"visibility " + std::to_string(cmd) + " split " + std::to_string(split),
                            cmd, [split](SimHost& h) {
                                h.setup();
                                h.set_popup(kSplit, split);
                                h.set_popup(kOverlapMode, kColorOverlap);
                                h.reset_out_data();
                            }});
        }
    }
    Settings grid;
    grid.rows = 3;
    grid.columns = 4;
    grid.completion = percent(37.5);
    Settings strips = grid;
    strips.split = kRowWidth;
    strips.strip_width = 5;
    strips.blend_mode = kMultiply;
    strips.opacity = percent(70);
    strips.ds_den = 2;
    Settings color = grid;
    color.split = kHeightColumn;
    color.strip_height = 4;
    color.overlap_mode = kColorOverlap;
    Settings zero = grid;
    zero.completion = 0;
    Settings full = strips;
    full.completion = percent(100);
    const std::pair<const char*, Settings> renders[] = {
        {"grid", grid}, {"strips", strips}, {"color", color}, {"0 %", zero}, {"100 %", full}};
    for (const auto& [name, settings] : renders) {
        for (Depth depth : {Depth::eight, Depth::sixteen}) {
            list.push_back({std::string("render ") + name + (depth == Depth::eight ? " 8" : " 16"),
                            PF_Cmd_RENDER,
                            [settings, depth](SimHost& h) { prepare_render(h, settings, depth); }});
        }
    }
    return list;
}

TEST(HostRecords, CommandsNeitherCallNorReadNorWriteWhatTheyHaveNoBusinessWith) {
    // Two runs with different bytes in every unused member: equal outcomes prove the effect
    // reads none of them; the host records every unused slot called and every unused member
    // written as a problem.
    for (const Scenario& scenario : scenarios()) {
        SCOPED_TRACE(scenario.name);
        const Outcome first = run(scenario, 0xA5);
        const Outcome second = run(scenario, 0x3C);
        EXPECT_EQ(first, second);
    }
}

TEST(HostRecords, TheChecksSeeAMisuse) {
    // A stand-in effect that calls an unused slot and writes unused members: the host must say
    // so, or the test above proves nothing.
    static const auto misbehave = [](PF_Cmd, PF_InData* in, PF_OutData* out, PF_ParamDef* params[],
                                     PF_LayerDef* output, void*) -> PF_Err {
        const PF_Err slot = in->utils->iterate(in, 0, 1, output, nullptr, nullptr, nullptr, output);
        const double root = in->utils->ansi.sqrt(4.0);
        out->width = 7;
        output->origin_x = 3;
        params[0]->ui_flags = 1;
        return slot == PF_Err_NONE || root == 2.0 ? -1 : PF_Err_NONE;
    };
    SimHost host(+misbehave);
    host.set_output(World(4, 4));
    EXPECT_EQ(host.send(PF_Cmd_RENDER), PF_Err_NONE);
    const std::string problems = sweep::join(host.problems());
    for (const char* expected :
         {"PF_UtilCallbacks.iterate called", "ANSI.sqrt called", "PF_OutData.width changed",
          "output PF_LayerDef.origin_x changed", "parameter PF_ParamDef.ui_flags changed"}) {
        EXPECT_NE(problems.find(expected), std::string::npos) << expected << " in " << problems;
    }
}

TEST(HostRecords, LayoutChecksAreGeneratedFromTheTableInTheProject) {
    // The static assertions compiled into every build must be the ones the table gives.
    const std::string command = "python3 " ZX_SOURCE_DIR "/scripts/gen-host-layout.py --check 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

}  // namespace
