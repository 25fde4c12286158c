// The host's effect API as this effect uses it: records, commands, flags, callbacks and
// function suites, under the names the host gives them. Only what the effect touches is
// declared; everything the effect includes from the host comes through this header.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define PF_CALLBACK __cdecl
#else
#define PF_CALLBACK
#endif

extern "C" {

using A_char = char;
using A_u_char = std::uint8_t;
using A_short = std::int16_t;
using A_u_short = std::uint16_t;
using A_long = std::int32_t;
using A_u_long = std::uint32_t;
using A_Boolean = A_u_char;
using A_HandleSize = A_u_long;  // the host's size type for handle allocations

using PF_Err = A_long;
using PF_Cmd = A_long;
using PF_Fixed = A_long;  // 16.16 fixed point
using PF_ParamIndex = A_long;
using PF_ParamType = A_long;
using PF_ParamFlags = A_long;
using PF_OutFlags = A_long;
using PF_WorldFlags = A_long;
using PF_ValueDisplayFlags = A_short;

enum : PF_Err {
    PF_Err_NONE = 0,
    PF_Err_INTERNAL_STRUCT_DAMAGED = 512,
    PF_Err_BAD_CALLBACK_PARAM = 516,
};

enum : PF_Cmd {
    PF_Cmd_ABOUT = 0,
    PF_Cmd_GLOBAL_SETUP = 1,
    PF_Cmd_PARAMS_SETUP = 4,
    PF_Cmd_RENDER = 11,
    PF_Cmd_USER_CHANGED_PARAM = 13,
    PF_Cmd_UPDATE_PARAMS_UI = 14,
    PF_Cmd_COMPLETELY_GENERAL = 17,
};

enum : PF_OutFlags {
    PF_OutFlag_USE_OUTPUT_EXTENT = 0x40,
    PF_OutFlag_DISPLAY_ERROR_MESSAGE = 0x100,
    PF_OutFlag_FORCE_RERENDER = 0x400000,
    PF_OutFlag_DEEP_COLOR_AWARE = 0x2000000,
    PF_OutFlag_SEND_UPDATE_PARAMS_UI = 0x4000000,
};

enum : PF_WorldFlags { PF_WorldFlag_DEEP = 1 };

enum : PF_ParamType {
    PF_Param_LAYER = 0,
    PF_Param_SLIDER = 1,
    PF_Param_FIX_SLIDER = 2,
    PF_Param_COLOR = 5,
    PF_Param_POPUP = 7,
    PF_Param_GROUP_START = 13,
    PF_Param_GROUP_END = 14,
};

enum : PF_ValueDisplayFlags { PF_ValueDisplayFlag_PERCENT = 1 };

constexpr PF_ParamIndex PF_Param_APPEND = -1;
constexpr int PF_MAX_EFFECT_MSG_LEN = 255;  // return_msg holds this many characters plus a zero
constexpr int PF_MAX_EFFECT_PARAM_NAME_LEN = 31;
constexpr int PF_MAX_PARAM_VALUE_LEN = 31;
constexpr int PF_MAX_PARAM_DESCRIPTION_LEN = 31;

struct PF_Pixel {
    A_u_char alpha, red, green, blue;
};
using PF_Pixel8 = PF_Pixel;

struct PF_Pixel16 {
    A_u_short alpha, red, green, blue;
};

struct PF_Rect {
    A_long left, top, right, bottom;
};

struct PF_RationalScale {
    A_long num;
    A_u_long den;
};

using PF_Handle = void**;
struct PF_ProgressInfo;  // opaque to the effect
using PF_ProgPtr = PF_ProgressInfo*;

struct PF_LayerDef {
    PF_WorldFlags world_flags;
    PF_Pixel* data;
    A_long rowbytes;
    A_long width;
    A_long height;
};
using PF_EffectWorld = PF_LayerDef;

struct PF_PopupDef {
    A_long value;
    A_short num_choices;
    A_short dephault;
    union {
        const A_char* namesptr;
    } u;
};

struct PF_SliderDef {
    A_long value;
    A_char value_str[PF_MAX_PARAM_VALUE_LEN + 1];
    A_char value_desc[PF_MAX_PARAM_DESCRIPTION_LEN + 1];
    A_long valid_min, valid_max;
    A_long slider_min, slider_max;
    A_long dephault;
};

struct PF_FixedSliderDef {
    PF_Fixed value;
    A_char value_str[PF_MAX_PARAM_VALUE_LEN + 1];
    A_char value_desc[PF_MAX_PARAM_DESCRIPTION_LEN + 1];
    PF_Fixed valid_min, valid_max;
    PF_Fixed slider_min, slider_max;
    PF_Fixed dephault;
    A_short precision;
    PF_ValueDisplayFlags display_flags;
};

struct PF_ColorDef {
    PF_Pixel value;
    PF_Pixel dephault;
};

union PF_ParamDefUnion {
    PF_LayerDef ld;
    PF_SliderDef sd;
    PF_FixedSliderDef fd;
    PF_ColorDef cd;
    PF_PopupDef pd;
};

struct PF_ParamDef {
    union {
        A_long id;
    } uu;
    PF_ParamType param_type;
    A_char name[PF_MAX_EFFECT_PARAM_NAME_LEN + 1];
    PF_ParamFlags flags;
    PF_ParamDefUnion u;
};
using PF_ParamDefPtr = PF_ParamDef*;
using PF_ParamList = PF_ParamDef**;

struct PF_InteractCallbacks {
    PF_Err(PF_CALLBACK* add_param)(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDefPtr def);
    PF_Err(PF_CALLBACK* progress)(PF_ProgPtr effect_ref, A_long current, A_long total);
};

struct PF_ANSICallbacks {
    A_long(PF_CALLBACK* sprintf)(A_char* buffer, const A_char* format, ...);
    A_char*(PF_CALLBACK* strcpy)(A_char* dst, const A_char* src);
};

struct PF_UtilCallbacks {
    PF_Err(PF_CALLBACK* copy)(PF_ProgPtr effect_ref, PF_EffectWorld* src, PF_EffectWorld* dst,
                              PF_Rect* src_r, PF_Rect* dst_r);
    PF_Err(PF_CALLBACK* fill)(PF_ProgPtr effect_ref, const PF_Pixel* color, const PF_Rect* dst_rect,
                              PF_EffectWorld* world);
    PF_Handle(PF_CALLBACK* host_new_handle)(A_HandleSize size);
    void*(PF_CALLBACK* host_lock_handle)(PF_Handle handle);
    void(PF_CALLBACK* host_unlock_handle)(PF_Handle handle);
    void(PF_CALLBACK* host_dispose_handle)(PF_Handle handle);
    PF_ANSICallbacks ansi;
};

// The basic suite hands out every other suite by exact name and version.
struct SPBasicSuite {
    A_long(PF_CALLBACK* AcquireSuite)(const A_char* name, A_long version, const void** suite);
    A_long(PF_CALLBACK* ReleaseSuite)(const A_char* name, A_long version);
};

struct PF_InData {
    PF_InteractCallbacks inter;
    PF_UtilCallbacks* utils;
    PF_ProgPtr effect_ref;
    PF_RationalScale downsample_x;
    PF_Handle global_data;
    SPBasicSuite* pica_basicP;
};

struct PF_OutData {
    A_u_long my_version;
    PF_OutFlags out_flags;
    PF_Handle global_data;
    A_long num_params;
    A_char return_msg[PF_MAX_EFFECT_MSG_LEN + 1];
};

// Function suites, by the names and versions the host registers them under.
#define kPFHandleSuite "PF Handle Suite"
#define kPFHandleSuiteVersion1 1
struct PF_HandleSuite1 {
    PF_Handle(PF_CALLBACK* host_new_handle)(A_HandleSize size);
    void*(PF_CALLBACK* host_lock_handle)(PF_Handle handle);
    void(PF_CALLBACK* host_unlock_handle)(PF_Handle handle);
    void(PF_CALLBACK* host_dispose_handle)(PF_Handle handle);
};

#define kPFANSISuite "PF ANSI Suite"
#define kPFANSISuiteVersion1 1
struct PF_ANSISuite1 {
    A_long(PF_CALLBACK* sprintf)(A_char* buffer, const A_char* format, ...);
    A_char*(PF_CALLBACK* strcpy)(A_char* dst, const A_char* src);
};

using AEGP_PluginID = A_long;
struct AEGP_GlobalRefcon_Opaque;
using AEGP_GlobalRefcon = AEGP_GlobalRefcon_Opaque*;
struct AEGP_EffectRefH_Opaque;
using AEGP_EffectRefH = AEGP_EffectRefH_Opaque*;
struct AEGP_StreamRefH_Opaque;
using AEGP_StreamRefH = AEGP_StreamRefH_Opaque*;
using AEGP_DynStreamFlags = A_long;
enum : AEGP_DynStreamFlags { AEGP_DynStreamFlag_HIDDEN = 2 };

#define kAEGPUtilitySuite "AEGP Utility Suite"
#define kAEGPUtilitySuiteVersion7 7
struct AEGP_UtilitySuite7 {
    PF_Err(PF_CALLBACK* AEGP_RegisterWithAEGP)(AEGP_GlobalRefcon global_refcon,
                                               const A_char* plugin_name, AEGP_PluginID* plugin_id);
};

#define kAEGPPFInterfaceSuite "AEGP PF Interface Suite"
#define kAEGPPFInterfaceSuiteVersion1 1
struct AEGP_PFInterfaceSuite1 {
    PF_Err(PF_CALLBACK* AEGP_GetNewEffectForEffect)(AEGP_PluginID plugin_id, PF_ProgPtr effect_ref,
                                                    AEGP_EffectRefH* effect);
};

#define kAEGPStreamSuite "AEGP Stream Suite"
#define kAEGPStreamSuiteVersion7 7
struct AEGP_StreamSuite7 {
    PF_Err(PF_CALLBACK* AEGP_GetNewEffectStreamByIndex)(AEGP_PluginID plugin_id,
                                                        AEGP_EffectRefH effect,
                                                        PF_ParamIndex param_index,
                                                        AEGP_StreamRefH* stream);
    PF_Err(PF_CALLBACK* AEGP_DisposeStream)(AEGP_StreamRefH stream);
};

#define kAEGPDynamicStreamSuite "AEGP Dynamic Stream Suite"
#define kAEGPDynamicStreamSuiteVersion2 2
struct AEGP_DynamicStreamSuite2 {
    PF_Err(PF_CALLBACK* AEGP_SetDynamicStreamFlag)(AEGP_StreamRefH stream,
                                                   AEGP_DynStreamFlags one_flag, A_Boolean undoable,
                                                   A_Boolean set);
};

#define kAEGPEffectSuite "AEGP Effect Suite"
#define kAEGPEffectSuiteVersion2 2
struct AEGP_EffectSuite2 {
    PF_Err(PF_CALLBACK* AEGP_DisposeEffect)(AEGP_EffectRefH effect);
};

// The one function the module exports; the host calls it once per command.
using PF_EntryPointFunc = PF_Err(PF_CALLBACK*)(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                               PF_ParamDef* params[], PF_LayerDef* output,
                                               void* extra);

}  // extern "C"
