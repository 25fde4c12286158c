#include "worlds/world.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace worlds {

World::World() : World(0, 0) {}

World::World(A_long width, A_long height, Depth depth, A_long pad_bytes) {
    if (width < 0 || height < 0 || pad_bytes < 0) {
        throw std::invalid_argument("World: negative size or padding");
    }
    const A_long pixel = depth == Depth::sixteen ? 8 : 4;
    // 16-bit channels must stay 2-byte aligned on every row.
    if (depth == Depth::sixteen && pad_bytes % 2 != 0) {
        throw std::invalid_argument("World: a 16-bit world needs an even row padding");
    }
    def_.world_flags = depth == Depth::sixteen ? PF_WorldFlag_DEEP : 0;
    def_.width = width;
    def_.height = height;
    def_.rowbytes = width * pixel + pad_bytes;
    const std::size_t body =
        static_cast<std::size_t>(def_.rowbytes) * static_cast<std::size_t>(height);
    bytes_.assign(body + 2 * kGuardBytes, kSentinel);
    for (A_long y = 0; y < height; ++y) {
        std::memset(row(y), 0, static_cast<std::size_t>(width * pixel));
    }
    repoint();
}

World World::with_pad_pixels(A_long width, A_long height, Depth depth, A_long pad_pixels) {
    return World(width, height, depth, pad_pixels * (depth == Depth::sixteen ? 8 : 4));
}

World World::raw(const PF_LayerDef& def) {
    World w;
    w.bytes_.clear();
    w.def_ = def;
    return w;
}

World::World(const World& other) : bytes_(other.bytes_), def_(other.def_) {
    repoint();
}

World& World::operator=(const World& other) {
    if (this != &other) {
        bytes_ = other.bytes_;
        def_ = other.def_;
        repoint();
    }
    return *this;
}

World::World(World&& other) noexcept : bytes_(std::move(other.bytes_)), def_(other.def_) {
    repoint();
    other.def_ = PF_LayerDef{};
}

World& World::operator=(World&& other) noexcept {
    if (this != &other) {
        bytes_ = std::move(other.bytes_);
        def_ = other.def_;
        repoint();
        other.def_ = PF_LayerDef{};
    }
    return *this;
}

// A raw world keeps whatever data pointer it was given; an owning one points past the guard.
void World::repoint() {
    if (!bytes_.empty()) {
        def_.data = reinterpret_cast<PF_Pixel*>(bytes_.data() + kGuardBytes);
    }
}

std::uint8_t* World::row(A_long y) {
    return bytes_.data() + kGuardBytes + static_cast<std::size_t>(y) * def_.rowbytes;
}

const std::uint8_t* World::row(A_long y) const {
    return bytes_.data() + kGuardBytes + static_cast<std::size_t>(y) * def_.rowbytes;
}

void World::check(A_long x, A_long y, bool want_deep) const {
    if (!owns_pixels()) {
        throw std::logic_error("World: no pixels behind a raw world");
    }
    if (deep() != want_deep) {
        throw std::logic_error("World: pixel accessor of the wrong depth");
    }
    if (x < 0 || y < 0 || x >= def_.width || y >= def_.height) {
        throw std::out_of_range("World: pixel outside the frame");
    }
}

PF_Pixel8& World::px8(A_long x, A_long y) {
    check(x, y, false);
    return reinterpret_cast<PF_Pixel8*>(row(y))[x];
}

const PF_Pixel8& World::px8(A_long x, A_long y) const {
    check(x, y, false);
    return reinterpret_cast<const PF_Pixel8*>(row(y))[x];
}

PF_Pixel16& World::px16(A_long x, A_long y) {
    check(x, y, true);
    return reinterpret_cast<PF_Pixel16*>(row(y))[x];
}

const PF_Pixel16& World::px16(A_long x, A_long y) const {
    check(x, y, true);
    return reinterpret_cast<const PF_Pixel16*>(row(y))[x];
}

void World::fill8(PF_Pixel8 p) {
    for (A_long y = 0; y < height(); ++y) {
        for (A_long x = 0; x < width(); ++x) {
            px8(x, y) = p;
        }
    }
}

void World::fill16(PF_Pixel16 p) {
    for (A_long y = 0; y < height(); ++y) {
        for (A_long x = 0; x < width(); ++x) {
            px16(x, y) = p;
        }
    }
}

static bool is_hole(A_long x, A_long y) {
    return (x + 2 * y) % 7 == 3;
}

PF_Pixel8 World::test_pixel8(A_long x, A_long y, bool transparent_holes) {
    PF_Pixel8 p{};
    p.alpha = transparent_holes && is_hole(x, y) ? 0 : 255;
    p.red = static_cast<A_u_char>(x & 0xFF);
    p.green = static_cast<A_u_char>(y & 0xFF);
    p.blue = static_cast<A_u_char>((x * 7 + y * 3 + 11) & 0xFF);
    return p;
}

// 109 and 113 are prime to 32769, so red and green alone tell the coordinates apart.
PF_Pixel16 World::test_pixel16(A_long x, A_long y, bool transparent_holes) {
    PF_Pixel16 p{};
    p.alpha = transparent_holes && is_hole(x, y) ? 0 : 32768;
    p.red = static_cast<A_u_short>((x * 109 + 1) % 32769);
    p.green = static_cast<A_u_short>((y * 113 + 2) % 32769);
    p.blue = static_cast<A_u_short>((x * 37 + y * 53 + 5) % 32769);
    return p;
}

void World::fill_test_picture(bool transparent_holes) {
    for (A_long y = 0; y < height(); ++y) {
        for (A_long x = 0; x < width(); ++x) {
            if (deep()) {
                px16(x, y) = test_pixel16(x, y, transparent_holes);
            } else {
                px8(x, y) = test_pixel8(x, y, transparent_holes);
            }
        }
    }
}

bool World::padding_intact() const {
    if (!owns_pixels()) {
        return true;
    }
    const auto sentinel_run = [](const std::uint8_t* p, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            if (p[i] != kSentinel) {
                return false;
            }
        }
        return true;
    };
    if (!sentinel_run(bytes_.data(), kGuardBytes) ||
        !sentinel_run(bytes_.data() + bytes_.size() - kGuardBytes, kGuardBytes)) {
        return false;
    }
    const std::size_t used = static_cast<std::size_t>(width()) * pixel_size();
    const std::size_t pad = static_cast<std::size_t>(rowbytes()) - used;
    for (A_long y = 0; y < height(); ++y) {
        if (!sentinel_run(row(y) + used, pad)) {
            return false;
        }
    }
    return true;
}

bool World::same_pixels(const World& other) const {
    return first_difference(other).empty();
}

std::string World::first_difference(const World& other) const {
    if (width() != other.width() || height() != other.height()) {
        return "size " + std::to_string(width()) + "x" + std::to_string(height()) + " vs " +
               std::to_string(other.width()) + "x" + std::to_string(other.height());
    }
    if (deep() != other.deep()) {
        return "depth differs";
    }
    if (!owns_pixels() || !other.owns_pixels()) {
        return owns_pixels() == other.owns_pixels() ? "" : "one world has no pixels";
    }
    for (A_long y = 0; y < height(); ++y) {
        for (A_long x = 0; x < width(); ++x) {
            long a[4];
            long b[4];
            if (deep()) {
                const PF_Pixel16 p = px16(x, y);
                const PF_Pixel16 q = other.px16(x, y);
                a[0] = p.alpha, a[1] = p.red, a[2] = p.green, a[3] = p.blue;
                b[0] = q.alpha, b[1] = q.red, b[2] = q.green, b[3] = q.blue;
            } else {
                const PF_Pixel8 p = px8(x, y);
                const PF_Pixel8 q = other.px8(x, y);
                a[0] = p.alpha, a[1] = p.red, a[2] = p.green, a[3] = p.blue;
                b[0] = q.alpha, b[1] = q.red, b[2] = q.green, b[3] = q.blue;
            }
            if (a[0] != b[0] || a[1] != b[1] || a[2] != b[2] || a[3] != b[3]) {
                char text[160];
                std::snprintf(text, sizeof text,
                              "pixel (%ld,%ld): (%ld,%ld,%ld,%ld) vs (%ld,%ld,%ld,%ld)",
                              static_cast<long>(x), static_cast<long>(y), a[0], a[1], a[2], a[3],
                              b[0], b[1], b[2], b[3]);
                return text;
            }
        }
    }
    return "";
}

}  // namespace worlds
