#include "cli/png_io.h"

#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "atomic/atomic_file.h"
#include "cli/errors.h"

namespace zx::cli {

namespace {

std::string system_error(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// libpng reports errors through this record; the handlers below copy the text and jump back to
// the setjmp of the phase that made the call.
struct PngErrorSink {
    char message[256];
};

[[noreturn]] void on_png_error(png_structp png, png_const_charp text) {
    auto* sink = static_cast<PngErrorSink*>(png_get_error_ptr(png));
    std::snprintf(sink->message, sizeof sink->message, "%s", text);
    png_longjmp(png, 1);
}

void on_png_warning(png_structp, png_const_charp) {}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

struct ReadStructs {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~ReadStructs() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

struct Header {
    png_uint_32 width;
    png_uint_32 height;
    int bit_depth;
    int channels;
    int file_bits;  // bits per pixel as stored, before expansion
};

// Appends up to `count` bytes of `file` to `out`, in steps, so that memory follows the bytes
// that arrive and not the count; false on a read error.
bool append_from(std::FILE* file, std::uint64_t count, std::vector<unsigned char>& out) {
    constexpr std::uint64_t kStep = 1 << 20;
    while (count > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min(count, kStep));
        const std::size_t at = out.size();
        out.resize(at + want);
        const std::size_t got = std::fread(out.data() + at, 1, want, file);
        out.resize(at + got);
        if (got < want) return std::ferror(file) == 0;
        count -= got;
    }
    return true;
}

// The chunks after the signature up to IEND or the end of the stream; false on a read error.
bool read_chunks(std::FILE* file, std::vector<unsigned char>& out) {
    for (;;) {
        const std::size_t start = out.size();
        if (!append_from(file, 8, out)) return false;
        if (out.size() < start + 8) return true;  // cut short: libpng says where
        const unsigned char* head = out.data() + start;
        const std::uint64_t length =
            std::uint64_t{head[0]} << 24 | head[1] << 16 | head[2] << 8 | head[3];
        const bool last = std::memcmp(head + 4, "IEND", 4) == 0;
        if (!append_from(file, length + 4, out)) return false;  // the data and its CRC
        if (last || out.size() < start + 12 + length) return true;
    }
}

struct MemoryStream {
    const unsigned char* next;
    std::size_t left;
};

void read_memory(png_structp png, png_bytep data, png_size_t length) {
    auto* stream = static_cast<MemoryStream*>(png_get_io_ptr(png));
    if (length > stream->left) png_error(png, "Read Error");  // as libpng's own reader says
    std::memcpy(data, stream->next, length);
    stream->next += length;
    stream->left -= length;
}

// The phases that may longjmp keep only trivially destructible locals and call no C++ code
// that owns resources, so the jump skips no destructor.
bool read_header(png_structp png, png_infop info, Header* header) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_sig_bytes(png, 8);
    png_read_info(png, info);
    const int color = png_get_color_type(png, info);
    const int depth = png_get_bit_depth(png, info);
    const bool has_trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    header->file_bits = depth * png_get_channels(png, info);
    if (color == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if ((color & PNG_COLOR_MASK_COLOR) == 0) {
        if (depth < 8) png_set_expand_gray_1_2_4_to_8(png);
        png_set_gray_to_rgb(png);
    }
    if (has_trns) png_set_tRNS_to_alpha(png);
    if ((color & PNG_COLOR_MASK_ALPHA) == 0 && !has_trns) {
        png_set_add_alpha(png, 0xffff, PNG_FILLER_AFTER);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    header->width = png_get_image_width(png, info);
    header->height = png_get_image_height(png, info);
    header->bit_depth = png_get_bit_depth(png, info);
    header->channels = png_get_channels(png, info);
    return true;
}

bool read_rows(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    png_read_end(png, nullptr);  // a file cut after the pixels is still refused
    return true;
}

}  // namespace

Image read_png(const std::string& path) {
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) throw Failure(system_error("cannot open input '" + path + "'"));
    unsigned char signature[8];
    const std::size_t got = std::fread(signature, 1, sizeof signature, file.get());
    if (got != sizeof signature && std::ferror(file.get())) {
        throw Failure(system_error("cannot read input '" + path + "'"));
    }
    return read_png(file.get(), signature, got, path);
}

bool is_png_signature(const unsigned char* head, std::size_t size) {
    return size >= 8 && png_sig_cmp(head, 0, 8) == 0;
}

Image read_png(std::FILE* opened, const unsigned char* head, std::size_t head_size,
               const std::string& path) {
    const std::string name = "input '" + path + "'";
    if (!is_png_signature(head, head_size)) throw Failure(name + " is not a PNG file");
    std::FILE* file = opened;
    png_byte signature[8];
    std::memcpy(signature, head, sizeof signature);

    PngErrorSink sink{};
    ReadStructs s;
    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &sink, on_png_error, on_png_warning);
    if (s.png != nullptr) s.info = png_create_info_struct(s.png);
    if (s.info == nullptr) throw Failure("out of memory reading " + name);

    // Deflate expands a byte to at most 1032, so the size of a file bounds the pixels it can
    // hold. A pipe's size is known once it is read: its chunks are read into memory first, so
    // that memory follows the bytes that arrive, and the header meets the same bound.
    struct stat file_stat {};
    const bool regular = fstat(fileno(file), &file_stat) == 0 && S_ISREG(file_stat.st_mode);
    std::vector<unsigned char> stream;
    MemoryStream memory{};
    if (regular) {
        png_init_io(s.png, file);
    } else {
        if (!read_chunks(file, stream)) throw Failure(system_error("cannot read " + name));
        memory = {stream.data(), stream.size()};
        png_set_read_fn(s.png, &memory, read_memory);
    }
    const std::uint64_t size =
        regular ? static_cast<std::uint64_t>(file_stat.st_size) : sizeof signature + stream.size();

    Header header{};
    if (!read_header(s.png, s.info, &header)) {
        throw Failure(name + " is not a readable PNG: " + sink.message);
    }
    if (header.width < 1 || header.height < 1 || header.width > kMaxSide ||
        header.height > kMaxSide) {
        throw Failure(name + " is " + std::to_string(header.width) + "x" +
                      std::to_string(header.height) + " pixels; each side must be 1.." +
                      std::to_string(kMaxSide));
    }
    if ((header.bit_depth != 8 && header.bit_depth != 16) || header.channels != 4) {
        throw Failure(name + " has a pixel format the tool cannot expand to RGBA");
    }

    // A header that claims more than the size can hold is a cut or forged file, refused before
    // any allocation.
    const std::uint64_t declared =
        (std::uint64_t{header.width} * header.height * header.file_bits + 7) / 8;
    if (declared / 1032 > size) {
        throw Failure(name + " is truncated: its " + std::to_string(size) +
                      " bytes cannot hold a " + std::to_string(header.width) + "x" +
                      std::to_string(header.height) + " picture");
    }
    Image image = Image::blank(static_cast<int>(header.width), static_cast<int>(header.height),
                               header.bit_depth);
    std::vector<png_bytep> rows(header.height);
    for (int y = 0; y < image.height; ++y) rows[static_cast<std::size_t>(y)] = image.row(y);
    if (!read_rows(s.png, rows.data())) {
        throw Failure(name + " is damaged or truncated: " + sink.message);
    }
    return image;
}

namespace {

bool read_format(png_structp png, png_infop info, Header* header, int* color, int* interlace) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_sig_bytes(png, 8);
    png_read_info(png, info);
    header->width = png_get_image_width(png, info);
    header->height = png_get_image_height(png, info);
    header->bit_depth = png_get_bit_depth(png, info);
    *color = png_get_color_type(png, info);
    *interlace = png_get_interlace_type(png, info);
    return true;
}

// Every row decoded into the one buffer, then the chunks up to IEND: a cut, a bad CRC or a
// damaged stream fails here.
bool read_through(png_structp png, png_bytep row, png_uint_32 rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    for (png_uint_32 y = 0; y < rows; ++y) png_read_row(png, row, nullptr);
    png_read_end(png, nullptr);
    return true;
}

}  // namespace

ExistingFrame existing_png(std::FILE* file, const std::string& path, int width, int height,
                           int depth) {
    png_byte signature[8];
    if (std::fread(signature, 1, sizeof signature, file) != sizeof signature ||
        png_sig_cmp(signature, 0, sizeof signature) != 0) {
        return ExistingFrame::other;
    }
    PngErrorSink sink{};
    ReadStructs s;
    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &sink, on_png_error, on_png_warning);
    if (s.png != nullptr) s.info = png_create_info_struct(s.png);
    if (s.info == nullptr) throw Failure("out of memory reading output '" + path + "'");
    png_init_io(s.png, file);
    Header header{};
    int color = 0;
    int interlace = 0;
    if (!read_format(s.png, s.info, &header, &color, &interlace) ||
        header.width != static_cast<png_uint_32>(width) ||
        header.height != static_cast<png_uint_32>(height) || header.bit_depth != depth ||
        color != PNG_COLOR_TYPE_RGB_ALPHA || interlace != PNG_INTERLACE_NONE) {
        return ExistingFrame::other;
    }
    std::vector<png_byte> row(static_cast<std::size_t>(width) * 4 *
                              static_cast<std::size_t>(depth / 8));
    return read_through(s.png, row.data(), header.height) ? ExistingFrame::complete
                                                          : ExistingFrame::other;
}

// ---------------------------------------------------------------------------------------------
// Writing

namespace {

struct WriteStructs {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~WriteStructs() { png_destroy_write_struct(&png, info ? &info : nullptr); }
};

// Collects libpng's output in memory.
void append_bytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
void no_flush(png_structp) {}

bool write_rows(png_structp png, png_infop info, std::vector<unsigned char>* out,
                const Image* image, int compression) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, out, append_bytes, no_flush);
    if (compression >= 0) png_set_compression_level(png, compression);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image->width),
                 static_cast<png_uint_32>(image->height), image->depth, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image->height; ++y) png_write_row(png, image->row(y));
    png_write_end(png, info);
    return true;
}

}  // namespace

std::vector<unsigned char> encode_png(const Image& image, std::optional<int> compression) {
    PngErrorSink sink{};
    WriteStructs s;
    s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, on_png_error, on_png_warning);
    if (s.png != nullptr) s.info = png_create_info_struct(s.png);
    if (s.info == nullptr) throw Failure("out of memory writing a PNG");
    std::vector<unsigned char> bytes;
    if (!write_rows(s.png, s.info, &bytes, &image, compression.value_or(-1))) {
        throw Failure(std::string("cannot encode a PNG: ") + sink.message);
    }
    return bytes;
}

void write_png(const std::string& path, const Image& image, std::optional<int> compression) {
    atomic::write_file(path, encode_png(image, compression));
}

}  // namespace zx::cli
