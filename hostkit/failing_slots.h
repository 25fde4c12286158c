// Function slots the effect has no business calling, and what one does when called anyway: it
// fails in the way its result type allows. What else a call does is the host's policy:
//
//   struct Policy {
//       static constexpr PF_Err kErr = ...;       // what a slot returning an error code answers
//       static void called(const char* slot);    // "record.slot", e.g. to record the misuse
//   };
#pragma once

#include <limits>
#include <type_traits>

#include "host/ae_api.h"

namespace zx::hostkit {

template <typename R, typename Policy>
R failing_result() {
    if constexpr (std::is_void_v<R>) {
        return;
    } else if constexpr (std::is_pointer_v<R>) {
        return nullptr;
    } else if constexpr (std::is_floating_point_v<R>) {
        return std::numeric_limits<R>::quiet_NaN();
    } else if constexpr (std::is_unsigned_v<R>) {
        return 0;
    } else {
        return static_cast<R>(Policy::kErr);
    }
}

template <typename Fn, typename Policy, typename Name>
struct FailingSlot;
template <typename R, typename... Args, typename Policy, typename Name>
struct FailingSlot<R(PF_CALLBACK*)(Args...), Policy, Name> {
    static R PF_CALLBACK call(Args...) {
        Policy::called(Name{}());
        return failing_result<R, Policy>();
    }
};
template <typename R, typename... Args, typename Policy, typename Name>
struct FailingSlot<R(PF_CALLBACK*)(Args..., ...), Policy, Name> {
    static R PF_CALLBACK call(Args..., ...) {
        Policy::called(Name{}());
        return failing_result<R, Policy>();
    }
};

template <typename Fn, typename Policy, typename Name>
Fn failing_slot(Name) {
    return &FailingSlot<Fn, Policy, Name>::call;
}

#define ZX_FAIL_SLOT(Policy, table, record, slot)                                          \
    ((table).slot =                                                                        \
         ::zx::hostkit::failing_slot<std::remove_cvref_t<decltype((table).slot)>, Policy>( \
             [] { return record "." #slot; }))

// The math functions of the ANSI table, in both places the host offers them.
template <typename Policy, typename Table>
void fail_ansi_math(Table& s) {
    ZX_FAIL_SLOT(Policy, s, "ANSI", atan);
    ZX_FAIL_SLOT(Policy, s, "ANSI", atan2);
    ZX_FAIL_SLOT(Policy, s, "ANSI", ceil);
    ZX_FAIL_SLOT(Policy, s, "ANSI", cos);
    ZX_FAIL_SLOT(Policy, s, "ANSI", exp);
    ZX_FAIL_SLOT(Policy, s, "ANSI", fabs);
    ZX_FAIL_SLOT(Policy, s, "ANSI", floor);
    ZX_FAIL_SLOT(Policy, s, "ANSI", fmod);
    ZX_FAIL_SLOT(Policy, s, "ANSI", hypot);
    ZX_FAIL_SLOT(Policy, s, "ANSI", log);
    ZX_FAIL_SLOT(Policy, s, "ANSI", log10);
    ZX_FAIL_SLOT(Policy, s, "ANSI", pow);
    ZX_FAIL_SLOT(Policy, s, "ANSI", sin);
    ZX_FAIL_SLOT(Policy, s, "ANSI", sqrt);
    ZX_FAIL_SLOT(Policy, s, "ANSI", tan);
    ZX_FAIL_SLOT(Policy, s, "ANSI", asin);
    ZX_FAIL_SLOT(Policy, s, "ANSI", acos);
}

// Every slot of the utility callbacks but the ones the effect calls and the handle size and
// resize, which the hosts treat differently.
template <typename Policy>
void fail_unused(PF_UtilCallbacks& u) {
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", begin_sampling);
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", subpixel_sample);
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", area_sample);
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", end_sampling);
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", composite_rect);
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", blend);
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", convolve);
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", gaussian_kernel);
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", iterate);
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", premultiply);
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", premultiply_color);
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", new_world);
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", dispose_world);
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", iterate_origin);
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", iterate_lut);
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", transfer_rect);
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", transform_world);
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", get_callback_addr);
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", app);
    fail_ansi_math<Policy>(u.ansi);
    ZX_FAIL_SLOT(Policy, u.colorCB, "PF_ColorCallbacks", RGBtoHLS);
    ZX_FAIL_SLOT(Policy, u.colorCB, "PF_ColorCallbacks", HLStoRGB);
    ZX_FAIL_SLOT(Policy, u.colorCB, "PF_ColorCallbacks", RGBtoYIQ);
    ZX_FAIL_SLOT(Policy, u.colorCB, "PF_ColorCallbacks", YIQtoRGB);
    ZX_FAIL_SLOT(Policy, u.colorCB, "PF_ColorCallbacks", Luminance);
    ZX_FAIL_SLOT(Policy, u.colorCB, "PF_ColorCallbacks", Hue);
    ZX_FAIL_SLOT(Policy, u.colorCB, "PF_ColorCallbacks", Lightness);
    ZX_FAIL_SLOT(Policy, u.colorCB, "PF_ColorCallbacks", Saturation);
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", get_platform_data);
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", iterate_origin_non_clip_src);
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", iterate_generic);
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", subpixel_sample16);
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", area_sample16);
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", fill16);
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", premultiply_color16);
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", iterate16);
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", iterate_origin16);
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", iterate_origin_non_clip_src16);
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", get_pixel_data8);
    ZX_FAIL_SLOT(Policy, u, "PF_UtilCallbacks", get_pixel_data16);
}

template <typename Policy>
void fail_unused(SPBasicSuite& s) {
    ZX_FAIL_SLOT(Policy, s, "SPBasicSuite", IsEqual);
    ZX_FAIL_SLOT(Policy, s, "SPBasicSuite", AllocateBlock);
    ZX_FAIL_SLOT(Policy, s, "SPBasicSuite", FreeBlock);
    ZX_FAIL_SLOT(Policy, s, "SPBasicSuite", ReallocateBlock);
    ZX_FAIL_SLOT(Policy, s, "SPBasicSuite", Undefined);
}

template <typename Policy>
void fail_unused(PF_InteractCallbacks& s) {
    ZX_FAIL_SLOT(Policy, s, "PF_InteractCallbacks", checkout_param);
    ZX_FAIL_SLOT(Policy, s, "PF_InteractCallbacks", checkin_param);
    ZX_FAIL_SLOT(Policy, s, "PF_InteractCallbacks", abort);
    ZX_FAIL_SLOT(Policy, s, "PF_InteractCallbacks", register_ui);
    ZX_FAIL_SLOT(Policy, s, "PF_InteractCallbacks", checkout_layer_audio);
    ZX_FAIL_SLOT(Policy, s, "PF_InteractCallbacks", checkin_layer_audio);
    ZX_FAIL_SLOT(Policy, s, "PF_InteractCallbacks", get_audio_data);
}

template <typename Policy>
void fail_unused(AEGP_UtilitySuite3& s) {
    ZX_FAIL_SLOT(Policy, s, "AEGP_UtilitySuite3", AEGP_ReportInfo);
    ZX_FAIL_SLOT(Policy, s, "AEGP_UtilitySuite3", AEGP_GetDriverPluginInitFuncVersion);
    ZX_FAIL_SLOT(Policy, s, "AEGP_UtilitySuite3", AEGP_GetDriverImplementationVersion);
    ZX_FAIL_SLOT(Policy, s, "AEGP_UtilitySuite3", AEGP_StartQuietErrors);
    ZX_FAIL_SLOT(Policy, s, "AEGP_UtilitySuite3", AEGP_EndQuietErrors);
    ZX_FAIL_SLOT(Policy, s, "AEGP_UtilitySuite3", AEGP_StartUndoGroup);
    ZX_FAIL_SLOT(Policy, s, "AEGP_UtilitySuite3", AEGP_EndUndoGroup);
    ZX_FAIL_SLOT(Policy, s, "AEGP_UtilitySuite3", AEGP_GetMainHWND);
    ZX_FAIL_SLOT(Policy, s, "AEGP_UtilitySuite3", AEGP_ShowHideAllFloaters);
    ZX_FAIL_SLOT(Policy, s, "AEGP_UtilitySuite3", AEGP_PaintPalGetForeColor);
    ZX_FAIL_SLOT(Policy, s, "AEGP_UtilitySuite3", AEGP_PaintPalGetBackColor);
    ZX_FAIL_SLOT(Policy, s, "AEGP_UtilitySuite3", AEGP_PaintPalSetForeColor);
    ZX_FAIL_SLOT(Policy, s, "AEGP_UtilitySuite3", AEGP_PaintPalSetBackColor);
    ZX_FAIL_SLOT(Policy, s, "AEGP_UtilitySuite3", AEGP_CharPalGetFillColor);
    ZX_FAIL_SLOT(Policy, s, "AEGP_UtilitySuite3", AEGP_CharPalGetStrokeColor);
    ZX_FAIL_SLOT(Policy, s, "AEGP_UtilitySuite3", AEGP_CharPalSetFillColor);
    ZX_FAIL_SLOT(Policy, s, "AEGP_UtilitySuite3", AEGP_CharPalSetStrokeColor);
    ZX_FAIL_SLOT(Policy, s, "AEGP_UtilitySuite3", AEGP_CharPalIsFillColorUIFrontmost);
    ZX_FAIL_SLOT(Policy, s, "AEGP_UtilitySuite3", AEGP_ConvertFpLongToHSFRatio);
    ZX_FAIL_SLOT(Policy, s, "AEGP_UtilitySuite3", AEGP_ConvertHSFRatioToFpLong);
    ZX_FAIL_SLOT(Policy, s, "AEGP_UtilitySuite3", AEGP_CauseIdleRoutinesToBeCalled);
    ZX_FAIL_SLOT(Policy, s, "AEGP_UtilitySuite3", AEGP_GetSuppressInteractiveUI);
    ZX_FAIL_SLOT(Policy, s, "AEGP_UtilitySuite3", AEGP_WriteToOSConsole);
    ZX_FAIL_SLOT(Policy, s, "AEGP_UtilitySuite3", AEGP_WriteToDebugLog);
}

template <typename Policy>
void fail_unused(AEGP_PFInterfaceSuite1& s) {
    ZX_FAIL_SLOT(Policy, s, "AEGP_PFInterfaceSuite1", AEGP_GetEffectLayer);
    ZX_FAIL_SLOT(Policy, s, "AEGP_PFInterfaceSuite1", AEGP_ConvertEffectToCompTime);
    ZX_FAIL_SLOT(Policy, s, "AEGP_PFInterfaceSuite1", AEGP_GetEffectCamera);
    ZX_FAIL_SLOT(Policy, s, "AEGP_PFInterfaceSuite1", AEGP_GetEffectCameraMatrix);
}

template <typename Policy>
void fail_unused(AEGP_StreamSuite2& s) {
    ZX_FAIL_SLOT(Policy, s, "AEGP_StreamSuite2", AEGP_IsStreamLegal);
    ZX_FAIL_SLOT(Policy, s, "AEGP_StreamSuite2", AEGP_CanVaryOverTime);
    ZX_FAIL_SLOT(Policy, s, "AEGP_StreamSuite2", AEGP_GetValidInterpolations);
    ZX_FAIL_SLOT(Policy, s, "AEGP_StreamSuite2", AEGP_GetNewLayerStream);
    ZX_FAIL_SLOT(Policy, s, "AEGP_StreamSuite2", AEGP_GetEffectNumParamStreams);
    ZX_FAIL_SLOT(Policy, s, "AEGP_StreamSuite2", AEGP_GetNewMaskStream);
    ZX_FAIL_SLOT(Policy, s, "AEGP_StreamSuite2", AEGP_GetStreamName);
    ZX_FAIL_SLOT(Policy, s, "AEGP_StreamSuite2", AEGP_GetStreamUnitsText);
    ZX_FAIL_SLOT(Policy, s, "AEGP_StreamSuite2", AEGP_GetStreamProperties);
    ZX_FAIL_SLOT(Policy, s, "AEGP_StreamSuite2", AEGP_IsStreamTimevarying);
    ZX_FAIL_SLOT(Policy, s, "AEGP_StreamSuite2", AEGP_GetStreamType);
    ZX_FAIL_SLOT(Policy, s, "AEGP_StreamSuite2", AEGP_GetNewStreamValue);
    ZX_FAIL_SLOT(Policy, s, "AEGP_StreamSuite2", AEGP_DisposeStreamValue);
    ZX_FAIL_SLOT(Policy, s, "AEGP_StreamSuite2", AEGP_SetStreamValue);
    ZX_FAIL_SLOT(Policy, s, "AEGP_StreamSuite2", AEGP_GetLayerStreamValue);
    ZX_FAIL_SLOT(Policy, s, "AEGP_StreamSuite2", AEGP_GetExpressionState);
    ZX_FAIL_SLOT(Policy, s, "AEGP_StreamSuite2", AEGP_SetExpressionState);
    ZX_FAIL_SLOT(Policy, s, "AEGP_StreamSuite2", AEGP_GetExpression);
    ZX_FAIL_SLOT(Policy, s, "AEGP_StreamSuite2", AEGP_SetExpression);
    ZX_FAIL_SLOT(Policy, s, "AEGP_StreamSuite2", AEGP_DuplicateStreamRef);
}

template <typename Policy>
void fail_unused(AEGP_DynamicStreamSuite2& s) {
    ZX_FAIL_SLOT(Policy, s, "AEGP_DynamicStreamSuite2", AEGP_GetNewStreamRefForLayer);
    ZX_FAIL_SLOT(Policy, s, "AEGP_DynamicStreamSuite2", AEGP_GetStreamDepth);
    ZX_FAIL_SLOT(Policy, s, "AEGP_DynamicStreamSuite2", AEGP_GetStreamGroupingType);
    ZX_FAIL_SLOT(Policy, s, "AEGP_DynamicStreamSuite2", AEGP_GetNumStreamsInGroup);
    ZX_FAIL_SLOT(Policy, s, "AEGP_DynamicStreamSuite2", AEGP_GetDynamicStreamFlags);
    ZX_FAIL_SLOT(Policy, s, "AEGP_DynamicStreamSuite2", AEGP_GetNewStreamRefByIndex);
    ZX_FAIL_SLOT(Policy, s, "AEGP_DynamicStreamSuite2", AEGP_GetNewStreamRefByMatchname);
    ZX_FAIL_SLOT(Policy, s, "AEGP_DynamicStreamSuite2", AEGP_DeleteStream);
    ZX_FAIL_SLOT(Policy, s, "AEGP_DynamicStreamSuite2", AEGP_ReorderStream);
    ZX_FAIL_SLOT(Policy, s, "AEGP_DynamicStreamSuite2", AEGP_DuplicateStream);
    ZX_FAIL_SLOT(Policy, s, "AEGP_DynamicStreamSuite2", AEGP_SetStreamName);
    ZX_FAIL_SLOT(Policy, s, "AEGP_DynamicStreamSuite2", AEGP_CanAddStream);
    ZX_FAIL_SLOT(Policy, s, "AEGP_DynamicStreamSuite2", AEGP_AddStream);
    ZX_FAIL_SLOT(Policy, s, "AEGP_DynamicStreamSuite2", AEGP_GetMatchName);
    ZX_FAIL_SLOT(Policy, s, "AEGP_DynamicStreamSuite2", AEGP_GetNewParentStreamRef);
    ZX_FAIL_SLOT(Policy, s, "AEGP_DynamicStreamSuite2", AEGP_GetStreamIsModified);
}

template <typename Policy>
void fail_unused(AEGP_EffectSuite2& s) {
    ZX_FAIL_SLOT(Policy, s, "AEGP_EffectSuite2", AEGP_GetLayerNumEffects);
    ZX_FAIL_SLOT(Policy, s, "AEGP_EffectSuite2", AEGP_GetLayerEffectByIndex);
    ZX_FAIL_SLOT(Policy, s, "AEGP_EffectSuite2", AEGP_GetInstalledKeyFromLayerEffect);
    ZX_FAIL_SLOT(Policy, s, "AEGP_EffectSuite2", AEGP_GetEffectParamUnionByIndex);
    ZX_FAIL_SLOT(Policy, s, "AEGP_EffectSuite2", AEGP_GetEffectFlags);
    ZX_FAIL_SLOT(Policy, s, "AEGP_EffectSuite2", AEGP_SetEffectFlags);
    ZX_FAIL_SLOT(Policy, s, "AEGP_EffectSuite2", AEGP_ReorderEffect);
    ZX_FAIL_SLOT(Policy, s, "AEGP_EffectSuite2", AEGP_EffectCallGeneric);
    ZX_FAIL_SLOT(Policy, s, "AEGP_EffectSuite2", AEGP_ApplyEffect);
    ZX_FAIL_SLOT(Policy, s, "AEGP_EffectSuite2", AEGP_DeleteLayerEffect);
    ZX_FAIL_SLOT(Policy, s, "AEGP_EffectSuite2", AEGP_GetNumInstalledEffects);
    ZX_FAIL_SLOT(Policy, s, "AEGP_EffectSuite2", AEGP_GetNextInstalledEffect);
    ZX_FAIL_SLOT(Policy, s, "AEGP_EffectSuite2", AEGP_GetEffectName);
    ZX_FAIL_SLOT(Policy, s, "AEGP_EffectSuite2", AEGP_GetEffectMatchName);
    ZX_FAIL_SLOT(Policy, s, "AEGP_EffectSuite2", AEGP_GetEffectCategory);
    ZX_FAIL_SLOT(Policy, s, "AEGP_EffectSuite2", AEGP_DuplicateEffect);
}

}  // namespace zx::hostkit
