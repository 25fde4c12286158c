#include "cli/picture_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "cli/errors.h"
#include "cli/oiio_io.h"
#include "cli/png_io.h"

namespace zx::cli {

namespace {

bool png_name(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == "png";
}

// A float picture as 16-bit samples, clipped to 0..1.
Image to_sixteen(const Image& image) {
    Image out = Image::blank(image.width, image.height, 16);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            for (int c = 0; c < 4; ++c) {
                const float v = image.real(x, y, c);
                const float unit = std::isnan(v) ? 0.0f : std::clamp(v, 0.0f, 1.0f);
                out.set_sample(x, y, c, static_cast<unsigned>(std::lround(unit * 65535.0f)));
            }
        }
    }
    return out;
}

// The OpenImageIO format that writes `path`; none for PNG.
std::optional<std::string> oiio_format_of(const std::string& path, const Carried* carried) {
    const std::optional<std::string> format =
        png_name(path) ? std::nullopt : oiio_output_format(path, carried);
    return format == "png" ? std::nullopt : format;
}

}  // namespace

Image read_picture(const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                         std::fclose);
    if (!file) throw Failure("cannot open input '" + path + "': " + std::strerror(errno));
    unsigned char head[8];
    const std::size_t got = std::fread(head, 1, sizeof head, file.get());
    if (got != sizeof head && std::ferror(file.get())) {
        throw Failure("cannot read input '" + path + "': " + std::strerror(errno));
    }
    if (is_png_signature(head, got) || png_name(path)) return read_png(file.get(), head, got, path);
    return read_oiio(file.get(), head, got, path);
}

std::vector<unsigned char> encode_picture(const std::string& path, const Frame& frame,
                                          const std::shared_ptr<const Carried>& carried,
                                          std::optional<int> png_compression) {
    const std::optional<std::string> format = oiio_format_of(path, carried.get());
    if (!format) {
        const Image image = from_frame(frame, false);
        return encode_png(image.depth == 32 ? to_sixteen(image) : image, png_compression);
    }
    Image image = from_frame(frame, oiio_output_premultiplied(*format, carried.get()));
    image.carried = carried;
    return encode_oiio(path, *format, image);
}

ExistingFrame existing_picture(const std::string& path, const Frame& frame,
                               const std::shared_ptr<const Carried>& carried) {
    if (path == "-") return ExistingFrame::none;  // standard output keeps no earlier frame
    // Without blocking on a pipe: only a regular file (or a link to one) can hold a frame.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? ExistingFrame::none : ExistingFrame::other;
    struct stat st {};
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
        fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? fdopen(fd, "rb") : nullptr, std::fclose);
    if (!file) {
        close(fd);
        return ExistingFrame::other;
    }
    if (!oiio_format_of(path, carried.get())) {
        // A float frame makes a 16-bit PNG.
        return existing_png(file.get(), path, frame.width(), frame.height(),
                            frame.depth() == SampleDepth::byte ? 8 : 16);
    }
    // The header a picture of this depth and input takes in this format, from one pixel's file.
    const std::vector<unsigned char> written =
        encode_picture(path, Frame(1, 1, frame.depth()), carried, std::nullopt);
    return existing_oiio(file.get(), path, frame.width(), frame.height(), written);
}

std::string format_help() {
    return "Formats, by the output's extension: png (.png) through libpng; through "
           "OpenImageIO, read: " +
           oiio_format_list(false) + "; written: " + oiio_format_list(true) + ".\n";
}

}  // namespace zx::cli
