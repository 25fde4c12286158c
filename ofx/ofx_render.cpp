#include "ofx/ofx_render.h"

#include <cmath>
#include <new>

namespace zx::ofx {

namespace {

// E(X, c): `in` rendered with the job's values, at `completion` (16.16 percent) when given.
embed::Status render_effect(const RenderJob& job, const PF_Fixed* completion, const Frame& in,
                            Frame& out) {
    embed::Host host;
    embed::Status s = host.status();
    if (s == embed::Status::ok) s = apply_values(job.values, completion == nullptr, host);
    if (s == embed::Status::ok && completion != nullptr) {
        s = host.set_fixed(kParamCompletion, *completion);
    }
    if (s == embed::Status::ok) s = host.set_downsample(job.downsample.num, job.downsample.den);
    if (s != embed::Status::ok) return s;
    const embed::FrameFormat format{in.width, in.height,
                                    in.deep ? embed::Depth::sixteen : embed::Depth::eight,
                                    embed::Channels::rgba};
    const auto rows = static_cast<std::ptrdiff_t>(in.row_bytes());
    return host.render(format, in.bytes.data(), rows, out.bytes.data(), rows);
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
    const bool deep = job.output.depth == PixelDepth::shorts;
    Frame in;
    Frame out;
    try {
        read_frame(job.first, area, deep, job.first_premultiplied, in);
        out = in;
    } catch (const std::bad_alloc&) {
        return kOfxStatErrMemory;
    }
    if (const embed::Status s = render_effect(job, nullptr, in, out); s != embed::Status::ok) {
        return status_of(s);
    }
    write_frame(out, area, job.window, job.output_premultiplied, job.output);
    return kOfxStatOK;
}

OfxStatus render_transition(const RenderJob&) {
    return kOfxStatErrUnsupported;
}

}  // namespace zx::ofx
