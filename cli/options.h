// The command line: every option, its check against the parameter it sets, and the run it
// describes. Every refusal is a UsageError naming the option and what it allows.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "host/ae_api.h"

namespace zx::cli {

// Parameter values in the units of the command line; percents reach the effect as
// lround(percent * 65536).
struct EffectParams {
    A_long mode = 1;
    double completion = 50.0;
    A_long split = 1;
    A_long rows = 6;
    A_long strip_height = 100;
    A_long columns = 8;
    A_long strip_width = 100;
    A_long seed = 0;
    A_long overlap = 1;
    PF_Pixel color{255, 255, 0, 0};
    A_long blend = 1;
    double opacity = 100.0;
    A_long downsample_num = 1;
    A_u_long downsample_den = 1;
};

struct Options {
    std::optional<std::string> input;  // none: the test card
    std::string output;
    EffectParams params;
    std::optional<int> depth;  // none: the input's own
    int card_width = 640;
    int card_height = 480;
    std::optional<int> frames;  // set: a sequence, `output` is a counter pattern
    double from = 0.0;
    double to = 100.0;
    bool quiet = false;
    bool force_progress = false;
};

struct ParsedCommandLine {
    enum class Kind { run, help, version } kind = Kind::run;
    std::string text;  // what --help or --version prints
    Options options;
};

// `version_text` is asked only when --version is given.
ParsedCommandLine parse_command_line(int argc, const char* const argv[],
                                     const std::function<std::string()>& version_text);

// Checks of single values, `option` naming the option in messages.
double parse_percent(std::string_view option, std::string_view text);
long long parse_integer(std::string_view option, std::string_view text, long long min,
                        long long max, std::string_view meaning);

}  // namespace zx::cli
