// Registration of the effect's parameters with the host.
#pragma once

#include "host/ae_api.h"

PF_Err params_setup(PF_InData* in_data, PF_OutData* out_data);
