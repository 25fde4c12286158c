// The command line: every option, its check against the parameter it sets, and the run it
// describes. Every refusal is a UsageError naming the option and what it allows.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/ae_api.h"
#include "params/param_table.h"

namespace zx::cli {

// A parameter's value in the units of the command line: the choice's number, the slider's
// value or the percent in `number`, a colour in `color`. Percents reach the effect as
// lround(percent * 65536).
struct ParamValue {
    double number = 0.0;
    PF_Pixel color{};
};

// The tool starts half-way: at the effect's own default nothing has moved yet.
constexpr double kToolCompletion = 50.0;

// The effect's defaults, with Completion at kToolCompletion; by parameter index.
std::array<ParamValue, kParamCount> tool_defaults();

struct EffectParams {
    std::array<ParamValue, kParamCount> value = tool_defaults();
    A_long downsample_num = 1;
    A_u_long downsample_den = 1;

    double completion() const { return value[kParamCompletion].number; }
};

struct Options {
    std::optional<std::string> input;          // none: the test card; in a sequence maybe a pattern
    std::optional<std::string> transition_to;  // set: the transition from INPUT to this picture
    std::string output;
    EffectParams params;
    std::optional<int> depth;  // none: the input's own
    int card_width = 640;
    int card_height = 480;
    std::optional<int> frames;  // set: a sequence, `output` is a counter pattern
    // Frames first..last of the sequence only; none: all of them.
    std::optional<std::pair<int, int>> range;
    // A sequence sweeps Completion's whole range (a transition's t) unless told otherwise.
    double from = param_entry(kParamCompletion).valid_min;
    double to = param_entry(kParamCompletion).valid_max;
    bool quiet = false;
    bool force_progress = false;
    // A frame whose file already holds a complete picture of its size and depth is left as it
    // is, so that a retried or resumed run renders only what is missing.
    bool skip_existing = false;
    int jobs = 0;                        // frames rendered at once; 0: one per core
    std::optional<int> png_compression;  // zlib level 0..9; none: libpng's default
};

// The most frames a sequence renders at once.
constexpr int kMaxJobs = 64;

struct ParsedCommandLine {
    enum class Kind { run, help, version } kind = Kind::run;
    std::string text;  // what --help or --version prints
    Options options;
};

// `version_text` is asked only when --version is given.
ParsedCommandLine parse_command_line(int argc, const char* const argv[],
                                     const std::function<std::string()>& version_text);

// A popup's choices under the words the command line takes: "Row & Column" is row-column;
// the host's separator line is no choice.
struct Choice {
    std::string name;
    A_long value;
};
std::string option_word(std::string_view item);
std::vector<Choice> option_choices(const ParamEntry& p);

// Checks of single values, `option` naming the option in messages.
double parse_percent(std::string_view option, std::string_view text, double min, double max);
long long parse_integer(std::string_view option, std::string_view text, long long min,
                        long long max, std::string_view meaning);

}  // namespace zx::cli
