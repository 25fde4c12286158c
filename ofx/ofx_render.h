// One render of the plug-in, host-free: the images the host handed over, the parameter values
// at the render's time, and the render core drawing the render window, in bands over the
// host's threads where it offers them. Images covering the output are read and written where
// they are; others go through frames of the effect's own channels.
#pragma once

#include "core/render_services.h"
#include "ofx/ofx_api.h"
#include "ofx/ofx_frames.h"
#include "ofx/ofx_params.h"

namespace zx::ofx {

struct Downsample {
    A_long num = 1;
    A_u_long den = 1;
};

// The effect's horizontal downsample for a render scale s: n/d with the smallest d <= 1000
// for which |s - n/d| < 1e-6, else round(s * 1000)/1000; 1/1 for s >= 1 and for nonsense.
Downsample downsample_of(double scale);

struct RenderJob {
    ParamValues values;
    double transition = 0;  // the Transition parameter, transitions only
    Downsample downsample;
    ImageView output;
    bool output_premultiplied = false;
    OfxRectI window{0, 0, 0, 0};
    // Source (filters) or SourceFrom and SourceTo (transitions); null when the clip has no
    // image at that time, which counts as transparent black.
    const ImageView* first = nullptr;
    bool first_premultiplied = false;
    const ImageView* second = nullptr;
    bool second_premultiplied = false;
    // The host's threads, when it offers them: the window is drawn in bands over them.
    const OfxMultiThreadSuiteV1* threads = nullptr;
    // The host's question whether to stop, asked between steps by every band.
    RenderServices services;
};

// The output's region is the frame the effect renders, its image all of it or a tile; only
// pixels in the render window are written.
OfxStatus render_filter(const RenderJob& job);
OfxStatus render_transition(const RenderJob& job);

}  // namespace zx::ofx
