// Joins PNG pictures side by side into one, optionally with a label under each, for the
// README's example strips. Transparent parts show over a checkerboard.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "cli/errors.h"
#include "cli/image.h"
#include "cli/options.h"
#include "cli/png_io.h"
#include "cli/tiny_font.h"

namespace {

using zx::cli::Image;

constexpr unsigned kCanvas = 0x30;  // grey of the gaps and the label strip
constexpr int kChecker = 8;

unsigned to8(const Image& image, int x, int y, int ch) {
    const unsigned v = image.sample(x, y, ch);
    return image.depth == 8 ? v : (v * 255 + 32767) / 65535;
}

void paste(Image& canvas, const Image& panel, int left) {
    for (int y = 0; y < panel.height; ++y) {
        for (int x = 0; x < panel.width; ++x) {
            const unsigned alpha = to8(panel, x, y, 3);
            const unsigned check = ((x / kChecker + y / kChecker) % 2) ? 0x99 : 0x66;
            for (int ch = 0; ch < 3; ++ch) {
                const unsigned c = to8(panel, x, y, ch);
                canvas.set_sample(left + x, y, ch, (c * alpha + check * (255 - alpha) + 127) / 255);
            }
            canvas.set_sample(left + x, y, 3, 255);
        }
    }
}

std::vector<std::string> split_labels(const std::string& text) {
    std::vector<std::string> labels;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        labels.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) return labels;
        start = comma + 1;
    }
}

int montage(int argc, char** argv) {
    CLI::App app("Joins PNG pictures side by side into one RGBA 8-bit PNG.", "zx_montage");
    std::vector<std::string> inputs;
    std::string output;
    std::string gap_text = "4";
    std::string label_text;
    app.add_option("INPUTS", inputs, "the pictures, left to right")->required();
    app.add_option("-o,--output", output, "the joined picture")->required();
    app.add_option("--gap", gap_text, "pixels between pictures, 0..64; default 4")->type_name("N");
    app.add_option("--labels", label_text,
                   "comma-separated labels under the pictures (digits, '%', '.', '-')")
        ->type_name("TEXTS");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : zx::cli::kExitUsage;
    }
    try {
        const int gap = static_cast<int>(zx::cli::parse_integer("--gap", gap_text, 0, 64, "gap"));
        std::vector<std::string> labels;
        if (!label_text.empty()) labels = split_labels(label_text);
        if (!labels.empty() && labels.size() != inputs.size()) {
            throw zx::cli::UsageError("--labels: " + std::to_string(labels.size()) +
                                      " labels for " + std::to_string(inputs.size()) + " pictures");
        }
        std::vector<Image> panels;
        long long width = -gap;
        int height = 0;
        for (const std::string& path : inputs) {
            panels.push_back(zx::cli::read_png(path));
            width += panels.back().width + gap;
            height = std::max(height, panels.back().height);
        }
        const int scale = std::max(1, height / 80);
        const int strip = labels.empty() ? 0 : (zx::cli::kGlyphHeight + 4) * scale;
        if (width > zx::cli::kMaxSide || height + strip > zx::cli::kMaxSide) {
            throw zx::cli::Failure("the joined picture would exceed " +
                                   std::to_string(zx::cli::kMaxSide) + " pixels per side");
        }
        Image canvas = Image::blank(static_cast<int>(width), height + strip, 8);
        for (int y = 0; y < canvas.height; ++y) {
            for (int x = 0; x < canvas.width; ++x) {
                for (int ch = 0; ch < 3; ++ch) canvas.set_sample(x, y, ch, kCanvas);
                canvas.set_sample(x, y, 3, 255);
            }
        }
        int left = 0;
        for (std::size_t i = 0; i < panels.size(); ++i) {
            paste(canvas, panels[i], left);
            if (!labels.empty()) {
                const int tw = zx::cli::text_width(labels[i], scale);
                zx::cli::draw_text(canvas, left + (panels[i].width - tw) / 2, height + 2 * scale,
                                   scale, labels[i], {255, 255, 255, 255});
            }
            left += panels[i].width + gap;
        }
        zx::cli::write_png(output, canvas);
        return 0;
    } catch (const zx::cli::UsageError& e) {
        std::cerr << "zx_montage: " << e.what() << "\n";
        return zx::cli::kExitUsage;
    } catch (const std::bad_alloc&) {
        std::cerr << "zx_montage: out of memory\n";
        return zx::cli::kExitFailure;
    } catch (const std::exception& e) {
        std::cerr << "zx_montage: " << e.what() << "\n";
        return zx::cli::kExitFailure;
    }
}

}  // namespace

int main(int argc, char** argv) {
    return montage(argc, argv);
}
