// Every host call of the bridge commands made to fail in turn: the result follows the rules of
// each command and nothing is left behind.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "host_helpers.h"
#include "sweep.h"

namespace {

using namespace testhost;
using sweep::FaultPoint;

std::unique_ptr<SimHost> make_fresh() {
    return fresh_host();
}
std::unique_ptr<SimHost> make_ready() {
    return ready_host();
}

std::map<HostFn, int> counts_of(const sweep::MakeHost& make, const sweep::Command& run) {
    return sweep::baseline(make, run);
}

PF_Err refusal_or(const FaultPoint& p, PF_Err otherwise) {
    return p.fn == HostFn::acquire_suite ? PF_Err_BAD_CALLBACK_PARAM : otherwise;
}

TEST(BridgeFaultSweep, About) {
    const sweep::Command run = [](SimHost& h) { return h.send(PF_Cmd_ABOUT); };
    EXPECT_EQ(counts_of(make_fresh, run),
              (std::map<HostFn, int>{
                  {HostFn::acquire_suite, 1}, {HostFn::sprintf, 1}, {HostFn::release_suite, 1}}));
    const int points =
        sweep::run("About", make_fresh, run, [](const FaultPoint& p) { return refusal_or(p, 0); });
    EXPECT_EQ(points, 4);
}

TEST(BridgeFaultSweep, CompletelyGeneral) {
    static char text[] = "some text";
    const sweep::Command run = [](SimHost& h) { return h.send(PF_Cmd_COMPLETELY_GENERAL, text); };
    EXPECT_EQ(counts_of(make_fresh, run),
              (std::map<HostFn, int>{
                  {HostFn::acquire_suite, 1}, {HostFn::sprintf, 1}, {HostFn::release_suite, 1}}));
    sweep::run("Completely General", make_fresh, run,
               [](const FaultPoint& p) { return refusal_or(p, 0); });
}

TEST(BridgeFaultSweep, GlobalSetup) {
    const sweep::Command run = [](SimHost& h) { return h.send(PF_Cmd_GLOBAL_SETUP); };
    EXPECT_EQ(counts_of(make_fresh, run), (std::map<HostFn, int>{{HostFn::acquire_suite, 2},
                                                                 {HostFn::release_suite, 2},
                                                                 {HostFn::new_handle, 1},
                                                                 {HostFn::lock_handle, 1},
                                                                 {HostFn::unlock_handle, 1},
                                                                 {HostFn::register_with_aegp, 1}}));
    const auto expect = [](const FaultPoint& p) -> PF_Err {
        switch (p.fn) {
            case HostFn::acquire_suite:
                return PF_Err_BAD_CALLBACK_PARAM;
            case HostFn::new_handle:
                return PF_Err_INTERNAL_STRUCT_DAMAGED;
            case HostFn::register_with_aegp:
                return p.code;
            default:
                return PF_Err_NONE;
        }
    };
    const auto check = [](const FaultPoint& p, PF_Err err, SimHost& h) {
        EXPECT_EQ(h.out_data().my_version, kVersion);
        EXPECT_EQ(h.out_data().out_flags, kGlobalFlags);
        EXPECT_EQ(h.message(), "");  // failures here leave no text for the user
        // Global data only when the record was filled and registered.
        const bool handed_over = err == PF_Err_NONE && p.fn != HostFn::lock_handle;
        EXPECT_EQ(h.global_data() != nullptr, handed_over);
        EXPECT_EQ(h.out_data().global_data != nullptr, handed_over);
    };
    sweep::run("Global Setup", make_fresh, run, expect, check);
}

TEST(BridgeFaultSweep, ParamsSetup) {
    const sweep::Command run = [](SimHost& h) {
        h.out_data().num_params = 77;
        return h.send(PF_Cmd_PARAMS_SETUP);
    };
    EXPECT_EQ(counts_of(make_fresh, run),
              (std::map<HostFn, int>{{HostFn::add_param, 14}, {HostFn::strcpy, 13}}));
    const auto expect = [](const FaultPoint& p) {
        return p.fn == HostFn::add_param ? p.code : PF_Err_NONE;
    };
    const auto check = [](const FaultPoint& p, PF_Err err, SimHost& h) {
        EXPECT_EQ(h.out_data().num_params, err == PF_Err_NONE ? 15 : 77);
        const std::size_t registered = p.fn == HostFn::add_param ? p.k - 1 : 14;
        EXPECT_EQ(h.registrations().size(), registered);
    };
    const int points = sweep::run("Params Setup", make_fresh, run, expect, check);
    EXPECT_EQ(points, 27);
}

void sweep_visibility(PF_Cmd cmd, const std::string& label) {
    const sweep::Command run = [cmd](SimHost& h) {
        h.set_popup(kSplit, 2);
        h.set_popup(kOverlapMode, 2);
        return h.send(cmd);
    };
    EXPECT_EQ(counts_of(make_ready, run),
              (std::map<HostFn, int>{{HostFn::acquire_suite, 4},
                                     {HostFn::release_suite, 4},
                                     {HostFn::get_new_effect_for_effect, 1},
                                     {HostFn::get_new_effect_stream_by_index, 5},
                                     {HostFn::set_dynamic_stream_flag, 5},
                                     {HostFn::dispose_effect, 1},
                                     {HostFn::dispose_stream, 5}}));
    const auto expect = [](const FaultPoint& p) -> PF_Err {
        switch (p.fn) {
            case HostFn::acquire_suite:
                return PF_Err_BAD_CALLBACK_PARAM;
            case HostFn::release_suite:
                return PF_Err_NONE;
            default:
                return p.code;
        }
    };
    const auto check = [](const FaultPoint& p, PF_Err err, SimHost& h) {
        EXPECT_EQ(h.out_data().out_flags, err == PF_Err_NONE ? PF_OutFlag_FORCE_RERENDER : 0);
        // Flags are set only once every suite and stream is in hand, and stop at the first
        // failure; a refused suite obtains no reference at all.
        int flags_expected = 5;
        if (p.fn == HostFn::acquire_suite) {
            flags_expected = 0;
            EXPECT_EQ(h.calls(HostFn::get_new_effect_for_effect), 0);
        } else if (p.fn == HostFn::get_new_effect_for_effect ||
                   p.fn == HostFn::get_new_effect_stream_by_index) {
            flags_expected = 0;
        } else if (p.fn == HostFn::set_dynamic_stream_flag) {
            flags_expected = p.k;
        }
        EXPECT_EQ(h.calls(HostFn::set_dynamic_stream_flag), flags_expected);
        // Whatever failed after the references were taken, all of them go back.
        if (p.fn != HostFn::acquire_suite) {
            EXPECT_EQ(h.calls(HostFn::dispose_stream),
                      h.calls(HostFn::get_new_effect_stream_by_index) -
                          (p.fn == HostFn::get_new_effect_stream_by_index));
        }
    };
    const int points = sweep::run(label, make_ready, run, expect, check);
    EXPECT_EQ(points, 2 * 4 + 4 + 1 + 5 + 5 + 1 + 5);
}

TEST(BridgeFaultSweep, UpdateParamsUi) {
    sweep_visibility(PF_Cmd_UPDATE_PARAMS_UI, "Update Params UI");
}

TEST(BridgeFaultSweep, UserChangedParam) {
    sweep_visibility(PF_Cmd_USER_CHANGED_PARAM, "User Changed Param");
}

}  // namespace
