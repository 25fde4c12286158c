// How frei0r's parameter values become the effect's. frei0r numbers are doubles in [0, 1] and
// colours three floats in [0, 1]; every rule below is exact, so a value set in a video tool and
// the same value given to the command-line renderer draw the same pixels.
//
//   percent sliders  pct = x * 100, then the effect's 16.16 value lround(pct * 65536)
//   sliders          slider_min + lround(x * (slider_max - slider_min))
//   popups           the k-th selectable choice (separators skipped), k = lround(x * (n - 1))
//                    for n choices, counted from 0
//   colour           each channel lround(c * 255), alpha 255
//
// Values outside [0, 1] count as the nearer end; NaN counts as 0.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "embed/percent.h"
#include "params/param_table.h"

namespace zx::frei0r {

// The parameters a user sets, in the table's order: every registration but the group's ends.
inline constexpr std::size_t kUserParamCount = [] {
    std::size_t n = 0;
    for (const ParamEntry& p : kParamTable) n += !p.short_name.empty();
    return n;
}();

inline constexpr std::array<ParamIndex, kUserParamCount> kParams = [] {
    std::array<ParamIndex, kUserParamCount> out{};
    std::size_t n = 0;
    for (const ParamEntry& p : kParamTable) {
        if (!p.short_name.empty()) out[n++] = p.index;
    }
    return out;
}();

static_assert(kUserParamCount == 12, "the twelve parameters a user sets");

// The mixer's parameters are the filter's, with the transition from A to B (0..1, the same
// percent rule: t = x * 100 %) in Completion's place.
inline constexpr std::size_t kTransitionParam = [] {
    std::size_t i = 0;
    while (kParams[i] != kParamCompletion) ++i;
    return i;
}();

inline double unit(double x) {
    if (std::isnan(x) || x < 0) return 0;
    return x > 1 ? 1 : x;
}

// Percent as the command line takes it: --completion and --opacity get exactly this double.
inline double percent_of(double x) {
    return unit(x) * 100.0;
}

inline std::int32_t fixed_of(double x) {
    return embed::percent_to_fixed(percent_of(x));
}

inline std::int32_t slider_of(const ParamEntry& p, double x) {
    return p.slider_min +
           static_cast<std::int32_t>(std::lround(unit(x) * (p.slider_max - p.slider_min)));
}

using ::selectable_count;
using ::selectable_number;

inline int choice_of(const ParamEntry& p, double x) {
    const int n = selectable_count(p);
    return selectable_number(p, static_cast<int>(std::lround(unit(x) * (n - 1))));
}

inline std::uint8_t channel_of(double c) {
    return static_cast<std::uint8_t>(std::lround(unit(c) * 255.0));
}

// The frei0r value whose rule gives the effect's default.
inline double default_of(const ParamEntry& p) {
    switch (p.type) {
        case ParamType::percent:
            return p.dephault / 100.0;
        case ParamType::slider:
            return static_cast<double>(p.dephault - p.slider_min) / (p.slider_max - p.slider_min);
        case ParamType::popup:
            for (int k = 0; k < selectable_count(p); ++k) {
                if (selectable_number(p, k) == p.dephault) {
                    return static_cast<double>(k) / (selectable_count(p) - 1);
                }
            }
            return 0;
        default:
            return 0;
    }
}

static_assert(selectable_count(param_entry(kParamBlendMode)) == 7);
static_assert(selectable_number(param_entry(kParamBlendMode), 1) ==
              choice_number(kParamBlendMode, "Add"));

}  // namespace zx::frei0r
