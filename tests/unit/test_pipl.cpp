// The property list bytes, as the host reads them when it scans its plug-ins.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/entry_point.h"
#include "resources/pipl.h"
#include "simhost/sim_host.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t u32_at(const Bytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::uint16_t u16_at(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
std::string text_at(const Bytes& b, std::size_t at, std::size_t length) {
    return std::string(b.begin() + static_cast<std::ptrdiff_t>(at),
                       b.begin() + static_cast<std::ptrdiff_t>(at + length));
}

struct Property {
    std::string vendor;  // as stored
    std::string key;     // as stored
    std::uint32_t id;
    std::uint32_t length;
    std::size_t data_at;
};

std::vector<Property> parse(const Bytes& b) {
    std::vector<Property> out;
    std::size_t at = 10;
    const std::uint32_t count = u32_at(b, 6);
    for (std::uint32_t i = 0; i < count; ++i) {
        Property p{text_at(b, at, 4), text_at(b, at + 4, 4), u32_at(b, at + 8), u32_at(b, at + 12),
                   at + 16};
        out.push_back(p);
        at = p.data_at + ((p.length + 3) / 4) * 4;
    }
    EXPECT_EQ(at, b.size()) << "properties must end exactly at the end of the list";
    return out;
}

}  // namespace

TEST(PropertyList, HeaderOrderAndReversedCodes) {
    const Bytes b = build_pipl();
    ASSERT_EQ(b.size(), 286u);
    EXPECT_EQ(u16_at(b, 0), 1);
    EXPECT_EQ(u32_at(b, 2), 0u);
    EXPECT_EQ(u32_at(b, 6), 11u);

    const std::vector<Property> props = parse(b);
    ASSERT_EQ(props.size(), 11u);
    const char* keys[] = {"dnik", "eman", "gtac", "68xw", "RVPe", "RVSe",
                          "REVe", "FNIe", "OLGe", "ANMe", "LFea"};
    const std::uint32_t lengths[] = {4, 16, 8, 16, 4, 4, 4, 2, 4, 32, 4};
    for (std::size_t i = 0; i < props.size(); ++i) {
        EXPECT_EQ(props[i].vendor, "MIB8") << i;
        EXPECT_EQ(props[i].key, keys[i]) << i;
        EXPECT_EQ(props[i].id, 0u) << i;
        EXPECT_EQ(props[i].length, lengths[i]) << i;
    }
}

TEST(PropertyList, ContentsAndPadding) {
    const Bytes b = build_pipl();
    const std::vector<Property> p = parse(b);
    ASSERT_EQ(p.size(), 11u);
    EXPECT_EQ(text_at(b, p[0].data_at, 4), "TKFe");
    EXPECT_EQ(b[p[1].data_at], 15);
    EXPECT_EQ(text_at(b, p[1].data_at + 1, 15), "VarnokZentrilox");
    EXPECT_EQ(b[p[2].data_at], 6);
    EXPECT_EQ(text_at(b, p[2].data_at + 1, 6), "Varnok");
    EXPECT_EQ(b[p[2].data_at + 7], 0);
    EXPECT_EQ(text_at(b, p[3].data_at, 16), std::string("EntryPointFunc\0\0", 16));
    EXPECT_EQ(u16_at(b, p[4].data_at), 2);
    EXPECT_EQ(u16_at(b, p[4].data_at + 2), 0);
    EXPECT_EQ(u16_at(b, p[5].data_at), 12);
    EXPECT_EQ(u16_at(b, p[5].data_at + 2), 10);
    EXPECT_EQ(u32_at(b, p[6].data_at), 0x00080601u);
    // eINF: two counted zero bytes, then two bytes of padding.
    EXPECT_EQ(u32_at(b, p[7].data_at), 0u);
    EXPECT_EQ(u32_at(b, p[8].data_at), 0x06000040u);
    EXPECT_EQ(b[p[9].data_at], 28);
    EXPECT_EQ(text_at(b, p[9].data_at + 1, 28), "VarnokZentrilox by Dulmatera");
    EXPECT_EQ(text_at(b, p[9].data_at + 29, 3), std::string(3, '\0'));
    EXPECT_EQ(u32_at(b, p[10].data_at), 8u);
}

TEST(PropertyList, SerialisationPadsEveryPropertyToFourBytes) {
    const std::vector<PiplProperty> props = {
        {"ABCD", "wxyz", {1, 2, 3, 4, 5}}, {"8BIM", "kind", {}}, {"8BIM", "name", {9}}};
    const Bytes b = serialize_pipl(props);
    ASSERT_EQ(b.size(), 10u + 16 + 8 + 16 + 0 + 16 + 4);
    EXPECT_EQ(text_at(b, 10, 8), "DCBAzyxw");
    EXPECT_EQ(u32_at(b, 22), 5u);
    EXPECT_EQ(text_at(b, 26, 8), std::string("\1\2\3\4\5\0\0\0", 8));
    EXPECT_EQ(u32_at(b, 34 + 12), 0u);
    EXPECT_EQ(u32_at(b, 50 + 12), 1u);
    EXPECT_EQ(text_at(b, 66, 4), std::string("\x09\0\0\0", 4));
}

TEST(PropertyList, VersionAndFlagsMatchGlobalSetup) {
    simhost::SimHost host(&EntryPointFunc);
    ASSERT_EQ(host.send(PF_Cmd_GLOBAL_SETUP), PF_Err_NONE);
    const Bytes b = build_pipl();
    const std::vector<Property> p = parse(b);
    ASSERT_EQ(p.size(), 11u);
    EXPECT_EQ(u32_at(b, p[6].data_at), host.out_data().my_version);
    EXPECT_EQ(u32_at(b, p[8].data_at), static_cast<std::uint32_t>(host.out_data().out_flags));
}
