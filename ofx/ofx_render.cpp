#include "ofx/ofx_render.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>

#include "embed/transition.h"

namespace zx::ofx {

namespace {

embed::FrameFormat format_of(const Frame& frame) {
    const embed::Depth depth = frame.depth == PixelDepth::floats   ? embed::Depth::float32
                               : frame.depth == PixelDepth::shorts ? embed::Depth::sixteen
                                                                   : embed::Depth::eight;
    return {frame.width, frame.height, depth, embed::Channels::rgba};
}

// A host holding the job's values; Completion too when `with_completion`.
embed::Status prepare(const RenderJob& job, bool with_completion, embed::Host& host) {
    embed::Status s = host.status();
    if (s == embed::Status::ok) s = apply_values(job.values, with_completion, host);
    if (s == embed::Status::ok) s = host.set_downsample(job.downsample.num, job.downsample.den);
    return s;
}

}  // namespace

OfxStatus status_of(embed::Status status) {
    switch (status) {
        case embed::Status::ok:
            return kOfxStatOK;
        case embed::Status::out_of_memory:
            return kOfxStatErrMemory;
        case embed::Status::bad_argument:
            return kOfxStatErrValue;
        case embed::Status::effect_error:
            break;
    }
    return kOfxStatFailed;
}

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

OfxStatus render_filter(const RenderJob& job) {
    const OfxRectI& area = job.output.bounds;
    const PixelDepth depth = job.output.depth;
    Frame in;
    Frame out;
    try {
        read_frame(job.first, area, depth, job.first_premultiplied, in);
        out = in;
    } catch (const std::bad_alloc&) {
        return kOfxStatErrMemory;
    } catch (const std::length_error&) {
        return kOfxStatErrMemory;
    }
    embed::Host host;
    embed::Status s = prepare(job, true, host);
    const auto rows = static_cast<std::ptrdiff_t>(in.row_bytes());
    if (s == embed::Status::ok) {
        s = host.render(format_of(in), in.bytes.data(), rows, out.bytes.data(), rows);
    }
    if (s != embed::Status::ok) return status_of(s);
    write_frame(out, area, job.window, job.output_premultiplied, job.output);
    return kOfxStatOK;
}

OfxStatus render_transition(const RenderJob& job) {
    const OfxRectI& area = job.output.bounds;
    const PixelDepth depth = job.output.depth;
    Frame from;
    Frame to;
    Frame out;
    try {
        read_frame(job.first, area, depth, job.first_premultiplied, from);
        read_frame(job.second, area, depth, job.second_premultiplied, to);
        out = from;
    } catch (const std::bad_alloc&) {
        return kOfxStatErrMemory;
    } catch (const std::length_error&) {
        return kOfxStatErrMemory;
    }
    // The host drives the transition through 0..1; anything else is its nearer end.
    const double t = std::isnan(job.transition) ? 0.0 : std::clamp(job.transition, 0.0, 1.0);
    embed::Host host;
    embed::Status s = prepare(job, false, host);
    const auto rows = static_cast<std::ptrdiff_t>(from.row_bytes());
    if (s == embed::Status::ok) {
        const embed::TransitionFrames frames{from.bytes.data(), rows, to.bytes.data(), rows,
                                             out.bytes.data(),  rows};
        s = embed::render_transition(host, format_of(from), frames, t * 100.0);
    }
    if (s != embed::Status::ok) return status_of(s);
    write_frame(out, area, job.window, job.output_premultiplied, job.output);
    return kOfxStatOK;
}

}  // namespace zx::ofx
