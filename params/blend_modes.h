// The "Blend Mode" popup: each choice's label and the operator it selects, in popup order. The
// parameter table's choice text and the render's lookup both come from this one table.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

// The operators. Their formulas are in blend_ops.h.
enum class BlendKind { over, add, multiply, screen, overlay, color_dodge, color_burn, count };

struct BlendMode {
    std::string_view label;
    BlendKind kind;
};

// The popup's values count from 1. "(-" is the host's separator line; it still takes a number,
// and the renders of projects that hold it have always gone through Add.
inline constexpr std::array kBlendModes = {
    BlendMode{"Normal", BlendKind::over},
    BlendMode{"(-", BlendKind::add},
    BlendMode{"Add", BlendKind::add},
    BlendMode{"Multiply", BlendKind::multiply},
    BlendMode{"Screen", BlendKind::screen},
    BlendMode{"Overlay", BlendKind::overlay},
    BlendMode{"Color Dodge", BlendKind::color_dodge},
    BlendMode{"Color Burn", BlendKind::color_burn},
};

// The popup's choice text as the host takes it: the labels joined by '|', NUL-terminated.
inline constexpr auto kBlendChoiceText = [] {
    constexpr std::size_t size = [] {
        std::size_t n = 0;
        for (const BlendMode& mode : kBlendModes) n += mode.label.size() + 1;
        return n;
    }();
    std::array<char, size> text{};
    std::size_t at = 0;
    for (const BlendMode& mode : kBlendModes) {
        if (at > 0) text[at++] = '|';
        for (char c : mode.label) text[at++] = c;
    }
    return text;
}();

// The operator of a popup value; any value outside the popup (0 included) is "Normal".
constexpr BlendKind blend_kind(long value) {
    if (value < 1 || value > static_cast<long>(kBlendModes.size())) return BlendKind::over;
    return kBlendModes[static_cast<std::size_t>(value - 1)].kind;
}

// True when `choices` is the table's labels joined by '|', as the host's popup text is.
constexpr bool choices_match_table(std::string_view choices) {
    for (std::size_t i = 0; i < kBlendModes.size(); ++i) {
        const std::string_view label = kBlendModes[i].label;
        if (choices.substr(0, label.size()) != label) return false;
        choices.remove_prefix(label.size());
        if (i + 1 == kBlendModes.size()) return choices.empty();
        if (choices.empty() || choices.front() != '|') return false;
        choices.remove_prefix(1);
    }
    return false;
}
