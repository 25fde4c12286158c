// About, Global Setup and Completely General.
#pragma once

#include "host/ae_api.h"

PF_Err about(PF_InData* in_data, PF_OutData* out_data);
PF_Err global_setup(PF_InData* in_data, PF_OutData* out_data);
PF_Err completely_general(PF_InData* in_data, PF_OutData* out_data, const void* extra);
