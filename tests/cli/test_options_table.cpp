// The options made from the parameter table: each takes its parameter's whole range and every
// choice, refuses one step beyond, and lands at its parameter's index on the host.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/effect_runner.h"
#include "cli/errors.h"
#include "cli/options.h"

namespace {

using zx::cli::Choice;
using zx::cli::Options;

Options parse(std::vector<std::string> args) {
    args.insert(args.begin(), {"zentrilox", "-o", "out.png"});
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    return zx::cli::parse_command_line(static_cast<int>(argv.size()), argv.data(), {}).options;
}

bool is_number(const ParamEntry& p) {
    return p.type == ParamType::slider || p.type == ParamType::percent;
}

TEST(OptionsFromTable, WithoutOptionsEveryParameterHasItsDefault) {
    const Options o = parse({});
    for (const ParamEntry& p : kParamTable) {
        SCOPED_TRACE(p.name);
        const zx::cli::ParamValue& v = o.params.value[p.index];
        if (p.index == kParamCompletion) {
            EXPECT_EQ(v.number, zx::cli::kToolCompletion);
        } else if (p.type == ParamType::color) {
            EXPECT_EQ(v.color.alpha, p.color.alpha);
            EXPECT_EQ(v.color.red, p.color.red);
            EXPECT_EQ(v.color.green, p.color.green);
            EXPECT_EQ(v.color.blue, p.color.blue);
        } else if (!p.option.empty()) {
            EXPECT_EQ(v.number, p.dephault);
        }
    }
}

TEST(OptionsFromTable, RangeEndsAreTakenAndOneBeyondIsRefused) {
    for (const ParamEntry& p : kParamTable) {
        if (!is_number(p)) continue;
        SCOPED_TRACE(p.name);
        const std::string option(p.option);
        for (std::int32_t end : {p.valid_min, p.valid_max}) {
            EXPECT_EQ(parse({option, std::to_string(end)}).params.value[p.index].number, end);
        }
        for (std::int32_t beyond : {p.valid_min - 1, p.valid_max + 1}) {
            try {
                parse({option + "=" + std::to_string(beyond)});
                ADD_FAILURE() << beyond << " was taken";
            } catch (const zx::cli::UsageError& e) {
                const std::string text = e.what();
                EXPECT_NE(text.find(option), std::string::npos) << text;
                EXPECT_NE(
                    text.find(std::to_string(p.valid_min) + " to " + std::to_string(p.valid_max)),
                    std::string::npos)
                    << text;
            }
        }
    }
}

TEST(OptionsFromTable, ChoicesAreTheItemsUnderCommandLineWords) {
    EXPECT_EQ(zx::cli::option_word("Row & Column"), "row-column");
    EXPECT_EQ(zx::cli::option_word("Color Dodge"), "color-dodge");
    const std::vector<Choice> blends = zx::cli::option_choices(param_entry(kParamBlendMode));
    ASSERT_EQ(blends.size(), 7u);  // the separator line is no choice
    EXPECT_EQ(blends[0].name, "normal");
    EXPECT_EQ(blends[1].name, "add");
    EXPECT_EQ(blends[1].value, 3);
    EXPECT_EQ(blends[6].name, "color-burn");
    EXPECT_EQ(blends[6].value, 8);
    for (const ParamEntry& p : kParamTable) {
        if (p.type != ParamType::popup) continue;
        for (const Choice& c : zx::cli::option_choices(p)) {
            SCOPED_TRACE(std::string(p.option) + " " + c.name);
            EXPECT_EQ(parse({std::string(p.option), c.name}).params.value[p.index].number, c.value);
        }
    }
}

TEST(OptionsFromTable, EveryValueReachesItsParameter) {
    // Each value differs from its default, so a value set at the wrong index shows.
    zx::cli::EffectParams params;
    for (const ParamEntry& p : kParamTable) {
        if (is_number(p))
            params.value[p.index].number = p.dephault == p.valid_max ? 1 : p.valid_max;
        if (p.type == ParamType::popup) params.value[p.index].number = choice_count(p.choices);
        if (p.type == ParamType::color) params.value[p.index].color = PF_Pixel{1, 2, 3, 4};
    }
    zx::cli::EffectRunner runner;
    runner.set_params(params);
    PanelValues got = runner.values();
    for (const ParamEntry& p : kParamTable) {
        SCOPED_TRACE(p.name);
        const double want = params.value[p.index].number;
        switch (p.type) {
            case ParamType::popup:
            case ParamType::slider:
                EXPECT_EQ(*whole_value(got, p.index), want);
                break;
            case ParamType::percent:
                EXPECT_EQ(percent_to_fixed(*percent_value(got, p.index)),
                          zx::cli::percent_to_fixed(want));
                break;
            case ParamType::color:
                EXPECT_EQ((std::array<int, 4>{got.color.alpha, got.color.red, got.color.green,
                                              got.color.blue}),
                          (std::array<int, 4>{1, 2, 3, 4}));
                break;
            default:
                break;
        }
    }
}

}  // namespace
