#include "ofx/ofx_params.h"

#include <algorithm>
#include <cmath>

namespace zx::ofx {

namespace {

double clamp_number(double x, double lo, double hi) {
    if (std::isnan(x)) return lo;
    return std::clamp(x, lo, hi);
}

A_u_char channel_of(double c) {
    return static_cast<A_u_char>(std::lround(clamp_number(c, 0.0, 1.0) * 255.0));
}

}  // namespace

OfxKind ofx_kind(const ParamEntry& entry) {
    if (entry.script_name.empty()) return OfxKind::none;
    switch (entry.type) {
        case ParamType::popup:
            return OfxKind::choice;
        case ParamType::slider:
            return OfxKind::integer;
        case ParamType::percent:
            return OfxKind::percent;
        case ParamType::color:
            return OfxKind::rgb;
        default:
            return OfxKind::none;
    }
}

ParamValues default_values() {
    ParamValues v;
    for (const ParamEntry& e : kParamTable) {
        const auto i = static_cast<std::size_t>(e.index);
        switch (ofx_kind(e)) {
            case OfxKind::choice:
                for (int k = 0; k < selectable_count(e); ++k) {
                    if (selectable_number(e, k) == e.dephault) v.whole[i] = k;
                }
                break;
            case OfxKind::integer:
                v.whole[i] = e.dephault;
                break;
            case OfxKind::percent:
                v.percent[i] = e.dephault;
                break;
            case OfxKind::rgb:
                v.rgb[i] = {e.color.red / 255.0, e.color.green / 255.0, e.color.blue / 255.0};
                break;
            case OfxKind::none:
                break;
        }
    }
    return v;
}

PF_Fixed fixed_percent(const ParamEntry& entry, double percent) {
    return percent_to_fixed(clamp_number(percent, entry.valid_min, entry.valid_max));
}

PanelValues panel_values(const ParamValues& values, double completion) {
    PanelValues panel{};
    for (const ParamEntry& e : kParamTable) {
        const auto i = static_cast<std::size_t>(e.index);
        switch (ofx_kind(e)) {
            case OfxKind::choice: {
                const int k = std::clamp(values.whole[i], 0, selectable_count(e) - 1);
                *whole_value(panel, e.index) = selectable_number(e, k);
                break;
            }
            case OfxKind::integer:
                *whole_value(panel, e.index) =
                    std::clamp(values.whole[i], e.valid_min, e.valid_max);
                break;
            case OfxKind::percent:
                *percent_value(panel, e.index) =
                    clamp_number(values.percent[i], e.valid_min, e.valid_max);
                break;
            case OfxKind::rgb: {
                const auto& c = values.rgb[i];
                panel.color = PF_Pixel{255, channel_of(c[0]), channel_of(c[1]), channel_of(c[2])};
                break;
            }
            case OfxKind::none:
                break;
        }
    }
    panel.completion_percent = completion;
    return panel;
}

double completion_percent(const ParamValues& values) {
    const ParamEntry& e = param_entry(kParamCompletion);
    return clamp_number(values.percent[static_cast<std::size_t>(e.index)], e.valid_min,
                        e.valid_max);
}

}  // namespace zx::ofx
