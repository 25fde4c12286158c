#include "cli/options.h"

#include <CLI/CLI.hpp>
#include <array>
#include <charconv>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "cli/errors.h"
#include "cli/image.h"
#include "cli/picture_io.h"
#include "params/param_setup.h"

namespace zx::cli {

namespace {

constexpr int kMaxFrames = 100000;

std::string in_quotes(std::string_view text) {
    return "'" + std::string(text) + "'";
}

[[noreturn]] void refuse(std::string_view option, std::string_view text, std::string_view allowed) {
    throw UsageError(std::string(option) + ": " + in_quotes(text) + " is not valid; " +
                     std::string(allowed));
}

A_long parse_choice(std::string_view option, std::string_view text, std::string_view parameter,
                    const std::vector<Choice>& choices) {
    std::string names;
    for (const Choice& c : choices) {
        if (c.name == text) return c.value;
        names += (names.empty() ? "" : ", ") + std::string(c.name);
    }
    refuse(option, text, "the " + std::string(parameter) + " must be one of " + names);
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

PF_Pixel parse_color(std::string_view option, std::string_view text, std::string_view parameter) {
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '#') digits.remove_prefix(1);
    const std::string allowed = "give the " + std::string(parameter) +
                                " as 6 hex digits RRGGBB (alpha FF) or 8 hex digits AARRGGBB";
    if (digits.size() != 6 && digits.size() != 8) refuse(option, text, allowed);
    std::array<A_u_char, 4> bytes{0xFF, 0, 0, 0};  // alpha, red, green, blue
    const std::size_t first = digits.size() == 6 ? 1 : 0;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        const int hi = hex_digit(digits[i]);
        const int lo = hex_digit(digits[i + 1]);
        if (hi < 0 || lo < 0) refuse(option, text, allowed);
        bytes[first + i / 2] = static_cast<A_u_char>(hi * 16 + lo);
    }
    return PF_Pixel{bytes[0], bytes[1], bytes[2], bytes[3]};
}

bool all_digits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

std::pair<std::string_view, std::string_view> split_at(std::string_view text, char sep) {
    const std::size_t at = text.find(sep);
    if (at == std::string_view::npos) return {text, {}};
    return {text.substr(0, at), text.substr(at + 1)};
}

std::optional<long long> whole_number(std::string_view text) {
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (!all_digits(text) || ec != std::errc{} || end != text.data() + text.size()) return {};
    return value;
}

void parse_downsample(std::string_view option, std::string_view text, EffectParams& params) {
    const auto [num, den] = split_at(text, '/');
    const auto n = whole_number(num);
    const auto d = whole_number(den);
    if (!n || !d || *n < 1 || *d > INT32_MAX || *n > *d) {
        refuse(option, text,
               "give the factor as N/D with whole numbers 1 <= N <= D <= 2147483647, e.g. 1/2");
    }
    params.downsample_num = static_cast<A_long>(*n);
    params.downsample_den = static_cast<A_u_long>(*d);
}

void parse_size(std::string_view option, std::string_view text, Options& options) {
    const auto [w, h] = split_at(text, 'x');
    const auto width = whole_number(w);
    const auto height = whole_number(h);
    if (!width || !height || *width < 1 || *height < 1 || *width > kMaxSide || *height > kMaxSide) {
        refuse(option, text, "give the size as WxH, each side 1.." + std::to_string(kMaxSide));
    }
    options.card_width = static_cast<int>(*width);
    options.card_height = static_cast<int>(*height);
}

std::pair<int, int> parse_range(std::string_view option, std::string_view text, int frames) {
    const auto [a, b] = split_at(text, '-');
    const auto first = whole_number(a);
    const auto last = whole_number(b);
    if (!first || !last || *first > *last || *last >= frames) {
        refuse(option, text,
               "give frames FIRST-LAST with 0 <= FIRST <= LAST <= " + std::to_string(frames - 1) +
                   ", the last frame of --frames " + std::to_string(frames));
    }
    return {static_cast<int>(*first), static_cast<int>(*last)};
}

// The raw texts as CLI11 collects them; an option not given keeps its default value.
struct RawOptions {
    std::string input;
    std::string output;
    std::array<std::string, kParamCount> param;  // by parameter index
    std::string downsample = "1/1";
    std::string depth;
    std::string size;
    std::string frames;
    std::string range;
    std::string transition_to;
    std::string from;
    std::string to;
    bool quiet = false;
    bool progress = false;
    bool skip_existing = false;
    std::string jobs;
    std::string png_compression;
};

std::string number_text(double value) {
    std::array<char, 32> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return ec == std::errc{} ? std::string(buffer.data(), end) : std::to_string(value);
}

std::string range_text(const ParamEntry& p) {
    return std::to_string(p.valid_min) + ".." + std::to_string(p.valid_max);
}

std::string hex_text(PF_Pixel c) {
    constexpr std::string_view kDigits = "0123456789ABCDEF";
    std::string text;
    for (A_u_char byte : {c.alpha, c.red, c.green, c.blue}) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return c.alpha == 0xFF ? text.substr(2) : text;
}

std::string value_text(const ParamEntry& p, const ParamValue& v) {
    switch (p.type) {
        case ParamType::popup:
            return option_word(choice_item(p.choices, static_cast<int>(v.number)));
        case ParamType::color:
            return hex_text(v.color);
        default:
            return number_text(v.number);
    }
}

// "Row (parameter 4): block rows, 1..2000; default 6"
std::string param_help(const ParamEntry& p, const ParamValue& dephault) {
    std::string text = std::string(p.name) + " (parameter " + std::to_string(p.index) + "): ";
    const std::string help(p.help);
    switch (p.type) {
        case ParamType::popup: {
            const std::vector<Choice> choices = option_choices(p);
            for (std::size_t i = 0; i < choices.size(); ++i) {
                if (i > 0) text += i + 1 == choices.size() ? " or " : ", ";
                text += choices[i].name + " (" + std::to_string(choices[i].value) + ")";
            }
            break;
        }
        case ParamType::slider:
            text += (help.empty() ? "" : help + ", ") + range_text(p);
            break;
        case ParamType::percent:
            text += "percent " + range_text(p);
            break;
        default:
            text += help;
            break;
    }
    return text + "; default " + value_text(p, dephault);
}

ParamValue parse_param(const ParamEntry& p, std::string_view text) {
    ParamValue v;
    switch (p.type) {
        case ParamType::popup:
            v.number = parse_choice(p.option, text, p.name, option_choices(p));
            break;
        case ParamType::slider:
            v.number = static_cast<double>(
                parse_integer(p.option, text, p.valid_min, p.valid_max, p.name));
            break;
        case ParamType::percent:
            v.number = parse_percent(p.option, text, p.valid_min, p.valid_max);
            break;
        case ParamType::color:
            v.color = parse_color(p.option, text, p.name);
            break;
        case ParamType::group_start:
        case ParamType::group_end:
            break;  // not on the command line
    }
    return v;
}

bool on_command_line(const ParamEntry& p) {
    return !p.option.empty();
}

std::string description() {
    const ParamEntry& completion = param_entry(kParamCompletion);
    return "Renders the VarnokZentrilox effect on a picture (or on a built-in test card), "
           "with the\nrender the plug-in's Render command draws with: what it renders is what "
           "the plug-in renders.\nThe effect cuts the layer into blocks and moves every block "
           "toward a random target as\nCompletion goes from " +
           std::to_string(completion.valid_min) + " to " + std::to_string(completion.valid_max) +
           " %.";
}

constexpr const char* kFooter =
    "Percents reach the effect as 16.16 fixed-point numbers, lround(PCT * 65536).\n"
    "A sequence (--frames N) renders frame k = 0 .. N-1 at Completion\n"
    "FROM + (TO - FROM) * k / (N - 1) and writes it to OUTPUT with its counter replaced by k;\n"
    "OUTPUT must then hold exactly one integer counter (%d, %4d, %04d, %i or %u) and no other\n"
    "'%' but '%%'. INPUT and B holding such a counter are sequences too: frame k renders\n"
    "their frame k. --range renders some of the frames, each file the same as the whole run's.\n"
    "A transition (--transition-to B) at t: below 50 % INPUT shuffles away over B at\n"
    "Completion 2t, from 50 % on B shuffles into place over INPUT at Completion 200 % - 2t;\n"
    "--from and --to (or --completion for one frame) then give t.\n"
    "The output's format follows its extension (without one, as on standard output, the\n"
    "input's; PNG for the test card and unknown extensions); it holds RGBA at the working\n"
    "depth (a 16-bit PNG from float), or the input's own\n"
    "sample type when the working depth is the input's, with the input's other channels and\n"
    "metadata where the format can hold them. Colour is premultiplied in OpenEXR and DPX, and\n"
    "in TIFF unless the input TIFF said otherwise; straight in PNG and the others. It is\n"
    "written to a temporary file in the same folder and renamed only once complete; a pipe, a\n"
    "device, '-' and a file reached through /dev/stdout or /dev/fd/N (a shell's > or >>) are\n"
    "written in place. An output that is the same file as an input frame or B (links and hard\n"
    "links seen through) is refused.\n"
    "--skip-existing keeps a file that decodes whole as the picture its frame would write: the\n"
    "format, size, channels and sample type (half or float, DPX's bits) the run would give it;\n"
    "any other file of its name is rendered again.\n"
    "Exit status: 0 success, 1 failure (files, memory, the effect), 2 usage error.";

constexpr std::size_t kHelpColumn = 26;
constexpr std::size_t kHelpWidth = 100;

// CLI11 does not wrap descriptions; it indents the lines after a break to their column.
std::string wrap(const std::string& text) {
    std::string out;
    std::size_t line = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        const std::size_t word = end - start;
        if (line > 0 && line + 1 + word > kHelpWidth - kHelpColumn) {
            out += '\n';
            line = 0;
        } else if (line > 0) {
            out += ' ';
            ++line;
        }
        out.append(text, start, word);
        line += word;
        start = end + 1;
    }
    return out;
}

void add_options(CLI::App& app, RawOptions& raw) {
    app.add_option("INPUT", raw.input,
                   "input picture (any PNG; grey, palette and low bit depths are expanded; "
                   "OpenEXR, TIFF, DPX, JPEG and every other format listed below), or "
                   "with --frames a counter pattern such as in_%04d.png; without it the "
                   "built-in test card is rendered")
        ->type_name("");
    app.add_option("-o,--output", raw.output,
                   "output picture (its extension names the format), '-' for standard output "
                   "(in the input's format), or a counter pattern with --frames")
        ->required()
        ->type_name("OUTPUT");
    const std::array<ParamValue, kParamCount> defaults = tool_defaults();
    for (const ParamEntry& p : kParamTable) {
        if (!on_command_line(p)) continue;
        app.add_option(std::string(p.option), raw.param[p.index], param_help(p, defaults[p.index]))
            ->type_name(std::string(p.value_name));
    }
    app.add_option("--downsample", raw.downsample,
                   "the host's horizontal downsample factor (in-data downsample_x), "
                   "1 <= N <= D; default 1/1; the input is already the downsampled layer")
        ->type_name("N/D");
    app.add_option("--depth", raw.depth,
                   "working depth, 8 or 16 bits or float; default the input's: 8 for 8-bit "
                   "files and the test card, 16 for 10- to 16-bit ones, float for half and float")
        ->type_name("8|16|float");
    app.add_option("--size", raw.size,
                   "size of the test card, each side 1.." + std::to_string(kMaxSide) +
                       "; default 640x480; only without INPUT")
        ->type_name("WxH");
    auto* frames =
        app.add_option("--frames", raw.frames,
                       "render a sequence of N frames, 1.." + std::to_string(kMaxFrames) +
                           ", Completion going linearly from --from to --to")
            ->type_name("N");
    app.add_option("--range", raw.range,
                   "render only frames FIRST..LAST of the sequence (counted from 0), e.g. one "
                   "machine's share of a render farm")
        ->type_name("FIRST-LAST")
        ->needs(frames);
    app.add_option("--transition-to", raw.transition_to,
                   "render the transition from INPUT to the PNG B (a counter pattern with "
                   "--frames), of INPUT's size; --from and --to, or --completion, give t")
        ->type_name("B");
    const Options plain;
    const std::string sweep = "percent " + range_text(param_entry(kParamCompletion));
    app.add_option("--from", raw.from,
                   "Completion (a transition's t) of the first frame, " + sweep + "; default " +
                       number_text(plain.from))
        ->type_name("PCT")
        ->needs(frames);
    app.add_option("--to", raw.to,
                   "Completion (a transition's t) of the last frame, " + sweep + "; default " +
                       number_text(plain.to))
        ->type_name("PCT")
        ->needs(frames);
    app.add_option("--jobs", raw.jobs,
                   "frames of a sequence rendered at once, 1.." + std::to_string(kMaxJobs) +
                       "; default the number of cores; the files are the same whatever the "
                       "number")
        ->type_name("N");
    app.add_option("--png-compression", raw.png_compression,
                   "zlib level of the PNG files, 0 (fastest, largest) .. 9 (slowest, "
                   "smallest); default libpng's own (6)")
        ->type_name("0-9");
    app.add_flag("--skip-existing", raw.skip_existing,
                 "leave every frame whose file already holds a complete PNG of the frame's size "
                 "and depth, as a finished run leaves it, so that a retried or resumed run "
                 "renders only what is missing; any other file of that name is rendered again");
    app.add_flag("-q,--quiet", raw.quiet, "no progress bar, no summary of skipped frames");
    app.add_flag("--progress", raw.progress,
                 "show the progress bar even when standard error is not a terminal");
    for (CLI::Option* option : app.get_options()) {
        option->description(wrap(option->get_description()));
    }
}

Options validate(const CLI::App& app, const RawOptions& raw) {
    Options o;
    EffectParams& p = o.params;
    if (app.count("INPUT") > 0) o.input = raw.input;
    if (raw.output.empty()) throw UsageError("--output: the output file name is empty");
    o.output = raw.output;
    for (const ParamEntry& entry : kParamTable) {
        if (on_command_line(entry) && app.count(std::string(entry.option)) > 0) {
            p.value[entry.index] = parse_param(entry, raw.param[entry.index]);
        }
    }
    parse_downsample("--downsample", raw.downsample, p);
    if (app.count("--depth") > 0) {
        o.depth = static_cast<int>(parse_choice("--depth", raw.depth, "working depth",
                                                {{"8", 8}, {"16", 16}, {"float", 32}}));
    }
    if (app.count("--size") > 0) {
        if (o.input) {
            throw UsageError("--size: applies only to the built-in test card, not to INPUT " +
                             in_quotes(*o.input));
        }
        parse_size("--size", raw.size, o);
    }
    if (app.count("--frames") > 0) {
        const std::string completion(param_entry(kParamCompletion).option);
        if (app.count(completion) > 0) {
            throw UsageError(completion +
                             ": cannot be combined with --frames; give --from and --to instead");
        }
        o.frames = static_cast<int>(
            parse_integer("--frames", raw.frames, 1, kMaxFrames, "number of frames"));
        const ParamEntry& sweep = param_entry(kParamCompletion);
        if (app.count("--from") > 0) {
            o.from = parse_percent("--from", raw.from, sweep.valid_min, sweep.valid_max);
        }
        if (app.count("--to") > 0) {
            o.to = parse_percent("--to", raw.to, sweep.valid_min, sweep.valid_max);
        }
        if (app.count("--range") > 0) o.range = parse_range("--range", raw.range, *o.frames);
        if (o.output == "-" && *o.frames > 1) {
            throw UsageError("--output: '-' (standard output) takes a single picture, not the " +
                             std::to_string(*o.frames) +
                             " frames of --frames; give a counter pattern such as f_%04d.png");
        }
    }
    if (app.count("--transition-to") > 0) {
        if (raw.transition_to.empty()) throw UsageError("--transition-to: the file name is empty");
        o.transition_to = raw.transition_to;
    }
    if (app.count("--jobs") > 0) {
        o.jobs = static_cast<int>(parse_integer("--jobs", raw.jobs, 1, kMaxJobs, "number of jobs"));
    }
    if (app.count("--png-compression") > 0) {
        o.png_compression = static_cast<int>(
            parse_integer("--png-compression", raw.png_compression, 0, 9, "compression level"));
    }
    o.quiet = raw.quiet;
    o.force_progress = raw.progress;
    o.skip_existing = raw.skip_existing;
    return o;
}

}  // namespace

std::string option_word(std::string_view item) {
    std::string word;
    for (char c : item) {
        if (c == '&') continue;
        if (c == ' ') {
            if (!word.empty() && word.back() != '-') word += '-';
        } else {
            word += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        }
    }
    return word;
}

std::vector<Choice> option_choices(const ParamEntry& p) {
    std::vector<Choice> choices;
    for (int n = 1; n <= choice_count(p.choices); ++n) {
        const std::string_view item = choice_item(p.choices, n);
        if (!is_choice_separator(item)) choices.push_back({option_word(item), n});
    }
    return choices;
}

std::array<ParamValue, kParamCount> tool_defaults() {
    std::array<ParamValue, kParamCount> values{};
    for (const ParamEntry& p : kParamTable) {
        values[p.index] = {static_cast<double>(p.dephault), color_to_host(p.color)};
    }
    values[kParamCompletion].number = kToolCompletion;
    return values;
}

double parse_percent(std::string_view option, std::string_view text, double min, double max) {
    const std::string allowed = "give a decimal percent from " + number_text(min) + " to " +
                                number_text(max) + ", e.g. 37.5";
    // Plain decimals only: from_chars alone would also take "inf", "nan" and exponents.
    std::size_t digits = 0;
    std::size_t points = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            ++digits;
        } else if (c == '.') {
            ++points;
        } else {
            refuse(option, text, allowed);
        }
    }
    if (digits == 0 || points > 1) refuse(option, text, allowed);
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size() || !(value >= min) || value > max) {
        refuse(option, text, allowed);
    }
    return value;
}

long long parse_integer(std::string_view option, std::string_view text, long long min,
                        long long max, std::string_view meaning) {
    const std::string allowed = "the " + std::string(meaning) + " must be a whole number from " +
                                std::to_string(min) + " to " + std::to_string(max);
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    long long value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || ec != std::errc{} || end != digits.data() + digits.size() ||
        value < min || value > max) {
        refuse(option, text, allowed);
    }
    return value;
}

ParsedCommandLine parse_command_line(int argc, const char* const argv[],
                                     const std::function<std::string()>& version_text) {
    CLI::App app(description(), "zentrilox");
    app.footer(std::string(kFooter) + "\n" + wrap(format_help()));
    app.get_formatter()->column_width(kHelpColumn);
    app.set_version_flag("--version", version_text, "print the tool's and the effect's version");
    RawOptions raw;
    add_options(app, raw);
    ParsedCommandLine parsed;
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        parsed.kind = ParsedCommandLine::Kind::help;
        parsed.text = app.help();
        return parsed;
    } catch (const CLI::CallForVersion& e) {
        parsed.kind = ParsedCommandLine::Kind::version;
        parsed.text = std::string(e.what()) + "\n";
        return parsed;
    } catch (const CLI::ParseError& e) {
        throw UsageError(e.what());
    }
    parsed.options = validate(app, raw);
    return parsed;
}

}  // namespace zx::cli
