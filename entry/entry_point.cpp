#include "entry/entry_point.h"

#include "entry/small_commands.h"
#include "host/ae_api_layout.h"
#include "host/suite_cache.h"
#include "params/param_setup.h"
#include "params/param_visibility.h"
#include "render/render_pass.h"

namespace {

PF_Err dispatch(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                PF_LayerDef* output, void* extra) {
    switch (cmd) {
        case PF_Cmd_ABOUT:
            return about(in_data, out_data);
        case PF_Cmd_GLOBAL_SETUP:
            return global_setup(in_data, out_data);
        case PF_Cmd_PARAMS_SETUP:
            return params_setup(in_data, out_data);
        case PF_Cmd_RENDER:
            return render(in_data, out_data, params, output);
        case PF_Cmd_USER_CHANGED_PARAM:
        case PF_Cmd_UPDATE_PARAMS_UI:
            return update_param_visibility(in_data, out_data, params);
        case PF_Cmd_COMPLETELY_GENERAL:
            return completely_general(in_data, out_data, extra);
        default:
            return PF_Err_NONE;
    }
}

}  // namespace

extern "C" PF_Err PF_CALLBACK EntryPointFunc(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                             PF_ParamDef* params[], PF_LayerDef* output,
                                             void* extra) {
    try {
        return dispatch(cmd, in_data, out_data, params, output, extra);
    } catch (SuiteMissing code) {
        return code;
    }
}
