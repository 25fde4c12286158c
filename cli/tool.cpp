#include "cli/tool.h"

#include <unistd.h>

#include <cstdio>
#include <iomanip>
#include <iostream>
#include <new>
#include <optional>
#include <sstream>

#include "cli/effect_runner.h"
#include "cli/errors.h"
#include "cli/image.h"
#include "cli/options.h"
#include "cli/output_pattern.h"
#include "cli/png_io.h"
#include "cli/progress_bar.h"
#include "cli/test_card.h"

namespace zx::cli {

namespace {

// A single frame this large gets a progress bar too.
constexpr long long kLargeFramePixels = 1LL << 20;

std::string version_text() {
    EffectRunner runner;
    std::string name = runner.about();
    const std::size_t comma = name.find(", v");
    if (comma != std::string::npos) name.resize(comma);
    const A_u_long version = runner.effect_version();
    std::ostringstream text;
    text << "zentrilox " << version_number(version) << " (" << name << ' '
         << version_number(version) << ", effect version 0x" << std::hex << version << ")";
    return text.str();
}

std::string percent_text(double p) {
    std::ostringstream text;
    text << std::setprecision(10) << p << " %";
    return text.str();
}

void render_all(const Options& o) {
    std::optional<OutputPattern> pattern;
    if (o.frames) pattern = OutputPattern::parse("--output", o.output);

    Image picture = o.input ? read_png(*o.input) : make_test_card(o.card_width, o.card_height);
    const int depth = o.depth.value_or(picture.depth);
    const long long pixels = static_cast<long long>(picture.width) * picture.height;

    EffectRunner runner;
    runner.set_layer(to_world(picture, depth));
    picture = Image{};  // the layer now holds the pixels
    runner.set_params(o.params);

    const int frames = o.frames.value_or(1);
    const bool show_progress =
        !o.quiet && (o.force_progress ||
                     (isatty(STDERR_FILENO) && (frames > 1 || pixels >= kLargeFramePixels)));
    ProgressBar bar(show_progress, frames);
    for (int k = 0; k < frames; ++k) {
        const double completion =
            o.frames ? frame_completion(o.from, o.to, k, frames) : o.params.completion();
        const std::string path = pattern ? pattern->name(k) : o.output;
        try {
            const simhost::World& result = runner.render(
                completion, [&bar, k](long done, long total) { bar.update(k, done, total); });
            write_png(path, from_world(result));
        } catch (const EffectError& e) {
            if (!o.frames) throw;
            throw EffectError("frame " + std::to_string(k) + " (Completion " +
                              percent_text(completion) + "): " + e.what());
        }
        bar.update(k, 1, 1);
    }
}

int report(const char* what, int status) {
    std::cerr << "zentrilox: " << what << "\n";
    if (status == kExitUsage) std::cerr << "Run 'zentrilox --help' for the options.\n";
    return status;
}

}  // namespace

double frame_completion(double from, double to, int k, int frames) {
    if (frames <= 1) return from;
    return from + (to - from) * static_cast<double>(k) / static_cast<double>(frames - 1);
}

int run(int argc, const char* const argv[]) {
    try {
        const ParsedCommandLine parsed = parse_command_line(argc, argv, version_text);
        if (parsed.kind != ParsedCommandLine::Kind::run) {
            std::cout << parsed.text << std::flush;
            return std::cout ? 0 : kExitFailure;
        }
        render_all(parsed.options);
        return 0;
    } catch (const UsageError& e) {
        return report(e.what(), kExitUsage);
    } catch (const Failure& e) {
        return report(e.what(), kExitFailure);
    } catch (const std::bad_alloc&) {
        return report("out of memory; try a smaller picture", kExitFailure);
    } catch (const std::exception& e) {
        return report(e.what(), kExitFailure);
    }
}

}  // namespace zx::cli
