// The effect's parameters as OpenFX parameters, from the one parameter table: popups become
// choices of their selectable items (the separator left out), sliders integers, percent sliders
// doubles in percent, the colour an RGB parameter. The names are the table's script names.
#pragma once

#include <array>
#include <string_view>

#include "core/param_snapshot.h"
#include "params/param_table.h"

namespace zx::ofx {

enum class OfxKind { none, choice, integer, percent, rgb };

OfxKind ofx_kind(const ParamEntry& entry);

// Values as the host holds them, by the table's index: a choice's option (from 0), an
// integer, a percent, or a colour's red, green and blue in 0..1.
struct ParamValues {
    std::array<int, kParamCount> whole{};
    std::array<double, kParamCount> percent{};
    std::array<std::array<double, 3>, kParamCount> rgb{};
};

// The table's defaults in the host's terms.
ParamValues default_values();

// The values as the effect's panel would hold them, Completion at `completion_percent`. Values
// outside a parameter's range count as the nearer end, NaN as the lower end.
PanelValues panel_values(const ParamValues& values, double completion_percent);

// The Completion parameter's value in percent, within its range.
double completion_percent(const ParamValues& values);

// A percent of `entry` in the 16.16 the effect receives: outside the range the nearer end, NaN
// the lower end.
PF_Fixed fixed_percent(const ParamEntry& entry, double percent);

}  // namespace zx::ofx
