#include "cli/image.h"

namespace zx::cli {

Image Image::blank(int width, int height, int depth) {
    Image image;
    image.width = width;
    image.height = height;
    image.depth = depth;
    image.bytes.assign(image.row_bytes() * static_cast<std::size_t>(height), 0);
    return image;
}

unsigned Image::sample(int x, int y, int channel) const {
    const std::uint8_t* r = row(y);
    if (depth == 8) {
        return r[static_cast<std::size_t>(x) * 4 + static_cast<std::size_t>(channel)];
    }
    const std::uint8_t* p = r + (static_cast<std::size_t>(x) * 4 + channel) * 2;
    return static_cast<unsigned>(p[0] << 8 | p[1]);
}

void Image::set_sample(int x, int y, int channel, unsigned value) {
    std::uint8_t* r = row(y);
    if (depth == 8) {
        r[static_cast<std::size_t>(x) * 4 + static_cast<std::size_t>(channel)] =
            static_cast<std::uint8_t>(value);
        return;
    }
    std::uint8_t* p = r + (static_cast<std::size_t>(x) * 4 + channel) * 2;
    p[0] = static_cast<std::uint8_t>(value >> 8);
    p[1] = static_cast<std::uint8_t>(value);
}

namespace {

// File order is red, green, blue, alpha; the host's pixels start with alpha.
constexpr int kFileChannel[4] = {3, 0, 1, 2};  // host channel i comes from file channel

template <class Pixel>
Pixel* world_row(const worlds::World& world, int y) {
    auto* base = reinterpret_cast<std::uint8_t*>(world.def()->data);
    return reinterpret_cast<Pixel*>(base + static_cast<std::size_t>(y) * world.rowbytes());
}

A_u_short to_channel16(const Image& image, int x, int y, int channel) {
    const unsigned v = image.sample(x, y, channel);
    return image.depth == 16 ? png16_to_channel(v) : channel8_to_16(static_cast<A_u_char>(v));
}

A_u_char to_channel8(const Image& image, int x, int y, int channel) {
    const unsigned v = image.sample(x, y, channel);
    return image.depth == 8 ? static_cast<A_u_char>(v) : channel16_to_8(png16_to_channel(v));
}

}  // namespace

worlds::World to_world(const Image& image, int working_depth) {
    const bool deep = working_depth == 16;
    worlds::World world(image.width, image.height,
                        deep ? worlds::Depth::sixteen : worlds::Depth::eight);
    for (int y = 0; y < image.height; ++y) {
        if (deep) {
            PF_Pixel16* out = world_row<PF_Pixel16>(world, y);
            for (int x = 0; x < image.width; ++x) {
                A_u_short c[4];
                for (int i = 0; i < 4; ++i) c[i] = to_channel16(image, x, y, kFileChannel[i]);
                out[x] = PF_Pixel16{c[0], c[1], c[2], c[3]};
            }
        } else {
            PF_Pixel8* out = world_row<PF_Pixel8>(world, y);
            for (int x = 0; x < image.width; ++x) {
                A_u_char c[4];
                for (int i = 0; i < 4; ++i) c[i] = to_channel8(image, x, y, kFileChannel[i]);
                out[x] = PF_Pixel8{c[0], c[1], c[2], c[3]};
            }
        }
    }
    return world;
}

Image from_world(const worlds::World& world) {
    Image image = Image::blank(world.width(), world.height(), world.deep() ? 16 : 8);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            if (world.deep()) {
                const PF_Pixel16 p = world_row<PF_Pixel16>(world, y)[x];
                const A_u_short c[4] = {p.red, p.green, p.blue, p.alpha};
                for (int i = 0; i < 4; ++i) image.set_sample(x, y, i, channel_to_png16(c[i]));
            } else {
                const PF_Pixel8 p = world_row<PF_Pixel8>(world, y)[x];
                const A_u_char c[4] = {p.red, p.green, p.blue, p.alpha};
                for (int i = 0; i < 4; ++i) image.set_sample(x, y, i, c[i]);
            }
        }
    }
    return image;
}

}  // namespace zx::cli
