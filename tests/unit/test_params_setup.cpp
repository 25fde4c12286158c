// Params Setup as the host receives it: fourteen appended definitions, field by field.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "host_helpers.h"

namespace {

using namespace testhost;
using simhost::Registration;

struct Expected {
    PF_ParamType type;
    const char* name;
    const char* choices;                            // popups
    A_long lo, hi, slider_lo, slider_hi, dephault;  // popup: dephault only
};

constexpr A_long k100 = 100 * 65536;
const std::vector<Expected> kParams = {
    {PF_Param_POPUP, "Mode", "Manhattan|Euclidean", 0, 0, 0, 0, 1},
    {PF_Param_FIX_SLIDER, "Completion", nullptr, 0, k100, 0, k100, 0},
    {PF_Param_POPUP, "Split", "Row & Column|Row & Width|Height & Column", 0, 0, 0, 0, 1},
    {PF_Param_SLIDER, "Row", nullptr, 1, 2000, 1, 100, 6},
    {PF_Param_SLIDER, "Height", nullptr, 4, 2000, 4, 1000, 100},
    {PF_Param_SLIDER, "Column", nullptr, 1, 2000, 1, 100, 8},
    {PF_Param_SLIDER, "Width", nullptr, 4, 2000, 4, 1000, 100},
    {PF_Param_SLIDER, "Seed", nullptr, 0, 100000, 0, 1000, 0},
    {PF_Param_GROUP_START, "--Overlap--", nullptr, 0, 0, 0, 0, 0},
    {PF_Param_POPUP, "Overlap Mode", "Footage|Color", 0, 0, 0, 0, 1},
    {PF_Param_COLOR, "Color", nullptr, 0, 0, 0, 0, 0},
    {PF_Param_POPUP, "Blend Mode", "Normal|(-|Add|Multiply|Screen|Overlay|Color Dodge|Color Burn",
     0, 0, 0, 0, 1},
    {PF_Param_FIX_SLIDER, "Opacity", nullptr, 0, k100, 0, k100, k100},
    {PF_Param_GROUP_END, "", nullptr, 0, 0, 0, 0, 0},
};

bool all_zero(const void* p, std::size_t n) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    return std::all_of(b, b + n, [](std::uint8_t v) { return v == 0; });
}

void expect_definition(const Registration& reg, const Expected& e, A_long id) {
    const PF_ParamDef& d = reg.def;
    SCOPED_TRACE("parameter " + std::to_string(id) + " \"" + e.name + "\"");
    EXPECT_EQ(reg.index, PF_Param_APPEND);
    EXPECT_EQ(d.uu.id, id);
    EXPECT_EQ(d.param_type, e.type);
    EXPECT_STREQ(d.name, e.name);
    EXPECT_TRUE(all_zero(d.name + std::strlen(d.name), sizeof d.name - std::strlen(d.name)));
    EXPECT_EQ(d.flags, 0);
    const auto* u = reinterpret_cast<const std::uint8_t*>(&d.u);
    switch (e.type) {
        case PF_Param_POPUP: {
            const A_short count = static_cast<A_short>(
                std::count(e.choices, e.choices + std::strlen(e.choices), '|') + 1);
            EXPECT_EQ(reg.choices, e.choices);
            EXPECT_EQ(d.u.pd.num_choices, count);
            EXPECT_EQ(d.u.pd.dephault, e.dephault);
            EXPECT_EQ(d.u.pd.value, e.dephault);
            EXPECT_TRUE(all_zero(u + sizeof(PF_PopupDef), sizeof d.u - sizeof(PF_PopupDef)));
            break;
        }
        case PF_Param_SLIDER:
            EXPECT_EQ(d.u.sd.valid_min, e.lo);
            EXPECT_EQ(d.u.sd.valid_max, e.hi);
            EXPECT_EQ(d.u.sd.slider_min, e.slider_lo);
            EXPECT_EQ(d.u.sd.slider_max, e.slider_hi);
            EXPECT_EQ(d.u.sd.dephault, e.dephault);
            EXPECT_EQ(d.u.sd.value, e.dephault);
            EXPECT_TRUE(all_zero(d.u.sd.value_str, sizeof d.u.sd.value_str));
            EXPECT_TRUE(all_zero(d.u.sd.value_desc, sizeof d.u.sd.value_desc));
            break;
        case PF_Param_FIX_SLIDER:
            EXPECT_EQ(d.u.fd.valid_min, e.lo);
            EXPECT_EQ(d.u.fd.valid_max, e.hi);
            EXPECT_EQ(d.u.fd.slider_min, e.slider_lo);
            EXPECT_EQ(d.u.fd.slider_max, e.slider_hi);
            EXPECT_EQ(d.u.fd.dephault, e.dephault);
            EXPECT_EQ(d.u.fd.value, e.dephault);
            EXPECT_EQ(d.u.fd.precision, 1);
            EXPECT_EQ(d.u.fd.display_flags, PF_ValueDisplayFlag_PERCENT);
            EXPECT_TRUE(all_zero(d.u.fd.value_str, sizeof d.u.fd.value_str));
            EXPECT_TRUE(all_zero(d.u.fd.value_desc, sizeof d.u.fd.value_desc));
            break;
        case PF_Param_COLOR: {
            const PF_Pixel red{255, 255, 0, 0};
            EXPECT_EQ(std::memcmp(&d.u.cd.value, &red, 4), 0);
            EXPECT_EQ(std::memcmp(&d.u.cd.dephault, &red, 4), 0);
            EXPECT_TRUE(all_zero(u + sizeof(PF_ColorDef), sizeof d.u - sizeof(PF_ColorDef)));
            break;
        }
        default:
            EXPECT_TRUE(all_zero(&d.u, sizeof d.u));
            break;
    }
}

TEST(ParamsSetup, RegistersFourteenParametersInOrder) {
    auto host = fresh_host();
    host->out_data().num_params = 3;
    ASSERT_EQ(host->send(PF_Cmd_PARAMS_SETUP), 0);
    ASSERT_EQ(host->registrations().size(), kParams.size());
    for (std::size_t i = 0; i < kParams.size(); ++i) {
        expect_definition(host->registrations()[i], kParams[i], static_cast<A_long>(i + 1));
    }
    EXPECT_EQ(host->out_data().num_params, 15);
    EXPECT_EQ(host->calls(HostFn::add_param), 14);
    EXPECT_TRUE(host->suite_log().empty());
    EXPECT_EQ(host->out_data().out_flags, 0);
    EXPECT_TRUE(host->problems().empty());
}

TEST(ParamsSetup, TypesFollowTheRegistrationOrder) {
    auto host = fresh_host();
    ASSERT_EQ(host->send(PF_Cmd_PARAMS_SETUP), 0);
    std::vector<PF_ParamType> types;
    for (const Registration& r : host->registrations()) {
        types.push_back(r.def.param_type);
    }
    EXPECT_EQ(types, (std::vector<PF_ParamType>{7, 2, 7, 1, 1, 1, 1, 1, 13, 7, 5, 7, 2, 14}));
}

TEST(ParamsSetup, ParameterArrayHoldsTheDefaults) {
    auto host = fresh_host();
    ASSERT_EQ(host->send(PF_Cmd_PARAMS_SETUP), 0);
    ASSERT_EQ(host->param_count(), 15u);
    EXPECT_EQ(host->param(kCompletion).u.fd.value, 0);
    EXPECT_EQ(host->param(kOpacity).u.fd.value, 6553600);
    EXPECT_EQ(host->param(kRow).u.sd.value, 6);
    EXPECT_EQ(host->param(kColumn).u.sd.value, 8);
    EXPECT_EQ(host->param(kSplit).u.pd.value, 1);
    EXPECT_EQ(host->param(kColor).u.cd.value.alpha, 255);
    EXPECT_EQ(host->param(kColor).u.cd.value.red, 255);
}

TEST(ParamsSetup, NeedsNoSuites) {
    auto host = fresh_host();
    host->set_null_basic_suite(true);
    EXPECT_EQ(host->send(PF_Cmd_PARAMS_SETUP), 0);
    EXPECT_EQ(host->registrations().size(), 14u);
    EXPECT_EQ(host->out_data().num_params, 15);
}

TEST(ParamsSetup, RefusedRegistrationStopsTheSetup) {
    for (int refused : {1, 5, 14}) {
        SCOPED_TRACE("registration " + std::to_string(refused) + " refused");
        auto host = fresh_host();
        host->out_data().num_params = 77;
        host->fail_call(HostFn::add_param, refused, 0x321);
        EXPECT_EQ(host->send(PF_Cmd_PARAMS_SETUP), 0x321);
        EXPECT_EQ(host->calls(HostFn::add_param), refused);
        EXPECT_EQ(host->registrations().size(), static_cast<std::size_t>(refused - 1));
        EXPECT_EQ(host->out_data().num_params, 77);
        for (std::size_t i = 0; i < host->registrations().size(); ++i) {
            EXPECT_EQ(host->registrations()[i].def.uu.id, static_cast<A_long>(i + 1));
        }
        EXPECT_TRUE(host->problems().empty());
    }
}

}  // namespace
