#include "cli/image.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "embed/alpha.h"

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

float Image::real(int x, int y, int channel) const {
    if (depth == 8) return static_cast<float>(sample(x, y, channel)) / 255.0f;
    if (depth == 16) return static_cast<float>(sample(x, y, channel)) / 65535.0f;
    float v;
    std::memcpy(&v, row(y) + (static_cast<std::size_t>(x) * 4 + channel) * 4, sizeof v);
    return v;
}

SampleDepth working_depth_of(int image_depth) {
    return image_depth == 8    ? SampleDepth::byte
           : image_depth == 16 ? SampleDepth::shorts
                               : SampleDepth::floats;
}

int image_depth_of(SampleDepth depth) {
    return depth == SampleDepth::byte ? 8 : depth == SampleDepth::shorts ? 16 : 32;
}

namespace {

int pixel_bytes(SampleDepth depth) {
    return image_depth_of(depth) / 2;
}

// File order is red, green, blue, alpha; the host's pixels start with alpha.
constexpr int kFileChannel[4] = {3, 0, 1, 2};  // host channel i comes from file channel

// A float sample as a fraction of full: out-of-range values are clipped, NaN is 0.
long scaled(float v, long full) {
    const float unit = std::isnan(v) ? 0.0f : std::clamp(v, 0.0f, 1.0f);
    return std::lround(unit * static_cast<float>(full));
}

A_u_short to_channel16(const Image& image, int x, int y, int channel) {
    if (image.depth == 32) return static_cast<A_u_short>(scaled(image.real(x, y, channel), 32768));
    const unsigned v = image.sample(x, y, channel);
    return image.depth == 16 ? png16_to_channel(v) : channel8_to_16(static_cast<A_u_char>(v));
}

A_u_char to_channel8(const Image& image, int x, int y, int channel) {
    if (image.depth == 32) return static_cast<A_u_char>(scaled(image.real(x, y, channel), 255));
    const unsigned v = image.sample(x, y, channel);
    return image.depth == 8 ? static_cast<A_u_char>(v) : channel16_to_8(png16_to_channel(v));
}

// Colour made straight (or premultiplied) on the effect's own channels, alpha first, as the
// OpenFX plug-in does for premultiplied clips.
template <class Channel>
void convert_alpha(Channel (&c)[4], bool to_straight, std::uint32_t full) {
    for (int i = 1; i < 4; ++i) {
        if constexpr (std::is_same_v<Channel, float>) {
            c[i] = to_straight ? embed::unpremultiply(c[i], c[0]) : embed::premultiply(c[i], c[0]);
        } else {
            c[i] = static_cast<Channel>(to_straight ? embed::unpremultiply(c[i], c[0], full)
                                                    : embed::premultiply(c[i], c[0], full));
        }
    }
}

}  // namespace

Frame::Frame(int width, int height, SampleDepth depth)
    : width_(width),
      height_(height),
      depth_(depth),
      bytes_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                 static_cast<std::size_t>(pixel_bytes(depth)),
             0) {}

std::ptrdiff_t Frame::row_bytes() const {
    return static_cast<std::ptrdiff_t>(width_) * pixel_bytes(depth_);
}

Frame to_frame(const Image& image, SampleDepth depth) {
    Frame frame(image.width, image.height, depth);
    const bool straighten = image.premultiplied;
    for (int y = 0; y < image.height; ++y) {
        std::uint8_t* out = frame.data() + y * frame.row_bytes();
        for (int x = 0; x < image.width; ++x) {
            if (depth == SampleDepth::floats) {
                float c[4];
                for (int i = 0; i < 4; ++i) c[i] = image.real(x, y, kFileChannel[i]);
                if (straighten) convert_alpha(c, true, 1);
                std::memcpy(out + x * sizeof c, c, sizeof c);
            } else if (depth == SampleDepth::shorts) {
                A_u_short c[4];
                for (int i = 0; i < 4; ++i) c[i] = to_channel16(image, x, y, kFileChannel[i]);
                if (straighten) convert_alpha(c, true, 32768);
                std::memcpy(out + x * sizeof c, c, sizeof c);
            } else {
                A_u_char c[4];
                for (int i = 0; i < 4; ++i) c[i] = to_channel8(image, x, y, kFileChannel[i]);
                if (straighten) convert_alpha(c, true, 255);
                std::memcpy(out + x * sizeof c, c, sizeof c);
            }
        }
    }
    return frame;
}

Image from_frame(const Frame& frame, bool premultiplied) {
    Image image = Image::blank(frame.width(), frame.height(), image_depth_of(frame.depth()));
    image.premultiplied = premultiplied;
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* in = frame.data() + y * frame.row_bytes();
        for (int x = 0; x < image.width; ++x) {
            if (frame.depth() == SampleDepth::floats) {
                float c[4];
                std::memcpy(c, in + x * sizeof c, sizeof c);
                if (premultiplied) convert_alpha(c, false, 1);
                const float rgba[4] = {c[1], c[2], c[3], c[0]};
                std::memcpy(image.row(y) + x * sizeof rgba, rgba, sizeof rgba);
            } else if (frame.depth() == SampleDepth::shorts) {
                A_u_short c[4];
                std::memcpy(c, in + x * sizeof c, sizeof c);
                if (premultiplied) convert_alpha(c, false, 32768);
                for (int i = 0; i < 4; ++i) {
                    image.set_sample(x, y, i, channel_to_png16(c[(i + 1) % 4]));
                }
            } else {
                A_u_char c[4];
                std::memcpy(c, in + x * sizeof c, sizeof c);
                if (premultiplied) convert_alpha(c, false, 255);
                for (int i = 0; i < 4; ++i) image.set_sample(x, y, i, c[(i + 1) % 4]);
            }
        }
    }
    return image;
}

}  // namespace zx::cli
