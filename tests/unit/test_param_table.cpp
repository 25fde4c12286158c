// The parameter table against what Params Setup registers, and the table's own consistency:
// every front end reads the table, so it must say exactly what the host receives.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "host_helpers.h"
#include "params/param_table.h"

namespace {

using namespace testhost;

PF_Fixed fixed(std::int32_t whole) {
    return whole * 65536;
}

TEST(ParamTable, RegistrationsEqualTheTable) {
    auto host = fresh_host();
    ASSERT_EQ(host->send(PF_Cmd_PARAMS_SETUP), 0);
    ASSERT_EQ(host->registrations().size(), kParamTable.size());
    for (std::size_t i = 0; i < kParamTable.size(); ++i) {
        const ParamEntry& p = kParamTable[i];
        const PF_ParamDef& d = host->registrations()[i].def;
        SCOPED_TRACE(std::string("table entry \"") + p.name + "\"");
        EXPECT_EQ(d.uu.id, p.index);
        EXPECT_EQ(d.param_type, static_cast<PF_ParamType>(p.type));
        EXPECT_STREQ(d.name, p.name);
        EXPECT_EQ(d.flags, p.flags);
        switch (p.type) {
            case ParamType::popup:
                EXPECT_EQ(host->registrations()[i].choices, p.choices);
                EXPECT_EQ(d.u.pd.num_choices, choice_count(p.choices));
                EXPECT_EQ(d.u.pd.dephault, p.dephault);
                break;
            case ParamType::slider:
                EXPECT_EQ(d.u.sd.valid_min, p.valid_min);
                EXPECT_EQ(d.u.sd.valid_max, p.valid_max);
                EXPECT_EQ(d.u.sd.slider_min, p.slider_min);
                EXPECT_EQ(d.u.sd.slider_max, p.slider_max);
                EXPECT_EQ(d.u.sd.dephault, p.dephault);
                break;
            case ParamType::percent:
                EXPECT_EQ(d.u.fd.valid_min, fixed(p.valid_min));
                EXPECT_EQ(d.u.fd.valid_max, fixed(p.valid_max));
                EXPECT_EQ(d.u.fd.slider_min, fixed(p.slider_min));
                EXPECT_EQ(d.u.fd.slider_max, fixed(p.slider_max));
                EXPECT_EQ(d.u.fd.dephault, fixed(p.dephault));
                EXPECT_EQ(d.u.fd.precision, p.precision);
                EXPECT_EQ(d.u.fd.display_flags, p.display_flags);
                break;
            case ParamType::color: {
                const PF_Pixel c = d.u.cd.dephault;
                EXPECT_EQ(
                    (std::array<int, 4>{c.alpha, c.red, c.green, c.blue}),
                    (std::array<int, 4>{p.color.alpha, p.color.red, p.color.green, p.color.blue}));
                break;
            }
            case ParamType::group_start:
            case ParamType::group_end:
                break;
        }
    }
    // The array the host builds starts from the registered defaults.
    EXPECT_EQ(host->param(kRow).u.sd.value, param_entry(kParamRow).dephault);
    EXPECT_EQ(host->param(kOpacity).u.fd.value, fixed(param_entry(kParamOpacity).dephault));
}

TEST(ParamTable, EntriesAreUsable) {
    std::set<std::string_view> short_names;
    std::set<std::string_view> options;
    for (const ParamEntry& p : kParamTable) {
        SCOPED_TRACE(std::string("table entry \"") + p.name + "\"");
        EXPECT_LE(std::strlen(p.name), static_cast<std::size_t>(PF_MAX_EFFECT_PARAM_NAME_LEN));
        const bool group = p.type == ParamType::group_start || p.type == ParamType::group_end;
        // Groups are not values: no front end offers them.
        EXPECT_EQ(p.short_name.empty(), group);
        EXPECT_EQ(p.option.empty(), group);
        EXPECT_EQ(p.value_name.empty(), group);
        if (!group) {
            EXPECT_TRUE(short_names.insert(p.short_name).second) << "short name used twice";
            EXPECT_EQ(p.short_name.find_first_not_of("abcdefghijklmnopqrstuvwxyz_"),
                      std::string_view::npos);
            EXPECT_TRUE(options.insert(p.option).second) << "option used twice";
        }
        if (p.type == ParamType::slider || p.type == ParamType::percent) {
            EXPECT_LE(p.valid_min, p.slider_min);
            EXPECT_LT(p.slider_min, p.slider_max);
            EXPECT_LE(p.slider_max, p.valid_max);
            EXPECT_LE(p.valid_min, p.dephault);
            EXPECT_LE(p.dephault, p.valid_max);
        }
        if (p.type == ParamType::popup) {
            ASSERT_NE(p.choices, nullptr);
            EXPECT_GE(p.dephault, 1);
            EXPECT_LE(p.dephault, choice_count(p.choices));
            EXPECT_FALSE(is_choice_separator(choice_item(p.choices, p.dephault)));
        } else {
            EXPECT_EQ(p.choices, nullptr);
        }
    }
}

TEST(ParamTable, ChoiceItemsByNumberAndText) {
    constexpr std::string_view kBlend = "Normal|(-|Add";
    EXPECT_EQ(choice_count(kBlend), 3);
    EXPECT_EQ(choice_item(kBlend, 1), "Normal");
    EXPECT_EQ(choice_item(kBlend, 2), "(-");
    EXPECT_EQ(choice_item(kBlend, 3), "Add");
    EXPECT_EQ(choice_item(kBlend, 4), "");
    EXPECT_EQ(choice_count("Alone"), 1);
    EXPECT_EQ(choice_item("Alone", 1), "Alone");
    EXPECT_EQ(choice_number(kParamBlendMode, "Color Burn"), 8);
    EXPECT_EQ(choice_number(kParamBlendMode, "Add"), 3);
    EXPECT_EQ(choice_number(kParamBlendMode, "Darken"), 0);
}

}  // namespace
