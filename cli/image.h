// Pictures as files hold them, and the frames the effect renders them as.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "composite/pixel_traits.h"  // channel8_to_16, channel16_to_8: changing the working depth
#include "core/render_core.h"
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
SampleDepth working_depth_of(int image_depth);
int image_depth_of(SampleDepth depth);

// A frame in the effect's own pixels (alpha, red, green, blue; 16-bit channels 0..32768,
// float ones 0..1), rows packed.
class Frame {
  public:
    Frame() = default;
    Frame(int width, int height, SampleDepth depth);  // transparent black
    int width() const { return width_; }
    int height() const { return height_; }
    SampleDepth depth() const { return depth_; }
    std::ptrdiff_t row_bytes() const;
    std::uint8_t* data() { return bytes_.data(); }
    const std::uint8_t* data() const { return bytes_.data(); }

  private:
    int width_ = 0;
    int height_ = 0;
    SampleDepth depth_ = SampleDepth::byte;
    std::vector<std::uint8_t> bytes_;
};

// The layer the effect sees: `image` at `depth`, its colour made straight when premultiplied.
Frame to_frame(const Image& image, SampleDepth depth);
// An output frame as a picture of the frame's own depth, premultiplied when asked.
Image from_frame(const Frame& frame, bool premultiplied);

}  // namespace zx::cli
