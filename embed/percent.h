// Percents as the effect receives them. Every front end converts through this one function, so
// that a value typed on the command line and the same value from a video tool or a page reach
// the effect as the same 16.16 number.
#pragma once

#include <cmath>

#include "host/ae_api.h"

namespace zx::embed {

// The 16.16 fixed-point value of a percent.
inline PF_Fixed percent_to_fixed(double percent) {
    return static_cast<PF_Fixed>(std::lround(percent * 65536.0));
}

}  // namespace zx::embed
