// The host's effect API: records, commands, flags, callbacks and function suites, under the
// names the host gives them and laid out exactly as the host lays them out, on 32-bit and
// 64-bit targets. The host allocates, fills and reads these records at fixed byte offsets, so
// every member is declared up to the end of each record, also the ones the effect never uses;
// host/ae_api_layout.h proves every offset and size at compile time. Everything the effect
// includes from the host comes through this header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

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
using A_longlong = std::int64_t;
using A_u_longlong = std::uint64_t;
using A_Boolean = A_u_char;
using A_FpLong = double;
using A_FpShort = float;
using A_Err = A_long;

// The host's size type for handle allocations follows the target's width.
inline constexpr bool kHost64 = sizeof(void*) == 8;
using A_HandleSize = std::conditional_t<kHost64, A_u_longlong, A_u_long>;

using PF_Err = A_long;
using PF_Cmd = A_long;
using PF_Fixed = A_long;  // 16.16 fixed point
using PF_UFixed = A_u_long;
using PF_FpLong = A_FpLong;
using PF_FpShort = A_FpShort;
using PF_Boolean = A_Boolean;
using PF_ParamIndex = A_long;
using PF_ParamType = A_long;
using PF_ParamFlags = A_long;
using PF_ParamUIFlags = A_long;
using PF_ChangeFlags = A_long;
using PF_ParamValue = A_long;
using PF_Quality = A_long;
using PF_Field = A_long;
using PF_InFlags = A_long;
using PF_OutFlags = A_long;
using PF_OutFlags2 = A_long;
using PF_WorldFlags = A_long;
using PF_ModeFlags = A_long;
using PF_NewWorldFlags = A_long;
using PF_XferMode = A_long;
using PF_KernelFlags = A_u_long;
using PF_CallbackID = A_long;
using PF_PlatDataID = A_long;
using PF_ValueDisplayFlags = A_short;
using PF_SoundFormat = A_short;
using PF_SoundSampleSize = A_short;
using PF_SoundChannels = A_short;

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
constexpr int PF_MAX_EFFECT_NAME_LEN = 31;
constexpr int PF_MAX_EFFECT_MSG_LEN = 255;  // return_msg holds this many characters plus a zero
constexpr int PF_MAX_EFFECT_PARAM_NAME_LEN = 31;
constexpr int PF_MAX_PARAM_VALUE_LEN = 31;
constexpr int PF_MAX_PARAM_DESCRIPTION_LEN = 31;

// ---------------------------------------------------------------------------------------------
// Small records

struct PF_Pixel {
    A_u_char alpha, red, green, blue;
};
using PF_Pixel8 = PF_Pixel;
using PF_PixelPtr = PF_Pixel*;

struct PF_Pixel16 {
    A_u_short alpha, red, green, blue;
};

struct PF_LRect {
    A_long left, top, right, bottom;
};
using PF_Rect = PF_LRect;

struct PF_Point {
    A_long h, v;
};

struct PF_RationalScale {
    A_long num;
    A_u_long den;
};

struct PF_SpecVersion {
    A_short major;
    A_short minor;
};

struct PF_SoundFormatInfo {
    PF_FpLong rateF;
    PF_SoundChannels num_channels;
    PF_SoundFormat format;
    PF_SoundSampleSize sample_size;
};

struct PF_SoundWorld {
    PF_SoundFormatInfo fi;
    A_long num_samples;
    void* dataP;
};

using PF_Handle = void**;

// Opaque to the effect: the host's own objects, only ever passed back to it by pointer.
struct PF_ProgressInfo;
using PF_ProgPtr = PF_ProgressInfo*;
struct PF_SampPB;
struct PF_CompositeMode;
struct PF_MaskWorld;
struct PF_FloatMatrix;
struct PF_CustomUIInfo;
struct PF_LayerAudio_Opaque;
using PF_LayerAudio = PF_LayerAudio_Opaque*;
using PF_SndSamplePtr = void*;

// ---------------------------------------------------------------------------------------------
// Worlds and parameters

struct PF_LayerDef {
    void* reserved0;
    void* reserved1;
    PF_WorldFlags world_flags;
    PF_PixelPtr data;
    A_long rowbytes;
    A_long width;
    A_long height;
    PF_LRect extent_hint;
    void* platform_ref;
    A_long reserved_long1;
    void* reserved_long4;
    PF_RationalScale pix_aspect_ratio;
    void* reserved_long2;
    A_long origin_x;
    A_long origin_y;
    A_long reserved_long3;
    A_long dephault;
};
using PF_EffectWorld = PF_LayerDef;

struct PF_SliderDef {
    PF_ParamValue value;
    A_char value_str[PF_MAX_PARAM_VALUE_LEN + 1];
    A_char value_desc[PF_MAX_PARAM_DESCRIPTION_LEN + 1];
    PF_ParamValue valid_min;
    PF_ParamValue valid_max;
    PF_ParamValue slider_min;
    PF_ParamValue slider_max;
    PF_ParamValue dephault;
};

struct PF_FixedSliderDef {
    PF_Fixed value;
    A_char value_str[PF_MAX_PARAM_VALUE_LEN + 1];
    A_char value_desc[PF_MAX_PARAM_DESCRIPTION_LEN + 1];
    PF_Fixed valid_min;
    PF_Fixed valid_max;
    PF_Fixed slider_min;
    PF_Fixed slider_max;
    PF_Fixed dephault;
    A_short precision;
    PF_ValueDisplayFlags display_flags;
};

struct PF_ColorDef {
    PF_Pixel value;
    PF_Pixel dephault;
};

struct PF_PopupDef {
    PF_ParamValue value;
    A_short num_choices;
    A_short dephault;
    union {
        A_long id;
        const A_char* namesptr;
    } u;
};

// The host's union also holds parameter kinds this effect never registers, some with doubles:
// they make it 8-byte aligned, which the alignment here reproduces.
union alignas(8) PF_ParamDefUnion {
    PF_LayerDef ld;
    PF_SliderDef sd;
    PF_FixedSliderDef fd;
    PF_ColorDef cd;
    PF_PopupDef pd;
};

struct PF_ParamDef {
    union {
        A_long id;
        PF_ChangeFlags change_flags;
    } uu;
    PF_ParamUIFlags ui_flags;
    A_short ui_width;
    A_short ui_height;
    PF_ParamType param_type;
    A_char name[PF_MAX_EFFECT_PARAM_NAME_LEN + 1];
    PF_ParamFlags flags;
    A_long unused;
    PF_ParamDefUnion u;
};
using PF_ParamDefPtr = PF_ParamDef*;
using PF_ParamList = PF_ParamDef**;

// ---------------------------------------------------------------------------------------------
// Callbacks

struct PF_InteractCallbacks {
    PF_Err(PF_CALLBACK* checkout_param)(PF_ProgPtr effect_ref, PF_ParamIndex index,
                                        A_long what_time, A_long time_step, A_u_long time_scale,
                                        PF_ParamDef* param);
    PF_Err(PF_CALLBACK* checkin_param)(PF_ProgPtr effect_ref, PF_ParamDef* param);
    PF_Err(PF_CALLBACK* add_param)(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDefPtr def);
    PF_Err(PF_CALLBACK* abort)(PF_ProgPtr effect_ref);
    PF_Err(PF_CALLBACK* progress)(PF_ProgPtr effect_ref, A_long current, A_long total);
    PF_Err(PF_CALLBACK* register_ui)(PF_ProgPtr effect_ref, PF_CustomUIInfo* cust_info);
    PF_Err(PF_CALLBACK* checkout_layer_audio)(PF_ProgPtr effect_ref, PF_ParamIndex index,
                                              A_long start_time, A_long duration,
                                              A_u_long time_scale, PF_UFixed rate,
                                              A_long bytes_per_sample, A_long num_channels,
                                              A_long fmt_signed, PF_LayerAudio* audio);
    PF_Err(PF_CALLBACK* checkin_layer_audio)(PF_ProgPtr effect_ref, PF_LayerAudio audio);
    PF_Err(PF_CALLBACK* get_audio_data)(PF_ProgPtr effect_ref, PF_LayerAudio audio,
                                        PF_SndSamplePtr* data, A_long* num_samples, PF_UFixed* rate,
                                        A_long* bytes_per_sample, A_long* num_channels,
                                        A_long* fmt_signed);
    void* reserved_str[3];
    void* reserved[10];
};

struct PF_ANSICallbacks {
    A_FpLong(PF_CALLBACK* atan)(A_FpLong);
    A_FpLong(PF_CALLBACK* atan2)(A_FpLong y, A_FpLong x);
    A_FpLong(PF_CALLBACK* ceil)(A_FpLong);
    A_FpLong(PF_CALLBACK* cos)(A_FpLong);
    A_FpLong(PF_CALLBACK* exp)(A_FpLong);
    A_FpLong(PF_CALLBACK* fabs)(A_FpLong);
    A_FpLong(PF_CALLBACK* floor)(A_FpLong);
    A_FpLong(PF_CALLBACK* fmod)(A_FpLong x, A_FpLong y);
    A_FpLong(PF_CALLBACK* hypot)(A_FpLong x, A_FpLong y);
    A_FpLong(PF_CALLBACK* log)(A_FpLong);
    A_FpLong(PF_CALLBACK* log10)(A_FpLong);
    A_FpLong(PF_CALLBACK* pow)(A_FpLong x, A_FpLong y);
    A_FpLong(PF_CALLBACK* sin)(A_FpLong);
    A_FpLong(PF_CALLBACK* sqrt)(A_FpLong);
    A_FpLong(PF_CALLBACK* tan)(A_FpLong);
    int(PF_CALLBACK* sprintf)(A_char* buffer, const A_char* format, ...);
    A_char*(PF_CALLBACK* strcpy)(A_char* dst, const A_char* src);
    A_FpLong(PF_CALLBACK* asin)(A_FpLong);
    A_FpLong(PF_CALLBACK* acos)(A_FpLong);
    A_long ansi_procs[1];
};

struct PF_ColorCallbacks {
    PF_Err(PF_CALLBACK* RGBtoHLS)(PF_ProgPtr effect_ref, PF_Pixel* rgb, PF_Fixed* hls);
    PF_Err(PF_CALLBACK* HLStoRGB)(PF_ProgPtr effect_ref, PF_Fixed* hls, PF_Pixel* rgb);
    PF_Err(PF_CALLBACK* RGBtoYIQ)(PF_ProgPtr effect_ref, PF_Pixel* rgb, PF_Fixed* yiq);
    PF_Err(PF_CALLBACK* YIQtoRGB)(PF_ProgPtr effect_ref, PF_Fixed* yiq, PF_Pixel* rgb);
    PF_Err(PF_CALLBACK* Luminance)(PF_ProgPtr effect_ref, PF_Pixel* rgb, A_long* lum100);
    PF_Err(PF_CALLBACK* Hue)(PF_ProgPtr effect_ref, PF_Pixel* rgb, A_long* hue);
    PF_Err(PF_CALLBACK* Lightness)(PF_ProgPtr effect_ref, PF_Pixel* rgb, A_long* lightness);
    PF_Err(PF_CALLBACK* Saturation)(PF_ProgPtr effect_ref, PF_Pixel* rgb, A_long* saturation);
};

struct PF_InData;
using PF_IteratePixel8Func = PF_Err(PF_CALLBACK*)(void* refcon, A_long x, A_long y, PF_Pixel* in,
                                                  PF_Pixel* out);
using PF_IteratePixel16Func = PF_Err(PF_CALLBACK*)(void* refcon, A_long x, A_long y, PF_Pixel16* in,
                                                   PF_Pixel16* out);
using PF_CallbackFunc = void*;

struct PF_UtilCallbacks {
    PF_Err(PF_CALLBACK* begin_sampling)(PF_ProgPtr effect_ref, PF_Quality qual, PF_ModeFlags mf,
                                        PF_SampPB* params);
    PF_Err(PF_CALLBACK* subpixel_sample)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y,
                                         const PF_SampPB* params, PF_Pixel* dst_pixel);
    PF_Err(PF_CALLBACK* area_sample)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y,
                                     const PF_SampPB* params, PF_Pixel* dst_pixel);
    void* get_batch_func_is_deprecated;
    PF_Err(PF_CALLBACK* end_sampling)(PF_ProgPtr effect_ref, PF_Quality qual, PF_ModeFlags mf,
                                      PF_SampPB* params);
    PF_Err(PF_CALLBACK* composite_rect)(PF_ProgPtr effect_ref, PF_Rect* src_rect,
                                        A_long src_opacity, PF_EffectWorld* source_wld,
                                        A_long dest_x, A_long dest_y, PF_Field field_rdr,
                                        PF_XferMode xfer_mode, PF_EffectWorld* dest_wld);
    PF_Err(PF_CALLBACK* blend)(PF_ProgPtr effect_ref, const PF_EffectWorld* src1,
                               const PF_EffectWorld* src2, PF_Fixed ratio, PF_EffectWorld* dst);
    PF_Err(PF_CALLBACK* convolve)(PF_ProgPtr effect_ref, PF_EffectWorld* src, const PF_Rect* area,
                                  PF_KernelFlags flags, A_long kernel_size, void* a_kernel,
                                  void* r_kernel, void* g_kernel, void* b_kernel,
                                  PF_EffectWorld* dst);
    PF_Err(PF_CALLBACK* copy)(PF_ProgPtr effect_ref, PF_EffectWorld* src, PF_EffectWorld* dst,
                              PF_Rect* src_r, PF_Rect* dst_r);
    PF_Err(PF_CALLBACK* fill)(PF_ProgPtr effect_ref, const PF_Pixel* color, const PF_Rect* dst_rect,
                              PF_EffectWorld* world);
    PF_Err(PF_CALLBACK* gaussian_kernel)(PF_ProgPtr effect_ref, A_FpLong kRadius,
                                         PF_KernelFlags flags, A_FpLong multiplier,
                                         A_long* diameter, void* kernel);
    PF_Err(PF_CALLBACK* iterate)(PF_InData* in_data, A_long progress_base, A_long progress_final,
                                 PF_EffectWorld* src, const PF_Rect* area, void* refcon,
                                 PF_IteratePixel8Func pix_fn, PF_EffectWorld* dst);
    PF_Err(PF_CALLBACK* premultiply)(PF_ProgPtr effect_ref, A_long forward, PF_EffectWorld* dst);
    PF_Err(PF_CALLBACK* premultiply_color)(PF_ProgPtr effect_ref, PF_EffectWorld* src,
                                           const PF_Pixel* color, A_long forward,
                                           PF_EffectWorld* dst);
    PF_Err(PF_CALLBACK* new_world)(PF_ProgPtr effect_ref, A_long width, A_long height,
                                   PF_NewWorldFlags flags, PF_EffectWorld* world);
    PF_Err(PF_CALLBACK* dispose_world)(PF_ProgPtr effect_ref, PF_EffectWorld* world);
    PF_Err(PF_CALLBACK* iterate_origin)(PF_InData* in_data, A_long progress_base,
                                        A_long progress_final, PF_EffectWorld* src,
                                        const PF_Rect* area, const PF_Point* origin, void* refcon,
                                        PF_IteratePixel8Func pix_fn, PF_EffectWorld* dst);
    PF_Err(PF_CALLBACK* iterate_lut)(PF_InData* in_data, A_long progress_base,
                                     A_long progress_final, PF_EffectWorld* src,
                                     const PF_Rect* area, A_u_char* a_lut0, A_u_char* r_lut0,
                                     A_u_char* g_lut0, A_u_char* b_lut0, PF_EffectWorld* dst);
    PF_Err(PF_CALLBACK* transfer_rect)(PF_ProgPtr effect_ref, PF_Quality quality,
                                       PF_ModeFlags m_flags, PF_Field field, const PF_Rect* src_rec,
                                       const PF_EffectWorld* src_world,
                                       const PF_CompositeMode* comp_mode,
                                       const PF_MaskWorld* mask_world0, A_long dest_x,
                                       A_long dest_y, PF_EffectWorld* dst_world);
    PF_Err(PF_CALLBACK* transform_world)(
        PF_ProgPtr effect_ref, PF_Quality quality, PF_ModeFlags m_flags, PF_Field field,
        const PF_EffectWorld* src_world, const PF_CompositeMode* comp_mode,
        const PF_MaskWorld* mask_world0, const PF_FloatMatrix* matrices, A_long num_matrices,
        PF_Boolean src2dst_matrix, const PF_Rect* dest_rect, PF_EffectWorld* dst_world);
    PF_Handle(PF_CALLBACK* host_new_handle)(A_HandleSize size);
    void*(PF_CALLBACK* host_lock_handle)(PF_Handle handle);
    void(PF_CALLBACK* host_unlock_handle)(PF_Handle handle);
    void(PF_CALLBACK* host_dispose_handle)(PF_Handle handle);
    PF_Err(PF_CALLBACK* get_callback_addr)(PF_ProgPtr effect_ref, PF_Quality quality,
                                           PF_ModeFlags mode_flags, PF_CallbackID which_callback,
                                           PF_CallbackFunc* fn_ptr);
    PF_Err(PF_CALLBACK* app)(PF_ProgPtr effect_ref, A_long selector, ...);
    PF_ANSICallbacks ansi;
    PF_ColorCallbacks colorCB;
    PF_Err(PF_CALLBACK* get_platform_data)(PF_ProgPtr effect_ref, PF_PlatDataID which, void* data);
    A_HandleSize(PF_CALLBACK* host_get_handle_size)(PF_Handle handle);
    PF_Err(PF_CALLBACK* iterate_origin_non_clip_src)(PF_InData* in_data, A_long progress_base,
                                                     A_long progress_final, PF_EffectWorld* src,
                                                     const PF_Rect* area, const PF_Point* origin,
                                                     void* refcon, PF_IteratePixel8Func pix_fn,
                                                     PF_EffectWorld* dst);
    PF_Err(PF_CALLBACK* iterate_generic)(A_long iterations, void* refcon,
                                         PF_Err (*fn_func)(void* refcon, A_long thread_index,
                                                           A_long i, A_long iterations));
    PF_Err(PF_CALLBACK* host_resize_handle)(A_HandleSize new_size, PF_Handle* handle);
    PF_Err(PF_CALLBACK* subpixel_sample16)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y,
                                           const PF_SampPB* params, PF_Pixel16* dst_pixel);
    PF_Err(PF_CALLBACK* area_sample16)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y,
                                       const PF_SampPB* params, PF_Pixel16* dst_pixel);
    PF_Err(PF_CALLBACK* fill16)(PF_ProgPtr effect_ref, const PF_Pixel16* color,
                                const PF_Rect* dst_rect, PF_EffectWorld* world);
    PF_Err(PF_CALLBACK* premultiply_color16)(PF_ProgPtr effect_ref, PF_EffectWorld* src,
                                             const PF_Pixel16* color, A_long forward,
                                             PF_EffectWorld* dst);
    PF_Err(PF_CALLBACK* iterate16)(PF_InData* in_data, A_long progress_base, A_long progress_final,
                                   PF_EffectWorld* src, const PF_Rect* area, void* refcon,
                                   PF_IteratePixel16Func pix_fn, PF_EffectWorld* dst);
    PF_Err(PF_CALLBACK* iterate_origin16)(PF_InData* in_data, A_long progress_base,
                                          A_long progress_final, PF_EffectWorld* src,
                                          const PF_Rect* area, const PF_Point* origin, void* refcon,
                                          PF_IteratePixel16Func pix_fn, PF_EffectWorld* dst);
    PF_Err(PF_CALLBACK* iterate_origin_non_clip_src16)(PF_InData* in_data, A_long progress_base,
                                                       A_long progress_final, PF_EffectWorld* src,
                                                       const PF_Rect* area, const PF_Point* origin,
                                                       void* refcon, PF_IteratePixel16Func pix_fn,
                                                       PF_EffectWorld* dst);
    PF_Err(PF_CALLBACK* get_pixel_data8)(PF_EffectWorld* world, PF_PixelPtr pixels0,
                                         PF_Pixel8** pixels);
    PF_Err(PF_CALLBACK* get_pixel_data16)(PF_EffectWorld* world, PF_PixelPtr pixels0,
                                          PF_Pixel16** pixels);
    A_long reserved[1];
};

// The basic suite hands out every other suite by exact name and version.
using SPErr = A_long;
using SPBoolean = A_long;
struct SPBasicSuite {
    SPErr(PF_CALLBACK* AcquireSuite)(const char* name, int version, const void** suite);
    SPErr(PF_CALLBACK* ReleaseSuite)(const char* name, int version);
    SPBoolean(PF_CALLBACK* IsEqual)(const char* token1, const char* token2);
    SPErr(PF_CALLBACK* AllocateBlock)(std::size_t size, void** block);
    SPErr(PF_CALLBACK* FreeBlock)(void* block);
    SPErr(PF_CALLBACK* ReallocateBlock)(void* block, std::size_t new_size, void** new_block);
    SPErr(PF_CALLBACK* Undefined)(void);
};

// ---------------------------------------------------------------------------------------------
// The command records

struct PF_InData {
    PF_InteractCallbacks inter;
    PF_UtilCallbacks* utils;
    PF_ProgPtr effect_ref;
    PF_Quality quality;
    PF_SpecVersion version;
    A_long serial_num;
    A_long appl_id;
    A_long num_params;
    A_long reserved;
    A_long what_cpu;
    A_long what_fpu;
    A_long current_time;
    A_long time_step;
    A_long total_time;
    A_long local_time_step;
    A_u_long time_scale;
    PF_Field field;
    PF_Fixed shutter_angle;
    A_long width;
    A_long height;
    PF_LRect extent_hint;
    A_long output_origin_x;
    A_long output_origin_y;
    PF_RationalScale downsample_x;
    PF_RationalScale downsample_y;
    PF_RationalScale pixel_aspect_ratio;
    PF_InFlags in_flags;
    PF_Handle global_data;
    PF_Handle sequence_data;
    PF_Handle frame_data;
    A_long start_sampL;
    A_long dur_sampL;
    A_long total_sampL;
    PF_SoundWorld src_snd;
    SPBasicSuite* pica_basicP;
    A_long pre_effect_source_origin_x;
    A_long pre_effect_source_origin_y;
    PF_Fixed shutter_phase;
};

struct PF_OutData {
    A_u_long my_version;
    A_char name[PF_MAX_EFFECT_NAME_LEN + 1];
    PF_Handle global_data;
    A_long num_params;
    PF_Handle sequence_data;
    A_long flat_sdata_size;
    PF_Handle frame_data;
    A_long width;
    A_long height;
    PF_Point origin;
    PF_OutFlags out_flags;
    A_char return_msg[PF_MAX_EFFECT_MSG_LEN + 1];
    A_long start_sampL;
    A_long dur_sampL;
    PF_SoundWorld dest_snd;
    PF_OutFlags2 out_flags2;
};

// ---------------------------------------------------------------------------------------------
// Function suites, by the names and versions the host registers them under.

// A 64-bit host serves the handle suite with 64-bit sizes as version 2 and has no version 1.
#define kPFHandleSuite "PF Handle Suite"
#define kPFHandleSuiteVersion1 1
#define kPFHandleSuiteVersion2 2
inline constexpr A_long kPFHandleSuiteVersion =
    kHost64 ? kPFHandleSuiteVersion2 : kPFHandleSuiteVersion1;
struct PF_HandleSuite1 {
    PF_Handle(PF_CALLBACK* host_new_handle)(A_HandleSize size);
    void*(PF_CALLBACK* host_lock_handle)(PF_Handle handle);
    void(PF_CALLBACK* host_unlock_handle)(PF_Handle handle);
    void(PF_CALLBACK* host_dispose_handle)(PF_Handle handle);
    A_HandleSize(PF_CALLBACK* host_get_handle_size)(PF_Handle handle);
    PF_Err(PF_CALLBACK* host_resize_handle)(A_HandleSize new_size, PF_Handle* handle);
};

#define kPFANSISuite "PF ANSI Suite"
#define kPFANSISuiteVersion1 1
struct PF_ANSICallbacksSuite1 {
    A_FpLong(PF_CALLBACK* atan)(A_FpLong);
    A_FpLong(PF_CALLBACK* atan2)(A_FpLong y, A_FpLong x);
    A_FpLong(PF_CALLBACK* ceil)(A_FpLong);
    A_FpLong(PF_CALLBACK* cos)(A_FpLong);
    A_FpLong(PF_CALLBACK* exp)(A_FpLong);
    A_FpLong(PF_CALLBACK* fabs)(A_FpLong);
    A_FpLong(PF_CALLBACK* floor)(A_FpLong);
    A_FpLong(PF_CALLBACK* fmod)(A_FpLong x, A_FpLong y);
    A_FpLong(PF_CALLBACK* hypot)(A_FpLong x, A_FpLong y);
    A_FpLong(PF_CALLBACK* log)(A_FpLong);
    A_FpLong(PF_CALLBACK* log10)(A_FpLong);
    A_FpLong(PF_CALLBACK* pow)(A_FpLong x, A_FpLong y);
    A_FpLong(PF_CALLBACK* sin)(A_FpLong);
    A_FpLong(PF_CALLBACK* sqrt)(A_FpLong);
    A_FpLong(PF_CALLBACK* tan)(A_FpLong);
    int(PF_CALLBACK* sprintf)(A_char* buffer, const A_char* format, ...);
    A_char*(PF_CALLBACK* strcpy)(A_char* dst, const A_char* src);
    A_FpLong(PF_CALLBACK* asin)(A_FpLong);
    A_FpLong(PF_CALLBACK* acos)(A_FpLong);
};

using AEGP_PluginID = A_long;
struct AEGP_GlobalRefcon_Opaque;
using AEGP_GlobalRefcon = AEGP_GlobalRefcon_Opaque*;
struct AEGP_EffectRefH_Opaque;
using AEGP_EffectRefH = AEGP_EffectRefH_Opaque*;
struct AEGP_StreamRefH_Opaque;
using AEGP_StreamRefH = AEGP_StreamRefH_Opaque*;
struct AEGP_LayerH_Opaque;
using AEGP_LayerH = AEGP_LayerH_Opaque*;
struct AEGP_MaskRefH_Opaque;
using AEGP_MaskRefH = AEGP_MaskRefH_Opaque*;
struct AEGP_MemHandle_Opaque;
using AEGP_MemHandle = AEGP_MemHandle_Opaque*;
// Records that only travel by pointer through slots the effect never calls.
struct AEGP_ErrReportState;
struct AEGP_ColorVal;
struct AEGP_StreamValue;
union AEGP_StreamVal;
struct A_Time;
struct A_Matrix4;
struct A_Ratio {
    A_long num;
    A_u_long den;
};
using AEGP_DynStreamFlags = A_long;
using AEGP_LayerStream = A_long;
using AEGP_MaskStream = A_long;
using AEGP_KeyInterpolationMask = A_long;
using AEGP_StreamFlags = A_long;
using AEGP_StreamType = A_long;
using AEGP_LTimeMode = A_long;
using AEGP_StreamGroupingType = A_long;
using AEGP_EffectIndex = A_long;
using AEGP_InstalledEffectKey = A_long;
using AEGP_EffectFlags = A_long;
enum : AEGP_DynStreamFlags { AEGP_DynStreamFlag_HIDDEN = 2 };

#define kAEGPUtilitySuite "AEGP Utility Suite"
#define kAEGPUtilitySuiteVersion7 7
struct AEGP_UtilitySuite3 {
    A_Err(PF_CALLBACK* AEGP_ReportInfo)(AEGP_PluginID plugin_id, const A_char* info_string);
    A_Err(PF_CALLBACK* AEGP_GetDriverPluginInitFuncVersion)(A_short* major_version,
                                                            A_short* minor_version);
    A_Err(PF_CALLBACK* AEGP_GetDriverImplementationVersion)(A_short* major_version,
                                                            A_short* minor_version);
    A_Err(PF_CALLBACK* AEGP_StartQuietErrors)(AEGP_ErrReportState* err_state);
    A_Err(PF_CALLBACK* AEGP_EndQuietErrors)(A_Boolean report_quieted_errors,
                                            AEGP_ErrReportState* err_state);
    A_Err(PF_CALLBACK* AEGP_StartUndoGroup)(const A_char* undo_name);
    A_Err(PF_CALLBACK* AEGP_EndUndoGroup)(void);
    A_Err(PF_CALLBACK* AEGP_RegisterWithAEGP)(AEGP_GlobalRefcon global_refcon,
                                              const A_char* plugin_name, AEGP_PluginID* plugin_id);
    A_Err(PF_CALLBACK* AEGP_GetMainHWND)(void* main_hwnd);
    A_Err(PF_CALLBACK* AEGP_ShowHideAllFloaters)(A_Boolean include_tool_pal);
    A_Err(PF_CALLBACK* AEGP_PaintPalGetForeColor)(AEGP_ColorVal* fore_color);
    A_Err(PF_CALLBACK* AEGP_PaintPalGetBackColor)(AEGP_ColorVal* back_color);
    A_Err(PF_CALLBACK* AEGP_PaintPalSetForeColor)(const AEGP_ColorVal* fore_color);
    A_Err(PF_CALLBACK* AEGP_PaintPalSetBackColor)(const AEGP_ColorVal* back_color);
    A_Err(PF_CALLBACK* AEGP_CharPalGetFillColor)(A_Boolean* is_defined, AEGP_ColorVal* fill_color);
    A_Err(PF_CALLBACK* AEGP_CharPalGetStrokeColor)(A_Boolean* is_defined,
                                                   AEGP_ColorVal* stroke_color);
    A_Err(PF_CALLBACK* AEGP_CharPalSetFillColor)(const AEGP_ColorVal* fill_color);
    A_Err(PF_CALLBACK* AEGP_CharPalSetStrokeColor)(const AEGP_ColorVal* stroke_color);
    A_Err(PF_CALLBACK* AEGP_CharPalIsFillColorUIFrontmost)(A_Boolean* is_fill_color_selected);
    A_Err(PF_CALLBACK* AEGP_ConvertFpLongToHSFRatio)(A_FpLong number, A_Ratio* ratio);
    A_Err(PF_CALLBACK* AEGP_ConvertHSFRatioToFpLong)(A_Ratio ratio, A_FpLong* number);
    A_Err(PF_CALLBACK* AEGP_CauseIdleRoutinesToBeCalled)(void);
    A_Err(PF_CALLBACK* AEGP_GetSuppressInteractiveUI)(A_Boolean* ui_is_suppressed);
    A_Err(PF_CALLBACK* AEGP_WriteToOSConsole)(const A_char* text);
    A_Err(PF_CALLBACK* AEGP_WriteToDebugLog)(const A_char* subsystem, const A_char* event_type,
                                             const A_char* info);
};

#define kAEGPPFInterfaceSuite "AEGP PF Interface Suite"
#define kAEGPPFInterfaceSuiteVersion1 1
struct AEGP_PFInterfaceSuite1 {
    A_Err(PF_CALLBACK* AEGP_GetEffectLayer)(PF_ProgPtr effect_ref, AEGP_LayerH* layer);
    A_Err(PF_CALLBACK* AEGP_GetNewEffectForEffect)(AEGP_PluginID plugin_id, PF_ProgPtr effect_ref,
                                                   AEGP_EffectRefH* effect);
    A_Err(PF_CALLBACK* AEGP_ConvertEffectToCompTime)(PF_ProgPtr effect_ref, A_long what_time,
                                                     A_u_long time_scale, A_Time* comp_time);
    A_Err(PF_CALLBACK* AEGP_GetEffectCamera)(PF_ProgPtr effect_ref, const A_Time* comp_time,
                                             AEGP_LayerH* camera_layer);
    A_Err(PF_CALLBACK* AEGP_GetEffectCameraMatrix)(PF_ProgPtr effect_ref, const A_Time* comp_time,
                                                   A_Matrix4* camera_matrix,
                                                   A_FpLong* dist_to_image, A_short* image_width,
                                                   A_short* image_height);
};

#define kAEGPStreamSuite "AEGP Stream Suite"
#define kAEGPStreamSuiteVersion7 7
struct AEGP_StreamSuite2 {
    A_Err(PF_CALLBACK* AEGP_IsStreamLegal)(AEGP_LayerH layer, AEGP_LayerStream which_stream,
                                           A_Boolean* is_legal);
    A_Err(PF_CALLBACK* AEGP_CanVaryOverTime)(AEGP_StreamRefH stream, A_Boolean* can_vary);
    A_Err(PF_CALLBACK* AEGP_GetValidInterpolations)(AEGP_StreamRefH stream,
                                                    AEGP_KeyInterpolationMask* valid_interp);
    A_Err(PF_CALLBACK* AEGP_GetNewLayerStream)(AEGP_PluginID plugin_id, AEGP_LayerH layer,
                                               AEGP_LayerStream which_stream,
                                               AEGP_StreamRefH* stream);
    A_Err(PF_CALLBACK* AEGP_GetEffectNumParamStreams)(AEGP_EffectRefH effect, A_long* num_params);
    A_Err(PF_CALLBACK* AEGP_GetNewEffectStreamByIndex)(AEGP_PluginID plugin_id,
                                                       AEGP_EffectRefH effect,
                                                       PF_ParamIndex param_index,
                                                       AEGP_StreamRefH* stream);
    A_Err(PF_CALLBACK* AEGP_GetNewMaskStream)(AEGP_PluginID plugin_id, AEGP_MaskRefH mask,
                                              AEGP_MaskStream which_stream,
                                              AEGP_StreamRefH* mask_stream);
    A_Err(PF_CALLBACK* AEGP_DisposeStream)(AEGP_StreamRefH stream);
    A_Err(PF_CALLBACK* AEGP_GetStreamName)(AEGP_StreamRefH stream, A_Boolean force_english,
                                           A_char* name);
    A_Err(PF_CALLBACK* AEGP_GetStreamUnitsText)(AEGP_StreamRefH stream, A_Boolean force_english,
                                                A_char* units);
    A_Err(PF_CALLBACK* AEGP_GetStreamProperties)(AEGP_StreamRefH stream, AEGP_StreamFlags* flags,
                                                 A_FpLong* min, A_FpLong* max);
    A_Err(PF_CALLBACK* AEGP_IsStreamTimevarying)(AEGP_StreamRefH stream, A_Boolean* is_timevarying);
    A_Err(PF_CALLBACK* AEGP_GetStreamType)(AEGP_StreamRefH stream, AEGP_StreamType* stream_type);
    A_Err(PF_CALLBACK* AEGP_GetNewStreamValue)(AEGP_PluginID plugin_id, AEGP_StreamRefH stream,
                                               AEGP_LTimeMode time_mode, const A_Time* time,
                                               A_Boolean pre_expression, AEGP_StreamValue* value);
    A_Err(PF_CALLBACK* AEGP_DisposeStreamValue)(AEGP_StreamValue* value);
    A_Err(PF_CALLBACK* AEGP_SetStreamValue)(AEGP_PluginID plugin_id, AEGP_StreamRefH stream,
                                            AEGP_StreamValue* value);
    A_Err(PF_CALLBACK* AEGP_GetLayerStreamValue)(AEGP_LayerH layer, AEGP_LayerStream which_stream,
                                                 AEGP_LTimeMode time_mode, const A_Time* time,
                                                 A_Boolean pre_expression,
                                                 AEGP_StreamVal* stream_value,
                                                 AEGP_StreamType* stream_type);
    A_Err(PF_CALLBACK* AEGP_GetExpressionState)(AEGP_PluginID plugin_id, AEGP_StreamRefH stream,
                                                A_Boolean* enabled);
    A_Err(PF_CALLBACK* AEGP_SetExpressionState)(AEGP_PluginID plugin_id, AEGP_StreamRefH stream,
                                                A_Boolean enabled);
    A_Err(PF_CALLBACK* AEGP_GetExpression)(AEGP_PluginID plugin_id, AEGP_StreamRefH stream,
                                           AEGP_MemHandle* expression);
    A_Err(PF_CALLBACK* AEGP_SetExpression)(AEGP_PluginID plugin_id, AEGP_StreamRefH stream,
                                           const A_char* expression);
    A_Err(PF_CALLBACK* AEGP_DuplicateStreamRef)(AEGP_PluginID plugin_id, AEGP_StreamRefH stream,
                                                AEGP_StreamRefH* dup_stream);
};

#define kAEGPDynamicStreamSuite "AEGP Dynamic Stream Suite"
#define kAEGPDynamicStreamSuiteVersion2 2
struct AEGP_DynamicStreamSuite2 {
    A_Err(PF_CALLBACK* AEGP_GetNewStreamRefForLayer)(AEGP_PluginID plugin_id, AEGP_LayerH layer,
                                                     AEGP_StreamRefH* stream);
    A_Err(PF_CALLBACK* AEGP_GetStreamDepth)(AEGP_StreamRefH stream, A_long* depth);
    A_Err(PF_CALLBACK* AEGP_GetStreamGroupingType)(AEGP_StreamRefH stream,
                                                   AEGP_StreamGroupingType* group_type);
    A_Err(PF_CALLBACK* AEGP_GetNumStreamsInGroup)(AEGP_StreamRefH stream, A_long* num_streams);
    A_Err(PF_CALLBACK* AEGP_GetDynamicStreamFlags)(AEGP_StreamRefH stream,
                                                   AEGP_DynStreamFlags* flags);
    A_Err(PF_CALLBACK* AEGP_SetDynamicStreamFlag)(AEGP_StreamRefH stream,
                                                  AEGP_DynStreamFlags one_flag, A_Boolean undoable,
                                                  A_Boolean set);
    A_Err(PF_CALLBACK* AEGP_GetNewStreamRefByIndex)(AEGP_PluginID plugin_id,
                                                    AEGP_StreamRefH parent_group, A_long index,
                                                    AEGP_StreamRefH* stream);
    A_Err(PF_CALLBACK* AEGP_GetNewStreamRefByMatchname)(AEGP_PluginID plugin_id,
                                                        AEGP_StreamRefH parent_group,
                                                        const A_char* match_name,
                                                        AEGP_StreamRefH* stream);
    A_Err(PF_CALLBACK* AEGP_DeleteStream)(AEGP_StreamRefH stream);
    A_Err(PF_CALLBACK* AEGP_ReorderStream)(AEGP_StreamRefH stream, A_long new_index);
    A_Err(PF_CALLBACK* AEGP_DuplicateStream)(AEGP_PluginID plugin_id, AEGP_StreamRefH stream,
                                             A_long* new_index);
    A_Err(PF_CALLBACK* AEGP_SetStreamName)(AEGP_StreamRefH stream, const A_char* new_name);
    A_Err(PF_CALLBACK* AEGP_CanAddStream)(AEGP_StreamRefH group_stream, const A_char* match_name,
                                          A_Boolean* can_add);
    A_Err(PF_CALLBACK* AEGP_AddStream)(AEGP_PluginID plugin_id, AEGP_StreamRefH indexed_group,
                                       const A_char* match_name, AEGP_StreamRefH* new_stream);
    A_Err(PF_CALLBACK* AEGP_GetMatchName)(AEGP_StreamRefH stream, A_char* match_name);
    A_Err(PF_CALLBACK* AEGP_GetNewParentStreamRef)(AEGP_PluginID plugin_id, AEGP_StreamRefH stream,
                                                   AEGP_StreamRefH* parent_stream);
    A_Err(PF_CALLBACK* AEGP_GetStreamIsModified)(AEGP_StreamRefH stream, A_Boolean* modified);
};

#define kAEGPEffectSuite "AEGP Effect Suite"
#define kAEGPEffectSuiteVersion2 2
struct AEGP_EffectSuite2 {
    A_Err(PF_CALLBACK* AEGP_GetLayerNumEffects)(AEGP_LayerH layer, A_long* num_effects);
    A_Err(PF_CALLBACK* AEGP_GetLayerEffectByIndex)(AEGP_PluginID plugin_id, AEGP_LayerH layer,
                                                   AEGP_EffectIndex layer_effect_index,
                                                   AEGP_EffectRefH* effect);
    A_Err(PF_CALLBACK* AEGP_GetInstalledKeyFromLayerEffect)(AEGP_EffectRefH effect,
                                                            AEGP_InstalledEffectKey* installed_key);
    A_Err(PF_CALLBACK* AEGP_GetEffectParamUnionByIndex)(AEGP_PluginID plugin_id,
                                                        AEGP_EffectRefH effect,
                                                        PF_ParamIndex param_index,
                                                        PF_ParamType* param_type,
                                                        PF_ParamDefUnion* param_union);
    A_Err(PF_CALLBACK* AEGP_GetEffectFlags)(AEGP_EffectRefH effect, AEGP_EffectFlags* flags);
    A_Err(PF_CALLBACK* AEGP_SetEffectFlags)(AEGP_EffectRefH effect, AEGP_EffectFlags mask,
                                            AEGP_EffectFlags flags);
    A_Err(PF_CALLBACK* AEGP_ReorderEffect)(AEGP_EffectRefH effect, A_long effect_index);
    A_Err(PF_CALLBACK* AEGP_EffectCallGeneric)(AEGP_PluginID plugin_id, AEGP_EffectRefH effect,
                                               const A_Time* time, void* extra);
    A_Err(PF_CALLBACK* AEGP_DisposeEffect)(AEGP_EffectRefH effect);
    A_Err(PF_CALLBACK* AEGP_ApplyEffect)(AEGP_PluginID plugin_id, AEGP_LayerH layer,
                                         AEGP_InstalledEffectKey installed_key,
                                         AEGP_EffectRefH* effect);
    A_Err(PF_CALLBACK* AEGP_DeleteLayerEffect)(AEGP_EffectRefH effect);
    A_Err(PF_CALLBACK* AEGP_GetNumInstalledEffects)(A_long* num_installed_effects);
    A_Err(PF_CALLBACK* AEGP_GetNextInstalledEffect)(AEGP_InstalledEffectKey key,
                                                    AEGP_InstalledEffectKey* next_key);
    A_Err(PF_CALLBACK* AEGP_GetEffectName)(AEGP_InstalledEffectKey installed_key, A_char* name);
    A_Err(PF_CALLBACK* AEGP_GetEffectMatchName)(AEGP_InstalledEffectKey installed_key,
                                                A_char* match_name);
    A_Err(PF_CALLBACK* AEGP_GetEffectCategory)(AEGP_InstalledEffectKey installed_key,
                                               A_char* category);
    A_Err(PF_CALLBACK* AEGP_DuplicateEffect)(AEGP_EffectRefH original_effect,
                                             AEGP_EffectRefH* duplicate_effect);
};

// The one function the module exports; the host calls it once per command.
using PF_EntryPointFunc = PF_Err(PF_CALLBACK*)(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                               PF_ParamDef* params[], PF_LayerDef* output,
                                               void* extra);

}  // extern "C"
