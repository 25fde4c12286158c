// The Render command: from the host's records to the drawn output world.
#pragma once

#include "host/ae_api.h"

PF_Err render(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output);
