// Hides the parameters that the current Split and Overlap Mode do not use.
#pragma once

#include "host/ae_api.h"

PF_Err update_param_visibility(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[]);
