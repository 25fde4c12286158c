// Percents as the effect receives them. Every front end converts through this one function, so
// that a value typed on the command line and the same value from a video tool or a page reach
// the effect as the same 16.16 number.
#pragma once

#include "core/param_snapshot.h"

namespace zx::embed {

// The 16.16 fixed-point value of a percent.
using ::percent_to_fixed;

}  // namespace zx::embed
