// 16-bit samples as files and video hold them (0..65535) and the effect's 16-bit channels
// (0..32768), converted both ways by every front end alike.
#pragma once

#include "composite/sample_forms.h"

namespace zx::embed {

using sample_forms::channel_to_png16;
using sample_forms::png16_to_channel;

}  // namespace zx::embed
