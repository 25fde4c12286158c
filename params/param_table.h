// The effect's parameters as plain data: what Params Setup registers with the host, and what
// every other front end (the command line, tests, hosts without the host's records) reads, so
// that a name, range or default is written here once.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "params/blend_modes.h"
#include "params/param_ids.h"

// The host's type codes as plain integers; Params Setup checks them against the host's names.
enum class ParamType : std::int32_t {
    slider = 1,
    percent = 2,  // a 16.16 fixed-point slider shown as percent
    color = 5,
    popup = 7,
    group_start = 13,
    group_end = 14,
};

struct ParamColor {
    std::uint8_t alpha = 0, red = 0, green = 0, blue = 0;
};

// The panel shows the parameter only for some choices of a popup: bit n stands for choice n.
// No popup: always shown.
struct ShownWhen {
    ParamIndex popup = kParamInput;
    std::uint32_t choices = 0;
};

constexpr ShownWhen shown_for(ParamIndex popup, std::initializer_list<int> choices) {
    ShownWhen rule{.popup = popup};
    for (int choice : choices) rule.choices |= std::uint32_t{1} << choice;
    return rule;
}

struct ParamEntry {
    ParamIndex index = kParamInput;  // the position in the host's array, which is also the id
    ParamType type = ParamType::slider;
    const char* name = "";  // the panel's text, registered as it stands
    // What the parameter does, in a sentence for a user: the tooltip of hosts that show one.
    const char* explanation = "";
    // A name for filters that want one word; groups have none. Not "width" or "height": MLT
    // keeps those for itself and leaves them out of its project files.
    std::string_view short_name{};
    // The OpenFX script name: camel case, as OFX hosts show and script them.
    std::string_view script_name{};
    // Sliders in their own units, percent sliders in whole percent; a popup's default is the
    // number of its choice, counted from 1.
    std::int32_t valid_min = 0, valid_max = 0;
    std::int32_t slider_min = 0, slider_max = 0;
    std::int32_t dephault = 0;
    const char* choices = nullptr;  // popup items separated by '|'
    ParamColor color{};             // a colour's default
    std::int32_t flags = 0;
    std::int16_t precision = 0;      // percent sliders: decimals shown
    std::int16_t display_flags = 0;  // percent sliders: the host's "show as percent" bit
    // The command line: option, the placeholder of its value, and what the help says besides
    // name, range and default. Groups have no option.
    std::string_view option{};
    std::string_view value_name{};
    std::string_view help{};
    ShownWhen shown_when{};
};

namespace param_table_detail {

constexpr std::int16_t kShowAsPercent = 1;

constexpr ParamEntry percent(ParamIndex index, const char* name, const char* explanation,
                             std::string_view short_name, std::int32_t dephault,
                             std::string_view option) {
    return {.index = index,
            .type = ParamType::percent,
            .name = name,
            .explanation = explanation,
            .short_name = short_name,
            .script_name = short_name,
            .valid_min = 0,
            .valid_max = 100,
            .slider_min = 0,
            .slider_max = 100,
            .dephault = dephault,
            .precision = 1,
            .display_flags = kShowAsPercent,
            .option = option,
            .value_name = "PCT"};
}

}  // namespace param_table_detail

// Parameters 1 to kParamCount - 1 in the order of registration; index 0, the input layer, is
// the host's own.
inline constexpr std::array<ParamEntry, kParamCount - 1> kParamTable = {{
    {.index = kParamMode,
     .type = ParamType::popup,
     .name = "Mode",
     .explanation = "The path of every block: Manhattan goes along one axis, then the other; "
                    "Euclidean goes straight to its target.",
     .short_name = "mode",
     .script_name = "mode",
     .dephault = kModeManhattan,
     .choices = "Manhattan|Euclidean",
     .option = "--mode",
     .value_name = "MODE"},
    param_table_detail::percent(kParamCompletion, "Completion",
                                "How far the blocks have moved: 0 % is the picture as it is, "
                                "100 % has every block on its target.",
                                "completion", 0, "--completion"),
    {.index = kParamSplit,
     .type = ParamType::popup,
     .name = "Split",
     .explanation = "How the picture is cut: a grid of rows and columns, rows cut into strips of "
                    "random width, or columns cut into strips of random height.",
     .short_name = "split",
     .script_name = "split",
     .dephault = kSplitRowColumn,
     .choices = "Row & Column|Row & Width|Height & Column",
     .option = "--split",
     .value_name = "SPLIT"},
    {.index = kParamRow,
     .name = "Row",
     .explanation = "The number of rows of blocks.",
     .short_name = "row",
     .script_name = "row",
     .valid_min = 1,
     .valid_max = 2000,
     .slider_min = 1,
     .slider_max = 100,
     .dephault = 6,
     .option = "--rows",
     .value_name = "N",
     .help = "block rows",
     .shown_when = shown_for(kParamSplit, {kSplitRowColumn, kSplitRowWidth})},
    {.index = kParamHeight,
     .name = "Height",
     .explanation = "The random strips are 4 to this many pixels high.",
     .short_name = "strip_height",
     .script_name = "stripHeight",
     .valid_min = 4,
     .valid_max = 2000,
     .slider_min = 4,
     .slider_max = 1000,
     .dephault = 100,
     .option = "--strip-height",
     .value_name = "N",
     .help = "base height of the random strips",
     .shown_when = shown_for(kParamSplit, {kSplitHeightColumn})},
    {.index = kParamColumn,
     .name = "Column",
     .explanation = "The number of columns of blocks.",
     .short_name = "column",
     .script_name = "column",
     .valid_min = 1,
     .valid_max = 2000,
     .slider_min = 1,
     .slider_max = 100,
     .dephault = 8,
     .option = "--columns",
     .value_name = "N",
     .help = "block columns",
     .shown_when = shown_for(kParamSplit, {kSplitRowColumn, kSplitHeightColumn})},
    {.index = kParamWidth,
     .name = "Width",
     .explanation = "The random strips are 4 to this many pixels wide.",
     .short_name = "strip_width",
     .script_name = "stripWidth",
     .valid_min = 4,
     .valid_max = 2000,
     .slider_min = 4,
     .slider_max = 1000,
     .dephault = 100,
     .option = "--strip-width",
     .value_name = "N",
     .help = "base width of the random strips",
     .shown_when = shown_for(kParamSplit, {kSplitRowWidth})},
    {.index = kParamSeed,
     .name = "Seed",
     .explanation = "Chooses the random cut, targets and paths; the same seed gives the same "
                    "layout on every frame.",
     .short_name = "seed",
     .script_name = "seed",
     .valid_min = 0,
     .valid_max = 100000,
     .slider_min = 0,
     .slider_max = 1000,
     .dephault = 0,
     .option = "--seed",
     .value_name = "N"},
    {.index = kParamOverlapGroup, .type = ParamType::group_start, .name = "--Overlap--"},
    {.index = kParamOverlapMode,
     .type = ParamType::popup,
     .name = "Overlap Mode",
     .explanation = "What is drawn where a block lands on another: the footage, combined by the "
                    "blend mode, or a flat colour.",
     .short_name = "overlap_mode",
     .script_name = "overlapMode",
     .dephault = kOverlapFootage,
     .choices = "Footage|Color",
     .option = "--overlap",
     .value_name = "WHAT"},
    {.index = kParamColor,
     .type = ParamType::color,
     .name = "Color",
     .explanation = "The flat colour drawn where blocks overlap.",
     .short_name = "color",
     .script_name = "color",
     .color = {255, 255, 0, 0},
     .option = "--color",
     .value_name = "HEX",
     .help = "RRGGBB (alpha FF) or AARRGGBB in hex",
     .shown_when = shown_for(kParamOverlapMode, {kOverlapColor})},
    // The choices are the mode table's labels; "(-" is the host's separator line, it still
    // takes a number.
    {.index = kParamBlendMode,
     .type = ParamType::popup,
     .name = "Blend Mode",
     .explanation = "How a block's pixels combine with those it lands on.",
     .short_name = "blend_mode",
     .script_name = "blendMode",
     .dephault = 1,
     .choices = kBlendChoiceText.data(),
     .option = "--blend",
     .value_name = "MODE"},
    param_table_detail::percent(kParamOpacity, "Opacity",
                                "How strongly what is drawn where blocks overlap covers what "
                                "lies beneath.",
                                "opacity", 100, "--opacity"),
    {.index = kParamOverlapGroupEnd, .type = ParamType::group_end},
}};

constexpr const ParamEntry& param_entry(ParamIndex index) {
    return kParamTable[static_cast<std::size_t>(index) - 1];
}

// The items of a popup's choice text, counted from 1.
constexpr int choice_count(std::string_view choices) {
    int count = 1;
    for (char c : choices) count += c == '|' ? 1 : 0;
    return count;
}

// Where the first '|' at or after `from` is, or the text's length. Indices, not find(): GCC
// does not fold find's pointer test in constant expressions when null checks are sanitized.
constexpr std::size_t choice_bar(std::string_view choices, std::size_t from) {
    while (from < choices.size() && choices[from] != '|') ++from;
    return from;
}

constexpr std::string_view choice_item(std::string_view choices, int number) {
    std::size_t start = 0;
    for (int n = 1; n < number; ++n) {
        const std::size_t bar = choice_bar(choices, start);
        if (bar == choices.size()) return {};
        start = bar + 1;
    }
    return choices.substr(start, choice_bar(choices, start) - start);
}

// Whether the panel shows `entry` while its popup holds `popup_value`. A value outside the
// popup's choices counts as its last choice, as the render reads it.
constexpr bool param_shown(const ParamEntry& entry, std::int32_t popup_value) {
    const ShownWhen& rule = entry.shown_when;
    if (rule.popup == kParamInput) return true;
    const int last = choice_count(param_entry(rule.popup).choices);
    const int choice = popup_value >= 1 && popup_value <= last ? popup_value : last;
    return ((rule.choices >> choice) & 1u) != 0;
}

// The host draws "(-" as a line between items; it is not a choice anyone can make.
constexpr bool is_choice_separator(std::string_view item) {
    return item == "(-";
}

// The selectable choices of a popup, separators left out: how many, and the number (from 1)
// of the k-th, counted from 0; 0 if there is none.
constexpr int selectable_count(const ParamEntry& p) {
    int n = 0;
    for (int k = 1; k <= choice_count(p.choices); ++k) {
        n += !is_choice_separator(choice_item(p.choices, k));
    }
    return n;
}

constexpr int selectable_number(const ParamEntry& p, int k) {
    for (int number = 1; number <= choice_count(p.choices); ++number) {
        if (is_choice_separator(choice_item(p.choices, number))) continue;
        if (k-- == 0) return number;
    }
    return 0;
}

// The number of a popup item by its text; 0 if there is none.
constexpr int choice_number(ParamIndex index, std::string_view item) {
    const std::string_view choices = param_entry(index).choices;
    for (int n = 1; n <= choice_count(choices); ++n) {
        if (choice_item(choices, n) == item) return n;
    }
    return 0;
}

static_assert(
    [] {
        for (std::size_t i = 0; i < kParamTable.size(); ++i) {
            if (kParamTable[i].index != static_cast<int>(i + 1)) return false;
        }
        return true;
    }(),
    "the table lists every parameter at its index");
static_assert(
    [] {
        for (const ParamEntry& entry : kParamTable) {
            const ShownWhen& rule = entry.shown_when;
            if (rule.popup == kParamInput) continue;
            const ParamEntry& popup = param_entry(rule.popup);
            const std::uint32_t every = (std::uint32_t{2} << choice_count(popup.choices)) - 2;
            if (popup.type != ParamType::popup || rule.choices == 0 ||
                (rule.choices & ~every) != 0) {
                return false;
            }
        }
        return true;
    }(),
    "a parameter is shown only for choices its popup has");
static_assert(
    [] {
        for (const ParamEntry& entry : kParamTable) {
            if (!entry.short_name.empty() && entry.explanation[0] == '\0') return false;
        }
        return true;
    }(),
    "every parameter a user sets explains itself");
static_assert(choice_number(kParamMode, "Manhattan") == kModeManhattan &&
              choice_number(kParamMode, "Euclidean") == kModeEuclidean);
static_assert(choice_number(kParamSplit, "Row & Column") == kSplitRowColumn &&
              choice_number(kParamSplit, "Row & Width") == kSplitRowWidth &&
              choice_number(kParamSplit, "Height & Column") == kSplitHeightColumn);
static_assert(choice_number(kParamOverlapMode, "Footage") == kOverlapFootage &&
              choice_number(kParamOverlapMode, "Color") == kOverlapColor);
