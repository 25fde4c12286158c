// Identity of the effect, shared by the command handlers and the property list.
#pragma once

#include "host/ae_api.h"

inline constexpr const char* kEffectName = "VarnokZentrilox";
inline constexpr const char* kEffectDescription = "Corvalesse!.";
inline constexpr const char* kEffectCategory = "Varnok";
inline constexpr const char* kEffectMatchName = "VarnokZentrilox by Dulmatera";
inline constexpr const char* kEntryPointName = "EntryPointFunc";
// The one place the version is written: the packed version below, the build's project version
// and the packages' names (cmake/version.cmake) are made from these two lines.
inline constexpr A_long kMajorVersion = 1;
inline constexpr A_long kMinorVersion = 0;

// Packed as the host expects: build in bits 0-8, stage 9-10, fix level 11-14, sub-version
// 15-18, version 19-21.
constexpr A_u_long pack_version(A_u_long version, A_u_long subversion, A_u_long fix, A_u_long stage,
                                A_u_long build) {
    return (version << 19) | (subversion << 15) | (fix << 11) | (stage << 9) | build;
}
inline constexpr A_u_long kStageRelease = 3;
inline constexpr A_u_long kEffectVersion =
    pack_version(kMajorVersion, kMinorVersion, 0, kStageRelease, 1);
static_assert(pack_version(1, 0, 0, kStageRelease, 1) == 0x80601);

inline constexpr PF_OutFlags kGlobalOutFlags =
    PF_OutFlag_USE_OUTPUT_EXTENT | PF_OutFlag_DEEP_COLOR_AWARE | PF_OutFlag_SEND_UPDATE_PARAMS_UI;
static_assert(kGlobalOutFlags == 0x6000040);

// The record behind the global data handle; the host keeps it between calls.
struct GlobalData {
    A_u_char initialized;
    AEGP_PluginID plugin_id;
};
static_assert(sizeof(GlobalData) == 8);
