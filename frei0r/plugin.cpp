// The frei0r entry points: a filter in RGBA8888 with the effect's twelve user parameters.
// Nothing may unwind into the video tool, so every entry point catches everything.
#include <array>
#include <cstdint>
#include <memory>
#include <new>
#include <string>

#include "frei0r/filter.h"
#include "frei0r/param_mapping.h"
#include "host/effect_info.h"

// Debian's header declares C functions without saying so.
extern "C" {
#include <frei0r.h>
}

namespace {

using zx::frei0r::Filter;
using zx::frei0r::kParams;
using zx::frei0r::kUserParamCount;

std::string range_text(const ParamEntry& p) {
    switch (p.type) {
        case ParamType::percent:
            return "0..1 = 0..100 %, as 16.16: lround(x*100*65536)";
        case ParamType::slider:
            return "0..1 = " + std::to_string(p.slider_min) + ".." + std::to_string(p.slider_max) +
                   ": " + std::to_string(p.slider_min) + " + lround(x*" +
                   std::to_string(p.slider_max - p.slider_min) + ")";
        case ParamType::popup: {
            const int n = zx::frei0r::selectable_count(p);
            std::string text = "0..1 over " + std::to_string(n) + " choices, choice lround(x*" +
                               std::to_string(n - 1) + "): ";
            for (int k = 0; k < n; ++k) {
                if (k > 0) text += ", ";
                text += std::to_string(k) + " " +
                        std::string(choice_item(p.choices, zx::frei0r::selectable_number(p, k)));
            }
            return text;
        }
        case ParamType::color:
            return "each channel lround(c*255), alpha 255";
        default:
            return "";
    }
}

// Made once; frei0r hands out the pointers for as long as the plug-in is loaded.
const std::array<std::string, kUserParamCount>& explanations() {
    static const std::array<std::string, kUserParamCount> texts = [] {
        std::array<std::string, kUserParamCount> out;
        for (std::size_t i = 0; i < kUserParamCount; ++i) {
            const ParamEntry& p = param_entry(kParams[i]);
            out[i] = std::string(p.name) + ": " + range_text(p);
        }
        return out;
    }();
    return texts;
}

Filter* filter_of(f0r_instance_t instance) {
    return static_cast<Filter*>(instance);
}

}  // namespace

extern "C" {

int f0r_init(void) {
    try {
        explanations();
        return 1;
    } catch (...) {
        return 0;
    }
}

void f0r_deinit(void) {}

void f0r_get_plugin_info(f0r_plugin_info_t* info) {
    if (info == nullptr) return;
    info->name = "zentrilox";
    info->author = "Varnok";
    info->plugin_type = F0R_PLUGIN_TYPE_FILTER;
    info->color_model = F0R_COLOR_MODEL_RGBA8888;
    info->frei0r_version = FREI0R_MAJOR_VERSION;
    info->major_version = static_cast<int>(kMajorVersion);
    info->minor_version = static_cast<int>(kMinorVersion);
    info->num_params = static_cast<int>(kUserParamCount);
    info->explanation =
        "Block-shuffle transition: blocks travel to random targets as completion goes from 0 to 1";
}

void f0r_get_param_info(f0r_param_info_t* info, int param_index) {
    if (info == nullptr || param_index < 0 ||
        static_cast<std::size_t>(param_index) >= kUserParamCount) {
        return;
    }
    const ParamEntry& p = param_entry(kParams[static_cast<std::size_t>(param_index)]);
    info->name = p.short_name.data();  // a literal, so terminated
    info->type = p.type == ParamType::color ? F0R_PARAM_COLOR : F0R_PARAM_DOUBLE;
    try {
        info->explanation = explanations()[static_cast<std::size_t>(param_index)].c_str();
    } catch (...) {
        info->explanation = p.name;
    }
}

// A size the filter will never render, or an effect that did not start, is refused here, as
// frei0r asks, rather than frame after frame.
f0r_instance_t f0r_construct(unsigned int width, unsigned int height) {
    try {
        std::unique_ptr<Filter> f(new (std::nothrow) Filter(width, height));
        return f && f->ready() ? f.release() : nullptr;
    } catch (...) {
        return nullptr;
    }
}

void f0r_destruct(f0r_instance_t instance) {
    delete filter_of(instance);
}

void f0r_set_param_value(f0r_instance_t instance, f0r_param_t param, int param_index) {
    Filter* f = filter_of(instance);
    if (f == nullptr || param == nullptr) return;
    if (param_index >= 0 && static_cast<std::size_t>(param_index) < kUserParamCount &&
        param_entry(kParams[static_cast<std::size_t>(param_index)]).type == ParamType::color) {
        const auto* c = static_cast<const f0r_param_color_t*>(param);
        f->set_color(param_index, {c->r, c->g, c->b});
    } else {
        f->set_number(param_index, *static_cast<const f0r_param_double*>(param));
    }
}

void f0r_get_param_value(f0r_instance_t instance, f0r_param_t param, int param_index) {
    const Filter* f = filter_of(instance);
    if (f == nullptr || param == nullptr || param_index < 0 ||
        static_cast<std::size_t>(param_index) >= kUserParamCount) {
        return;
    }
    if (param_entry(kParams[static_cast<std::size_t>(param_index)]).type == ParamType::color) {
        const zx::frei0r::Color c = f->color(param_index);
        *static_cast<f0r_param_color_t*>(param) = {c.r, c.g, c.b};
    } else {
        *static_cast<f0r_param_double*>(param) = f->number(param_index);
    }
}

void f0r_update(f0r_instance_t instance, double, const uint32_t* inframe, uint32_t* outframe) {
    Filter* f = filter_of(instance);
    if (f == nullptr) return;
    try {
        f->update(inframe, outframe);
    } catch (...) {
    }
}

}  // extern "C"
