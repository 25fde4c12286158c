// Between the images an OpenFX host hands over and the frames the effect renders: OFX rows run
// bottom-up from the bounds' lower left, their row bytes may be negative or padded, and their
// bounds need not start at the origin; the effect takes top-down RGBA rows of 8-bit channels,
// 16-bit channels running 0..32768, or float channels as they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "embed/alpha.h"
#include "ofx/ofx_api.h"

namespace zx::ofx {

enum class PixelDepth { byte, shorts, floats };

int bytes_per_pixel(PixelDepth depth);

// An RGBA image as the host describes it. A host that hands over tiles says which frame the
// image is part of (its region of definition); otherwise the image is the whole frame.
struct ImageView {
    void* data = nullptr;
    OfxRectI bounds{0, 0, 0, 0};
    OfxRectI region{0, 0, 0, 0};
    int row_bytes = 0;
    PixelDepth depth = PixelDepth::byte;
};

// Non-empty bounds of a size a frame can have, data, and rows long enough for the width.
bool usable(const ImageView& image);

// Top-down rows of `width` RGBA pixels without padding; 16-bit channels run 0..32768.
struct Frame {
    int width = 0;
    int height = 0;
    PixelDepth depth = PixelDepth::byte;
    std::vector<std::uint8_t> bytes;

    std::size_t row_bytes() const {
        return static_cast<std::size_t>(width) * static_cast<std::size_t>(bytes_per_pixel(depth));
    }
};

// Sizes `frame` to `area` (pixel coordinates) and fills it from `image`: pixels of the area the
// image does not cover, or all of them when there is no image, are transparent black. With
// `premultiplied`, colour is made straight. `area` must be usable() as an image's bounds.
// Throws std::bad_alloc or std::length_error when the frame cannot be had.
void read_frame(const ImageView* image, const OfxRectI& area, PixelDepth depth, bool premultiplied,
                Frame& frame);

// Writes the pixels of `frame` (covering `area`) that lie inside `window` and the image's
// bounds, premultiplying them first with `premultiplied`.
void write_frame(const Frame& frame, const OfxRectI& area, const OfxRectI& window,
                 bool premultiplied, const ImageView& image);

using embed::premultiply;
using embed::unpremultiply;

}  // namespace zx::ofx
