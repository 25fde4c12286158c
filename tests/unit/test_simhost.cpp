// The simulated host's own behaviour: the bridge tests and the fault sweeps trust its ledgers,
// so every ledger must be shown to catch what it is meant to catch.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "simhost/sim_host.h"
#include "worlds/world.h"

namespace {

using simhost::HostFn;
using simhost::SimHost;
using simhost::WorldId;
using worlds::Depth;
using worlds::World;

// A stand-in effect for exercising the host: registers a few parameters, hands over global
// data, reports what it received, leaks a handle or throws, depending on the command.
PF_Err PF_CALLBACK probe_entry(PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamDef* params[],
                               PF_LayerDef* output, void*) {
    switch (cmd) {
        case PF_Cmd_GLOBAL_SETUP: {
            out->global_data = in->utils->host_new_handle(8);
            return 0;
        }
        case PF_Cmd_PARAMS_SETUP: {
            PF_ParamDef def{};
            def.param_type = PF_Param_POPUP;
            def.uu.id = 1;
            std::strcpy(def.name, "Pick");
            char choices[] = "a|b|c";  // gone once Params Setup returns
            def.u.pd.u.namesptr = choices;
            def.u.pd.num_choices = 3;
            def.u.pd.dephault = 2;
            if (PF_Err err = in->inter.add_param(in->effect_ref, PF_Param_APPEND, &def)) {
                return err;
            }
            def = PF_ParamDef{};
            def.param_type = PF_Param_SLIDER;
            def.uu.id = 2;
            def.u.sd.dephault = 7;
            if (PF_Err err = in->inter.add_param(in->effect_ref, PF_Param_APPEND, &def)) {
                return err;
            }
            def = PF_ParamDef{};
            def.param_type = PF_Param_FIX_SLIDER;
            def.uu.id = 3;
            def.u.fd.dephault = 0x640000;
            if (PF_Err err = in->inter.add_param(in->effect_ref, PF_Param_APPEND, &def)) {
                return err;
            }
            def = PF_ParamDef{};
            def.param_type = PF_Param_COLOR;
            def.uu.id = 4;
            def.u.cd.dephault = PF_Pixel{255, 1, 2, 3};
            if (PF_Err err = in->inter.add_param(in->effect_ref, PF_Param_APPEND, &def)) {
                return err;
            }
            out->num_params = 5;
            return 0;
        }
        case 100: {
            const bool layer = params != nullptr && params[0] != nullptr;
            std::snprintf(out->return_msg, sizeof out->return_msg, "%d %d %d %ld",
                          params != nullptr, layer, output != nullptr,
                          layer ? static_cast<long>(params[0]->u.ld.width) : -1L);
            return 0;
        }
        case 101:
            throw 7;
        case 102:
            in->utils->host_new_handle(16);
            return 0;
        default:
            return 0;
    }
}

// --- worlds

TEST(SimWorld, LayoutPaddingAndAccessors) {
    World w8(5, 3, Depth::eight, 3);
    EXPECT_EQ(w8.rowbytes(), 23);
    EXPECT_EQ(w8.def()->world_flags, 0);
    World w16 = World::with_pad_pixels(5, 3, Depth::sixteen, 2);
    EXPECT_EQ(w16.rowbytes(), 56);
    EXPECT_EQ(w16.def()->world_flags, PF_WorldFlag_DEEP);
    EXPECT_TRUE(w8.padding_intact());
    EXPECT_TRUE(w16.padding_intact());

    // Pixels are where rowbytes says they are.
    w8.px8(4, 2) = PF_Pixel8{1, 2, 3, 4};
    const auto* base = reinterpret_cast<const std::uint8_t*>(w8.def()->data);
    EXPECT_EQ(base[2 * 23 + 4 * 4 + 3], 4);
    w16.px16(1, 1).red = 32768;
    const auto* base16 = reinterpret_cast<const std::uint8_t*>(w16.def()->data);
    A_u_short red = 0;
    std::memcpy(&red, base16 + 56 + 8 + 2, 2);
    EXPECT_EQ(red, 32768);
    EXPECT_TRUE(w8.padding_intact());

    EXPECT_THROW(w8.px16(0, 0), std::logic_error);
    EXPECT_THROW(w8.px8(5, 0), std::out_of_range);
    EXPECT_THROW(w8.px8(0, -1), std::out_of_range);
    EXPECT_THROW(World(2, 2, Depth::sixteen, 3), std::invalid_argument);
}

TEST(SimWorld, PaddingAndGuardWritesAreDetected) {
    for (int target : {0, 1, 2}) {
        World w(4, 2, Depth::eight, 4);
        auto* base = reinterpret_cast<std::uint8_t*>(w.def()->data);
        if (target == 0) base[4 * 4] = 0;             // first row's padding
        if (target == 1) base[-1] = 0;                // before the first row
        if (target == 2) base[2 * w.rowbytes()] = 0;  // after the last row
        EXPECT_FALSE(w.padding_intact()) << target;
    }
    World w(4, 2, Depth::eight, 4);
    w.fill8(PF_Pixel8{9, 9, 9, 9});
    EXPECT_TRUE(w.padding_intact());
}

TEST(SimWorld, TestPictureIsDistinctAndOpaque) {
    for (Depth d : {Depth::eight, Depth::sixteen}) {
        World w(40, 30, d, 8);
        w.fill_test_picture();
        std::set<std::array<int, 3>> seen;
        for (A_long y = 0; y < 30; ++y) {
            for (A_long x = 0; x < 40; ++x) {
                if (d == Depth::eight) {
                    const PF_Pixel8 p = w.px8(x, y);
                    EXPECT_EQ(p.alpha, 255);
                    seen.insert({p.red, p.green, p.blue});
                } else {
                    const PF_Pixel16 p = w.px16(x, y);
                    EXPECT_EQ(p.alpha, 32768);
                    EXPECT_LE(std::max({p.red, p.green, p.blue}), 32768);
                    seen.insert({p.red, p.green, p.blue});
                }
            }
        }
        EXPECT_EQ(seen.size(), 1200u);
        EXPECT_TRUE(w.padding_intact());
    }
    World holes(14, 7);
    holes.fill_test_picture(true);
    EXPECT_EQ(holes.px8(3, 0).alpha, 0);
    EXPECT_EQ(holes.px8(3, 0).red, 3);  // colour kept under alpha 0
    EXPECT_EQ(holes.px8(4, 0).alpha, 255);
}

TEST(SimWorld, ComparisonIgnoresPaddingAndReportsTheDifference) {
    World a(6, 4, Depth::eight, 0);
    World b(6, 4, Depth::eight, 12);
    a.fill_test_picture();
    b.fill_test_picture();
    EXPECT_TRUE(a.same_pixels(b));
    b.px8(5, 3).blue ^= 1;
    EXPECT_FALSE(a.same_pixels(b));
    EXPECT_NE(a.first_difference(b).find("pixel (5,3)"), std::string::npos);
    EXPECT_FALSE(a.same_pixels(World(6, 5)));
    EXPECT_FALSE(World(2, 2, Depth::eight).same_pixels(World(2, 2, Depth::sixteen)));

    World c = a;  // a copy owns its own pixels
    c.px8(0, 0).red = 200;
    EXPECT_NE(a.px8(0, 0).red, 200);
    EXPECT_NE(c.def()->data, a.def()->data);
}

TEST(SimWorld, EmptyAndBrokenWorlds) {
    World empty(0, 5);
    EXPECT_EQ(empty.width(), 0);
    EXPECT_TRUE(empty.padding_intact());
    PF_LayerDef def{};
    def.width = 4;
    def.height = 4;
    def.rowbytes = -16;
    World broken = World::raw(def);
    EXPECT_EQ(broken.def()->data, nullptr);
    EXPECT_EQ(broken.rowbytes(), -16);
    EXPECT_FALSE(broken.owns_pixels());
    EXPECT_THROW(broken.px8(0, 0), std::logic_error);
}

// --- copy and fill

TEST(SimHostWorlds, CopyRespectsRowbytesDepthAndOverlap) {
    SimHost host(&probe_entry);
    PF_UtilCallbacks* u = host.in_data().utils;

    World src(5, 4, Depth::eight, 4);
    src.fill_test_picture();
    World dst(5, 4, Depth::eight, 12);
    EXPECT_EQ(u->copy(host.effect_ref(), src.def(), dst.def(), nullptr, nullptr), 0);
    EXPECT_TRUE(dst.same_pixels(src)) << dst.first_difference(src);
    EXPECT_TRUE(dst.padding_intact());

    // Mismatched sizes: only the overlap is copied.
    World small(3, 2, Depth::eight, 0);
    small.fill8(PF_Pixel8{1, 1, 1, 1});
    EXPECT_EQ(u->copy(host.effect_ref(), small.def(), dst.def(), nullptr, nullptr), 0);
    EXPECT_EQ(dst.px8(2, 1).red, 1);
    EXPECT_EQ(dst.px8(3, 1).red, src.px8(3, 1).red);
    EXPECT_EQ(dst.px8(0, 2).red, src.px8(0, 2).red);
    EXPECT_TRUE(dst.padding_intact());

    // 16-bit copies and conversion between depths.
    World s16(4, 3, Depth::sixteen, 2);
    s16.fill_test_picture();
    World d16(4, 3, Depth::sixteen, 10);
    EXPECT_EQ(u->copy(host.effect_ref(), s16.def(), d16.def(), nullptr, nullptr), 0);
    EXPECT_TRUE(d16.same_pixels(s16));
    World w8(4, 3);
    w8.fill8(PF_Pixel8{255, 128, 1, 0});
    EXPECT_EQ(u->copy(host.effect_ref(), w8.def(), d16.def(), nullptr, nullptr), 0);
    EXPECT_EQ(d16.px16(3, 2).alpha, 32768);
    EXPECT_EQ(d16.px16(3, 2).red, 16448);
    EXPECT_EQ(d16.px16(3, 2).green, 129);

    // A rectangle moves the area it names.
    World r(5, 4);
    PF_Rect from{1, 1, 3, 2};
    PF_Rect to{2, 3, 4, 4};
    EXPECT_EQ(u->copy(host.effect_ref(), src.def(), r.def(), &from, &to), 0);
    EXPECT_EQ(r.px8(2, 3).red, src.px8(1, 1).red);
    EXPECT_EQ(r.px8(3, 3).red, src.px8(2, 1).red);
    EXPECT_EQ(r.px8(1, 3).alpha, 0);

    ASSERT_EQ(host.world_ops().size(), 5u);
    EXPECT_EQ(host.world_ops()[0].fn, HostFn::copy);
    EXPECT_TRUE(host.world_ops()[0].src_rect_null);
    EXPECT_FALSE(host.world_ops()[4].src_rect_null);
    EXPECT_TRUE(host.problems().empty());
}

TEST(SimHostWorlds, CopyAndFillRefuseUnusableWorlds) {
    SimHost host(&probe_entry);
    PF_UtilCallbacks* u = host.in_data().utils;
    World good(4, 4);
    PF_LayerDef no_data = worlds::layer_def(0, nullptr, 16, 4, 4);
    PF_LayerDef negative = worlds::layer_def(0, good.def()->data, -16, 4, 4);
    PF_LayerDef short_rows = worlds::layer_def(PF_WorldFlag_DEEP, good.def()->data, 16, 4, 4);
    for (PF_LayerDef* bad : {&no_data, &negative, &short_rows}) {
        EXPECT_NE(u->copy(host.effect_ref(), bad, good.def(), nullptr, nullptr), 0);
        EXPECT_NE(u->copy(host.effect_ref(), good.def(), bad, nullptr, nullptr), 0);
        const PF_Pixel black{};
        EXPECT_NE(u->fill(host.effect_ref(), &black, nullptr, bad), 0);
    }
    EXPECT_NE(u->copy(host.effect_ref(), nullptr, good.def(), nullptr, nullptr), 0);
    EXPECT_NE(u->fill(host.effect_ref(), nullptr, nullptr, good.def()), 0);
    // Empty worlds are fine and nothing happens.
    World empty(0, 0);
    EXPECT_EQ(u->copy(host.effect_ref(), empty.def(), good.def(), nullptr, nullptr), 0);
    // A foreign effect_ref is misuse.
    int other = 0;
    const PF_Pixel black{};
    EXPECT_NE(u->fill(reinterpret_cast<PF_ProgPtr>(&other), &black, nullptr, good.def()), 0);
    EXPECT_EQ(host.errors().size(), 1u);
}

TEST(SimHostWorlds, FillConvertsEightBitColourForDeepWorlds) {
    SimHost host(&probe_entry);
    PF_UtilCallbacks* u = host.in_data().utils;
    const PF_Pixel c{255, 128, 1, 0};

    World w16(3, 2, Depth::sixteen, 6);
    w16.fill_test_picture();
    ASSERT_EQ(u->fill(host.effect_ref(), &c, nullptr, w16.def()), 0);
    for (A_long y = 0; y < 2; ++y) {
        for (A_long x = 0; x < 3; ++x) {
            const PF_Pixel16 p = w16.px16(x, y);
            EXPECT_EQ(p.alpha, 32768);
            EXPECT_EQ(p.red, 16448);
            EXPECT_EQ(p.green, 129);
            EXPECT_EQ(p.blue, 0);
        }
    }
    EXPECT_TRUE(w16.padding_intact());

    World w8(3, 2, Depth::eight, 5);
    const PF_Rect part{1, 1, 3, 2};
    ASSERT_EQ(u->fill(host.effect_ref(), &c, &part, w8.def()), 0);
    EXPECT_EQ(w8.px8(0, 1).alpha, 0);
    EXPECT_EQ(w8.px8(1, 1).red, 128);
    EXPECT_EQ(w8.px8(2, 0).red, 0);
    EXPECT_TRUE(w8.padding_intact());
    EXPECT_FALSE(host.world_ops()[0].color_null);
    EXPECT_TRUE(host.world_ops()[0].dst_rect_null);
    EXPECT_FALSE(host.world_ops()[1].dst_rect_null);
}

// --- handles

TEST(SimHostHandles, AllocationIsPoisonedAndLocksReturnTheMemory) {
    SimHost host(&probe_entry);
    PF_UtilCallbacks* u = host.in_data().utils;
    PF_Handle h = u->host_new_handle(100);
    ASSERT_NE(h, nullptr);
    ASSERT_NE(*h, nullptr);
    const auto* bytes = static_cast<const std::uint8_t*>(*h);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(bytes[i], simhost::kHandlePoison);
    EXPECT_EQ(u->host_lock_handle(h), *h);
    u->host_unlock_handle(h);
    EXPECT_EQ(host.handle_size(h), 100u);

    PF_Handle zero = u->host_new_handle(0);
    ASSERT_NE(zero, nullptr);
    EXPECT_EQ(host.live_handles(), 2);
    u->host_dispose_handle(zero);
    u->host_dispose_handle(h);
    EXPECT_EQ(host.live_handles(), 0);
    EXPECT_FALSE(host.handle_live(h));
    EXPECT_TRUE(host.problems().empty());

    host.set_allocation_limit(64);
    EXPECT_EQ(u->host_new_handle(65), nullptr);
    EXPECT_NE(u->host_new_handle(64), nullptr);
    EXPECT_EQ(host.problems().size(), 1u);  // that one is a leak
}

TEST(SimHostHandles, MisuseAndLeaksAreRecorded) {
    SimHost host(&probe_entry);
    PF_UtilCallbacks* u = host.in_data().utils;
    PF_Handle h = u->host_new_handle(8);
    u->host_dispose_handle(h);
    EXPECT_TRUE(host.errors().empty());
    u->host_dispose_handle(h);
    EXPECT_EQ(host.errors().size(), 1u);
    EXPECT_EQ(u->host_lock_handle(h), nullptr);
    EXPECT_EQ(host.errors().size(), 2u);
    void* unknown_master = nullptr;
    u->host_dispose_handle(&unknown_master);
    EXPECT_EQ(host.errors().size(), 3u);

    EXPECT_EQ(host.send(102), 0);  // leaks a handle
    EXPECT_EQ(host.live_handles(), 1);
    EXPECT_EQ(host.problems().size(), 4u);
}

TEST(SimHostHandles, GlobalDataIsTakenOverAndPassedBack) {
    SimHost host(&probe_entry);
    ASSERT_EQ(host.send(PF_Cmd_GLOBAL_SETUP), 0);
    ASSERT_NE(host.global_data(), nullptr);
    EXPECT_EQ(host.in_data().global_data, host.global_data());
    EXPECT_EQ(host.live_handles(), 0);
    EXPECT_TRUE(host.problems().empty());
    host.reset_out_data();
    EXPECT_EQ(host.out_data().global_data, host.global_data());
    // A second Global Setup replaces it; the host gives the old one back itself.
    PF_Handle first = host.global_data();
    host.out_data().global_data = nullptr;
    ASSERT_EQ(host.send(PF_Cmd_GLOBAL_SETUP), 0);
    EXPECT_NE(host.global_data(), first);
    EXPECT_FALSE(host.handle_live(first));
    EXPECT_TRUE(host.problems().empty());
    // The effect may not dispose what the host owns.
    host.in_data().utils->host_dispose_handle(host.global_data());
    EXPECT_EQ(host.errors().size(), 1u);
}

// --- text

TEST(SimHostText, SprintfAndStrcpyFormatAndCatchOverflow) {
    SimHost host(&probe_entry);
    PF_ANSICallbacks& ansi = host.in_data().utils->ansi;
    char* msg = host.out_data().return_msg;
    EXPECT_EQ(ansi.sprintf(msg, "%s, v%d.%d", "X", 1, 0), 7);
    EXPECT_EQ(host.message(), "X, v1.0");
    EXPECT_EQ(ansi.strcpy(msg, "abc"), msg);
    EXPECT_EQ(host.message(), "abc");
    EXPECT_EQ(host.buffer_overflows(), 0);

    const std::string fits(255, 'f');
    ansi.sprintf(msg, "%s", fits.c_str());
    EXPECT_EQ(host.message(), fits);
    EXPECT_EQ(host.buffer_overflows(), 0);

    const std::string too_long(256, 'g');
    EXPECT_EQ(ansi.sprintf(msg, "%s", too_long.c_str()), 256);
    EXPECT_EQ(host.buffer_overflows(), 1);
    EXPECT_EQ(host.message(), too_long.substr(0, 255));
    ansi.strcpy(msg, too_long.c_str());
    EXPECT_EQ(host.buffer_overflows(), 2);
    EXPECT_EQ(host.problems().size(), 2u);
}

// --- suites

TEST(SimHostSuites, ServesExactlySevenPairsAndKeepsTheBalance) {
    SimHost host(&probe_entry);
    SPBasicSuite* basic = host.in_data().pica_basicP;
    const std::pair<const char*, A_long> served[] = {
        {kPFHandleSuite, kPFHandleSuiteVersion},
        {kPFANSISuite, 1},
        {kAEGPUtilitySuite, 7},
        {kAEGPPFInterfaceSuite, 1},
        {kAEGPStreamSuite, 7},
        {kAEGPDynamicStreamSuite, 2},
        {kAEGPEffectSuite, 2},
    };
    for (const auto& [name, version] : served) {
        const void* suite = nullptr;
        EXPECT_EQ(basic->AcquireSuite(name, version, &suite), 0) << name;
        EXPECT_NE(suite, nullptr) << name;
    }
    EXPECT_EQ(host.outstanding_suites(), 7);
    const void* handles = nullptr;
    basic->AcquireSuite(kPFHandleSuite, kPFHandleSuiteVersion, &handles);
    EXPECT_EQ(static_cast<const PF_HandleSuite1*>(handles)->host_new_handle,
              host.in_data().utils->host_new_handle);

    // The handle suite of the other width (version 1 on a 64-bit host, 2 on a 32-bit one) would
    // hand out the wrong size type: not served.
    const A_long other_handle_version = kHost64 ? kPFHandleSuiteVersion1 : kPFHandleSuiteVersion2;
    for (const auto& [name, version] :
         {std::pair<const char*, A_long>{kPFHandleSuite, other_handle_version},
          {"PF Handle suite", 1},
          {"AEGP Layer Suite", 8},
          {"", 0}}) {
        const void* suite = &host;
        EXPECT_NE(basic->AcquireSuite(name, version, &suite), 0) << name;
        EXPECT_EQ(suite, nullptr);
    }
    EXPECT_EQ(host.outstanding_suites(), 8);
    for (const auto& [name, version] : served) {
        EXPECT_EQ(basic->ReleaseSuite(name, version), 0);
    }
    EXPECT_EQ(basic->ReleaseSuite(kPFHandleSuite, kPFHandleSuiteVersion), 0);
    EXPECT_TRUE(host.problems().empty());
    EXPECT_NE(basic->ReleaseSuite(kPFHandleSuite, kPFHandleSuiteVersion), 0);  // one too many
    EXPECT_NE(basic->ReleaseSuite("AEGP Layer Suite", 8), 0);
    EXPECT_EQ(host.errors().size(), 2u);
    EXPECT_EQ(host.suite_log().size(), 8u + 4 + 8 + 2);
    EXPECT_TRUE(host.suite_log().front().acquire);
    EXPECT_EQ(host.suite_log().front().name, kPFHandleSuite);
}

TEST(SimHostSuites, RefusalsComeInBothForms) {
    SimHost host(&probe_entry);
    host.refuse_suite(kPFANSISuite, 1, 77);
    host.refuse_suite(kAEGPEffectSuite, 2, 0);
    SPBasicSuite* basic = host.in_data().pica_basicP;
    const void* suite = &host;
    EXPECT_EQ(basic->AcquireSuite(kPFANSISuite, 1, &suite), 77);
    EXPECT_EQ(suite, nullptr);
    suite = &host;
    EXPECT_EQ(basic->AcquireSuite(kAEGPEffectSuite, 2, &suite), 0);
    EXPECT_EQ(suite, nullptr);
    EXPECT_EQ(host.outstanding_suites(), 0);
    host.set_null_basic_suite(true);
    EXPECT_EQ(host.in_data().pica_basicP, nullptr);
    host.set_null_basic_suite(false);
    EXPECT_EQ(host.in_data().pica_basicP, basic);
}

// --- AEGP

TEST(SimHostAegp, ReferencesAreCheckedCountedAndStreamsHidden) {
    SimHost host(&probe_entry);
    ASSERT_EQ(host.send(PF_Cmd_PARAMS_SETUP), 0);  // four parameters to have streams of
    const void* s = nullptr;
    SPBasicSuite* basic = host.in_data().pica_basicP;
    basic->AcquireSuite(kAEGPUtilitySuite, 7, &s);
    auto* util = static_cast<const AEGP_UtilitySuite3*>(s);
    basic->AcquireSuite(kAEGPPFInterfaceSuite, 1, &s);
    auto* pfi = static_cast<const AEGP_PFInterfaceSuite1*>(s);
    basic->AcquireSuite(kAEGPStreamSuite, 7, &s);
    auto* streams = static_cast<const AEGP_StreamSuite2*>(s);
    basic->AcquireSuite(kAEGPDynamicStreamSuite, 2, &s);
    auto* dyn = static_cast<const AEGP_DynamicStreamSuite2*>(s);
    basic->AcquireSuite(kAEGPEffectSuite, 2, &s);
    auto* effects = static_cast<const AEGP_EffectSuite2*>(s);

    AEGP_EffectRefH effect = nullptr;
    // Nothing registered yet.
    EXPECT_NE(pfi->AEGP_GetNewEffectForEffect(4242, host.effect_ref(), &effect), 0);
    AEGP_PluginID id = 0;
    ASSERT_EQ(util->AEGP_RegisterWithAEGP(nullptr, "Name", &id), 0);
    EXPECT_EQ(id, 4242);
    EXPECT_EQ(host.registered_names(), std::vector<std::string>{"Name"});
    EXPECT_NE(pfi->AEGP_GetNewEffectForEffect(4243, host.effect_ref(), &effect), 0);
    EXPECT_NE(pfi->AEGP_GetNewEffectForEffect(4242, nullptr, &effect), 0);
    EXPECT_EQ(effect, nullptr);
    const std::size_t misuse = host.errors().size();
    EXPECT_EQ(misuse, 3u);

    ASSERT_EQ(pfi->AEGP_GetNewEffectForEffect(4242, host.effect_ref(), &effect), 0);
    AEGP_StreamRefH stream = nullptr;
    EXPECT_NE(streams->AEGP_GetNewEffectStreamByIndex(4242, effect, 5, &stream), 0);  // no such
    EXPECT_EQ(host.errors().size(), misuse + 1);
    ASSERT_EQ(streams->AEGP_GetNewEffectStreamByIndex(4242, effect, 3, &stream), 0);
    EXPECT_EQ(host.outstanding_effects(), 1);
    EXPECT_EQ(host.outstanding_streams(), 1);
    EXPECT_EQ(host.stream_requests(), (std::vector<PF_ParamIndex>{5, 3}));

    EXPECT_FALSE(host.hidden(3).has_value());
    EXPECT_EQ(dyn->AEGP_SetDynamicStreamFlag(stream, AEGP_DynStreamFlag_HIDDEN, 0, 1), 0);
    EXPECT_EQ(host.hidden(3), std::optional<bool>(true));
    EXPECT_EQ(dyn->AEGP_SetDynamicStreamFlag(stream, AEGP_DynStreamFlag_HIDDEN, 0, 0), 0);
    EXPECT_EQ(host.hidden(3), std::optional<bool>(false));
    EXPECT_NE(dyn->AEGP_SetDynamicStreamFlag(stream, 1, 0, 1), 0);
    EXPECT_EQ(host.hidden(3), std::optional<bool>(false));
    ASSERT_EQ(host.flag_calls().size(), 3u);
    EXPECT_EQ(host.flag_calls()[0].param, 3);
    EXPECT_EQ(host.flag_calls()[0].set, 1);

    EXPECT_EQ(host.problems().size(), misuse + 2 + 2 + 5);  // + refs + suites
    EXPECT_EQ(streams->AEGP_DisposeStream(stream), 0);
    EXPECT_NE(streams->AEGP_DisposeStream(stream), 0);
    EXPECT_NE(dyn->AEGP_SetDynamicStreamFlag(stream, AEGP_DynStreamFlag_HIDDEN, 0, 1), 0);
    EXPECT_EQ(effects->AEGP_DisposeEffect(effect), 0);
    EXPECT_NE(effects->AEGP_DisposeEffect(effect), 0);
    EXPECT_EQ(host.outstanding_effects(), 0);
    EXPECT_EQ(host.outstanding_streams(), 0);
}

// --- counting and faults

TEST(SimHostFaults, KthCallCountsFromArmingAndFiresOnce) {
    SimHost host(&probe_entry);
    PF_InData& in = host.in_data();
    in.inter.progress(in.effect_ref, 0, 1);
    host.fail_call(HostFn::progress, 2, 13);
    EXPECT_EQ(in.inter.progress(in.effect_ref, 1, 9), 0);
    EXPECT_EQ(in.inter.progress(in.effect_ref, 2, 9), 13);
    EXPECT_EQ(in.inter.progress(in.effect_ref, 3, 9), 0);
    EXPECT_EQ(host.calls(HostFn::progress), 4);
    EXPECT_EQ(host.faults_fired(), 1);
    EXPECT_EQ(host.progress_log().size(), 4u);
    EXPECT_EQ(host.progress_log()[2], (std::pair<A_long, A_long>{2, 9}));

    host.set_progress_results({0, 0, 99});
    EXPECT_EQ(in.inter.progress(in.effect_ref, 1, 2), 0);
    EXPECT_EQ(in.inter.progress(in.effect_ref, 1, 2), 0);
    EXPECT_EQ(in.inter.progress(in.effect_ref, 1, 2), 99);
    EXPECT_EQ(in.inter.progress(in.effect_ref, 1, 2), 0);

    host.reset_counters();
    EXPECT_EQ(host.total_calls(), 0);
    host.fail_call(HostFn::new_handle, 1);
    host.fail_call(HostFn::lock_handle, 1);
    EXPECT_EQ(in.utils->host_new_handle(4), nullptr);
    PF_Handle h = in.utils->host_new_handle(4);
    EXPECT_EQ(in.utils->host_lock_handle(h), nullptr);
    EXPECT_NE(in.utils->host_lock_handle(h), nullptr);
    EXPECT_EQ(host.total_calls(), 4);
    EXPECT_THROW(host.fail_call(HostFn::copy, 0), std::invalid_argument);

    // A dropped dispose keeps the handle alive but is not the caller's leak.
    host.fail_call(HostFn::dispose_handle, 1);
    in.utils->host_dispose_handle(h);
    EXPECT_TRUE(host.handle_live(h));
    EXPECT_EQ(host.live_handles(), 0);

    host.fail_call(HostFn::sprintf, 1);
    host.fail_call(HostFn::strcpy, 1);
    char buf[8] = "xyz";
    EXPECT_EQ(in.utils->ansi.sprintf(buf, "%d", 5), -1);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(in.utils->ansi.strcpy(buf, "q"), nullptr);

    host.fail_call(HostFn::acquire_suite, 1, 0);
    const void* s = &host;
    EXPECT_EQ(in.pica_basicP->AcquireSuite(kPFANSISuite, 1, &s), 0);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(host.outstanding_suites(), 0);
    EXPECT_TRUE(host.problems().empty());
}

TEST(SimHostFaults, EveryFunctionHasANameAndACounter) {
    SimHost host(&probe_entry);
    std::set<std::string> names;
    for (HostFn fn : simhost::all_host_fns()) {
        names.insert(simhost::name_of(fn));
        EXPECT_EQ(host.calls(fn), 0);
    }
    EXPECT_EQ(names.size(), simhost::kHostFnCount);
}

// --- parameters and the call records

TEST(SimHostParams, ArrayIsBuiltFromRegistrationsWithDefaults) {
    SimHost host(&probe_entry);
    host.set_input(World(7, 3));
    EXPECT_EQ(host.param_count(), 1u);
    ASSERT_EQ(host.send(PF_Cmd_PARAMS_SETUP), 0);
    ASSERT_EQ(host.registrations().size(), 4u);
    EXPECT_EQ(host.registrations()[0].index, PF_Param_APPEND);
    EXPECT_STREQ(host.registrations()[0].def.name, "Pick");
    EXPECT_EQ(host.registrations()[0].choices, "a|b|c");
    EXPECT_STREQ(host.registrations()[0].def.u.pd.u.namesptr, "a|b|c");
    ASSERT_EQ(host.param_count(), 5u);
    EXPECT_EQ(host.param(0).param_type, PF_Param_LAYER);
    EXPECT_EQ(host.param(0).u.ld.width, 7);
    EXPECT_EQ(host.param(1).u.pd.value, 2);
    EXPECT_STREQ(host.param(1).u.pd.u.namesptr, "a|b|c");
    EXPECT_EQ(host.param(2).u.sd.value, 7);
    EXPECT_EQ(host.param(3).u.fd.value, 0x640000);
    EXPECT_EQ(host.param(4).u.cd.value.red, 1);

    host.set_popup(1, 3);
    host.set_slider(2, -4);
    host.set_percent(3, 12.5);
    EXPECT_EQ(host.param(3).u.fd.value, 819200);
    host.set_percent(3, 99.9);
    EXPECT_EQ(host.param(3).u.fd.value, 6547046);
    host.set_color(4, PF_Pixel{1, 2, 3, 4});
    EXPECT_EQ(host.param(4).u.cd.value.blue, 4);
    EXPECT_THROW(host.set_slider(1, 1), std::logic_error);
    EXPECT_THROW(host.set_popup(5, 1), std::out_of_range);

    // A failing Params Setup leaves the array as it was.
    host.fail_call(HostFn::add_param, 2, 5);
    EXPECT_EQ(host.send(PF_Cmd_PARAMS_SETUP), 5);
    EXPECT_EQ(host.registrations().size(), 1u);
    EXPECT_EQ(host.param_count(), 5u);
    EXPECT_EQ(host.param(1).u.pd.value, 3);
}

TEST(SimHostParams, NullRecordsCanBePassed) {
    SimHost host(&probe_entry);
    host.set_input(World(9, 2));
    EXPECT_EQ(host.send(100), 0);
    EXPECT_EQ(host.message(), "1 1 1 9");
    host.pass_null_input(true);
    host.send(100);
    EXPECT_EQ(host.message(), "1 0 1 -1");
    host.pass_null_input(false);
    host.pass_null_output(true);
    host.send(100);
    EXPECT_EQ(host.message(), "1 1 0 9");
    host.pass_null_params(true);
    host.send(100);
    EXPECT_EQ(host.message(), "0 0 0 -1");
}

TEST(SimHostRecords, ExceptionsOutOfTheEntryPointAreCaught) {
    SimHost host(&probe_entry);
    EXPECT_NE(host.send(101), 0);
    EXPECT_EQ(host.escaped_exceptions(), 1);
    EXPECT_EQ(host.problems().size(), 1u);
}

TEST(SimHostRecords, DefaultsAndCurrentHost) {
    SimHost host(&probe_entry);
    EXPECT_EQ(SimHost::current(), &host);
    EXPECT_EQ(host.in_data().downsample_x.num, 1);
    EXPECT_EQ(host.in_data().downsample_x.den, 1u);
    EXPECT_NE(host.effect_ref(), nullptr);
    EXPECT_EQ(host.in_data().effect_ref, host.effect_ref());
    host.set_downsample_x(1, 2);
    EXPECT_EQ(host.in_data().downsample_x.den, 2u);
    {
        SimHost other(&probe_entry);
        EXPECT_EQ(SimHost::current(), &other);
        EXPECT_NE(other.effect_ref(), host.effect_ref());
    }
    EXPECT_EQ(SimHost::current(), nullptr);
    host.send(100);
    EXPECT_EQ(SimHost::current(), &host);
    std::memset(host.out_data().return_msg, 'x', sizeof host.out_data().return_msg);
    EXPECT_EQ(host.message().size(), simhost::kMessageCapacity);
    host.out_data().out_flags = 5;
    host.reset_out_data();
    EXPECT_EQ(host.out_data().out_flags, 0);
    EXPECT_EQ(host.message(), "");
}

}  // namespace
