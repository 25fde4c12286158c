// Dispatch and the small commands (About, Global Setup, Completely General), driven through
// EntryPointFunc and the simulated host.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "host_helpers.h"

namespace {

using namespace testhost;
using worlds::World;

// --- dispatch

TEST(BridgeDispatch, CommandsWithoutAHandlerReturnZeroAndTouchNothing) {
    const std::vector<PF_Cmd> unhandled = {INT_MIN, -100, -1, 2,  3,  5,  6,  7,  8,    9,
                                           10,      12,   15, 16, 18, 19, 20, 64, 1000, INT_MAX};
    for (PF_Cmd cmd : unhandled) {
        SCOPED_TRACE("command " + std::to_string(cmd));
        auto host = ready_host();
        host->output().fill_test_picture();
        std::memset(&host->out_data(), 0x5A, sizeof(PF_OutData));
        const auto out_before = bytes_of(&host->out_data(), sizeof(PF_OutData));
        const auto in_before = bytes_of(&host->in_data(), sizeof(PF_InData));
        const auto output_before = host->output().snapshot();
        const auto input_before = host->input().snapshot();
        std::vector<std::vector<std::uint8_t>> params_before;
        for (PF_ParamIndex i = 0; i < static_cast<PF_ParamIndex>(host->param_count()); ++i) {
            params_before.push_back(bytes_of(&host->param(i), sizeof(PF_ParamDef)));
        }
        char extra[] = "untouched";

        EXPECT_EQ(host->send(cmd, extra), 0);
        EXPECT_EQ(host->total_calls(), 0);
        EXPECT_EQ(bytes_of(&host->out_data(), sizeof(PF_OutData)), out_before);
        EXPECT_EQ(bytes_of(&host->in_data(), sizeof(PF_InData)), in_before);
        EXPECT_EQ(host->output().snapshot(), output_before);
        EXPECT_EQ(host->input().snapshot(), input_before);
        for (PF_ParamIndex i = 0; i < static_cast<PF_ParamIndex>(host->param_count()); ++i) {
            EXPECT_EQ(bytes_of(&host->param(i), sizeof(PF_ParamDef)), params_before[i]) << i;
        }
        EXPECT_STREQ(extra, "untouched");
        EXPECT_TRUE(host->problems().empty()) << host->problems().front();
        // Not even the records are needed to answer them.
        EXPECT_EQ(EntryPointFunc(cmd, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    }
}

TEST(BridgeDispatch, UserChangedParamIsHandledLikeUpdateParamsUi) {
    for (A_long split : {1, 2, 3}) {
        auto a = ready_host();
        auto b = ready_host();
        for (auto* h : {a.get(), b.get()}) {
            h->set_popup(kSplit, split);
            h->set_popup(kOverlapMode, 2);
            h->out_data().out_flags = 0x100;
        }
        const PF_Err ea = a->send(PF_Cmd_USER_CHANGED_PARAM);
        const PF_Err eb = b->send(PF_Cmd_UPDATE_PARAMS_UI);
        EXPECT_EQ(ea, 0);
        EXPECT_EQ(ea, eb);
        EXPECT_EQ(a->out_data().out_flags, b->out_data().out_flags);
        EXPECT_EQ(a->stream_requests(), b->stream_requests());
        ASSERT_EQ(a->flag_calls().size(), 5u);
        ASSERT_EQ(a->flag_calls().size(), b->flag_calls().size());
        for (std::size_t i = 0; i < a->flag_calls().size(); ++i) {
            EXPECT_EQ(a->flag_calls()[i].param, b->flag_calls()[i].param);
            EXPECT_EQ(a->flag_calls()[i].set, b->flag_calls()[i].set);
        }
        EXPECT_EQ(acquisitions(*a), acquisitions(*b));
        EXPECT_EQ(releases(*a), releases(*b));
    }
}

// --- About

TEST(BridgeAbout, WritesNameVersionAndDescription) {
    auto host = fresh_host();
    std::memset(host->out_data().return_msg, 'z', sizeof host->out_data().return_msg);
    host->out_data().out_flags = 0x40;
    EXPECT_EQ(host->send(PF_Cmd_ABOUT), 0);
    EXPECT_EQ(host->message(), "VarnokZentrilox, v1.0\rCorvalesse!.");
    EXPECT_EQ(host->message().size(), 34u);
    EXPECT_EQ(host->message()[21], '\r');
    EXPECT_EQ(host->out_data().out_flags, 0x40);
    EXPECT_EQ(host->out_data().my_version, 0u);
    EXPECT_EQ(acquisitions(*host), (std::vector<SuitePair>{{kPFANSISuite, 1}}));
    EXPECT_EQ(releases(*host), (std::vector<SuitePair>{{kPFANSISuite, 1}}));
    EXPECT_TRUE(host->problems().empty());
}

// --- Global Setup

std::int32_t stored_plugin_id(const SimHost& host) {
    std::int32_t id = 0;
    std::memcpy(&id, static_cast<const std::uint8_t*>(*host.global_data()) + 4, 4);
    return id;
}

TEST(BridgeGlobalSetup, SetsVersionFlagsAndHandsOverTheRecord) {
    auto host = fresh_host();
    host->set_plugin_id(31337);
    host->out_data().out_flags = 0x100 | 0x1;
    ASSERT_EQ(host->send(PF_Cmd_GLOBAL_SETUP), 0);
    EXPECT_EQ(host->out_data().my_version, kVersion);
    EXPECT_EQ(host->out_data().out_flags, kGlobalFlags | 0x101);
    ASSERT_NE(host->global_data(), nullptr);
    EXPECT_EQ(host->handle_size(host->global_data()), 8u);
    const auto* record = static_cast<const std::uint8_t*>(*host->global_data());
    EXPECT_EQ(record[0], 1);
    EXPECT_EQ(stored_plugin_id(*host), 31337);
    EXPECT_EQ(host->registered_names(), std::vector<std::string>{"Error!"});
    EXPECT_EQ(host->calls(HostFn::lock_handle), 1);
    EXPECT_EQ(host->calls(HostFn::unlock_handle), 1);
    EXPECT_EQ(host->message(), "");
    EXPECT_TRUE(host->problems().empty()) << host->problems().front();
}

TEST(BridgeGlobalSetup, FlagsAlreadySetStaySet) {
    auto host = fresh_host();
    host->out_data().out_flags = -1;
    ASSERT_EQ(host->send(PF_Cmd_GLOBAL_SETUP), 0);
    EXPECT_EQ(host->out_data().out_flags, -1);
}

TEST(BridgeGlobalSetup, FailedAllocationGivesInternalStructDamaged) {
    auto host = fresh_host();
    host->fail_call(HostFn::new_handle, 1);
    EXPECT_EQ(host->send(PF_Cmd_GLOBAL_SETUP), PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(host->out_data().my_version, kVersion);
    EXPECT_EQ(host->out_data().out_flags, kGlobalFlags);
    EXPECT_EQ(host->global_data(), nullptr);
    EXPECT_EQ(host->out_data().global_data, nullptr);
    EXPECT_TRUE(host->registered_names().empty());
    EXPECT_EQ(host->out_data().out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE, 0);
    EXPECT_TRUE(host->problems().empty()) << host->problems().front();
}

TEST(BridgeGlobalSetup, FailedLockRegistersNothingAndKeepsNoHandle) {
    auto host = fresh_host();
    host->fail_call(HostFn::lock_handle, 1);
    EXPECT_EQ(host->send(PF_Cmd_GLOBAL_SETUP), 0);
    EXPECT_EQ(host->out_data().my_version, kVersion);
    EXPECT_EQ(host->out_data().out_flags, kGlobalFlags);
    EXPECT_EQ(host->global_data(), nullptr);
    EXPECT_EQ(host->calls(HostFn::register_with_aegp), 0);
    EXPECT_TRUE(host->registered_names().empty());
    EXPECT_EQ(host->live_handles(), 0);
    EXPECT_TRUE(host->problems().empty()) << host->problems().front();
}

TEST(BridgeGlobalSetup, FailedRegistrationReturnsTheHostCodeAndHandsNothingOver) {
    auto host = fresh_host();
    host->fail_call(HostFn::register_with_aegp, 1, 1234);
    EXPECT_EQ(host->send(PF_Cmd_GLOBAL_SETUP), 1234);
    EXPECT_EQ(host->out_data().my_version, kVersion);
    EXPECT_EQ(host->global_data(), nullptr);
    EXPECT_EQ(host->out_data().global_data, nullptr);
    EXPECT_EQ(host->calls(HostFn::unlock_handle), 1);
    EXPECT_EQ(host->live_handles(), 0);
    EXPECT_TRUE(host->problems().empty()) << host->problems().front();
}

TEST(BridgeGlobalSetup, NoBasicSuiteFailsBeforeAnythingIsSet) {
    auto host = fresh_host();
    host->set_null_basic_suite(true);
    host->out_data().out_flags = 0x1;
    EXPECT_EQ(host->send(PF_Cmd_GLOBAL_SETUP), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(host->out_data().my_version, 0u);
    EXPECT_EQ(host->out_data().out_flags, 0x1);
    EXPECT_EQ(host->global_data(), nullptr);
    EXPECT_EQ(host->total_calls(), 0);
}

TEST(BridgeGlobalSetup, RefusedSuitesGiveBadCallbackParam) {
    for (PF_Err code : {PF_Err{99}, PF_Err{0}}) {
        for (const char* name : {kPFHandleSuite, kAEGPUtilitySuite}) {
            SCOPED_TRACE(std::string(name) + " refused with " + std::to_string(code));
            auto host = fresh_host();
            host->refuse_suite(
                name, std::string(name) == kPFHandleSuite ? kPFHandleSuiteVersion : 7, code);
            EXPECT_EQ(host->send(PF_Cmd_GLOBAL_SETUP), PF_Err_BAD_CALLBACK_PARAM);
            EXPECT_EQ(host->out_data().my_version, kVersion);
            EXPECT_EQ(host->out_data().out_flags, kGlobalFlags);
            EXPECT_EQ(host->global_data(), nullptr);
            EXPECT_TRUE(host->problems().empty()) << host->problems().front();
        }
    }
}

// --- Completely General

TEST(BridgeCompletelyGeneral, EchoesItsText) {
    auto host = fresh_host();
    std::memset(host->out_data().return_msg, 'q', sizeof host->out_data().return_msg);
    char empty[] = "";
    EXPECT_EQ(host->send(PF_Cmd_COMPLETELY_GENERAL, empty), 0);
    EXPECT_EQ(host->message(), "");

    // Conversion characters in the text are text, not a format.
    char text[] = "50% done %s %d";
    EXPECT_EQ(host->send(PF_Cmd_COMPLETELY_GENERAL, text), 0);
    EXPECT_EQ(host->message(), text);
    EXPECT_EQ(host->out_data().out_flags, 0);
    EXPECT_EQ(host->buffer_overflows(), 0);
    EXPECT_TRUE(host->problems().empty());
}

TEST(BridgeCompletelyGeneral, LongTextIsCutToTheMessageBuffer) {
    for (std::size_t length : {254u, 255u, 256u, 1000u}) {
        SCOPED_TRACE(length);
        auto host = fresh_host();
        std::string text(length, ' ');
        for (std::size_t i = 0; i < length; ++i) {
            text[i] = static_cast<char>('a' + i % 26);
        }
        EXPECT_EQ(host->send(PF_Cmd_COMPLETELY_GENERAL, text.data()), 0);
        EXPECT_EQ(host->message(), text.substr(0, 255));
        EXPECT_EQ(host->buffer_overflows(), 0);
        EXPECT_TRUE(host->problems().empty());
    }
}

TEST(BridgeSmallCommands, NoBasicSuiteGivesBadCallbackParam) {
    for (PF_Cmd cmd : {PF_Cmd_ABOUT, PF_Cmd_COMPLETELY_GENERAL, PF_Cmd_UPDATE_PARAMS_UI,
                       PF_Cmd_USER_CHANGED_PARAM, PF_Cmd_RENDER}) {
        SCOPED_TRACE(cmd);
        auto host = ready_host();
        host->set_null_basic_suite(true);
        host->out_data().out_flags = 0x1;
        char text[] = "text";
        EXPECT_EQ(host->send(cmd, text), PF_Err_BAD_CALLBACK_PARAM);
        EXPECT_EQ(host->out_data().out_flags, 0x1);
        EXPECT_EQ(host->message(), "");
        EXPECT_EQ(host->total_calls(), 0);
    }
}

TEST(BridgeSmallCommands, RefusedAnsiSuiteGivesBadCallbackParam) {
    for (PF_Err code : {PF_Err{99}, PF_Err{0}}) {
        for (PF_Cmd cmd : {PF_Cmd_ABOUT, PF_Cmd_COMPLETELY_GENERAL}) {
            auto host = fresh_host();
            host->refuse_suite(kPFANSISuite, 1, code);
            char text[] = "text";
            EXPECT_EQ(host->send(cmd, text), PF_Err_BAD_CALLBACK_PARAM);
            EXPECT_EQ(host->message(), "");
            EXPECT_TRUE(releases(*host).empty());
            EXPECT_TRUE(host->problems().empty());
        }
    }
}

}  // namespace
