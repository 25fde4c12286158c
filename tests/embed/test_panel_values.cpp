// The panel's values of the front ends with no host against the module's own parameters, driven
// through the embedded host: the defaults, every value each parameter takes or refuses, and what
// the panel hides for every choice of the popups that hide.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "embed/panel_values.h"
#include "params/param_table.h"
#include "simhost/embedded_host.h"

namespace {

using simhost::embedded::Host;
using simhost::embedded::Status;

// The values agree with the parameters the module receives.
void expect_same_values(const Host& host, PanelValues values) {
    for (const ParamEntry& p : kParamTable) {
        const PF_ParamDef& def = *host.param(p.index);
        switch (p.type) {
            case ParamType::popup:
                EXPECT_EQ(*whole_value(values, p.index), def.u.pd.value);
                break;
            case ParamType::slider:
                EXPECT_EQ(*whole_value(values, p.index), def.u.sd.value);
                break;
            case ParamType::percent:
                EXPECT_EQ(percent_to_fixed(*percent_value(values, p.index)), def.u.fd.value);
                break;
            default:
                break;
        }
    }
    EXPECT_EQ(std::memcmp(&values.color, &host.param(kParamColor)->u.cd.value, sizeof(PF_Pixel)),
              0);
}

TEST(PanelValues, TakeRefuseAndHideAsTheModulesParameters) {
    Host host;
    ASSERT_EQ(host.status(), Status::ok);
    PanelValues values = zx::embed::default_values();
    expect_same_values(host, values);

    constexpr double kInf = std::numeric_limits<double>::infinity();
    for (int index = kParamInput; index <= kParamCount; ++index) {
        SCOPED_TRACE(index);
        const bool entry = index > kParamInput && index < kParamCount;
        const ParamEntry& p = entry ? param_entry(static_cast<ParamIndex>(index)) : kParamTable[0];
        const double last = p.type == ParamType::popup ? choice_count(p.choices) : p.valid_max;
        for (double v : {p.valid_min - 1.0, p.valid_min + 0.0, 0.5, 1.0, last - 0.5, last,
                         last + 1e-9, last + 1.0, std::nan(""), kInf, -kInf}) {
            EXPECT_EQ(zx::embed::set_value(values, index, v),
                      entry && host.set_value(index, v) == Status::ok)
                << v;
            expect_same_values(host, values);
        }
    }

    const int splits = choice_count(param_entry(kParamSplit).choices);
    const int overlaps = choice_count(param_entry(kParamOverlapMode).choices);
    for (int split = 1; split <= splits; ++split) {
        for (int overlap = 1; overlap <= overlaps; ++overlap) {
            ASSERT_TRUE(zx::embed::set_value(values, kParamSplit, split));
            ASSERT_TRUE(zx::embed::set_value(values, kParamOverlapMode, overlap));
            ASSERT_EQ(host.set_value(kParamSplit, split), Status::ok);
            ASSERT_EQ(host.set_value(kParamOverlapMode, overlap), Status::ok);
            simhost::embedded::Visibility hidden{};
            ASSERT_EQ(host.query_visibility(hidden), Status::ok);
            EXPECT_EQ(zx::embed::hidden_params(values), hidden) << split << ", " << overlap;
        }
    }
}

}  // namespace
