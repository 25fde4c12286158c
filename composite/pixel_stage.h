// Draws one moved block into the output world, resolving overlaps with the blend operators.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "composite/blend.h"
#include "composite/pixel_traits.h"
#include "host/ae_api.h"
#include "layout/block_grid.h"
#include "layout/block_motion.h"

// What the pixel rule needs, fixed for the whole render.
template <class Pixel>
struct PixelStage {
    // Pixel bases as bytes: rows are rowbytes apart, which need not be whole pixels.
    const std::uint8_t* in;
    std::uint8_t* out;
    std::ptrdiff_t in_rowbytes;
    std::ptrdiff_t out_rowbytes;
    A_long width;
    A_long height;
    bool completed;  // completion exactly 1.0: every pixel is a plain copy
    bool footage;    // overlap mode "Footage", else the flat colour
    double opacity;
    Pixel color;
    BlendFunc<Pixel> blend;
    // Opacity exactly 1: the alpha scaling changes nothing.
    bool opaque;
    // Footage through "Normal" at full opacity: a full-alpha pixel simply covers the lower one,
    // which is what the over operator returns for it.
    bool plain_cover;
};

// An incoming pixel laid on an occupied one: footage with its alpha scaled by the opacity, or
// the flat colour, through the chosen blend operator.
template <class Pixel>
inline Pixel blend_pixel(const PixelStage<Pixel>& stage, Pixel lower, Pixel source) {
    if (!stage.footage) return stage.blend(lower, stage.color);
    if (stage.plain_cover && source.alpha == PixelTraits<Pixel>::kFull) return source;
    Pixel upper = source;
    if (!stage.opaque) {
        upper.alpha = static_cast<decltype(upper.alpha)>(upper.alpha * stage.opacity);
    }
    return stage.blend(lower, upper);
}

// End of the run of free pixels (alpha 0) starting at x; whole chunks first, so the common
// case of a block landing on cleared output takes one test per eight pixels.
template <class Pixel>
inline std::size_t free_run_end(const Pixel* dst, std::size_t x, std::size_t run) {
    constexpr std::size_t kChunk = 8;
    while (x + kChunk <= run) {
        unsigned any_alpha = 0;
        for (std::size_t k = 0; k < kChunk; ++k) any_alpha |= dst[x + k].alpha;
        if (any_alpha != 0) break;
        x += kChunk;
    }
    while (x < run && dst[x].alpha == 0) ++x;
    return x;
}

// True when every pixel of the run has alpha exactly full. Whole pixels are read as words and
// folded with AND and OR, which the compiler turns into wide vector code.
template <class Pixel>
inline bool all_opaque(const Pixel* src, std::size_t run) {
    using Word = std::conditional_t<sizeof(Pixel) == 4, std::uint32_t, std::uint64_t>;
    static_assert(sizeof(Pixel) == sizeof(Word));
    using Channel = typename PixelTraits<Pixel>::Channel;
    // std::bit_cast's own builtin: the WebAssembly toolchain's C++ library has no std::bit_cast.
    constexpr Word kAlphaBits =
        __builtin_bit_cast(Word, Pixel{static_cast<Channel>(~Channel{0}), 0, 0, 0});
    constexpr Word kFullAlpha =
        __builtin_bit_cast(Word, Pixel{static_cast<Channel>(PixelTraits<Pixel>::kFull), 0, 0, 0});
    Word all = ~Word{0};
    Word any = 0;
    for (std::size_t x = 0; x < run; ++x) {
        Word w;
        std::memcpy(&w, src + x, sizeof w);
        all &= w;
        any |= w;
    }
    return (all & kAlphaBits) == kFullAlpha && (any & kAlphaBits) == kFullAlpha;
}

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
        const Pixel* src =
            reinterpret_cast<const Pixel*>(stage.in + ys * stage.in_rowbytes) + xs_begin;
        Pixel* dst = reinterpret_cast<Pixel*>(stage.out + (ys + offset.y) * stage.out_rowbytes) +
                     xs_begin + offset.x;
        // At 100 %, and where a fully opaque row simply covers whatever lies below, the row is
        // a plain copy.
        if (stage.completed || (stage.plain_cover && all_opaque(src, run))) {
            std::memmove(dst, src, run * sizeof(Pixel));
            continue;
        }
        // Within one step every destination pixel is visited once, so a pixel's state before
        // the step decides: free runs are copied whole, occupied pixels are blended one by one.
        std::size_t x = 0;
        while (x < run) {
            const std::size_t free_end = free_run_end(dst, x, run);
            if (free_end > x) {
                std::memmove(dst + x, src + x, (free_end - x) * sizeof(Pixel));
                x = free_end;
                continue;
            }
            for (; x < run && dst[x].alpha != 0; ++x) dst[x] = blend_pixel(stage, dst[x], src[x]);
        }
    }
}
