// Every option reaches the effect as the parameter it names: the tool's output equals a direct
// render through the simulated host with the parameter set by hand, and differs from a render
// without the option (so an ignored option cannot pass).
#include <optional>

#include "test_support.h"

namespace clitest {
namespace {

using Args = std::vector<std::string>;

struct ParamCase {
    std::string name;
    std::vector<std::string> args;
    HostSetter set;
    std::optional<std::vector<std::string>> baseline;  // the same run without the option
    int input_depth = 8;
};

void blend(simhost::SimHost& h, A_long mode) {
    h.set_popup(kParamBlendMode, mode);
    h.set_percent(kParamOpacity, 70.0);
}

std::vector<ParamCase> cases() {
    const std::vector<std::string> opacity70{"--opacity", "70"};
    std::vector<ParamCase> c{
        {"Defaults", {}, {}, std::nullopt},
        {"Euclidean",
         {"--mode", "euclidean"},
         [](auto& h) { h.set_popup(kParamMode, kModeEuclidean); },
         Args{}},
        {"Completion",
         {"--completion", "12.5"},
         [](auto& h) { h.set_percent(kParamCompletion, 12.5); },
         Args{}},
        {"CompletionEnd",
         {"--completion", "100"},
         [](auto& h) { h.set_percent(kParamCompletion, 100); },
         Args{}},
        {"RowWidth",
         {"--split", "row-width", "--rows", "3", "--strip-width", "24"},
         [](auto& h) {
             h.set_popup(kParamSplit, kSplitRowWidth);
             h.set_slider(kParamRow, 3);
             h.set_slider(kParamWidth, 24);
         },
         Args{"--split", "row-width", "--rows", "3"}},
        {"HeightColumn",
         {"--split", "height-column", "--columns", "5", "--strip-height", "12"},
         [](auto& h) {
             h.set_popup(kParamSplit, kSplitHeightColumn);
             h.set_slider(kParamColumn, 5);
             h.set_slider(kParamHeight, 12);
         },
         Args{"--split", "height-column", "--columns", "5"}},
        {"RowsColumns",
         {"--rows", "4", "--columns", "3"},
         [](auto& h) {
             h.set_slider(kParamRow, 4);
             h.set_slider(kParamColumn, 3);
         },
         Args{"--rows", "4"}},
        {"Seed", {"--seed", "99999"}, [](auto& h) { h.set_slider(kParamSeed, 99999); }, Args{}},
        {"OverlapColor",
         {"--overlap", "color", "--color", "80FF8000", "--opacity", "60"},
         [](auto& h) {
             h.set_popup(kParamOverlapMode, kOverlapColor);
             h.set_color(kParamColor, PF_Pixel{0x80, 0xFF, 0x80, 0x00});
             h.set_percent(kParamOpacity, 60);
         },
         Args{"--overlap", "color", "--opacity", "60"}},
        {"ColorWithoutAlpha",
         {"--overlap", "color", "--color", "00ff7f"},
         [](auto& h) {
             h.set_popup(kParamOverlapMode, kOverlapColor);
             h.set_color(kParamColor, PF_Pixel{0xFF, 0x00, 0xFF, 0x7F});
         },
         Args{"--overlap", "color"}},
        {"Downsample",
         {"--split", "row-width", "--strip-width", "20", "--downsample", "1/3"},
         [](auto& h) {
             h.set_popup(kParamSplit, kSplitRowWidth);
             h.set_slider(kParamWidth, 20);
             h.set_downsample_x(1, 3);
         },
         Args{"--split", "row-width", "--strip-width", "20"}},
        {"Input16Bit",
         {"--blend", "screen", "--opacity", "80"},
         [](auto& h) {
             h.set_popup(kParamBlendMode, choice_number(kParamBlendMode, "Screen"));
             h.set_percent(kParamOpacity, 80);
         },
         Args{"--opacity", "80"},
         16},
    };
    const std::vector<zx::cli::Choice> blends =
        zx::cli::option_choices(param_entry(kParamBlendMode));
    for (const auto& [name, value] : blends) {
        std::string test_name = "Blend_" + name;
        for (char& ch : test_name) ch = ch == '-' ? '_' : ch;
        // The first mode is told apart from the second, every other mode from the first.
        const std::string other = blends[value == blends[0].value ? 1 : 0].name;
        c.push_back({test_name, with({"--blend", name}, opacity70),
                     [v = value](auto& h) { blend(h, v); }, with({"--blend", other}, opacity70)});
    }
    return c;
}

void PrintTo(const ParamCase& c, std::ostream* os) {
    *os << c.name;
}

class OptionReachesEffect : public testing::TestWithParam<ParamCase> {};

TEST_P(OptionReachesEffect, ToolOutputEqualsDirectRender) {
    const ParamCase& pc = GetParam();
    TempDir dir;
    const RawPng input = pc.input_depth == 16 ? reference_picture16() : reference_picture8();
    write_raw_png(dir.file("in.png"), input);

    const RunResult run = run_tool(with({dir.file("in.png"), "-o", dir.file("out.png")}, pc.args));
    ASSERT_EQ(run.status, 0) << run.err;
    const RawPng written = read_raw_png(dir.file("out.png"));
    EXPECT_EQ(compare(written, render_direct(world_of(input), pc.set)), "");

    if (pc.baseline) {
        const RunResult base =
            run_tool(with({dir.file("in.png"), "-o", dir.file("base.png")}, *pc.baseline));
        ASSERT_EQ(base.status, 0) << base.err;
        EXPECT_NE(read_raw_png(dir.file("base.png")).samples, written.samples)
            << "the option made no difference";
    }
}

INSTANTIATE_TEST_SUITE_P(Cli, OptionReachesEffect, testing::ValuesIn(cases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace clitest
