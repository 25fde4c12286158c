#include "ofx/ofx_render.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <vector>

#include "core/render_core.h"
#include "embed/transition_step.h"

namespace zx::ofx {

namespace {

SampleDepth sample_depth(PixelDepth depth) {
    return depth == PixelDepth::floats   ? SampleDepth::floats
           : depth == PixelDepth::shorts ? SampleDepth::shorts
                                         : SampleDepth::byte;
}

// The part of an image in the frame `area` in place, as a view of that frame with rows from the
// top: OFX rows run bottom-up from the bounds' lower left, and 16-bit channels run 0..65535.
// The image covers the area or lies inside it.
FrameView view_in_place(const ImageView& image, const OfxRectI& area, bool premultiplied) {
    const OfxRectI part{std::max(area.x1, image.bounds.x1), std::max(area.y1, image.bounds.y1),
                        std::min(area.x2, image.bounds.x2), std::min(area.y2, image.bounds.y2)};
    const auto bpp = static_cast<std::ptrdiff_t>(bytes_per_pixel(image.depth));
    auto* top = static_cast<std::uint8_t*>(image.data) +
                static_cast<std::ptrdiff_t>(part.y2 - 1 - image.bounds.y1) * image.row_bytes +
                (part.x1 - image.bounds.x1) * bpp;
    return FrameView{
        top,
        -static_cast<std::ptrdiff_t>(image.row_bytes),
        part.x2 - part.x1,
        part.y2 - part.y1,
        image.depth == PixelDepth::shorts ? SampleDepth::shorts_full : sample_depth(image.depth),
        ChannelOrder::rgba,
        premultiplied,
        part.x1 - area.x1,
        area.y2 - part.y2};
}

FrameView view_of(Frame& frame) {
    return FrameView{frame.bytes.data(),
                     static_cast<std::ptrdiff_t>(frame.row_bytes()),
                     frame.width,
                     frame.height,
                     sample_depth(frame.depth),
                     ChannelOrder::rgba};
}

bool covers(const OfxRectI& outer, const OfxRectI& inner) {
    return outer.x1 <= inner.x1 && outer.y1 <= inner.y1 && inner.x2 <= outer.x2 &&
           inner.y2 <= outer.y2;
}

// The render window within the output image's bounds, in the top-down rows of the frame
// `area` they lie in.
OutputRect window_in(const OfxRectI& window, const OfxRectI& bounds, const OfxRectI& area) {
    const int x1 = std::clamp(window.x1, bounds.x1, bounds.x2);
    const int x2 = std::clamp(window.x2, x1, bounds.x2);
    const int y1 = std::clamp(window.y1, bounds.y1, bounds.y2);
    const int y2 = std::clamp(window.y2, y1, bounds.y2);
    return OutputRect{x1 - area.x1, area.y2 - y2, x2 - area.x1, area.y2 - y1};
}

OfxStatus status_of(const RenderEnd& end) {
    switch (end.kind) {
        case RenderEnd::Kind::ok:
            return kOfxStatOK;
        case RenderEnd::Kind::no_memory:
            return kOfxStatErrMemory;
        case RenderEnd::Kind::bad_frame:
            return kOfxStatErrImageFormat;
        case RenderEnd::Kind::failed:
        case RenderEnd::Kind::aborted:
            break;
    }
    return kOfxStatFailed;
}

// The window's bands and the render's services, shared by the host's threads.
struct SharedBands {
    BandQueue& queue;
    const RenderServices& services;
};

void draw_bands(unsigned int, unsigned int, void* arg) {
    const auto& shared = *static_cast<const SharedBands*>(arg);
    shared.queue.draw(shared.services, false);
}

// The window of the output drawn from the source (for a transition, over `under`): planned
// once, drawn in bands over the host's threads when it has more than one for us.
OfxStatus draw(const ParamSnapshot& snap, const FrameView& source, const FrameView& output,
               const FrameView* under, OutputRect window, const RenderJob& job) {
    const OfxMultiThreadSuiteV1* threads = job.threads;
    RenderPlan plan;
    const RenderEnd end = plan_render(snap, {source.width, source.height}, RenderServices{}, plan);
    if (end.kind != RenderEnd::Kind::ok) return status_of(end);
    unsigned int cpus = 1;
    const bool shared = threads != nullptr && threads->multiThreadIsSpawnedThread() == 0 &&
                        threads->multiThreadNumCPUs(&cpus) == kOfxStatOK;
    constexpr unsigned int kMostThreads = std::numeric_limits<int>::max();
    BandQueue bands(plan, source, output, window,
                    shared ? static_cast<int>(std::min(cpus, kMostThreads)) : 1, under);
    if (bands.count() > 1) {
        SharedBands shared_bands{bands, job.services};
        threads->multiThread(draw_bands, std::min(cpus, static_cast<unsigned int>(bands.count())),
                             &shared_bands);
    }
    // What the host's threads left, if it ran none or not all of them, is drawn here.
    bands.draw(job.services, false);
    return status_of(bands.end());
}

// The frame an image is part of: its region when it has one, else its bounds.
const OfxRectI& frame_area(const ImageView& image) {
    const OfxRectI& r = image.region;
    return r.x1 < r.x2 && r.y1 < r.y2 ? r : image.bounds;
}

// Images covering the output's frame are drawn where they are.
bool in_place(const ImageView* input, const RenderJob& job) {
    return input != nullptr && covers(input->bounds, frame_area(job.output));
}

// Draws `moving` at the snapshot into the window, then, for a transition, over `still`.
OfxStatus draw_job(const RenderJob& job, const ParamSnapshot& snap, const ImageView* moving,
                   bool moving_premultiplied, const ImageView* still, bool still_premultiplied) {
    // The frame: the output's region; the output image is all of it or a tile of it.
    const OfxRectI& area = frame_area(job.output);
    const FrameView output = view_in_place(job.output, area, job.output_premultiplied);
    const OutputRect window = window_in(job.window, job.output.bounds, area);
    // A transition's still picture lies under the shuffle; with no image it is transparent,
    // which leaves the shuffle as it is.
    const bool transition = still != nullptr;
    if (in_place(moving, job) && (!transition || in_place(still, job))) {
        const FrameView source = view_in_place(*moving, area, moving_premultiplied);
        const FrameView under =
            transition ? view_in_place(*still, area, still_premultiplied) : FrameView{};
        if (frames_fit(source, output) && frames_apart(source, output) &&
            (!transition || (frames_fit(under, output) && frames_apart(under, output)))) {
            return draw(snap, source, output, transition ? &under : nullptr, window, job);
        }
    }
    // Images that do not cover the output: frames of the effect's own channels, made straight,
    // transparent where the image is not.
    Frame in;
    Frame out;
    Frame lower;
    try {
        read_frame(moving, area, job.output.depth, moving_premultiplied, in);
        read_frame(nullptr, area, job.output.depth, false, out);
        if (transition) read_frame(still, area, job.output.depth, still_premultiplied, lower);
    } catch (const std::bad_alloc&) {
        return kOfxStatErrMemory;
    } catch (const std::length_error&) {
        return kOfxStatErrMemory;
    }
    const FrameView frame_out = view_of(out);
    if (OfxStatus s = draw(snap, view_of(in), frame_out, nullptr, window, job); s != kOfxStatOK) {
        return s;
    }
    if (transition) lay_over(view_of(lower), frame_out, window);
    write_frame(out, area, job.window, job.output_premultiplied, job.output);
    return kOfxStatOK;
}

}  // namespace

Downsample downsample_of(double scale) {
    if (!std::isfinite(scale) || scale <= 0 || scale >= 1) return {};
    for (long d = 1; d <= 1000; ++d) {
        const long n = std::lround(scale * static_cast<double>(d));
        if (n >= 1 && std::fabs(scale - static_cast<double>(n) / static_cast<double>(d)) < 1e-6) {
            return {static_cast<A_long>(n), static_cast<A_u_long>(d)};
        }
    }
    const long n = std::lround(scale * 1000.0);
    return {static_cast<A_long>(n < 1 ? 1 : n), 1000};
}

namespace {

ParamSnapshot snapshot_of_job(const RenderJob& job, double completion) {
    PanelValues panel = panel_values(job.values, completion);
    panel.downsample_num = job.downsample.num;
    panel.downsample_den = job.downsample.den;
    return snapshot_of(panel);
}

}  // namespace

OfxStatus render_filter(const RenderJob& job) {
    const ParamSnapshot snap = snapshot_of_job(job, completion_percent(job.values));
    return draw_job(job, snap, job.first, job.first_premultiplied, nullptr, false);
}

OfxStatus render_transition(const RenderJob& job) {
    // The host drives the transition through 0..1; anything else is its nearer end.
    const double t = std::isnan(job.transition) ? 0.0 : std::clamp(job.transition, 0.0, 1.0);
    const embed::TransitionStep step = embed::transition_step(t * 100.0);
    const ParamSnapshot snap = snapshot_of_job(job, step.completion);
    return step.a_moves ? draw_job(job, snap, job.first, job.first_premultiplied, job.second,
                                   job.second_premultiplied)
                        : draw_job(job, snap, job.second, job.second_premultiplied, job.first,
                                   job.first_premultiplied);
}

}  // namespace zx::ofx
