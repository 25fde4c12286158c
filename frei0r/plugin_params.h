// The parameter entry points both frei0r modules share: the filter's instance holds the values
// for the mixer too.
#pragma once

#include <cstddef>

#include "frei0r/filter.h"
#include "frei0r/param_mapping.h"
#include "frei0r/param_text.h"
#include "host/effect_info.h"

// Debian's header declares C functions without saying so.
extern "C" {
#include <frei0r.h>
}

namespace zx::frei0r {

// Both modules' f0r_init: the parameter texts are built here, where a failure can be reported,
// rather than on a later call that has no way to say so.
inline int init_module(Module module) {
    try {
        param_explanation(module, 0);
        return 1;
    } catch (...) {
        return 0;
    }
}

// What both modules tell a tool about themselves; they differ in name, type and explanation.
inline void describe_plugin(f0r_plugin_info_t* info, const char* name, int plugin_type,
                            const char* explanation) {
    if (info == nullptr) return;
    info->name = name;
    info->author = "Varnok";
    info->plugin_type = plugin_type;
    info->color_model = F0R_COLOR_MODEL_RGBA8888;
    info->frei0r_version = FREI0R_MAJOR_VERSION;
    info->major_version = static_cast<int>(kMajorVersion);
    info->minor_version = static_cast<int>(kMinorVersion);
    info->num_params = static_cast<int>(kUserParamCount);
    info->explanation = explanation;
}

inline bool is_color(int param_index) {
    return param_index >= 0 && static_cast<std::size_t>(param_index) < kUserParamCount &&
           param_entry(kParams[static_cast<std::size_t>(param_index)]).type == ParamType::color;
}

inline void describe_param(Module module, f0r_param_info_t* info, int param_index) {
    if (info == nullptr || param_index < 0 ||
        static_cast<std::size_t>(param_index) >= kUserParamCount) {
        return;
    }
    const auto i = static_cast<std::size_t>(param_index);
    info->name = param_name(module, i);
    info->type = is_color(param_index) ? F0R_PARAM_COLOR : F0R_PARAM_DOUBLE;
    try {
        info->explanation = param_explanation(module, i).c_str();
    } catch (...) {
        info->explanation = info->name;
    }
}

inline void set_param(Filter* f, f0r_param_t param, int param_index) {
    if (f == nullptr || param == nullptr) return;
    if (is_color(param_index)) {
        const auto* c = static_cast<const f0r_param_color_t*>(param);
        f->set_color(param_index, {c->r, c->g, c->b});
    } else {
        f->set_number(param_index, *static_cast<const f0r_param_double*>(param));
    }
}

inline void get_param(const Filter* f, f0r_param_t param, int param_index) {
    if (f == nullptr || param == nullptr || param_index < 0 ||
        static_cast<std::size_t>(param_index) >= kUserParamCount) {
        return;
    }
    if (is_color(param_index)) {
        const Color c = f->color(param_index);
        *static_cast<f0r_param_color_t*>(param) = {c.r, c.g, c.b};
    } else {
        *static_cast<f0r_param_double*>(param) = f->number(param_index);
    }
}

}  // namespace zx::frei0r
