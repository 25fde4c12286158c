// Draws one moved block into the output world, resolving overlaps with the blend operators.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "composite/blend.h"
#include "host/ae_api.h"
#include "layout/block_grid.h"
#include "layout/block_motion.h"

template <class Pixel>
struct PixelTraits;

template <>
struct PixelTraits<PF_Pixel> {
    static constexpr A_long kFull = 255;
    using Func = BlendFunc8;
};

template <>
struct PixelTraits<PF_Pixel16> {
    static constexpr A_long kFull = 32768;
    using Func = BlendFunc16;
};

// What the pixel rule needs, fixed for the whole render.
template <class Pixel>
struct PixelStage {
    const Pixel* in;
    Pixel* out;
    A_long in_stride;
    A_long out_stride;
    A_long width;
    A_long height;
    bool completed;  // completion exactly 1.0: every pixel is a plain copy
    bool footage;    // overlap mode "Footage", else the flat colour
    double opacity;
    Pixel color;
    typename PixelTraits<Pixel>::Func blend;
};

// Copies the block's pixels to their moved place; where the output already holds a pixel
// (alpha not 0) the incoming one is blended over it instead.
template <class Pixel>
void draw_block(const PixelStage<Pixel>& stage, const BlockExtent& source, Offset offset) {
    // Clip the source rectangle to the rows and columns whose destination is inside the layer.
    const std::int64_t ys_begin = std::max<std::int64_t>(source.y0, -std::int64_t{offset.y});
    const std::int64_t ys_end =
        std::min<std::int64_t>(source.y1, std::int64_t{stage.height} - offset.y);
    const std::int64_t xs_begin = std::max<std::int64_t>(source.x0, -std::int64_t{offset.x});
    const std::int64_t xs_end =
        std::min<std::int64_t>(source.x1, std::int64_t{stage.width} - offset.x);
    if (ys_begin >= ys_end || xs_begin >= xs_end) return;

    const std::size_t run = static_cast<std::size_t>(xs_end - xs_begin);
    for (std::int64_t ys = ys_begin; ys < ys_end; ++ys) {
        const Pixel* src = stage.in + ys * stage.in_stride + xs_begin;
        Pixel* dst = stage.out + (ys + offset.y) * stage.out_stride + xs_begin + offset.x;
        if (stage.completed) {
            std::memmove(dst, src, run * sizeof(Pixel));
            continue;
        }
        for (std::size_t x = 0; x < run; ++x) {
            if (dst[x].alpha == 0) {
                dst[x] = src[x];
                continue;
            }
            Pixel upper = stage.color;
            if (stage.footage) {
                upper = src[x];
                upper.alpha = static_cast<decltype(upper.alpha)>(upper.alpha * stage.opacity);
            }
            dst[x] = stage.blend(dst[x], upper);
        }
    }
}
