// Registration of the effect's parameters with the host.
#pragma once

#include <cstdint>

#include "host/ae_api.h"
#include "params/param_table.h"

PF_Err params_setup(PF_InData* in_data, PF_OutData* out_data);

// Table values in the host's units.
constexpr PF_Fixed percent_to_host(std::int32_t whole_percent) {
    return whole_percent << 16;
}
constexpr PF_Pixel color_to_host(ParamColor c) {
    return PF_Pixel{c.alpha, c.red, c.green, c.blue};
}
