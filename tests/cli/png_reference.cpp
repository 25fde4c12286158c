#include "png_reference.h"

#include <png.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace clitest {

int RawPng::channels() const {
    switch (color_type) {
        case PNG_COLOR_TYPE_GRAY:
        case PNG_COLOR_TYPE_PALETTE:
            return 1;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            return 2;
        case PNG_COLOR_TYPE_RGB:
            return 3;
        default:
            return 4;
    }
}

namespace {

struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

bool write_all(png_structp png, png_infop info, std::FILE* f) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, f);
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    return true;
}

bool read_all(png_structp png, png_infop info, std::FILE* f) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, f);
    png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    return true;
}

}  // namespace

void write_raw_png(const std::string& path, const RawPng& p) {
    const int per_pixel = p.channels();
    const std::size_t row_bits = static_cast<std::size_t>(p.width) * per_pixel * p.bit_depth;
    std::vector<std::vector<png_byte>> rows(p.height, std::vector<png_byte>((row_bits + 7) / 8));
    for (int y = 0; y < p.height; ++y) {
        for (int i = 0; i < p.width * per_pixel; ++i) {
            const unsigned v = p.samples[static_cast<std::size_t>(y) * p.width * per_pixel + i];
            auto& row = rows[y];
            if (p.bit_depth == 16) {
                row[2 * i] = static_cast<png_byte>(v >> 8);
                row[2 * i + 1] = static_cast<png_byte>(v);
            } else if (p.bit_depth == 8) {
                row[i] = static_cast<png_byte>(v);
            } else {  // packed, the leftmost sample in the highest bits
                const std::size_t bit = static_cast<std::size_t>(i) * p.bit_depth;
                row[bit / 8] |= static_cast<png_byte>(v << (8 - p.bit_depth - bit % 8));
            }
        }
    }
    std::vector<png_bytep> pointers;
    for (auto& r : rows) pointers.push_back(r.data());

    std::unique_ptr<std::FILE, Closer> f(std::fopen(path.c_str(), "wb"));
    if (!f) throw std::runtime_error("cannot create " + path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_IHDR(png, info, p.width, p.height, p.bit_depth, p.color_type,
                 p.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> plte;
    std::vector<png_byte> trns;
    for (const auto& c : p.palette) {
        plte.push_back(png_color{c[0], c[1], c[2]});
        trns.push_back(c[3]);
    }
    if (!plte.empty()) {
        png_set_PLTE(png, info, plte.data(), static_cast<int>(plte.size()));
        png_set_tRNS(png, info, trns.data(), static_cast<int>(trns.size()), nullptr);
    }
    png_set_rows(png, info, pointers.data());
    const bool ok = write_all(png, info, f.get());
    png_destroy_write_struct(&png, &info);
    if (!ok) throw std::runtime_error("libpng could not write " + path);
}

RawPng read_raw_png(const std::string& path) {
    std::unique_ptr<std::FILE, Closer> f(std::fopen(path.c_str(), "rb"));
    if (!f) throw std::runtime_error("cannot open " + path);
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (!read_all(png, info, f.get())) {
        png_destroy_read_struct(&png, &info, nullptr);
        throw std::runtime_error("libpng could not read " + path);
    }
    RawPng p;
    p.width = static_cast<int>(png_get_image_width(png, info));
    p.height = static_cast<int>(png_get_image_height(png, info));
    p.bit_depth = png_get_bit_depth(png, info);
    p.color_type = png_get_color_type(png, info);
    p.interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    png_bytepp rows = png_get_rows(png, info);
    const int n = p.width * p.channels();
    for (int y = 0; y < p.height; ++y) {
        for (int i = 0; i < n; ++i) {
            const png_bytep r = rows[y];
            if (p.bit_depth == 16) {
                p.samples.push_back(static_cast<std::uint16_t>(r[2 * i] << 8 | r[2 * i + 1]));
            } else if (p.bit_depth == 8) {
                p.samples.push_back(r[i]);
            } else {
                const int bit = i * p.bit_depth;
                p.samples.push_back(static_cast<std::uint16_t>(
                    (r[bit / 8] >> (8 - p.bit_depth - bit % 8)) & ((1 << p.bit_depth) - 1)));
            }
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return p;
}

worlds::World world_of(const RawPng& rgba) {
    const bool deep = rgba.bit_depth == 16;
    worlds::World w(rgba.width, rgba.height, deep ? worlds::Depth::sixteen : worlds::Depth::eight);
    for (int y = 0; y < rgba.height; ++y) {
        for (int x = 0; x < rgba.width; ++x) {
            if (deep) {
                w.px16(x, y) = PF_Pixel16{static_cast<A_u_short>(decode16(rgba.at(x, y, 3))),
                                          static_cast<A_u_short>(decode16(rgba.at(x, y, 0))),
                                          static_cast<A_u_short>(decode16(rgba.at(x, y, 1))),
                                          static_cast<A_u_short>(decode16(rgba.at(x, y, 2)))};
            } else {
                w.px8(x, y) = PF_Pixel8{static_cast<A_u_char>(rgba.at(x, y, 3)),
                                        static_cast<A_u_char>(rgba.at(x, y, 0)),
                                        static_cast<A_u_char>(rgba.at(x, y, 1)),
                                        static_cast<A_u_char>(rgba.at(x, y, 2))};
            }
        }
    }
    return w;
}

std::string compare(const RawPng& out, const worlds::World& world) {
    std::ostringstream why;
    const int depth = world.deep() ? 16 : 8;
    if (out.color_type != PNG_COLOR_TYPE_RGB_ALPHA || out.bit_depth != depth ||
        out.width != world.width() || out.height != world.height()) {
        why << "output is " << out.width << "x" << out.height << " type " << out.color_type
            << " depth " << out.bit_depth << ", expected RGBA " << world.width() << "x"
            << world.height() << " depth " << depth;
        return why.str();
    }
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            std::uint32_t want[4];
            if (world.deep()) {
                const PF_Pixel16 p = world.px16(x, y);
                const std::uint32_t c[4] = {p.red, p.green, p.blue, p.alpha};
                for (int i = 0; i < 4; ++i) want[i] = encode16(c[i]);
            } else {
                const PF_Pixel8 p = world.px8(x, y);
                const std::uint32_t c[4] = {p.red, p.green, p.blue, p.alpha};
                for (int i = 0; i < 4; ++i) want[i] = c[i];
            }
            for (int i = 0; i < 4; ++i) {
                if (out.at(x, y, i) != want[i]) {
                    why << "pixel (" << x << "," << y << ") channel "
                        << "RGBA"[i] << ": " << out.at(x, y, i) << " written, " << want[i]
                        << " rendered";
                    return why.str();
                }
            }
        }
    }
    return "";
}

}  // namespace clitest
