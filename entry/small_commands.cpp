#include "entry/small_commands.h"

#include <cstring>

#include "host/effect_info.h"
#include "host/suite_cache.h"

PF_Err about(PF_InData* in_data, PF_OutData* out_data) {
    SuiteCache suites(in_data->pica_basicP);
    suites.ansi()->sprintf(out_data->return_msg, "%s, v%d.%d\r%s", kEffectName,
                           static_cast<int>(kMajorVersion), static_cast<int>(kMinorVersion),
                           kEffectDescription);
    return PF_Err_NONE;
}

PF_Err global_setup(PF_InData* in_data, PF_OutData* out_data) {
    SuiteCache suites(in_data->pica_basicP);
    out_data->my_version = kEffectVersion;
    out_data->out_flags |= kGlobalOutFlags;

    const PF_HandleSuite1* handle_suite = suites.handles();
    PF_Handle handle = handle_suite->host_new_handle(sizeof(GlobalData));
    if (handle == nullptr) return PF_Err_INTERNAL_STRUCT_DAMAGED;

    PF_Err err = PF_Err_NONE;
    bool handed_over = false;
    bool suite_missing = false;
    if (auto* global = static_cast<GlobalData*>(handle_suite->host_lock_handle(handle))) {
        global->initialized = 1;
        try {
            err = suites.utility()->AEGP_RegisterWithAEGP(nullptr, "Error!", &global->plugin_id);
        } catch (SuiteMissing) {
            suite_missing = true;
        }
        if (err == PF_Err_NONE && !suite_missing) {
            out_data->global_data = handle;
            handed_over = true;
        }
    }
    handle_suite->host_unlock_handle(handle);
    // A handle the host never sees would otherwise be lost.
    if (!handed_over) handle_suite->host_dispose_handle(handle);
    if (suite_missing) raise_missing_suite();
    return err;
}

PF_Err completely_general(PF_InData* in_data, PF_OutData* out_data, const void* extra) {
    SuiteCache suites(in_data->pica_basicP);
    // The host's sprintf knows nothing of the buffer's size: shorten the text to fit first.
    char text[PF_MAX_EFFECT_MSG_LEN + 1] = {};
    if (extra != nullptr) {
        const char* source = static_cast<const char*>(extra);
        std::size_t length = 0;
        while (length < PF_MAX_EFFECT_MSG_LEN && source[length] != '\0') ++length;
        std::memcpy(text, source, length);
    }
    suites.ansi()->sprintf(out_data->return_msg, "%s", text);
    return PF_Err_NONE;
}
