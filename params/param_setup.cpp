#include "params/param_setup.h"

#include <cstring>

static_assert(static_cast<PF_ParamType>(ParamType::slider) == PF_Param_SLIDER &&
              static_cast<PF_ParamType>(ParamType::percent) == PF_Param_FIX_SLIDER &&
              static_cast<PF_ParamType>(ParamType::color) == PF_Param_COLOR &&
              static_cast<PF_ParamType>(ParamType::popup) == PF_Param_POPUP &&
              static_cast<PF_ParamType>(ParamType::group_start) == PF_Param_GROUP_START &&
              static_cast<PF_ParamType>(ParamType::group_end) == PF_Param_GROUP_END);
static_assert(param_table_detail::kShowAsPercent == PF_ValueDisplayFlag_PERCENT);

namespace {

// The definition the host receives for `p`; every field the table does not fill stays zero,
// as the host expects of unused fields.
void fill_definition(PF_InData* in_data, const ParamEntry& p, PF_ParamDef& def) {
    std::memset(&def, 0, sizeof(def));
    if (p.name[0] != '\0') in_data->utils->ansi.strcpy(def.name, p.name);
    def.param_type = static_cast<PF_ParamType>(p.type);
    def.uu.id = p.index;
    def.flags = p.flags;
    switch (p.type) {
        case ParamType::popup:
            def.u.pd.value = static_cast<A_long>(p.dephault);
            def.u.pd.dephault = static_cast<A_short>(p.dephault);
            def.u.pd.num_choices = static_cast<A_short>(choice_count(p.choices));
            def.u.pd.u.namesptr = p.choices;
            break;
        case ParamType::slider:
            def.u.sd.value = p.dephault;
            def.u.sd.dephault = p.dephault;
            def.u.sd.valid_min = p.valid_min;
            def.u.sd.valid_max = p.valid_max;
            def.u.sd.slider_min = p.slider_min;
            def.u.sd.slider_max = p.slider_max;
            break;
        case ParamType::percent:
            def.u.fd.value = percent_to_host(p.dephault);
            def.u.fd.dephault = percent_to_host(p.dephault);
            def.u.fd.valid_min = percent_to_host(p.valid_min);
            def.u.fd.valid_max = percent_to_host(p.valid_max);
            def.u.fd.slider_min = percent_to_host(p.slider_min);
            def.u.fd.slider_max = percent_to_host(p.slider_max);
            def.u.fd.precision = p.precision;
            def.u.fd.display_flags = p.display_flags;
            break;
        case ParamType::color:
            def.u.cd.value = color_to_host(p.color);
            def.u.cd.dephault = def.u.cd.value;
            break;
        case ParamType::group_start:
        case ParamType::group_end:
            break;
    }
}

}  // namespace

PF_Err params_setup(PF_InData* in_data, PF_OutData* out_data) {
    PF_ParamDef def{};
    // Stops at the first registration the host refuses.
    for (const ParamEntry& p : kParamTable) {
        fill_definition(in_data, p, def);
        const PF_Err err = in_data->inter.add_param(in_data->effect_ref, PF_Param_APPEND, &def);
        if (err != PF_Err_NONE) return err;
    }
    out_data->num_params = kParamCount;
    return PF_Err_NONE;
}
