// The panel's values as the front ends with no host hold them: the parameter table's defaults,
// each value checked as the module's parameters take it, and what the panel hides.
#pragma once

#include <array>

#include "core/param_snapshot.h"
#include "params/param_ids.h"

namespace zx::embed {

// Every parameter at its default.
PanelValues default_values();

// Sets the parameter at `index` when it takes `value`: a popup its choice number (from 1), a
// slider a whole number, a percent slider a percent, each within the parameter's valid range.
// Any other value or index is refused (false) and changes nothing.
bool set_value(PanelValues& values, int index, double value);

// Which parameters the panel hides for the values, by index: the table's rule, which the
// module's visibility command applies too.
using HiddenParams = std::array<bool, kParamCount>;
HiddenParams hidden_params(const PanelValues& values);

}  // namespace zx::embed
