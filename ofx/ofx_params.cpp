#include "ofx/ofx_params.h"

#include <algorithm>
#include <cmath>

#include "embed/percent.h"

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
    return embed::percent_to_fixed(clamp_number(percent, entry.valid_min, entry.valid_max));
}

embed::Status apply_values(const ParamValues& values, bool with_completion, embed::Host& host) {
    for (const ParamEntry& e : kParamTable) {
        const auto i = static_cast<std::size_t>(e.index);
        if (e.index == kParamCompletion && !with_completion) continue;
        embed::Status status = embed::Status::ok;
        switch (ofx_kind(e)) {
            case OfxKind::choice: {
                const int k = std::clamp(values.whole[i], 0, selectable_count(e) - 1);
                status = host.set_value(e.index, selectable_number(e, k));
                break;
            }
            case OfxKind::integer:
                status =
                    host.set_value(e.index, std::clamp(values.whole[i], e.valid_min, e.valid_max));
                break;
            case OfxKind::percent:
                status = host.set_fixed(e.index, fixed_percent(e, values.percent[i]));
                break;
            case OfxKind::rgb: {
                const auto& c = values.rgb[i];
                status = host.set_color(
                    e.index, PF_Pixel{255, channel_of(c[0]), channel_of(c[1]), channel_of(c[2])});
                break;
            }
            case OfxKind::none:
                break;
        }
        if (status != embed::Status::ok) return status;
    }
    return embed::Status::ok;
}

}  // namespace zx::ofx
