// The names and explanations the frei0r modules give their parameters: the filter's and the
// mixer's, which has the transition from A to B in Completion's place.
#pragma once

#include <cstddef>
#include <string>

namespace zx::frei0r {

enum class Module { filter, mixer };

// By frei0r parameter index, which the caller keeps below kUserParamCount.
const char* param_name(Module module, std::size_t param);
// "Name: range and rule". Made once per module; frei0r hands the pointers out for as long as
// the module is loaded. May throw on the first call (out of memory).
const std::string& param_explanation(Module module, std::size_t param);

}  // namespace zx::frei0r
