#include "ofx/ofx_frames.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "embed/sample16.h"

namespace zx::ofx {

namespace {

std::uint8_t* pixel_at(const ImageView& image, int x, int y) {
    const int bpp = bytes_per_pixel(image.depth);
    return static_cast<std::uint8_t*>(image.data) +
           static_cast<std::ptrdiff_t>(y - image.bounds.y1) * image.row_bytes +
           static_cast<std::ptrdiff_t>(x - image.bounds.x1) * bpp;
}

bool inside(const OfxRectI& r, int x, int y) {
    return x >= r.x1 && x < r.x2 && y >= r.y1 && y < r.y2;
}

constexpr std::uint32_t kFull8 = 255;
constexpr std::uint32_t kFull16 = 32768;

}  // namespace

int bytes_per_pixel(PixelDepth depth) {
    return depth == PixelDepth::byte ? 4 : depth == PixelDepth::shorts ? 8 : 16;
}

bool usable(const ImageView& image) {
    const OfxRectI& b = image.bounds;
    if (image.data == nullptr || b.x2 <= b.x1 || b.y2 <= b.y1) return false;
    const long long width = static_cast<long long>(b.x2) - b.x1;
    const long long height = static_cast<long long>(b.y2) - b.y1;
    const long long row = width * bytes_per_pixel(image.depth);
    const long long stride = image.row_bytes < 0 ? -static_cast<long long>(image.row_bytes)
                                                 : static_cast<long long>(image.row_bytes);
    // Rows fit their row bytes, an int, so the width is in range; the height must be too, and
    // a frame of the image's size must be addressable.
    return stride >= row && height <= std::numeric_limits<int>::max() &&
           static_cast<unsigned long long>(row) * static_cast<unsigned long long>(height) <=
               std::numeric_limits<std::size_t>::max() / 2;
}

void read_frame(const ImageView* image, const OfxRectI& area, PixelDepth depth, bool premultiplied,
                Frame& frame) {
    frame.width = area.x2 - area.x1;
    frame.height = area.y2 - area.y1;
    frame.depth = depth;
    const int bpp = bytes_per_pixel(depth);
    frame.bytes.assign(frame.row_bytes() * static_cast<std::size_t>(frame.height), 0);
    if (image == nullptr) return;
    for (int row = 0; row < frame.height; ++row) {
        const int y = area.y2 - 1 - row;
        std::uint8_t* dst = frame.bytes.data() + static_cast<std::size_t>(row) * frame.row_bytes();
        for (int x = area.x1; x < area.x2; ++x, dst += bpp) {
            if (!inside(image->bounds, x, y)) continue;
            const std::uint8_t* src = pixel_at(*image, x, y);
            if (depth == PixelDepth::floats) {
                float p[4];
                std::memcpy(p, src, 16);
                if (premultiplied) {
                    for (int i = 0; i < 3; ++i) p[i] = unpremultiply(p[i], p[3]);
                }
                std::memcpy(dst, p, 16);
            } else if (depth == PixelDepth::byte) {
                std::uint8_t p[4];
                std::memcpy(p, src, 4);
                if (premultiplied) {
                    for (int i = 0; i < 3; ++i) {
                        p[i] = static_cast<std::uint8_t>(unpremultiply(p[i], p[3], kFull8));
                    }
                }
                std::memcpy(dst, p, 4);
            } else {
                std::uint16_t s[4];
                std::memcpy(s, src, 8);
                std::uint16_t p[4];
                for (int i = 0; i < 4; ++i) p[i] = embed::png16_to_channel(s[i]);
                if (premultiplied) {
                    for (int i = 0; i < 3; ++i) {
                        p[i] = static_cast<std::uint16_t>(unpremultiply(p[i], p[3], kFull16));
                    }
                }
                std::memcpy(dst, p, 8);
            }
        }
    }
}

void write_frame(const Frame& frame, const OfxRectI& area, const OfxRectI& window,
                 bool premultiplied, const ImageView& image) {
    const int x1 = std::max({area.x1, window.x1, image.bounds.x1});
    const int x2 = std::min({area.x2, window.x2, image.bounds.x2});
    const int y1 = std::max({area.y1, window.y1, image.bounds.y1});
    const int y2 = std::min({area.y2, window.y2, image.bounds.y2});
    for (int y = y1; y < y2; ++y) {
        const std::size_t row = static_cast<std::size_t>(area.y2 - 1 - y);
        const std::uint8_t* src = frame.bytes.data() + row * frame.row_bytes() +
                                  static_cast<std::size_t>(x1 - area.x1) *
                                      static_cast<std::size_t>(bytes_per_pixel(frame.depth));
        std::uint8_t* dst = pixel_at(image, x1, y);
        for (int x = x1; x < x2; ++x) {
            if (frame.depth == PixelDepth::floats) {
                float p[4];
                std::memcpy(p, src, 16);
                if (premultiplied) {
                    for (int i = 0; i < 3; ++i) p[i] = premultiply(p[i], p[3]);
                }
                std::memcpy(dst, p, 16);
                src += 16;
                dst += 16;
            } else if (frame.depth == PixelDepth::byte) {
                std::uint8_t p[4];
                std::memcpy(p, src, 4);
                if (premultiplied) {
                    for (int i = 0; i < 3; ++i) {
                        p[i] = static_cast<std::uint8_t>(premultiply(p[i], p[3], kFull8));
                    }
                }
                std::memcpy(dst, p, 4);
                src += 4;
                dst += 4;
            } else {
                std::uint16_t p[4];
                std::memcpy(p, src, 8);
                if (premultiplied) {
                    for (int i = 0; i < 3; ++i) {
                        p[i] = static_cast<std::uint16_t>(premultiply(p[i], p[3], kFull16));
                    }
                }
                std::uint16_t s[4];
                for (int i = 0; i < 4; ++i) {
                    s[i] = static_cast<std::uint16_t>(embed::channel_to_png16(p[i]));
                }
                std::memcpy(dst, s, 8);
                src += 8;
                dst += 8;
            }
        }
    }
}

}  // namespace zx::ofx
