// The data members of the host's records that the effect has no business with, and how the
// simulated host lays its pattern into them and finds them changed. Private to the simulated host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "host/ae_api.h"

namespace simhost {

// A data member the effect has no business reading or writing.
struct UnusedSpan {
    const char* name;
    std::size_t offset;
    std::size_t size;
};

#define SIM_UNUSED(record, member)                                            \
    UnusedSpan {                                                              \
#record "." #member, offsetof(record, member), sizeof(record::member) \
    }
#define SIM_UNUSED_IN(record, outer, inner_record, member)                                        \
    UnusedSpan {                                                                                  \
#record "." #outer "." #member, offsetof(record, outer) + offsetof(inner_record, member), \
            sizeof(inner_record::member)                                                          \
    }

inline const UnusedSpan kUnusedInData[] = {
    SIM_UNUSED_IN(PF_InData, inter, PF_InteractCallbacks, reserved_str),
    SIM_UNUSED_IN(PF_InData, inter, PF_InteractCallbacks, reserved),
    SIM_UNUSED(PF_InData, quality),
    SIM_UNUSED(PF_InData, version),
    SIM_UNUSED(PF_InData, serial_num),
    SIM_UNUSED(PF_InData, appl_id),
    SIM_UNUSED(PF_InData, num_params),
    SIM_UNUSED(PF_InData, reserved),
    SIM_UNUSED(PF_InData, what_cpu),
    SIM_UNUSED(PF_InData, what_fpu),
    SIM_UNUSED(PF_InData, current_time),
    SIM_UNUSED(PF_InData, time_step),
    SIM_UNUSED(PF_InData, total_time),
    SIM_UNUSED(PF_InData, local_time_step),
    SIM_UNUSED(PF_InData, time_scale),
    SIM_UNUSED(PF_InData, field),
    SIM_UNUSED(PF_InData, shutter_angle),
    SIM_UNUSED(PF_InData, width),
    SIM_UNUSED(PF_InData, height),
    SIM_UNUSED(PF_InData, extent_hint),
    SIM_UNUSED(PF_InData, output_origin_x),
    SIM_UNUSED(PF_InData, output_origin_y),
    SIM_UNUSED(PF_InData, downsample_y),
    SIM_UNUSED(PF_InData, pixel_aspect_ratio),
    SIM_UNUSED(PF_InData, in_flags),
    SIM_UNUSED(PF_InData, sequence_data),
    SIM_UNUSED(PF_InData, frame_data),
    SIM_UNUSED(PF_InData, start_sampL),
    SIM_UNUSED(PF_InData, dur_sampL),
    SIM_UNUSED(PF_InData, total_sampL),
    SIM_UNUSED(PF_InData, src_snd),
    SIM_UNUSED(PF_InData, pre_effect_source_origin_x),
    SIM_UNUSED(PF_InData, pre_effect_source_origin_y),
    SIM_UNUSED(PF_InData, shutter_phase),
};

inline const UnusedSpan kUnusedUtils[] = {
    SIM_UNUSED(PF_UtilCallbacks, get_batch_func_is_deprecated),
    SIM_UNUSED_IN(PF_UtilCallbacks, ansi, PF_ANSICallbacks, ansi_procs),
    SIM_UNUSED(PF_UtilCallbacks, reserved),
};

inline const UnusedSpan kUnusedOutData[] = {
    SIM_UNUSED(PF_OutData, name),
    SIM_UNUSED(PF_OutData, sequence_data),
    SIM_UNUSED(PF_OutData, flat_sdata_size),
    SIM_UNUSED(PF_OutData, frame_data),
    SIM_UNUSED(PF_OutData, width),
    SIM_UNUSED(PF_OutData, height),
    SIM_UNUSED(PF_OutData, origin),
    SIM_UNUSED(PF_OutData, start_sampL),
    SIM_UNUSED(PF_OutData, dur_sampL),
    SIM_UNUSED(PF_OutData, dest_snd),
    SIM_UNUSED(PF_OutData, out_flags2),
};

inline const UnusedSpan kUnusedWorld[] = {
    SIM_UNUSED(PF_LayerDef, reserved0),        SIM_UNUSED(PF_LayerDef, reserved1),
    SIM_UNUSED(PF_LayerDef, extent_hint),      SIM_UNUSED(PF_LayerDef, platform_ref),
    SIM_UNUSED(PF_LayerDef, reserved_long1),   SIM_UNUSED(PF_LayerDef, reserved_long4),
    SIM_UNUSED(PF_LayerDef, pix_aspect_ratio), SIM_UNUSED(PF_LayerDef, reserved_long2),
    SIM_UNUSED(PF_LayerDef, origin_x),         SIM_UNUSED(PF_LayerDef, origin_y),
    SIM_UNUSED(PF_LayerDef, reserved_long3),   SIM_UNUSED(PF_LayerDef, dephault),
};

inline const UnusedSpan kUnusedParamHeader[] = {
    SIM_UNUSED(PF_ParamDef, ui_flags),
    SIM_UNUSED(PF_ParamDef, ui_width),
    SIM_UNUSED(PF_ParamDef, ui_height),
    SIM_UNUSED(PF_ParamDef, unused),
};

template <std::size_t N>
inline void lay_pattern(void* record, const UnusedSpan (&spans)[N], std::uint8_t byte) {
    for (const UnusedSpan& span : spans) {
        std::memset(static_cast<std::uint8_t*>(record) + span.offset, byte, span.size);
    }
}

// Appends the name of every span whose bytes differ between the record before and after a call.
template <std::size_t N>
inline void find_changed(const void* before, const void* after, const UnusedSpan (&spans)[N],
                         const std::string& where, std::vector<std::string>& out) {
    for (const UnusedSpan& span : spans) {
        if (std::memcmp(static_cast<const std::uint8_t*>(before) + span.offset,
                        static_cast<const std::uint8_t*>(after) + span.offset, span.size) != 0) {
            out.push_back(where + span.name);
        }
    }
}

}  // namespace simhost
