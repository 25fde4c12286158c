// The module's single export.
#pragma once

#include "host/ae_api.h"

#if defined(_WIN32)
#define ZX_EXPORT
#else
#define ZX_EXPORT __attribute__((visibility("default")))
#endif

extern "C" ZX_EXPORT PF_Err PF_CALLBACK EntryPointFunc(PF_Cmd cmd, PF_InData* in_data,
                                                       PF_OutData* out_data, PF_ParamDef* params[],
                                                       PF_LayerDef* output, void* extra);
