// Copy and fill of the host's pixel worlds, as both the embedded and the simulated host serve
// them to the effect. Whether a call is allowed at all (the right effect reference, an injected
// fault) is the caller's business; these only touch pixels.
#pragma once

#include "host/ae_api.h"

namespace zx::hostkit {

// A world the host can read or write: sizes not negative, and pixels behind a non-empty frame.
bool world_usable(const PF_EffectWorld* w);

// Copies the overlap of the two rectangles (a null one is the whole world), without scaling,
// converting between 8-bit and 16-bit channels. False, and nothing copied, when either world is
// not usable.
bool copy_world(const PF_EffectWorld* src, const PF_EffectWorld* dst, const PF_Rect* src_r,
                const PF_Rect* dst_r);

// Fills the rectangle (null: the whole world) with an 8-bit colour, widened for a 16-bit world.
// False, and nothing written, for a null colour or a world that is not usable.
bool fill_world(const PF_Pixel* color, const PF_Rect* rect, const PF_EffectWorld* world);

}  // namespace zx::hostkit
