#include "params/param_setup.h"

#include <cstring>

#include "params/param_ids.h"

namespace {

constexpr PF_Fixed to_fixed(A_long whole) {
    return whole << 16;
}

struct Registrar {
    PF_InData* in_data;
    PF_ParamDef def{};

    // Every definition starts from zero, as the host expects of unused fields.
    void begin(PF_ParamType type, ParamIndex id, const char* name) {
        std::memset(&def, 0, sizeof(def));
        if (name != nullptr) in_data->utils->ansi.strcpy(def.name, name);
        def.param_type = type;
        def.uu.id = id;
        def.flags = 0;
    }
    PF_Err add() { return in_data->inter.add_param(in_data->effect_ref, PF_Param_APPEND, &def); }

    PF_Err popup(ParamIndex id, const char* name, A_short choices, A_short dephault,
                 const char* names) {
        begin(PF_Param_POPUP, id, name);
        def.u.pd.value = dephault;
        def.u.pd.dephault = dephault;
        def.u.pd.num_choices = choices;
        def.u.pd.u.namesptr = names;
        return add();
    }
    PF_Err slider(ParamIndex id, const char* name, A_long valid_min, A_long valid_max,
                  A_long slider_min, A_long slider_max, A_long dephault) {
        begin(PF_Param_SLIDER, id, name);
        def.u.sd.value = dephault;
        def.u.sd.dephault = dephault;
        def.u.sd.valid_min = valid_min;
        def.u.sd.valid_max = valid_max;
        def.u.sd.slider_min = slider_min;
        def.u.sd.slider_max = slider_max;
        return add();
    }
    PF_Err percent(ParamIndex id, const char* name, A_long dephault) {
        begin(PF_Param_FIX_SLIDER, id, name);
        def.u.fd.value = to_fixed(dephault);
        def.u.fd.dephault = to_fixed(dephault);
        def.u.fd.valid_min = to_fixed(0);
        def.u.fd.valid_max = to_fixed(100);
        def.u.fd.slider_min = to_fixed(0);
        def.u.fd.slider_max = to_fixed(100);
        def.u.fd.precision = 1;
        def.u.fd.display_flags = PF_ValueDisplayFlag_PERCENT;
        return add();
    }
    PF_Err color(ParamIndex id, const char* name, PF_Pixel dephault) {
        begin(PF_Param_COLOR, id, name);
        def.u.cd.value = dephault;
        def.u.cd.dephault = dephault;
        return add();
    }
    PF_Err group(PF_ParamType type, ParamIndex id, const char* name) {
        begin(type, id, name);
        return add();
    }
};

}  // namespace

PF_Err params_setup(PF_InData* in_data, PF_OutData* out_data) {
    Registrar reg{in_data};
    PF_Err err = PF_Err_NONE;
    // Stops at the first registration the host refuses.
    (err = reg.popup(kParamMode, "Mode", 2, kModeManhattan, "Manhattan|Euclidean")) ||
        (err = reg.percent(kParamCompletion, "Completion", 0)) ||
        (err = reg.popup(kParamSplit, "Split", 3, kSplitRowColumn,
                         "Row & Column|Row & Width|Height & Column")) ||
        (err = reg.slider(kParamRow, "Row", 1, 2000, 1, 100, 6)) ||
        (err = reg.slider(kParamHeight, "Height", 4, 2000, 4, 1000, 100)) ||
        (err = reg.slider(kParamColumn, "Column", 1, 2000, 1, 100, 8)) ||
        (err = reg.slider(kParamWidth, "Width", 4, 2000, 4, 1000, 100)) ||
        (err = reg.slider(kParamSeed, "Seed", 0, 100000, 0, 1000, 0)) ||
        (err = reg.group(PF_Param_GROUP_START, kParamOverlapGroup, "--Overlap--")) ||
        (err = reg.popup(kParamOverlapMode, "Overlap Mode", 2, kOverlapFootage, "Footage|Color")) ||
        (err = reg.color(kParamColor, "Color", PF_Pixel{255, 255, 0, 0})) ||
        (err = reg.popup(kParamBlendMode, "Blend Mode", 8, 1,
                         "Normal|(-|Add|Multiply|Screen|Overlay|Color Dodge|Color Burn")) ||
        (err = reg.percent(kParamOpacity, "Opacity", 100)) ||
        (err = reg.group(PF_Param_GROUP_END, kParamOverlapGroupEnd, nullptr));
    if (err != PF_Err_NONE) return err;
    out_data->num_params = kParamCount;
    return PF_Err_NONE;
}
