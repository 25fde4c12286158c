#include "simhost/embedded_transition.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "composite/blend_ops.h"
#include "core/param_snapshot.h"
#include "params/param_table.h"

namespace simhost::embedded {

using zx::embed::transition_step;
using zx::embed::transition_t_valid;
using zx::embed::TransitionStep;

namespace {

std::size_t pixel_bytes(const FrameFormat& format) {
    return format.depth == Depth::float32 ? 16 : format.depth == Depth::sixteen ? 8 : 4;
}

// One pixel of the caller's order as the effect's own, and back.
template <class Pixel, class Channel, Channels kOrder>
Pixel load(const std::uint8_t* p) {
    Channel c[4];
    std::memcpy(c, p, sizeof c);
    if constexpr (kOrder == Channels::argb) return {c[0], c[1], c[2], c[3]};
    return {c[3], c[0], c[1], c[2]};
}

template <class Pixel, class Channel, Channels kOrder>
void store(std::uint8_t* p, Pixel v) {
    if constexpr (kOrder == Channels::argb) {
        const Channel c[4] = {v.alpha, v.red, v.green, v.blue};
        std::memcpy(p, c, sizeof c);
    } else {
        const Channel c[4] = {v.red, v.green, v.blue, v.alpha};
        std::memcpy(p, c, sizeof c);
    }
}

// out = upper over lower, row by row; out may be lower itself.
template <class Pixel, class Channel, Channels kOrder>
void composite(const FrameFormat& format, const std::uint8_t* upper, std::ptrdiff_t upper_row,
               const std::uint8_t* lower, std::ptrdiff_t lower_row, std::uint8_t* out,
               std::ptrdiff_t out_row) {
    constexpr std::size_t kPixel = sizeof(Channel) * 4;
    for (int y = 0; y < format.height; ++y) {
        const std::uint8_t* u = upper + y * upper_row;
        const std::uint8_t* l = lower + y * lower_row;
        std::uint8_t* o = out + y * out_row;
        for (int x = 0; x < format.width; ++x) {
            const std::size_t at = static_cast<std::size_t>(x) * kPixel;
            store<Pixel, Channel, kOrder>(
                o + at, BlendOp<BlendKind::over>{}(load<Pixel, Channel, kOrder>(l + at),
                                                   load<Pixel, Channel, kOrder>(u + at)));
        }
    }
}

template <class Pixel, class Channel>
void composite(const FrameFormat& format, const std::uint8_t* upper, std::ptrdiff_t upper_row,
               const std::uint8_t* lower, std::ptrdiff_t lower_row, std::uint8_t* out,
               std::ptrdiff_t out_row) {
    if (format.channels == Channels::argb) {
        composite<Pixel, Channel, Channels::argb>(format, upper, upper_row, lower, lower_row, out,
                                                  out_row);
    } else {
        composite<Pixel, Channel, Channels::rgba>(format, upper, upper_row, lower, lower_row, out,
                                                  out_row);
    }
}

}  // namespace

std::size_t transition_scratch_bytes(const FrameFormat& format) {
    if (format.width < 1 || format.height < 1) return 0;
    const std::size_t width = static_cast<std::size_t>(format.width);
    const std::size_t height = static_cast<std::size_t>(format.height);
    const std::size_t limit = static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max());
    if (width > limit / pixel_bytes(format) / height) return 0;
    return width * height * pixel_bytes(format);
}

Status render_transition(Host& host, const FrameFormat& format, const TransitionFrames& frames,
                         double t_percent, void* scratch, std::size_t scratch_bytes,
                         ProgressFn progress, void* progress_user) {
    const std::size_t need = transition_scratch_bytes(format);
    const std::ptrdiff_t line = static_cast<std::ptrdiff_t>(pixel_bytes(format)) * format.width;
    if (need == 0 || !transition_t_valid(t_percent) || frames.a == nullptr || frames.b == nullptr ||
        frames.out == nullptr || frames.a_row_bytes < line || frames.b_row_bytes < line ||
        frames.out_row_bytes < line) {
        return Status::bad_argument;
    }
    if (scratch != nullptr && scratch_bytes < need) return Status::bad_argument;
    std::unique_ptr<std::uint8_t[]> owned;
    if (scratch == nullptr) {
        owned.reset(new (std::nothrow) std::uint8_t[need]);
        if (!owned) return Status::out_of_memory;
        scratch = owned.get();
    }

    const TransitionStep step = transition_step(t_percent);
    const Status set = host.set_fixed(kParamCompletion, percent_to_fixed(step.completion));
    if (set != Status::ok) return set;
    const auto* a = static_cast<const std::uint8_t*>(frames.a);
    const auto* b = static_cast<const std::uint8_t*>(frames.b);
    const std::uint8_t* moving = step.a_moves ? a : b;
    const std::uint8_t* still = step.a_moves ? b : a;
    const std::ptrdiff_t moving_row = step.a_moves ? frames.a_row_bytes : frames.b_row_bytes;
    const std::ptrdiff_t still_row = step.a_moves ? frames.b_row_bytes : frames.a_row_bytes;

    auto* shuffled = static_cast<std::uint8_t*>(scratch);
    const Status rendered =
        host.render(format, moving, moving_row, shuffled, line, progress, progress_user);
    if (rendered != Status::ok) return rendered;
    auto* out = static_cast<std::uint8_t*>(frames.out);
    if (format.depth == Depth::float32) {
        composite<PixelF32, float>(format, shuffled, line, still, still_row, out,
                                   frames.out_row_bytes);
    } else if (format.depth == Depth::sixteen) {
        composite<PF_Pixel16, A_u_short>(format, shuffled, line, still, still_row, out,
                                         frames.out_row_bytes);
    } else {
        composite<PF_Pixel, A_u_char>(format, shuffled, line, still, still_row, out,
                                      frames.out_row_bytes);
    }
    return Status::ok;
}

}  // namespace simhost::embedded
