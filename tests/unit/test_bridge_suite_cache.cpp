// The per-call suite cache as the host sees it: what is acquired, how often, and the order of
// the releases.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "host_helpers.h"
#include "sweep.h"

namespace {

using namespace testhost;

// Positions, in the cache's fixed release list, of the pairs the effect asks for.
int release_rank(const SuitePair& p) {
    static const std::map<std::pair<std::string, A_long>, int> kRank = {
        {{kAEGPStreamSuite, 7}, 3},
        {{kAEGPDynamicStreamSuite, 2}, 4},
        {{kAEGPPFInterfaceSuite, 1}, 18},
        {{kAEGPEffectSuite, 2}, 28},
        {{kAEGPUtilitySuite, 7}, 34},
        {{kPFANSISuite, 1}, 37},
        {{kPFHandleSuite, kPFHandleSuiteVersion}, 38},
    };
    const auto it = kRank.find({p.name, p.version});
    return it == kRank.end() ? -1 : it->second;
}

// Every successful acquisition released once, in list order, and nothing else released.
void expect_released_in_list_order(const SimHost& host) {
    std::vector<SuitePair> acquired;
    for (const auto& e : host.suite_log()) {
        if (e.acquire && e.granted) {
            acquired.push_back({e.name, e.version});
        }
    }
    const std::vector<SuitePair> released = releases(host);
    EXPECT_EQ(released.size(), acquired.size());
    for (const SuitePair& p : acquired) {
        EXPECT_EQ(std::count(released.begin(), released.end(), p), 1) << p;
    }
    for (std::size_t i = 1; i < released.size(); ++i) {
        EXPECT_LT(release_rank(released[i - 1]), release_rank(released[i]))
            << released[i - 1] << " released before " << released[i];
    }
    EXPECT_EQ(host.outstanding_suites(), 0);
}

TEST(BridgeSuiteCache, NothingAcquiredMeansNothingReleased) {
    auto host = fresh_host();
    ASSERT_EQ(host->send(PF_Cmd_PARAMS_SETUP), 0);
    EXPECT_TRUE(host->suite_log().empty());

    auto render_host = ready_host();
    render_host->set_percent(kCompletion, 50.0);
    EXPECT_EQ(render_host->send(PF_Cmd_RENDER), 0);
    EXPECT_TRUE(render_host->suite_log().empty());
    EXPECT_TRUE(render_host->problems().empty());

    // Visibility without global data has nothing to ask the host.
    auto no_global = fresh_host();
    ASSERT_EQ(no_global->send(PF_Cmd_PARAMS_SETUP), 0);
    EXPECT_EQ(no_global->send(PF_Cmd_UPDATE_PARAMS_UI), 0);
    EXPECT_TRUE(releases(*no_global).empty());
}

TEST(BridgeSuiteCache, RepeatedUseAcquiresAndReleasesOnce) {
    auto host = ready_host();
    ASSERT_EQ(host->send(PF_Cmd_UPDATE_PARAMS_UI), 0);
    // The stream suite served five fetches and five disposals.
    EXPECT_EQ(host->calls(HostFn::get_new_effect_stream_by_index), 5);
    EXPECT_EQ(host->calls(HostFn::dispose_stream), 5);
    EXPECT_EQ(acquisitions(*host), (std::vector<SuitePair>{{kAEGPPFInterfaceSuite, 1},
                                                           {kAEGPStreamSuite, 7},
                                                           {kAEGPDynamicStreamSuite, 2},
                                                           {kAEGPEffectSuite, 2}}));
    EXPECT_EQ(releases(*host), (std::vector<SuitePair>{{kAEGPStreamSuite, 7},
                                                       {kAEGPDynamicStreamSuite, 2},
                                                       {kAEGPPFInterfaceSuite, 1},
                                                       {kAEGPEffectSuite, 2}}));

    // Every call acquires anew.
    ASSERT_EQ(host->send(PF_Cmd_UPDATE_PARAMS_UI), 0);
    EXPECT_EQ(acquisitions(*host).size(), 8u);
    EXPECT_EQ(releases(*host).size(), 8u);
    EXPECT_TRUE(host->problems().empty());
}

TEST(BridgeSuiteCache, GlobalSetupReleasesUtilityBeforeHandle) {
    auto host = fresh_host();
    ASSERT_EQ(host->send(PF_Cmd_GLOBAL_SETUP), 0);
    EXPECT_EQ(acquisitions(*host), (std::vector<SuitePair>{{kPFHandleSuite, kPFHandleSuiteVersion},
                                                           {kAEGPUtilitySuite, 7}}));
    EXPECT_EQ(releases(*host), (std::vector<SuitePair>{{kAEGPUtilitySuite, 7},
                                                       {kPFHandleSuite, kPFHandleSuiteVersion}}));
}

TEST(BridgeSuiteCache, EverySuiteIsAcquiredBeforeAnyReference) {
    auto host = ready_host();
    host->fail_call(HostFn::get_new_effect_for_effect, 1, 321);
    EXPECT_EQ(host->send(PF_Cmd_UPDATE_PARAMS_UI), 321);
    EXPECT_EQ(acquisitions(*host), (std::vector<SuitePair>{{kAEGPPFInterfaceSuite, 1},
                                                           {kAEGPStreamSuite, 7},
                                                           {kAEGPDynamicStreamSuite, 2},
                                                           {kAEGPEffectSuite, 2}}));
    EXPECT_EQ(releases(*host).size(), 4u);
    expect_released_in_list_order(*host);
    EXPECT_TRUE(host->problems().empty());
}

TEST(BridgeSuiteCache, RefusedSuiteGivesBadCallbackParamAndReleasesTheOthers) {
    const std::vector<SuitePair> used = {{kAEGPPFInterfaceSuite, 1},
                                         {kAEGPStreamSuite, 7},
                                         {kAEGPDynamicStreamSuite, 2},
                                         {kAEGPEffectSuite, 2}};
    for (const SuitePair& refused : used) {
        for (PF_Err code : {PF_Err{77}, PF_Err{0}}) {
            SCOPED_TRACE(refused.name + " refused with " + std::to_string(code));
            auto host = ready_host();
            host->out_data().out_flags = 0x40;
            host->refuse_suite(refused.name, refused.version, code);
            EXPECT_EQ(host->send(PF_Cmd_UPDATE_PARAMS_UI), PF_Err_BAD_CALLBACK_PARAM);
            const std::vector<SuitePair> released = releases(*host);
            EXPECT_EQ(std::count(released.begin(), released.end(), refused), 0);
            expect_released_in_list_order(*host);
            EXPECT_EQ(host->out_data().out_flags, 0x40);
            EXPECT_EQ(host->calls(HostFn::get_new_effect_for_effect), 0);
            EXPECT_TRUE(host->problems().empty()) << sweep::join(host->problems());
        }
    }
}

TEST(BridgeSuiteCache, ReleasesFollowTheListForEveryCommand) {
    for (PF_Cmd cmd :
         {PF_Cmd_ABOUT, PF_Cmd_GLOBAL_SETUP, PF_Cmd_PARAMS_SETUP, PF_Cmd_USER_CHANGED_PARAM,
          PF_Cmd_UPDATE_PARAMS_UI, PF_Cmd_COMPLETELY_GENERAL}) {
        SCOPED_TRACE(cmd);
        auto host = ready_host();
        char text[] = "hi";
        EXPECT_EQ(host->send(cmd, text), 0);
        expect_released_in_list_order(*host);
    }
}

}  // namespace
