// What the parts of the simulated host share: the current host, the traps for unused function
// slots, and the callbacks handed to the effect, declared here and defined with the host
// service they belong to. Not part of the simulated host's public interface.
#pragma once

#include <string>
#include <utility>

#include "hostkit/failing_slots.h"
#include "simhost/sim_host.h"

namespace simhost {

// The host the context-free callbacks talk to; see "The current host" in sim_host.h.
SimHost& host();

inline std::string describe(const std::string& name, A_long version) {
    return "\"" + name + "\" " + std::to_string(version);
}

inline void report_unused_call(const char* slot);

// A function slot the effect has no business calling: the call is recorded as a misuse and
// fails in the way its result type allows.
struct Trapped {
    static constexpr PF_Err kErr = kMisuseErr;
    static void called(const char* slot) { report_unused_call(slot); }
};

#define SIM_TRAP(table, record, slot) ZX_FAIL_SLOT(Trapped, table, record, slot)

struct SimHost::Callbacks {
    static bool known_ref(SimHost& h, PF_ProgPtr ref, const char* fn) {
        if (ref != h.effect_ref_) {
            h.error(std::string(fn) + ": effect_ref is not the one the host gave");
            return false;
        }
        return true;
    }

    // Parameters and commands: sim_params.cpp
    static PF_Err PF_CALLBACK add_param(PF_ProgPtr ref, PF_ParamIndex index, PF_ParamDefPtr def);
    static PF_Err PF_CALLBACK progress(PF_ProgPtr ref, A_long current, A_long total);

    // World operations: sim_world_ops.cpp
    static PF_Err PF_CALLBACK copy(PF_ProgPtr ref, PF_EffectWorld* src, PF_EffectWorld* dst,
                                   PF_Rect* src_r, PF_Rect* dst_r);
    static PF_Err PF_CALLBACK fill(PF_ProgPtr ref, const PF_Pixel* color, const PF_Rect* dst_rect,
                                   PF_EffectWorld* world);

    // Handles: sim_handles.cpp
    static PF_Handle PF_CALLBACK new_handle(A_HandleSize size);
    static void* PF_CALLBACK lock_handle(PF_Handle handle);
    static void PF_CALLBACK unlock_handle(PF_Handle handle);
    static void PF_CALLBACK dispose_handle(PF_Handle handle);

    // Suites and texts: sim_suites.cpp
    static int PF_CALLBACK ansi_sprintf(A_char* buffer, const A_char* format, ...);
    static A_char* PF_CALLBACK ansi_strcpy(A_char* dst, const A_char* src);
    // The host's text functions take no size: every buffer is taken to be a message buffer,
    // and a longer text is an overflow that the simulation cuts short instead of committing.
    static void store_text(SimHost& h, A_char* dst, const char* text, const char* fn);
    static A_long PF_CALLBACK acquire_suite(const A_char* name, A_long version, const void** suite);
    static A_long PF_CALLBACK release_suite(const A_char* name, A_long version);

    // AEGP references: sim_aegp.cpp
    static PF_Err PF_CALLBACK register_with_aegp(AEGP_GlobalRefcon, const A_char* name,
                                                 AEGP_PluginID* id);
    static bool known_plugin(SimHost& h, AEGP_PluginID id, const char* fn);
    static RefRec* live_ref(std::vector<std::unique_ptr<RefRec>>& refs, const void* p);
    static PF_Err PF_CALLBACK get_new_effect_for_effect(AEGP_PluginID id, PF_ProgPtr ref,
                                                        AEGP_EffectRefH* effect);
    static PF_Err PF_CALLBACK get_new_effect_stream_by_index(AEGP_PluginID id,
                                                             AEGP_EffectRefH effect,
                                                             PF_ParamIndex index,
                                                             AEGP_StreamRefH* stream);
    static PF_Err PF_CALLBACK dispose_stream(AEGP_StreamRefH stream);
    static PF_Err PF_CALLBACK set_dynamic_stream_flag(AEGP_StreamRefH stream,
                                                      AEGP_DynStreamFlags flag, A_Boolean undoable,
                                                      A_Boolean set);
    static PF_Err PF_CALLBACK dispose_effect(AEGP_EffectRefH effect);
    // Suites served by name and version; null for a pair the host does not serve.
    static const void* served(const std::pair<std::string, A_long>& key);

    static void report_unused(const char* slot) {
        host().error(std::string(slot) + " called: the effect has no business with it");
    }
};

inline void report_unused_call(const char* slot) {
    SimHost::Callbacks::report_unused(slot);
}

}  // namespace simhost
