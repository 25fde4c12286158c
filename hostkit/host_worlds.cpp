#include "hostkit/host_worlds.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "composite/pixel_traits.h"

namespace zx::hostkit {

namespace {

int pixel_size(const PF_EffectWorld& w) {
    return (w.world_flags & PF_WorldFlag_DEEP) ? 8 : 4;
}

std::uint8_t* pixel_at(const PF_EffectWorld& w, A_long x, A_long y) {
    return reinterpret_cast<std::uint8_t*>(w.data) + static_cast<std::ptrdiff_t>(y) * w.rowbytes +
           static_cast<std::ptrdiff_t>(x) * pixel_size(w);
}

// Reads one pixel as four 16-bit channels, converting 8-bit ones.
std::array<A_u_short, 4> read_pixel(const PF_EffectWorld& w, A_long x, A_long y) {
    const std::uint8_t* p = pixel_at(w, x, y);
    if (w.world_flags & PF_WorldFlag_DEEP) {
        PF_Pixel16 q;
        std::memcpy(&q, p, sizeof q);
        return {q.alpha, q.red, q.green, q.blue};
    }
    PF_Pixel8 q;
    std::memcpy(&q, p, sizeof q);
    return {channel8_to_16(q.alpha), channel8_to_16(q.red), channel8_to_16(q.green),
            channel8_to_16(q.blue)};
}

void write_pixel(const PF_EffectWorld& w, A_long x, A_long y, const std::array<A_u_short, 4>& c) {
    std::uint8_t* p = pixel_at(w, x, y);
    if (w.world_flags & PF_WorldFlag_DEEP) {
        const PF_Pixel16 q{c[0], c[1], c[2], c[3]};
        std::memcpy(p, &q, sizeof q);
        return;
    }
    const PF_Pixel8 q{channel16_to_8(c[0]), channel16_to_8(c[1]), channel16_to_8(c[2]),
                      channel16_to_8(c[3])};
    std::memcpy(p, &q, sizeof q);
}

// The rectangle clipped to the world; a null rectangle is the whole world.
PF_Rect clip(const PF_Rect* r, const PF_EffectWorld& w) {
    PF_Rect c{0, 0, w.width, w.height};
    if (r != nullptr) {
        c.left = std::max(r->left, A_long{0});
        c.top = std::max(r->top, A_long{0});
        c.right = std::min(r->right, w.width);
        c.bottom = std::min(r->bottom, w.height);
    }
    c.right = std::max(c.right, c.left);
    c.bottom = std::max(c.bottom, c.top);
    return c;
}

}  // namespace

bool world_usable(const PF_EffectWorld* w) {
    if (w == nullptr || w->width < 0 || w->height < 0) return false;
    if (w->width == 0 || w->height == 0) return true;
    return w->data != nullptr && w->rowbytes >= w->width * pixel_size(*w);
}

bool copy_world(const PF_EffectWorld* src, const PF_EffectWorld* dst, const PF_Rect* src_r,
                const PF_Rect* dst_r) {
    if (!world_usable(src) || !world_usable(dst)) return false;
    const PF_Rect s = clip(src_r, *src);
    const PF_Rect d = clip(dst_r, *dst);
    const A_long w = std::min(s.right - s.left, d.right - d.left);
    const A_long h = std::min(s.bottom - s.top, d.bottom - d.top);
    const bool same_depth = pixel_size(*src) == pixel_size(*dst);
    for (A_long y = 0; y < h; ++y) {
        if (same_depth) {
            std::memmove(pixel_at(*dst, d.left, d.top + y), pixel_at(*src, s.left, s.top + y),
                         static_cast<std::size_t>(w) * pixel_size(*src));
            continue;
        }
        for (A_long x = 0; x < w; ++x) {
            write_pixel(*dst, d.left + x, d.top + y, read_pixel(*src, s.left + x, s.top + y));
        }
    }
    return true;
}

bool fill_world(const PF_Pixel* color, const PF_Rect* rect, const PF_EffectWorld* world) {
    if (color == nullptr || !world_usable(world)) return false;
    const PF_Rect r = clip(rect, *world);
    const bool deep = (world->world_flags & PF_WorldFlag_DEEP) != 0;
    const std::array<A_u_short, 4> c16 = {channel8_to_16(color->alpha), channel8_to_16(color->red),
                                          channel8_to_16(color->green),
                                          channel8_to_16(color->blue)};
    // The first row pixel by pixel, the others as copies of it, as fast as a host's fill.
    for (A_long x = r.left; x < r.right && r.top < r.bottom; ++x) {
        if (deep) {
            write_pixel(*world, x, r.top, c16);
        } else {
            std::memcpy(pixel_at(*world, x, r.top), color, sizeof *color);
        }
    }
    const std::size_t row_bytes = static_cast<std::size_t>(r.right - r.left) * pixel_size(*world);
    for (A_long y = r.top + 1; y < r.bottom && row_bytes > 0; ++y) {
        std::memcpy(pixel_at(*world, r.left, y), pixel_at(*world, r.left, r.top), row_bytes);
    }
    return true;
}

}  // namespace zx::hostkit
