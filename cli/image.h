// Pictures as files hold them, and the frames the effect renders them as.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "composite/pixel_traits.h"  // channel8_to_16, channel16_to_8: changing the working depth
#include "embed/embed_host.h"
#include "embed/sample16.h"
#include "host/ae_api.h"

namespace zx::cli {

// Largest width or height the tool accepts, for inputs, the test card and outputs alike.
inline constexpr int kMaxSide = 16384;

// What an input file holds beside its RGBA pixels (channels beyond them, metadata, data and
// display windows), for the outputs made from it; each codec that reads such things defines it.
struct Carried;

// What an output file already holds compared with the frame a run would write there.
enum class ExistingFrame {
    none,      // no file of that name
    complete,  // that frame's whole picture: size, channels and sample depth as written
    other,     // anything else: cut short, damaged, another picture or format, not a file
};

// RGBA rows of 8-bit, 16-bit or float samples (depth 8, 16 or 32); 16-bit samples are stored
// big-endian as in a PNG file, floats in the machine's order.
struct Image {
    int width = 0;
    int height = 0;
    int depth = 8;
    std::vector<std::uint8_t> bytes;
    bool premultiplied = false;              // colour as the file holds it: times alpha
    std::shared_ptr<const Carried> carried;  // none: nothing beyond RGBA

    static Image blank(int width, int height, int depth);  // transparent black

    std::size_t row_bytes() const {
        return static_cast<std::size_t>(width) * 4 * static_cast<std::size_t>(depth / 8);
    }
    std::uint8_t* row(int y) { return bytes.data() + static_cast<std::size_t>(y) * row_bytes(); }
    const std::uint8_t* row(int y) const {
        return bytes.data() + static_cast<std::size_t>(y) * row_bytes();
    }
    // Channel 0 red .. 3 alpha; integer depths only.
    unsigned sample(int x, int y, int channel) const;
    void set_sample(int x, int y, int channel, unsigned value);
    // Any depth: 0..1 for integer samples.
    float real(int x, int y, int channel) const;
};

// A 16-bit file sample v (0..65535) as a host channel (0..32768), and back.
using embed::channel_to_png16;
using embed::png16_to_channel;

// The depth a picture's samples are worked at by default, and the image depth of a working
// depth.
embed::Depth working_depth_of(int image_depth);
int image_depth_of(embed::Depth depth);

// A frame in the effect's own pixels (alpha, red, green, blue; 16-bit channels 0..32768,
// float ones 0..1), rows packed.
struct Frame {
    embed::FrameFormat format;
    std::vector<std::uint8_t> bytes;

    Frame() = default;
    Frame(int width, int height, embed::Depth depth);  // transparent black
    int width() const { return format.width; }
    int height() const { return format.height; }
    embed::Depth depth() const { return format.depth; }
    std::ptrdiff_t row_bytes() const;
    std::uint8_t* data() { return bytes.data(); }
    const std::uint8_t* data() const { return bytes.data(); }
};

// The layer the effect sees: `image` at `depth`, its colour made straight when premultiplied.
Frame to_frame(const Image& image, embed::Depth depth);
// An output frame as a picture of the frame's own depth, premultiplied when asked.
Image from_frame(const Frame& frame, bool premultiplied);

}  // namespace zx::cli
