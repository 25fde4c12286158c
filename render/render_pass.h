// The Render command: from the host's records to the drawn output world, through the core.
#pragma once

#include "host/ae_api.h"

PF_Err render(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output);

// The same render on worlds of float pixels (PixelF32, full 1.0), whatever their flags say: the
// compositing host never sends them, so only the embedded host calls this, in the place of
// the Render command.
PF_Err render_float(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                    PF_LayerDef* output);
