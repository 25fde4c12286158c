// Suites: the basic suite's acquire and release, the suites the host serves by name and
// version, and the text functions of the ANSI table.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>

#include "simhost/sim_callbacks.h"

namespace simhost {

namespace {

using CB = SimHost::Callbacks;

PF_HandleSuite1 make_handle_suite() {
    PF_HandleSuite1 s{CB::new_handle,     CB::lock_handle, CB::unlock_handle,
                      CB::dispose_handle, nullptr,         nullptr};
    SIM_TRAP(s, "PF_HandleSuite1", host_get_handle_size);
    SIM_TRAP(s, "PF_HandleSuite1", host_resize_handle);
    return s;
}

PF_ANSICallbacksSuite1 make_ansi_suite() {
    PF_ANSICallbacksSuite1 s{};
    trap_ansi_math(s);
    s.sprintf = CB::ansi_sprintf;
    s.strcpy = CB::ansi_strcpy;
    return s;
}

AEGP_UtilitySuite3 make_utility_suite() {
    AEGP_UtilitySuite3 s{};
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_ReportInfo);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_GetDriverPluginInitFuncVersion);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_GetDriverImplementationVersion);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_StartQuietErrors);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_EndQuietErrors);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_StartUndoGroup);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_EndUndoGroup);
    s.AEGP_RegisterWithAEGP = CB::register_with_aegp;
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_GetMainHWND);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_ShowHideAllFloaters);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_PaintPalGetForeColor);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_PaintPalGetBackColor);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_PaintPalSetForeColor);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_PaintPalSetBackColor);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_CharPalGetFillColor);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_CharPalGetStrokeColor);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_CharPalSetFillColor);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_CharPalSetStrokeColor);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_CharPalIsFillColorUIFrontmost);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_ConvertFpLongToHSFRatio);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_ConvertHSFRatioToFpLong);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_CauseIdleRoutinesToBeCalled);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_GetSuppressInteractiveUI);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_WriteToOSConsole);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_WriteToDebugLog);
    return s;
}

AEGP_PFInterfaceSuite1 make_pf_interface_suite() {
    AEGP_PFInterfaceSuite1 s{};
    SIM_TRAP(s, "AEGP_PFInterfaceSuite1", AEGP_GetEffectLayer);
    s.AEGP_GetNewEffectForEffect = CB::get_new_effect_for_effect;
    SIM_TRAP(s, "AEGP_PFInterfaceSuite1", AEGP_ConvertEffectToCompTime);
    SIM_TRAP(s, "AEGP_PFInterfaceSuite1", AEGP_GetEffectCamera);
    SIM_TRAP(s, "AEGP_PFInterfaceSuite1", AEGP_GetEffectCameraMatrix);
    return s;
}

AEGP_StreamSuite2 make_stream_suite() {
    AEGP_StreamSuite2 s{};
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_IsStreamLegal);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_CanVaryOverTime);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_GetValidInterpolations);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_GetNewLayerStream);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_GetEffectNumParamStreams);
    s.AEGP_GetNewEffectStreamByIndex = CB::get_new_effect_stream_by_index;
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_GetNewMaskStream);
    s.AEGP_DisposeStream = CB::dispose_stream;
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_GetStreamName);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_GetStreamUnitsText);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_GetStreamProperties);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_IsStreamTimevarying);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_GetStreamType);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_GetNewStreamValue);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_DisposeStreamValue);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_SetStreamValue);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_GetLayerStreamValue);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_GetExpressionState);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_SetExpressionState);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_GetExpression);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_SetExpression);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_DuplicateStreamRef);
    return s;
}

AEGP_DynamicStreamSuite2 make_dynamic_stream_suite() {
    AEGP_DynamicStreamSuite2 s{};
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_GetNewStreamRefForLayer);
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_GetStreamDepth);
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_GetStreamGroupingType);
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_GetNumStreamsInGroup);
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_GetDynamicStreamFlags);
    s.AEGP_SetDynamicStreamFlag = CB::set_dynamic_stream_flag;
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_GetNewStreamRefByIndex);
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_GetNewStreamRefByMatchname);
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_DeleteStream);
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_ReorderStream);
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_DuplicateStream);
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_SetStreamName);
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_CanAddStream);
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_AddStream);
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_GetMatchName);
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_GetNewParentStreamRef);
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_GetStreamIsModified);
    return s;
}

AEGP_EffectSuite2 make_effect_suite() {
    AEGP_EffectSuite2 s{};
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_GetLayerNumEffects);
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_GetLayerEffectByIndex);
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_GetInstalledKeyFromLayerEffect);
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_GetEffectParamUnionByIndex);
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_GetEffectFlags);
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_SetEffectFlags);
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_ReorderEffect);
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_EffectCallGeneric);
    s.AEGP_DisposeEffect = CB::dispose_effect;
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_ApplyEffect);
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_DeleteLayerEffect);
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_GetNumInstalledEffects);
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_GetNextInstalledEffect);
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_GetEffectName);
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_GetEffectMatchName);
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_GetEffectCategory);
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_DuplicateEffect);
    return s;
}

const PF_HandleSuite1 kHandleSuite = make_handle_suite();
const PF_ANSICallbacksSuite1 kAnsiSuite = make_ansi_suite();
const AEGP_UtilitySuite3 kUtilitySuite = make_utility_suite();
const AEGP_PFInterfaceSuite1 kPFInterfaceSuite = make_pf_interface_suite();
const AEGP_StreamSuite2 kStreamSuite = make_stream_suite();
const AEGP_DynamicStreamSuite2 kDynamicStreamSuite = make_dynamic_stream_suite();
const AEGP_EffectSuite2 kEffectSuite = make_effect_suite();

}  // namespace

int PF_CALLBACK SimHost::Callbacks::ansi_sprintf(A_char* buffer, const A_char* format, ...) {
    SimHost& h = host();
    const auto fault = h.enter(HostFn::sprintf);
    if (buffer == nullptr || format == nullptr) {
        h.error("sprintf: null buffer or format");
        return -1;
    }
    if (fault) {
        buffer[0] = 0;
        return -1;
    }
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (n < 0) {
        va_end(again);
        h.error("sprintf: bad format");
        buffer[0] = 0;
        return -1;
    }
    std::vector<char> text(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(text.data(), text.size(), format, again);
    va_end(again);
    store_text(h, buffer, text.data(), "sprintf");
    return n;
}

A_char* PF_CALLBACK SimHost::Callbacks::ansi_strcpy(A_char* dst, const A_char* src) {
    SimHost& h = host();
    const auto fault = h.enter(HostFn::strcpy);
    if (dst == nullptr || src == nullptr) {
        h.error("strcpy: null argument");
        return nullptr;
    }
    if (fault) {
        return nullptr;
    }
    store_text(h, dst, src, "strcpy");
    return dst;
}

// The host's text functions take no size: every buffer is taken to be a message buffer,
// and a longer text is an overflow that the simulation cuts short instead of committing.
void SimHost::Callbacks::store_text(SimHost& h, A_char* dst, const char* text, const char* fn) {
    std::size_t n = std::strlen(text);
    if (n >= kMessageCapacity) {
        ++h.buffer_overflows_;
        h.error(std::string(fn) + ": " + std::to_string(n) + " characters overflow a " +
                std::to_string(kMessageCapacity) + "-byte buffer");
        n = kMessageCapacity - 1;
    }
    std::memmove(dst, text, n);
    dst[n] = 0;
}

A_long PF_CALLBACK SimHost::Callbacks::acquire_suite(const A_char* name, A_long version,
                                                     const void** suite) {
    SimHost& h = host();
    const auto fault = h.enter(HostFn::acquire_suite);
    if (name == nullptr || suite == nullptr) {
        h.error("AcquireSuite: null name or place for the suite");
        return kMisuseErr;
    }
    *suite = nullptr;
    const std::pair<std::string, A_long> key{name, version};
    A_long result = PF_Err_NONE;
    const void* table = served(key);
    if (fault) {
        result = *fault;
    } else if (auto it = h.refusals_.find(key); it != h.refusals_.end()) {
        result = it->second;
    } else if (table == nullptr) {
        result = kSuiteNotFoundErr;
    } else {
        *suite = table;
        ++h.held_suites_[key];
    }
    h.suite_log_.push_back({key.first, version, true, result, *suite != nullptr});
    return result;
}

A_long PF_CALLBACK SimHost::Callbacks::release_suite(const A_char* name, A_long version) {
    SimHost& h = host();
    const auto fault = h.enter(HostFn::release_suite);
    if (name == nullptr) {
        h.error("ReleaseSuite: null name");
        return kMisuseErr;
    }
    const std::pair<std::string, A_long> key{name, version};
    A_long result = fault ? *fault : PF_Err_NONE;
    auto it = h.held_suites_.find(key);
    if (it == h.held_suites_.end() || it->second == 0) {
        h.error("ReleaseSuite of " + describe(key.first, version) + " not acquired");
        result = kMisuseErr;
    } else {
        --it->second;
    }
    h.suite_log_.push_back({key.first, version, false, result, false});
    return result;
}

const void* SimHost::Callbacks::served(const std::pair<std::string, A_long>& key) {
    static const std::map<std::pair<std::string, A_long>, const void*> kServed = {
        {{kPFHandleSuite, kPFHandleSuiteVersion}, &kHandleSuite},
        {{kPFANSISuite, kPFANSISuiteVersion1}, &kAnsiSuite},
        {{kAEGPUtilitySuite, kAEGPUtilitySuiteVersion7}, &kUtilitySuite},
        {{kAEGPPFInterfaceSuite, kAEGPPFInterfaceSuiteVersion1}, &kPFInterfaceSuite},
        {{kAEGPStreamSuite, kAEGPStreamSuiteVersion7}, &kStreamSuite},
        {{kAEGPDynamicStreamSuite, kAEGPDynamicStreamSuiteVersion2}, &kDynamicStreamSuite},
        {{kAEGPEffectSuite, kAEGPEffectSuiteVersion2}, &kEffectSuite},
    };
    const auto it = kServed.find(key);
    return it == kServed.end() ? nullptr : it->second;
}

void SimHost::refuse_suite(const std::string& name, A_long version, PF_Err code) {
    refusals_[{name, version}] = code;
}

int SimHost::outstanding_suites() const {
    int n = 0;
    for (const auto& [key, held] : held_suites_) {
        n += held;
    }
    return n;
}

}  // namespace simhost
