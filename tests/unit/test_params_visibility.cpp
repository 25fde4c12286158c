// The visibility handler as the host's effect panel shows it.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <optional>
#include <string>
#include <vector>

#include "host_helpers.h"

namespace {

using namespace testhost;

constexpr std::array<PF_ParamIndex, 5> kToggled = {kRow, kHeight, kColumn, kWidth, kColor};

// Hidden state of Row, Height, Column, Width and Color.
using Panel = std::array<bool, 5>;

Panel expected_panel(A_long split, A_long overlap_mode) {
    Panel p{};
    if (split == 1) {
        p = {false, true, false, true, false};
    } else if (split == 2) {
        p = {false, true, true, false, false};
    } else {
        p = {true, false, false, true, false};
    }
    p[4] = overlap_mode == 1;
    return p;
}

// Every toggled stream set to the opposite of `p`, so that a missing call shows.
void preset_opposite(SimHost& host, const Panel& p) {
    for (std::size_t i = 0; i < kToggled.size(); ++i) {
        host.set_hidden(kToggled[i], !p[i]);
    }
}

void expect_panel(const SimHost& host, const Panel& p) {
    for (std::size_t i = 0; i < kToggled.size(); ++i) {
        EXPECT_EQ(host.hidden(kToggled[i]), std::optional<bool>(p[i]))
            << "parameter " << kToggled[i];
    }
    for (PF_ParamIndex other : {kMode, kCompletion, kSplit, kSeed, kOverlapGroup, kOverlapMode,
                                kBlendMode, kOpacity, kGroupEnd}) {
        EXPECT_FALSE(host.hidden(other).has_value()) << "parameter " << other;
    }
}

void run_and_check(A_long split, A_long overlap_mode) {
    SCOPED_TRACE("Split " + std::to_string(split) + ", Overlap Mode " +
                 std::to_string(overlap_mode));
    auto host = ready_host();
    const Panel want = expected_panel(split, overlap_mode);
    preset_opposite(*host, want);
    host->set_popup(kSplit, split);
    host->set_popup(kOverlapMode, overlap_mode);
    host->out_data().out_flags = PF_OutFlag_USE_OUTPUT_EXTENT;

    ASSERT_EQ(host->send(PF_Cmd_UPDATE_PARAMS_UI), 0);
    expect_panel(*host, want);
    EXPECT_EQ(host->out_data().out_flags, PF_OutFlag_USE_OUTPUT_EXTENT | PF_OutFlag_FORCE_RERENDER);
    EXPECT_EQ(host->stream_requests(), (std::vector<PF_ParamIndex>{4, 5, 6, 7, 11}));
    ASSERT_EQ(host->flag_calls().size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {
        const simhost::FlagCall& c = host->flag_calls()[i];
        EXPECT_EQ(c.param, kToggled[i]);
        EXPECT_EQ(c.flag, AEGP_DynStreamFlag_HIDDEN);
        EXPECT_EQ(c.undoable, 0);
        EXPECT_EQ(c.set, want[i] ? 1 : 0);
    }
    EXPECT_EQ(host->calls(HostFn::get_new_effect_for_effect), 1);
    EXPECT_EQ(host->calls(HostFn::dispose_effect), 1);
    EXPECT_EQ(host->calls(HostFn::dispose_stream), 5);
    EXPECT_EQ(host->message(), "");
    EXPECT_TRUE(host->problems().empty()) << host->problems().front();
}

TEST(ParamsVisibility, SplitChoosesTheSizeParameters) {
    for (A_long split : {1, 2, 3}) {
        run_and_check(split, 1);
    }
}

TEST(ParamsVisibility, SplitOutsideOneAndTwoActsAsHeightAndColumn) {
    for (A_long split : {0, -1, 4, 99, INT_MIN, INT_MAX}) {
        run_and_check(split, 2);
    }
}

TEST(ParamsVisibility, ColorIsShownOnlyForColorOverlap) {
    for (A_long overlap : {1, 2, 0, 3, -5}) {
        run_and_check(2, overlap);
    }
}

TEST(ParamsVisibility, PanelFollowsEveryChange) {
    auto host = ready_host();
    const std::vector<std::pair<A_long, A_long>> steps = {{1, 1}, {3, 2}, {2, 2}, {1, 1}};
    for (const auto& [split, overlap] : steps) {
        host->set_popup(kSplit, split);
        host->set_popup(kOverlapMode, overlap);
        ASSERT_EQ(host->send(PF_Cmd_USER_CHANGED_PARAM), 0);
        expect_panel(*host, expected_panel(split, overlap));
    }
    EXPECT_EQ(host->flag_calls().size(), 20u);
    EXPECT_TRUE(host->problems().empty());
}

TEST(ParamsVisibility, UsesThePluginIdFromGlobalSetup) {
    auto host = fresh_host();
    host->set_plugin_id(-17);
    host->setup();
    ASSERT_EQ(host->send(PF_Cmd_UPDATE_PARAMS_UI), 0);
    // The host refuses AEGP calls under any other id and records it.
    EXPECT_TRUE(host->errors().empty()) << host->errors().front();
    EXPECT_EQ(host->flag_calls().size(), 5u);
}

TEST(ParamsVisibility, RefusedColumnStreamChangesNoFlag) {
    auto host = ready_host();
    const Panel before = expected_panel(3, 2);
    preset_opposite(*host, before);
    host->set_popup(kSplit, 1);
    host->out_data().out_flags = 0x40;
    host->fail_call(HostFn::get_new_effect_stream_by_index, 3, 555);

    EXPECT_EQ(host->send(PF_Cmd_UPDATE_PARAMS_UI), 555);
    EXPECT_TRUE(host->flag_calls().empty());
    EXPECT_EQ(host->calls(HostFn::set_dynamic_stream_flag), 0);
    for (std::size_t i = 0; i < kToggled.size(); ++i) {
        EXPECT_EQ(host->hidden(kToggled[i]), std::optional<bool>(!before[i]));
    }
    EXPECT_EQ(host->stream_requests(), (std::vector<PF_ParamIndex>{4, 5, 6}));
    EXPECT_EQ(host->calls(HostFn::dispose_effect), 1);
    EXPECT_EQ(host->calls(HostFn::dispose_stream), 2);
    EXPECT_EQ(host->outstanding_effects(), 0);
    EXPECT_EQ(host->outstanding_streams(), 0);
    EXPECT_EQ(host->out_data().out_flags, 0x40);
    EXPECT_TRUE(host->problems().empty()) << host->problems().front();
}

TEST(ParamsVisibility, FailedWidthDisposalStillDisposesColor) {
    auto host = ready_host();
    host->set_popup(kSplit, 2);
    host->set_popup(kOverlapMode, 2);
    host->fail_call(HostFn::dispose_stream, 4, 666);

    EXPECT_EQ(host->send(PF_Cmd_UPDATE_PARAMS_UI), 666);
    EXPECT_EQ(host->calls(HostFn::dispose_stream), 5);
    EXPECT_EQ(host->outstanding_streams(), 0);
    EXPECT_EQ(host->outstanding_effects(), 0);
    EXPECT_EQ(host->out_data().out_flags & PF_OutFlag_FORCE_RERENDER, 0);
    expect_panel(*host, expected_panel(2, 2));  // every flag was set before the releases
    EXPECT_TRUE(host->problems().empty()) << host->problems().front();
}

TEST(ParamsVisibility, FirstFailureDecidesTheResult) {
    auto host = ready_host();
    host->set_popup(kSplit, 1);
    host->fail_call(HostFn::set_dynamic_stream_flag, 2, 10);
    host->fail_call(HostFn::dispose_effect, 1, 20);
    host->fail_call(HostFn::dispose_stream, 1, 30);

    EXPECT_EQ(host->send(PF_Cmd_UPDATE_PARAMS_UI), 10);
    EXPECT_EQ(host->calls(HostFn::set_dynamic_stream_flag), 2);
    EXPECT_EQ(host->hidden(kRow), std::optional<bool>(false));
    EXPECT_FALSE(host->hidden(kColumn).has_value());
    EXPECT_EQ(host->calls(HostFn::dispose_stream), 5);
    EXPECT_EQ(host->out_data().out_flags, 0);
    EXPECT_TRUE(host->problems().empty()) << host->problems().front();
}

TEST(ParamsVisibility, FailedEffectDisposalStillDisposesEveryStream) {
    auto host = ready_host();
    host->fail_call(HostFn::dispose_effect, 1, 20);
    EXPECT_EQ(host->send(PF_Cmd_USER_CHANGED_PARAM), 20);
    EXPECT_EQ(host->calls(HostFn::dispose_stream), 5);
    EXPECT_EQ(host->out_data().out_flags, 0);
    EXPECT_TRUE(host->problems().empty()) << host->problems().front();
}

TEST(ParamsVisibility, WithoutGlobalDataNothingChanges) {
    for (bool lock_failed : {false, true}) {
        SCOPED_TRACE(lock_failed ? "Global Setup's lock failed" : "no Global Setup");
        auto host = fresh_host();
        if (lock_failed) {
            host->fail_call(HostFn::lock_handle, 1);
            ASSERT_EQ(host->send(PF_Cmd_GLOBAL_SETUP), 0);
        }
        ASSERT_EQ(host->send(PF_Cmd_PARAMS_SETUP), 0);
        ASSERT_EQ(host->global_data(), nullptr);
        host->reset_out_data();
        host->out_data().out_flags = 0x40;
        host->reset_counters();
        EXPECT_EQ(host->send(PF_Cmd_UPDATE_PARAMS_UI), 0);
        EXPECT_EQ(host->send(PF_Cmd_USER_CHANGED_PARAM), 0);
        EXPECT_EQ(host->out_data().out_flags, 0x40);
        EXPECT_EQ(host->calls(HostFn::get_new_effect_for_effect), 0);
        EXPECT_EQ(host->calls(HostFn::get_new_effect_stream_by_index), 0);
        EXPECT_TRUE(host->flag_calls().empty());
        EXPECT_TRUE(host->problems().empty()) << host->problems().front();
    }
}

}  // namespace
