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

struct Choice {
    std::string_view name;
    A_long value;
};

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

PF_Pixel parse_color(std::string_view option, std::string_view text) {
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '#') digits.remove_prefix(1);
    constexpr std::string_view kAllowed =
        "give the Color as 6 hex digits RRGGBB (alpha FF) or 8 hex digits AARRGGBB";
    if (digits.size() != 6 && digits.size() != 8) refuse(option, text, kAllowed);
    std::array<A_u_char, 4> bytes{0xFF, 0, 0, 0};  // alpha, red, green, blue
    const std::size_t first = digits.size() == 6 ? 1 : 0;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        const int hi = hex_digit(digits[i]);
        const int lo = hex_digit(digits[i + 1]);
        if (hi < 0 || lo < 0) refuse(option, text, kAllowed);
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

// The raw texts as CLI11 collects them; defaults are the texts a user would type.
struct RawOptions {
    std::string input;
    std::string output;
    std::string mode = "manhattan";
    std::string completion = "50";
    std::string split = "row-column";
    std::string rows = "6";
    std::string strip_height = "100";
    std::string columns = "8";
    std::string strip_width = "100";
    std::string seed = "0";
    std::string overlap = "footage";
    std::string color = "FF0000";
    std::string blend = "normal";
    std::string opacity = "100";
    std::string downsample = "1/1";
    std::string depth;
    std::string size;
    std::string frames;
    std::string from = "0";
    std::string to = "100";
    bool quiet = false;
    bool progress = false;
};

constexpr const char* kDescription =
    "Renders the VarnokZentrilox effect on a PNG picture (or on a built-in test card), driving\n"
    "the effect exactly as a host does: Global Setup, Params Setup, then one Render per frame.\n"
    "The effect cuts the layer into blocks and moves every block toward a random target as\n"
    "Completion goes from 0 to 100 %.";

constexpr const char* kFooter =
    "Percents reach the effect as 16.16 fixed-point numbers, lround(PCT * 65536).\n"
    "A sequence (--frames N) renders frame k = 0 .. N-1 at Completion\n"
    "FROM + (TO - FROM) * k / (N - 1) and writes it to OUTPUT with its counter replaced by k;\n"
    "OUTPUT must then hold exactly one integer counter (%d, %4d, %04d, %i or %u) and no other\n"
    "'%' but '%%'.\n"
    "The output is an RGBA PNG at the working depth, written to a temporary file in the same\n"
    "folder and renamed only once complete.\n"
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
                   "input PNG (any PNG; grey, palette and low bit depths are expanded); "
                   "without it the built-in test card is rendered")
        ->type_name("");
    app.add_option("-o,--output", raw.output, "output PNG, or a counter pattern with --frames")
        ->required()
        ->type_name("OUTPUT");
    app.add_option("--mode", raw.mode,
                   "Mode (parameter 1): manhattan (1) or euclidean (2); default manhattan")
        ->type_name("MODE");
    app.add_option("--completion", raw.completion,
                   "Completion (parameter 2): percent 0..100; default 50")
        ->type_name("PCT");
    app.add_option("--split", raw.split,
                   "Split (parameter 3): row-column (1), row-width (2) or height-column (3); "
                   "default row-column")
        ->type_name("SPLIT");
    app.add_option("--rows", raw.rows, "Row (parameter 4): block rows, 1..2000; default 6")
        ->type_name("N");
    app.add_option("--strip-height", raw.strip_height,
                   "Height (parameter 5): base height of the random strips, 4..2000; "
                   "default 100")
        ->type_name("N");
    app.add_option("--columns", raw.columns,
                   "Column (parameter 6): block columns, 1..2000; default 8")
        ->type_name("N");
    app.add_option("--strip-width", raw.strip_width,
                   "Width (parameter 7): base width of the random strips, 4..2000; default 100")
        ->type_name("N");
    app.add_option("--seed", raw.seed, "Seed (parameter 8): 0..100000; default 0")->type_name("N");
    app.add_option("--overlap", raw.overlap,
                   "Overlap Mode (parameter 10): footage (1) or color (2); default footage")
        ->type_name("WHAT");
    app.add_option("--color", raw.color,
                   "Color (parameter 11): RRGGBB (alpha FF) or AARRGGBB in hex; default FF0000")
        ->type_name("HEX");
    app.add_option("--blend", raw.blend,
                   "Blend Mode (parameter 12): normal (1), add (3), multiply (4), screen (5), "
                   "overlay (6), color-dodge (7) or color-burn (8); default normal")
        ->type_name("MODE");
    app.add_option("--opacity", raw.opacity, "Opacity (parameter 13): percent 0..100; default 100")
        ->type_name("PCT");
    app.add_option("--downsample", raw.downsample,
                   "the host's horizontal downsample factor (in-data downsample_x), "
                   "1 <= N <= D; default 1/1; the input is already the downsampled layer")
        ->type_name("N/D");
    app.add_option("--depth", raw.depth,
                   "working depth, 8 or 16 bits; default the input's bit depth (8 for the test "
                   "card)")
        ->type_name("8|16");
    app.add_option("--size", raw.size,
                   "size of the test card, each side 1.." + std::to_string(kMaxSide) +
                       "; default 640x480; only without INPUT")
        ->type_name("WxH");
    auto* frames =
        app.add_option("--frames", raw.frames,
                       "render a sequence of N frames, 1.." + std::to_string(kMaxFrames) +
                           ", Completion going linearly from --from to --to")
            ->type_name("N");
    app.add_option("--from", raw.from, "Completion of the first frame, percent 0..100; default 0")
        ->type_name("PCT")
        ->needs(frames);
    app.add_option("--to", raw.to, "Completion of the last frame, percent 0..100; default 100")
        ->type_name("PCT")
        ->needs(frames);
    app.add_flag("-q,--quiet", raw.quiet, "no progress bar");
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
    p.mode = parse_choice("--mode", raw.mode, "Mode", {{"manhattan", 1}, {"euclidean", 2}});
    p.completion = parse_percent("--completion", raw.completion);
    p.split = parse_choice("--split", raw.split, "Split",
                           {{"row-column", 1}, {"row-width", 2}, {"height-column", 3}});
    p.rows = static_cast<A_long>(parse_integer("--rows", raw.rows, 1, 2000, "Row"));
    p.strip_height =
        static_cast<A_long>(parse_integer("--strip-height", raw.strip_height, 4, 2000, "Height"));
    p.columns = static_cast<A_long>(parse_integer("--columns", raw.columns, 1, 2000, "Column"));
    p.strip_width =
        static_cast<A_long>(parse_integer("--strip-width", raw.strip_width, 4, 2000, "Width"));
    p.seed = static_cast<A_long>(parse_integer("--seed", raw.seed, 0, 100000, "Seed"));
    p.overlap =
        parse_choice("--overlap", raw.overlap, "Overlap Mode", {{"footage", 1}, {"color", 2}});
    p.color = parse_color("--color", raw.color);
    p.blend = parse_choice("--blend", raw.blend, "Blend Mode",
                           {{"normal", 1},
                            {"add", 3},
                            {"multiply", 4},
                            {"screen", 5},
                            {"overlay", 6},
                            {"color-dodge", 7},
                            {"color-burn", 8}});
    p.opacity = parse_percent("--opacity", raw.opacity);
    parse_downsample("--downsample", raw.downsample, p);
    if (app.count("--depth") > 0) {
        o.depth = static_cast<int>(
            parse_choice("--depth", raw.depth, "working depth", {{"8", 8}, {"16", 16}}));
    }
    if (app.count("--size") > 0) {
        if (o.input) {
            throw UsageError("--size: applies only to the built-in test card, not to INPUT " +
                             in_quotes(*o.input));
        }
        parse_size("--size", raw.size, o);
    }
    if (app.count("--frames") > 0) {
        if (app.count("--completion") > 0) {
            throw UsageError(
                "--completion: cannot be combined with --frames; "
                "give --from and --to instead");
        }
        o.frames = static_cast<int>(
            parse_integer("--frames", raw.frames, 1, kMaxFrames, "number of frames"));
        o.from = parse_percent("--from", raw.from);
        o.to = parse_percent("--to", raw.to);
    }
    o.quiet = raw.quiet;
    o.force_progress = raw.progress;
    return o;
}

}  // namespace

double parse_percent(std::string_view option, std::string_view text) {
    constexpr std::string_view kAllowed = "give a decimal percent from 0 to 100, e.g. 37.5";
    // Plain decimals only: from_chars alone would also take "inf", "nan" and exponents.
    std::size_t digits = 0;
    std::size_t points = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            ++digits;
        } else if (c == '.') {
            ++points;
        } else {
            refuse(option, text, kAllowed);
        }
    }
    if (digits == 0 || points > 1) refuse(option, text, kAllowed);
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size() || !(value >= 0.0) || value > 100.0) {
        refuse(option, text, kAllowed);
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
    CLI::App app(kDescription, "zentrilox");
    app.footer(kFooter);
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
