#include "params/param_visibility.h"

#include <array>

#include "host/effect_info.h"
#include "host/suite_cache.h"
#include "params/param_table.h"

namespace {

// The parameters shown for some choices only, in the table's order: the order in which their
// streams are fetched and released.
constexpr std::size_t kToggledCount = [] {
    std::size_t count = 0;
    for (const ParamEntry& entry : kParamTable) count += entry.shown_when.popup != kParamInput;
    return count;
}();

constexpr std::array<ParamIndex, kToggledCount> kToggledParams = [] {
    std::array<ParamIndex, kToggledCount> toggled{};
    std::size_t n = 0;
    for (const ParamEntry& entry : kParamTable) {
        if (entry.shown_when.popup != kParamInput) toggled[n++] = entry.index;
    }
    return toggled;
}();

bool hidden_now(ParamIndex index, PF_ParamDef* params[]) {
    const ParamEntry& entry = param_entry(index);
    return !param_shown(entry, params[entry.shown_when.popup]->u.pd.value);
}

}  // namespace

PF_Err update_param_visibility(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[]) {
    PF_Err err = PF_Err_NONE;
    AEGP_EffectRefH effect = nullptr;
    std::array<AEGP_StreamRefH, kToggledParams.size()> streams{};
    SuiteCache suites(in_data->pica_basicP);

    // Global Setup may have ended without handing over its record; then there is no plug-in id
    // to ask the host with, and nothing is changed.
    if (in_data->global_data == nullptr || *in_data->global_data == nullptr || params == nullptr) {
        return PF_Err_NONE;
    }
    const AEGP_PluginID plugin_id =
        static_cast<const GlobalData*>(*in_data->global_data)->plugin_id;

    // Every reference obtained is given back, also when a suite goes missing on the way; the
    // first failure, or the missing suite, still decides the result.
    bool suite_missing = false;
    try {
        // Every suite first: a missing one then strands no reference.
        suites.pf_interface();
        suites.streams();
        suites.dynamic_streams();
        suites.effects();
        err = suites.pf_interface()->AEGP_GetNewEffectForEffect(plugin_id, in_data->effect_ref,
                                                                &effect);
        for (std::size_t i = 0; i < kToggledParams.size() && err == PF_Err_NONE; ++i) {
            err = suites.streams()->AEGP_GetNewEffectStreamByIndex(plugin_id, effect,
                                                                   kToggledParams[i], &streams[i]);
        }
        if (err == PF_Err_NONE) {
            for (std::size_t i = 0; i < kToggledParams.size() && err == PF_Err_NONE; ++i) {
                err = suites.dynamic_streams()->AEGP_SetDynamicStreamFlag(
                    streams[i], AEGP_DynStreamFlag_HIDDEN, 0,
                    hidden_now(kToggledParams[i], params) ? 1 : 0);
            }
        }
    } catch (SuiteMissing) {
        suite_missing = true;
    }

    if (effect != nullptr) {
        try {
            const PF_Err release_err = suites.effects()->AEGP_DisposeEffect(effect);
            if (err == PF_Err_NONE) err = release_err;
        } catch (SuiteMissing) {
            suite_missing = true;
        }
    }
    // A stream exists only if the stream suite was acquired, so this cannot raise.
    for (AEGP_StreamRefH stream : streams) {
        if (stream == nullptr) continue;
        const PF_Err release_err = suites.streams()->AEGP_DisposeStream(stream);
        if (err == PF_Err_NONE) err = release_err;
    }
    if (suite_missing) raise_missing_suite();
    if (err == PF_Err_NONE) out_data->out_flags |= PF_OutFlag_FORCE_RERENDER;
    return err;
}
