// The host's records and suites as the effect sees them, filled the same way by both hosts:
// the slots the effect calls go to the host's callbacks, every other slot fails (see
// failing_slots.h). `CB` is the host's callbacks, a type with these static functions:
// add_param, progress, copy, fill, new_handle, lock_handle, unlock_handle, dispose_handle,
// ansi_sprintf, ansi_strcpy, acquire_suite, release_suite, register_with_aegp,
// get_new_effect_for_effect, get_new_effect_stream_by_index, dispose_stream,
// set_dynamic_stream_flag, dispose_effect.
#pragma once

#include <cstring>

#include "hostkit/failing_slots.h"

namespace zx::hostkit {

// The utility callbacks, the basic suite and the interaction callbacks, but for the handle
// size and resize slots, which each host fills as it sees fit.
template <typename Policy, typename CB>
void fill_host_records(PF_UtilCallbacks& utils, SPBasicSuite& basic, PF_InteractCallbacks& inter) {
    fail_unused<Policy>(utils);
    fail_unused<Policy>(basic);
    fail_unused<Policy>(inter);
    utils.copy = CB::copy;
    utils.fill = CB::fill;
    utils.host_new_handle = CB::new_handle;
    utils.host_lock_handle = CB::lock_handle;
    utils.host_unlock_handle = CB::unlock_handle;
    utils.host_dispose_handle = CB::dispose_handle;
    utils.ansi.sprintf = CB::ansi_sprintf;
    utils.ansi.strcpy = CB::ansi_strcpy;
    basic.AcquireSuite = CB::acquire_suite;
    basic.ReleaseSuite = CB::release_suite;
    inter.add_param = CB::add_param;
    inter.progress = CB::progress;
}

// The seven suites the effect acquires.
struct SuiteTables {
    PF_HandleSuite1 handle{};
    PF_ANSICallbacksSuite1 ansi{};
    AEGP_UtilitySuite3 utility{};
    AEGP_PFInterfaceSuite1 pf_interface{};
    AEGP_StreamSuite2 stream{};
    AEGP_DynamicStreamSuite2 dynamic_stream{};
    AEGP_EffectSuite2 effect{};
};

// The handle suite is the host's own: the hosts differ on handle size and resize.
template <typename Policy, typename CB>
SuiteTables make_suite_tables(const PF_HandleSuite1& handle) {
    SuiteTables t;
    t.handle = handle;
    fail_ansi_math<Policy>(t.ansi);
    t.ansi.sprintf = CB::ansi_sprintf;
    t.ansi.strcpy = CB::ansi_strcpy;
    fail_unused<Policy>(t.utility);
    t.utility.AEGP_RegisterWithAEGP = CB::register_with_aegp;
    fail_unused<Policy>(t.pf_interface);
    t.pf_interface.AEGP_GetNewEffectForEffect = CB::get_new_effect_for_effect;
    fail_unused<Policy>(t.stream);
    t.stream.AEGP_GetNewEffectStreamByIndex = CB::get_new_effect_stream_by_index;
    t.stream.AEGP_DisposeStream = CB::dispose_stream;
    fail_unused<Policy>(t.dynamic_stream);
    t.dynamic_stream.AEGP_SetDynamicStreamFlag = CB::set_dynamic_stream_flag;
    fail_unused<Policy>(t.effect);
    t.effect.AEGP_DisposeEffect = CB::dispose_effect;
    return t;
}

// The table served under a name and version; null for a pair the host does not serve.
inline const void* find_suite(const SuiteTables& t, const char* name, A_long version) {
    const struct {
        const char* name;
        A_long version;
        const void* table;
    } served[] = {
        {kPFHandleSuite, kPFHandleSuiteVersion, &t.handle},
        {kPFANSISuite, kPFANSISuiteVersion1, &t.ansi},
        {kAEGPUtilitySuite, kAEGPUtilitySuiteVersion7, &t.utility},
        {kAEGPPFInterfaceSuite, kAEGPPFInterfaceSuiteVersion1, &t.pf_interface},
        {kAEGPStreamSuite, kAEGPStreamSuiteVersion7, &t.stream},
        {kAEGPDynamicStreamSuite, kAEGPDynamicStreamSuiteVersion2, &t.dynamic_stream},
        {kAEGPEffectSuite, kAEGPEffectSuiteVersion2, &t.effect},
    };
    for (const auto& s : served) {
        if (s.version == version && std::strcmp(s.name, name) == 0) return s.table;
    }
    return nullptr;
}

}  // namespace zx::hostkit
