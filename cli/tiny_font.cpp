#include "cli/tiny_font.h"

#include <cstdint>

namespace zx::cli {

namespace {

// Five rows of three bits each, the top row first, the leftmost pixel in the highest bit.
using Glyph = std::array<std::uint8_t, kGlyphHeight>;

Glyph glyph(char c) {
    switch (c) {
        case '0':
            return {7, 5, 5, 5, 7};
        case '1':
            return {2, 6, 2, 2, 7};
        case '2':
            return {7, 1, 7, 4, 7};
        case '3':
            return {7, 1, 3, 1, 7};
        case '4':
            return {5, 5, 7, 1, 1};
        case '5':
            return {7, 4, 7, 1, 7};
        case '6':
            return {7, 4, 7, 5, 7};
        case '7':
            return {7, 1, 1, 2, 2};
        case '8':
            return {7, 5, 7, 5, 7};
        case '9':
            return {7, 5, 7, 1, 7};
        case '%':
            return {5, 1, 2, 4, 5};
        case '.':
            return {0, 0, 0, 0, 2};
        case ',':
            return {0, 0, 0, 2, 4};
        case '-':
            return {0, 0, 7, 0, 0};
        default:
            return {0, 0, 0, 0, 0};
    }
}

}  // namespace

int text_width(std::string_view text, int scale) {
    if (text.empty()) return 0;
    return static_cast<int>(text.size()) * (kGlyphWidth + 1) * scale - scale;
}

namespace {

// Calls put(px, py) for every pixel of the text inside width x height.
template <class Put>
void draw_glyphs(int width, int height, int x, int y, int scale, std::string_view text, Put put) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const Glyph g = glyph(text[i]);
        const int left = x + static_cast<int>(i) * (kGlyphWidth + 1) * scale;
        for (int gy = 0; gy < kGlyphHeight * scale; ++gy) {
            for (int gx = 0; gx < kGlyphWidth * scale; ++gx) {
                const int px = left + gx;
                const int py = y + gy;
                if (px < 0 || py < 0 || px >= width || py >= height) continue;
                if ((g[static_cast<std::size_t>(gy / scale)] >> (2 - gx / scale) & 1) == 0)
                    continue;
                put(px, py);
            }
        }
    }
}

}  // namespace

void draw_text(Image& image, int x, int y, int scale, std::string_view text,
               std::array<unsigned, 4> rgba) {
    draw_glyphs(image.width, image.height, x, y, scale, text, [&](int px, int py) {
        for (int ch = 0; ch < 4; ++ch) {
            image.set_sample(px, py, ch, rgba[static_cast<std::size_t>(ch)]);
        }
    });
}

void draw_text(std::uint8_t* pixels, int width, int height, int x, int y, int scale,
               std::string_view text, std::array<unsigned, 4> rgba) {
    draw_glyphs(width, height, x, y, scale, text, [&](int px, int py) {
        std::uint8_t* p = pixels + (static_cast<std::size_t>(py) * width + px) * 4;
        for (std::size_t ch = 0; ch < 4; ++ch) p[ch] = static_cast<std::uint8_t>(rgba[ch]);
    });
}

}  // namespace zx::cli
