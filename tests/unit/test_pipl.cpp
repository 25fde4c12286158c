// The property list bytes, as the host reads them when it scans its plug-ins.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "entry/entry_point.h"
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

Bytes from_hex(const std::string& hex) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

// The 32-bit module's property list as released: hosts already know the effect by these bytes.
const std::string kWin32Pipl =
    "0100000000000b0000004d494238646e696b0000000004000000544b46654d49"
    "4238656d616e00000000100000000f5661726e6f6b5a656e7472696c6f784d49"
    "4238677461630000000008000000065661726e6f6b004d494238363878770000"
    "000010000000456e747279506f696e7446756e6300004d494238525650650000"
    "000004000000020000004d4942385256536500000000040000000c000a004d49"
    "4238524556650000000004000000010608004d494238464e4965000000000200"
    "0000000000004d4942384f4c47650000000004000000400000064d494238414e"
    "4d6500000000200000001c5661726e6f6b5a656e7472696c6f78206279204475"
    "6c6d61746572610000004d4942384c466561000000000400000008000000";

// Where the entry point property's key sits: header, three properties before it, its vendor.
constexpr std::size_t kEntryKeyAt = 10 + (16 + 4) + (16 + 16) + (16 + 8) + 4;

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
    const Bytes b = build_pipl(PiplTarget::win32);
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
    const Bytes b = build_pipl(PiplTarget::win32);
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
    const Bytes b = build_pipl(PiplTarget::win32);
    const std::vector<Property> p = parse(b);
    ASSERT_EQ(p.size(), 11u);
    EXPECT_EQ(u32_at(b, p[6].data_at), host.out_data().my_version);
    EXPECT_EQ(u32_at(b, p[8].data_at), static_cast<std::uint32_t>(host.out_data().out_flags));
}

TEST(PropertyList, Win32BytesAreTheReleasedOnes) {
    const Bytes expected = from_hex(kWin32Pipl);
    ASSERT_EQ(expected.size(), 286u);
    EXPECT_EQ(build_pipl(PiplTarget::win32), expected);
}

TEST(PropertyList, Win64DiffersOnlyInTheEntryPointKey) {
    Bytes expected = from_hex(kWin32Pipl);
    ASSERT_EQ(text_at(expected, kEntryKeyAt, 4), "68xw");
    for (std::size_t i = 0; i < 4; ++i) expected[kEntryKeyAt + i] = "4668"[i];
    const Bytes b = build_pipl(PiplTarget::win64);
    EXPECT_EQ(b, expected);

    const std::vector<Property> p = parse(b);
    ASSERT_EQ(p.size(), 11u);
    EXPECT_EQ(p[3].vendor, "MIB8");
    EXPECT_EQ(p[3].key, "4668");
    EXPECT_EQ(p[3].length, 16u);
    EXPECT_EQ(text_at(b, p[3].data_at, 16), std::string("EntryPointFunc\0\0", 16));
}

TEST(PropertyList, TargetNames) {
    PiplTarget t = PiplTarget::win32;
    ASSERT_TRUE(parse_pipl_target("win64", t));
    EXPECT_EQ(t, PiplTarget::win64);
    ASSERT_TRUE(parse_pipl_target("win32", t));
    EXPECT_EQ(t, PiplTarget::win32);
    for (const char* bad : {"", "win", "Win64", "win64 ", "x64", "8664"}) {
        t = PiplTarget::win64;
        EXPECT_FALSE(parse_pipl_target(bad, t)) << '"' << bad << '"';
        EXPECT_EQ(t, PiplTarget::win64) << "a rejected name leaves the target alone";
    }
    EXPECT_STREQ(pipl_target_name(PiplTarget::win32), "win32");
    EXPECT_STREQ(pipl_target_name(PiplTarget::win64), "win64");
}
