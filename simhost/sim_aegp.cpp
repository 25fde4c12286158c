// AEGP references: registration, effect and stream references, and the dynamic stream flags.
#include <string>

#include "simhost/sim_callbacks.h"

namespace simhost {

PF_Err PF_CALLBACK SimHost::Callbacks::register_with_aegp(AEGP_GlobalRefcon, const A_char* name,
                                                          AEGP_PluginID* id) {
    SimHost& h = host();
    const auto fault = h.enter(HostFn::register_with_aegp);
    if (id == nullptr || name == nullptr) {
        h.error("AEGP_RegisterWithAEGP: null name or place for the id");
        return kMisuseErr;
    }
    if (fault) {
        return *fault;
    }
    h.registered_names_.emplace_back(name);
    *id = h.plugin_id_;
    return PF_Err_NONE;
}

bool SimHost::Callbacks::known_plugin(SimHost& h, AEGP_PluginID id, const char* fn) {
    if (h.registered_names_.empty() || id != h.plugin_id_) {
        h.error(std::string(fn) + ": plug-in id " + std::to_string(id) + " is not registered");
        return false;
    }
    return true;
}

SimHost::RefRec* SimHost::Callbacks::live_ref(std::vector<std::unique_ptr<RefRec>>& refs,
                                              const void* p) {
    for (auto& r : refs) {
        if (r.get() == p) {
            return r->live ? r.get() : nullptr;
        }
    }
    return nullptr;
}

PF_Err PF_CALLBACK SimHost::Callbacks::get_new_effect_for_effect(AEGP_PluginID id, PF_ProgPtr ref,
                                                                 AEGP_EffectRefH* effect) {
    SimHost& h = host();
    const auto fault = h.enter(HostFn::get_new_effect_for_effect);
    if (effect == nullptr) {
        h.error("AEGP_GetNewEffectForEffect: null place for the reference");
        return kMisuseErr;
    }
    if (!known_plugin(h, id, "AEGP_GetNewEffectForEffect") ||
        !known_ref(h, ref, "AEGP_GetNewEffectForEffect")) {
        return kMisuseErr;
    }
    if (fault) {
        return *fault;
    }
    h.effects_.push_back(std::make_unique<RefRec>());
    *effect = reinterpret_cast<AEGP_EffectRefH>(h.effects_.back().get());
    return PF_Err_NONE;
}

PF_Err PF_CALLBACK SimHost::Callbacks::get_new_effect_stream_by_index(AEGP_PluginID id,
                                                                      AEGP_EffectRefH effect,
                                                                      PF_ParamIndex index,
                                                                      AEGP_StreamRefH* stream) {
    SimHost& h = host();
    const auto fault = h.enter(HostFn::get_new_effect_stream_by_index);
    if (stream == nullptr) {
        h.error("AEGP_GetNewEffectStreamByIndex: null place for the reference");
        return kMisuseErr;
    }
    if (!known_plugin(h, id, "AEGP_GetNewEffectStreamByIndex")) {
        return kMisuseErr;
    }
    if (live_ref(h.effects_, effect) == nullptr) {
        h.error("AEGP_GetNewEffectStreamByIndex: unknown or disposed effect reference");
        return kMisuseErr;
    }
    h.stream_requests_.push_back(index);
    if (index < 1 || static_cast<std::size_t>(index) >= h.params_.size()) {
        h.error("AEGP_GetNewEffectStreamByIndex: no parameter " + std::to_string(index));
        return kMisuseErr;
    }
    if (fault) {
        return *fault;
    }
    h.streams_.push_back(std::make_unique<RefRec>(RefRec{true, index}));
    *stream = reinterpret_cast<AEGP_StreamRefH>(h.streams_.back().get());
    return PF_Err_NONE;
}

PF_Err PF_CALLBACK SimHost::Callbacks::dispose_stream(AEGP_StreamRefH stream) {
    SimHost& h = host();
    const auto fault = h.enter(HostFn::dispose_stream);
    RefRec* rec = live_ref(h.streams_, stream);
    if (rec == nullptr) {
        h.error("AEGP_DisposeStream: unknown or disposed stream reference");
        return kMisuseErr;
    }
    rec->live = false;
    return fault ? *fault : PF_Err_NONE;
}

PF_Err PF_CALLBACK SimHost::Callbacks::set_dynamic_stream_flag(AEGP_StreamRefH stream,
                                                               AEGP_DynStreamFlags flag,
                                                               A_Boolean undoable, A_Boolean set) {
    SimHost& h = host();
    const auto fault = h.enter(HostFn::set_dynamic_stream_flag);
    RefRec* rec = live_ref(h.streams_, stream);
    if (rec == nullptr) {
        h.error("AEGP_SetDynamicStreamFlag: unknown or disposed stream reference");
        return kMisuseErr;
    }
    FlagCall call{rec->param, flag, undoable, set, PF_Err_NONE};
    if (flag != AEGP_DynStreamFlag_HIDDEN) {
        h.error("AEGP_SetDynamicStreamFlag: flag " + std::to_string(flag) +
                " is not the hidden flag");
        call.result = kMisuseErr;
    } else if (fault) {
        call.result = *fault;
    } else {
        h.hidden_[rec->param] = set != 0;
    }
    h.flag_calls_.push_back(call);
    return call.result;
}

PF_Err PF_CALLBACK SimHost::Callbacks::dispose_effect(AEGP_EffectRefH effect) {
    SimHost& h = host();
    const auto fault = h.enter(HostFn::dispose_effect);
    RefRec* rec = live_ref(h.effects_, effect);
    if (rec == nullptr) {
        h.error("AEGP_DisposeEffect: unknown or disposed effect reference");
        return kMisuseErr;
    }
    rec->live = false;
    return fault ? *fault : PF_Err_NONE;
}

int SimHost::outstanding_effects() const {
    int n = 0;
    for (const auto& r : effects_) {
        n += r->live;
    }
    return n;
}

int SimHost::outstanding_streams() const {
    int n = 0;
    for (const auto& r : streams_) {
        n += r->live;
    }
    return n;
}

std::optional<bool> SimHost::hidden(PF_ParamIndex index) const {
    auto it = hidden_.find(index);
    if (it == hidden_.end()) {
        return std::nullopt;
    }
    return it->second;
}

}  // namespace simhost
