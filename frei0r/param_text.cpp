#include "frei0r/param_text.h"

#include <array>

#include "frei0r/param_mapping.h"

namespace zx::frei0r {

namespace {

std::string range_text(const ParamEntry& p) {
    switch (p.type) {
        case ParamType::percent:
            return "0..1 = 0..100 %, as 16.16: lround(x*100*65536)";
        case ParamType::slider:
            return "0..1 = " + std::to_string(p.slider_min) + ".." + std::to_string(p.slider_max) +
                   ": " + std::to_string(p.slider_min) + " + lround(x*" +
                   std::to_string(p.slider_max - p.slider_min) + ")";
        case ParamType::popup: {
            const int n = selectable_count(p);
            std::string text = "0..1 over " + std::to_string(n) + " choices, choice lround(x*" +
                               std::to_string(n - 1) + "): ";
            for (int k = 0; k < n; ++k) {
                if (k > 0) text += ", ";
                text += std::to_string(k) + " " +
                        std::string(choice_item(p.choices, selectable_number(p, k)));
            }
            return text;
        }
        case ParamType::color:
            return "each channel lround(c*255), alpha 255";
        default:
            return "";
    }
}

using Texts = std::array<std::string, kUserParamCount>;

Texts make_texts(Module module) {
    Texts out;
    for (std::size_t i = 0; i < kUserParamCount; ++i) {
        const ParamEntry& p = param_entry(kParams[i]);
        out[i] = std::string(p.name) + ": " + range_text(p);
    }
    if (module == Module::mixer) {
        out[kTransitionParam] =
            "Transition: 0..1 from input A to input B, t = x*100 %; below 0.5 A shuffles away "
            "over B at Completion 2t, from 0.5 on B shuffles in over A at Completion 200 % - 2t";
    }
    return out;
}

}  // namespace

const char* param_name(Module module, std::size_t param) {
    if (module == Module::mixer && param == kTransitionParam) return "transition";
    return param_entry(kParams[param]).short_name.data();  // a literal, so terminated
}

const std::string& param_explanation(Module module, std::size_t param) {
    static const Texts filter = make_texts(Module::filter);
    static const Texts mixer = make_texts(Module::mixer);
    return (module == Module::mixer ? mixer : filter)[param];
}

}  // namespace zx::frei0r
