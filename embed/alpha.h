// Straight colour from premultiplied and back, as every front end that takes premultiplied
// pictures applies it around the effect, which works on straight colour.
#pragma once

#include "composite/sample_forms.h"

namespace zx::embed {

using sample_forms::premultiply;
using sample_forms::unpremultiply;
using sample_forms::within_float_range;

}  // namespace zx::embed
