#include "cli/oiio_io.h"

#include <OpenImageIO/filesystem.h>
#include <OpenImageIO/imageio.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "cli/errors.h"

namespace zx::cli {

// The input's header and the channels beyond RGBA, for its outputs.
struct Carried {
    std::string format;        // the input's OpenImageIO format name
    OIIO::ImageSpec header;    // windows, channel names, metadata
    std::vector<int> extra;    // the channels beyond RGBA, by index in `header`
    int depth = 8;             // the image depth `extras` are held at
    std::vector<char> extras;  // per pixel, one sample of each extra channel
};

namespace {

// The picture's description as the codec read it; the library's own name for it is its call.
const OIIO::ImageSpec& header_of(const OIIO::ImageInput& in) {
    return in.spec();
}

// No codec the tool reads packs more pixel bytes into one byte of file (deflate's bound is
// 1032, the best OpenEXR and JPEG codes reach a few thousand): a header that claims more is cut
// or forged.
constexpr std::uint64_t kMaxExpansion = 1 << 16;
constexpr int kMaxChannels = 1024;
constexpr float kFull = 1.0f;

OIIO::TypeDesc type_of(int depth) {
    return depth == 8    ? OIIO::TypeDesc::UINT8
           : depth == 16 ? OIIO::TypeDesc::UINT16
                         : OIIO::TypeDesc::FLOAT;
}

int depth_of(OIIO::TypeDesc type) {
    switch (type.basetype) {
        case OIIO::TypeDesc::UINT8:
        case OIIO::TypeDesc::INT8:
            return 8;
        case OIIO::TypeDesc::HALF:
        case OIIO::TypeDesc::FLOAT:
        case OIIO::TypeDesc::DOUBLE:
            return 32;
        default:
            return 16;
    }
}

// Everything a stream holds, read in steps so that memory follows the bytes that arrive.
bool read_all(std::FILE* file, std::vector<unsigned char>& out) {
    constexpr std::size_t kStep = 1 << 20;
    for (;;) {
        const std::size_t at = out.size();
        out.resize(at + kStep);
        const std::size_t got = std::fread(out.data() + at, 1, kStep, file);
        out.resize(at + got);
        if (got < kStep) return std::ferror(file) == 0;
    }
}

bool premultiplied_by(const std::string& format, const OIIO::ImageSpec& header) {
    if (format == "openexr" || format == "dpx") return true;
    return format == "tiff" && header.get_int_attribute("oiio:UnassociatedAlpha", 0) == 0;
}

std::string size_text(long long width, long long height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

// The header checked before any pixel memory is taken.
void check_bounds(const std::string& name, const OIIO::ImageSpec& header, int depth,
                  std::uint64_t file_size) {
    if (header.width < 1 || header.height < 1 || header.width > kMaxSide ||
        header.height > kMaxSide) {
        throw Failure(name + " is " + size_text(header.width, header.height) +
                      " pixels; each side must be 1.." + std::to_string(kMaxSide));
    }
    if (header.depth != 1 || header.deep || header.nchannels < 1 ||
        header.nchannels > kMaxChannels) {
        throw Failure(name + " is a volume, deep or " + std::to_string(header.nchannels) +
                      "-channel picture; the tool reads flat pictures of 1.." +
                      std::to_string(kMaxChannels) + " channels");
    }
    const std::uint64_t declared = std::uint64_t(header.width) * std::uint64_t(header.height) *
                                   std::uint64_t(header.nchannels) * std::uint64_t(depth / 8);
    if (declared / kMaxExpansion > file_size) {
        throw Failure(name + " is truncated: its " + std::to_string(file_size) +
                      " bytes cannot hold a " + size_text(header.width, header.height) +
                      " picture");
    }
}

}  // namespace

Image read_oiio(std::FILE* file, const unsigned char* head, std::size_t head_size,
                const std::string& path) {
    const std::string name = "input '" + path + "'";
    struct stat file_stat {};
    const bool regular = fstat(fileno(file), &file_stat) == 0 && S_ISREG(file_stat.st_mode);
    // A pipe is read whole first; a file is read where it lies.
    std::vector<unsigned char> stream(head, head + head_size);
    if (!regular && !read_all(file, stream)) {
        throw Failure("cannot read " + name + ": " + std::strerror(errno));
    }
    const std::uint64_t size = regular ? std::uint64_t(file_stat.st_size) : stream.size();
    OIIO::Filesystem::IOMemReader memory(stream.data(), stream.size());

    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);  // colour as the file holds it
    void* proxy = &memory;
    if (!regular) config.attribute("oiio:ioproxy", OIIO::TypeDesc::PTR, &proxy);
    auto in = OIIO::ImageInput::open(path, &config, regular ? nullptr : &memory);
    if (!in) {
        const std::string why = OIIO::geterror();
        throw Failure(name + " is not a picture the tool can read" +
                      (why.empty() ? std::string() : ": " + why));
    }
    const OIIO::ImageSpec& header = header_of(*in);
    const int depth = depth_of(header.format);
    check_bounds(name, header, depth, size);

    const auto nch = static_cast<std::size_t>(header.nchannels);
    const int alpha = header.alpha_channel >= 0 && header.alpha_channel < header.nchannels
                          ? header.alpha_channel
                          : -1;
    std::vector<int> colour;
    auto carried = std::make_shared<Carried>();
    for (int c = 0; c < header.nchannels; ++c) {
        if (c == alpha) continue;
        (colour.size() < 3 ? colour : carried->extra).push_back(c);
    }
    // Grey is all three colours; a picture of alpha alone has black colour.
    while (!colour.empty() && colour.size() < 3) colour.push_back(colour.front());

    const std::size_t pixels = std::size_t(header.width) * std::size_t(header.height);
    const std::size_t sample = std::size_t(depth / 8);
    std::vector<char> all(pixels * nch * sample);
    // A codec may fill what is missing and still report success (JPEG does): its error
    // state says the picture is not whole.
    if (!in->read_image(0, 0, 0, header.nchannels, type_of(depth), all.data()) || in->has_error()) {
        throw Failure(name + " is damaged or truncated: " + in->geterror());
    }

    Image image = Image::blank(header.width, header.height, depth);
    image.premultiplied = alpha >= 0 && premultiplied_by(in->format_name(), header);
    carried->format = in->format_name();
    carried->header = header;
    carried->depth = depth;
    carried->extras.resize(pixels * carried->extra.size() * sample);
    const OIIO::TypeDesc type = type_of(depth);
    for (std::size_t p = 0; p < pixels; ++p) {
        const char* px = all.data() + p * nch * sample;
        const int x = static_cast<int>(p % std::size_t(header.width));
        const int y = static_cast<int>(p / std::size_t(header.width));
        char* rgba = reinterpret_cast<char*>(image.row(y)) + std::size_t(x) * 4 * sample;
        for (int c = 0; c < 4; ++c) {
            const int from = c < 3 ? (colour.empty() ? -1 : colour[std::size_t(c)]) : alpha;
            if (from < 0) {
                // Absent alpha is full; absent colour stays black.
                if (c == 3)
                    OIIO::convert_pixel_values(OIIO::TypeDesc::FLOAT, &kFull, type,
                                               rgba + 3 * sample);
                continue;
            }
            std::memcpy(rgba + std::size_t(c) * sample, px + std::size_t(from) * sample, sample);
        }
        if (depth == 16) {
            // Image holds 16-bit samples big-endian.
            for (int c = 0; c < 4; ++c) {
                std::uint16_t v;
                std::memcpy(&v, rgba + 2 * c, 2);
                rgba[2 * c] = static_cast<char>(v >> 8);
                rgba[2 * c + 1] = static_cast<char>(v & 0xff);
            }
        }
        for (std::size_t e = 0; e < carried->extra.size(); ++e) {
            std::memcpy(carried->extras.data() + (p * carried->extra.size() + e) * sample,
                        px + std::size_t(carried->extra[e]) * sample, sample);
        }
    }
    image.carried = std::move(carried);
    return image;
}

std::optional<std::string> oiio_output_format(const std::string& path, const Carried* carried) {
    if (auto out = OIIO::ImageOutput::create(path)) return std::string(out->format_name());
    OIIO::geterror();  // the extension names no format: not an error of ours
    if (carried && OIIO::Filesystem::extension(path).empty()) return carried->format;
    return std::nullopt;
}

bool oiio_output_premultiplied(const std::string& format, const Carried* carried) {
    if (format == "tiff" && carried && carried->format == "tiff") {
        return premultiplied_by(format, carried->header);
    }
    return format == "openexr" || format == "dpx" || format == "tiff";
}

std::vector<unsigned char> encode_oiio(const std::string& path, const std::string& format,
                                       const Image& image) {
    const std::string name = "output '" + path + "'";
    auto out = OIIO::ImageOutput::create(format);
    if (!out || !out->supports("ioproxy")) {
        OIIO::geterror();
        throw Failure(name + ": the tool cannot write " + format + " files");
    }
    const Carried* carried = image.carried.get();
    const bool keep_type = carried && carried->depth == image.depth;
    const OIIO::TypeDesc type = type_of(image.depth);
    const bool alpha = out->supports("alpha");
    // Other writers that claim any channel count still take no more than RGBA (DPX aborts).
    const bool any_channels = format == "openexr" || format == "tiff";
    const std::size_t extras = carried && any_channels ? carried->extra.size() : std::size_t{0};
    const std::size_t nch = (alpha ? 4 : 3) + extras;

    OIIO::ImageSpec header = carried ? carried->header : OIIO::ImageSpec();
    header.width = image.width;
    header.height = image.height;
    if (!carried) {
        header.full_width = image.width;
        header.full_height = image.height;
    }
    header.set_format(keep_type ? carried->header.format : type);
    header.channelformats.clear();
    if (!keep_type) header.erase_attribute("oiio:BitsPerSample");
    header.nchannels = static_cast<int>(nch);
    header.channelnames = {"R", "G", "B"};
    if (alpha) header.channelnames.push_back("A");
    for (std::size_t e = 0; e < extras; ++e) {
        header.channelnames.push_back(carried->header.channel_name(carried->extra[e]));
    }
    header.alpha_channel = alpha ? 3 : -1;
    header.z_channel = -1;
    if (!out->supports("tiles")) header.tile_width = header.tile_height = header.tile_depth = 0;
    header.attribute("oiio:UnassociatedAlpha", image.premultiplied ? 0 : 1);
    header.erase_attribute("oiio:subimages");

    // Pixels interleaved in the working depth's type; OpenImageIO converts to the file's.
    const std::size_t sample = type.size();
    const std::size_t pixels = std::size_t(image.width) * std::size_t(image.height);
    std::vector<char> data(pixels * nch * sample);
    const OIIO::TypeDesc extra_type = carried ? type_of(carried->depth) : type;
    for (std::size_t p = 0; p < pixels; ++p) {
        char* px = data.data() + p * nch * sample;
        const int x = static_cast<int>(p % std::size_t(image.width));
        const int y = static_cast<int>(p / std::size_t(image.width));
        for (int c = 0; c < (alpha ? 4 : 3); ++c) {
            char* at = px + std::size_t(c) * sample;
            if (image.depth == 8) {
                *reinterpret_cast<unsigned char*>(at) =
                    static_cast<unsigned char>(image.sample(x, y, c));
            } else if (image.depth == 16) {
                const auto v = static_cast<std::uint16_t>(image.sample(x, y, c));
                std::memcpy(at, &v, 2);
            } else {
                const float v = image.real(x, y, c);
                std::memcpy(at, &v, 4);
            }
        }
        if (extras > 0) {
            OIIO::convert_pixel_values(
                extra_type, carried->extras.data() + p * extras * extra_type.size(), type,
                px + (nch - extras) * sample, static_cast<int>(extras));
        }
    }

    std::vector<unsigned char> bytes;
    OIIO::Filesystem::IOVecOutput proxy(bytes);
    out->set_ioproxy(&proxy);
    if (!out->open(path, header) || !out->write_image(type, data.data()) || !out->close()) {
        throw Failure("cannot encode " + name + ": " + out->geterror());
    }
    return bytes;
}

namespace {

// The same type of samples in the same channels: half is not float, a 10-bit DPX not a 16-bit.
bool same_samples(const OIIO::ImageSpec& a, const OIIO::ImageSpec& b) {
    return a.nchannels == b.nchannels && a.format == b.format &&
           a.channelformats == b.channelformats &&
           a.get_int_attribute("oiio:BitsPerSample") == b.get_int_attribute("oiio:BitsPerSample");
}

}  // namespace

ExistingFrame existing_oiio(std::FILE* file, const std::string& path, int width, int height,
                            const std::vector<unsigned char>& written) {
    OIIO::Filesystem::IOMemReader written_memory(written.data(), written.size());
    OIIO::Filesystem::IOFile file_proxy(file, OIIO::Filesystem::IOProxy::Read);
    auto open = [&path](OIIO::Filesystem::IOProxy* proxy) {
        OIIO::ImageSpec config;
        void* pointer = proxy;
        config.attribute("oiio:ioproxy", OIIO::TypeDesc::PTR, &pointer);
        auto in = OIIO::ImageInput::open(path, &config, proxy);
        if (!in) OIIO::geterror();  // a foreign file is no error of ours
        return in;
    };
    const auto expected = open(&written_memory);
    if (!expected) throw Failure("cannot read back the format of output '" + path + "'");
    const auto in = open(&file_proxy);
    if (!in) return ExistingFrame::other;
    const OIIO::ImageSpec& header = header_of(*in);
    struct stat file_stat {};
    if (std::strcmp(in->format_name(), expected->format_name()) != 0 || header.width != width ||
        header.height != height || header.depth != 1 || header.deep ||
        !same_samples(header, header_of(*expected)) || fstat(fileno(file), &file_stat) != 0) {
        return ExistingFrame::other;
    }
    try {
        check_bounds("output '" + path + "'", header, 8 * int(header.format.size()),
                     std::uint64_t(file_stat.st_size));
    } catch (const Failure&) {
        return ExistingFrame::other;
    }
    std::vector<char> pixels(header.image_bytes(true));
    const bool whole = in->read_image(0, 0, 0, header.nchannels, header.format, pixels.data());
    return whole && !in->has_error() ? ExistingFrame::complete : ExistingFrame::other;
}

std::string oiio_format_list(bool writable) {
    // "format:ext,ext;format:ext..." as OpenImageIO lists them; movies and volumes are no
    // pictures, PNG is libpng's.
    const std::string all = OIIO::get_string_attribute("extension_list");
    std::string list;
    for (const auto& entry : OIIO::Strutil::splitsv(all, ";")) {
        const auto parts = OIIO::Strutil::splitsv(entry, ":", 2);
        if (parts.size() != 2) continue;
        const std::string format(parts[0]);
        if (format == "png" || format == "ffmpeg" || format == "openvdb" || format == "null" ||
            format == "term") {
            continue;
        }
        if (writable) {
            auto out = OIIO::ImageOutput::create(format);
            OIIO::geterror();
            if (!out || !out->supports("ioproxy")) continue;
        }
        const std::string first(OIIO::Strutil::splitsv(parts[1], ",", 2)[0]);
        list += (list.empty() ? "" : ", ") + format + " (." + first + ")";
    }
    return list;
}

}  // namespace zx::cli
