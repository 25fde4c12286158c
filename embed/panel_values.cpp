#include "embed/panel_values.h"

#include <cmath>
#include <cstddef>

#include "params/param_setup.h"
#include "params/param_table.h"

namespace zx::embed {

PanelValues default_values() {
    PanelValues values{};
    for (const ParamEntry& p : kParamTable) {
        if (std::int32_t* whole = whole_value(values, p.index)) *whole = p.dephault;
        if (double* percent = percent_value(values, p.index)) *percent = p.dephault;
        if (p.type == ParamType::color) values.color = color_to_host(p.color);
    }
    return values;
}

bool set_value(PanelValues& values, int index, double value) {
    if (index <= kParamInput || index >= kParamCount) return false;
    const ParamEntry& p = param_entry(static_cast<ParamIndex>(index));
    // NaN fails every comparison, infinities the ranges.
    const bool whole = value == std::floor(value);
    switch (p.type) {
        case ParamType::popup:
            if (!whole || value < 1 || value > choice_count(p.choices)) return false;
            *whole_value(values, index) = static_cast<std::int32_t>(value);
            return true;
        case ParamType::slider:
            if (!whole || value < p.valid_min || value > p.valid_max) return false;
            *whole_value(values, index) = static_cast<std::int32_t>(value);
            return true;
        case ParamType::percent:
            if (!(value >= p.valid_min && value <= p.valid_max)) return false;
            *percent_value(values, index) = value;
            return true;
        default:
            return false;
    }
}

HiddenParams hidden_params(const PanelValues& values) {
    PanelValues popups = values;  // read through the same accessor that writes them
    HiddenParams hidden{};
    for (const ParamEntry& p : kParamTable) {
        const std::int32_t* popup = whole_value(popups, p.shown_when.popup);
        hidden[static_cast<std::size_t>(p.index)] = popup != nullptr && !param_shown(p, *popup);
    }
    return hidden;
}

}  // namespace zx::embed
