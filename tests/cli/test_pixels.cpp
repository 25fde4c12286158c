// How file samples become the effect's channels and back: the 16-bit formulas, changes of
// working depth, every PNG kind libpng expands, and the built-in test card. Completion 0 makes
// the effect copy its input, so the output shows the conversions alone.
#include <functional>
#include <set>
#include <tuple>

#include "composite/pixel_traits.h"
#include "test_support.h"

namespace clitest {
namespace {

constexpr std::uint32_t to16(std::uint32_t c8) {
    return channel8_to_16(static_cast<A_u_char>(c8));
}
constexpr std::uint32_t to8(std::uint32_t c16) {
    return channel16_to_8(static_cast<A_u_short>(c16));
}

RawPng run_copy(const TempDir& dir, const RawPng& input, const std::vector<std::string>& more) {
    write_raw_png(dir.file("in.png"), input);
    const RunResult run =
        run_tool(with({dir.file("in.png"), "--completion", "0", "-o", dir.file("out.png")}, more));
    EXPECT_EQ(run.status, 0) << run.err;
    return read_raw_png(dir.file("out.png"));
}

// Every 16-bit value once per channel, each channel shifted so that no two agree.
RawPng every_16bit_value() {
    return make_rgba(256, 256, 16, [](int x, int y, int c) {
        return static_cast<unsigned>(y * 256 + x + c * 16411) & 0xFFFF;
    });
}

TEST(Depth, SixteenBitChannelsSurviveTheFileExactly) {
    TempDir dir;
    // Files holding only encoded channels come back unchanged: channel -> sample -> channel.
    const RawPng input = make_rgba(182, 182, 16, [](int x, int y, int c) {
        return encode16(static_cast<unsigned>(y * 182 + x + c * 9000) % 32769);
    });
    const RawPng out = run_copy(dir, input, {});
    ASSERT_EQ(out.bit_depth, 16);
    EXPECT_EQ(out.samples, input.samples);
}

TEST(Depth, EverySixteenBitSampleFollowsTheFormulas) {
    TempDir dir;
    const RawPng input = every_16bit_value();
    const RawPng out = run_copy(dir, input, {});
    ASSERT_EQ(out.samples.size(), input.samples.size());
    ASSERT_EQ(out.bit_depth, 16);
    for (std::size_t i = 0; i < input.samples.size(); ++i) {
        ASSERT_EQ(out.samples[i], encode16(decode16(input.samples[i]))) << "sample " << i;
    }
}

TEST(Depth, EightBitThroughSixteenAndBackIsExact) {
    TempDir dir;
    const RawPng input = make_rgba(256, 4, 8, [](int x, int y, int c) {
        return static_cast<unsigned>(x + 67 * c + 31 * y) & 0xFF;
    });
    const RawPng deep = run_copy(dir, input, {"--depth", "16"});
    ASSERT_EQ(deep.bit_depth, 16);
    for (std::size_t i = 0; i < input.samples.size(); ++i) {
        ASSERT_EQ(deep.samples[i], encode16(to16(input.samples[i]))) << "sample " << i;
    }
    TempDir back_dir;
    const RawPng back = run_copy(back_dir, deep, {"--depth", "8"});
    ASSERT_EQ(back.bit_depth, 8);
    EXPECT_EQ(back.samples, input.samples);
}

TEST(Depth, SixteenBitFileAtEightBits) {
    TempDir dir;
    const RawPng input = every_16bit_value();
    const RawPng out = run_copy(dir, input, {"--depth", "8"});
    ASSERT_EQ(out.bit_depth, 8);
    for (std::size_t i = 0; i < input.samples.size(); ++i) {
        ASSERT_EQ(out.samples[i], to8(decode16(input.samples[i]))) << "sample " << i;
    }
}

// A PNG kind and the RGBA samples the tool must give for it.
struct Kind {
    std::string name;
    RawPng file;
    int out_depth;
    std::function<unsigned(int x, int y, int c)> expected;
};

unsigned grey(int x, int y) {
    return static_cast<unsigned>(x * 7 + y * 13) & 0xFF;
}

template <class F>
RawPng make_png(int color_type, int depth, int channels, F sample) {
    RawPng p{20, 9, depth, color_type, false, {}, {}};
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            for (int c = 0; c < channels; ++c)
                p.samples.push_back(static_cast<std::uint16_t>(sample(x, y, c)));
    return p;
}

std::vector<Kind> kinds() {
    std::vector<Kind> k;
    k.push_back({"Grey8", make_png(0, 8, 1, [](int x, int y, int) { return grey(x, y); }), 8,
                 [](int x, int y, int c) { return c == 3 ? 255u : grey(x, y); }});
    k.push_back({"Grey1", make_png(0, 1, 1, [](int x, int y, int) { return (x + y) & 1; }), 8,
                 [](int x, int y, int c) { return c == 3 || ((x + y) & 1) ? 255u : 0u; }});
    k.push_back(
        {"GreyAlpha16",
         make_png(4, 16, 2,
                  [](int x, int y, int c) { return c == 0 ? grey(x, y) * 256 + 3 : 40000u + x; }),
         16, [](int x, int y, int c) {
             return encode16(decode16(c == 3 ? 40000u + x : grey(x, y) * 256 + 3));
         }});
    k.push_back({"Rgb16",
                 make_png(2, 16, 3, [](int x, int y, int c) { return grey(x, y) * 251 + c * 7; }),
                 16, [](int x, int y, int c) {
                     return c == 3 ? 65535u : encode16(decode16(grey(x, y) * 251 + c * 7));
                 }});
    RawPng palette = make_png(3, 8, 1, [](int x, int y, int) { return (x + 2 * y) % 4; });
    palette.palette = {{{10, 20, 30, 255}}, {{200, 0, 0, 128}}, {{0, 250, 5, 0}}, {{9, 9, 9, 60}}};
    k.push_back(
        {"PaletteWithTransparency", palette, 8, [p = palette](int x, int y, int c) {
             return unsigned{
                 p.palette[static_cast<std::size_t>((x + 2 * y) % 4)][static_cast<std::size_t>(c)]};
         }});
    RawPng interlaced =
        make_png(6, 8, 4, [](int x, int y, int c) { return grey(x, y) ^ (c * 60); });
    interlaced.interlaced = true;
    k.push_back({"InterlacedRgba8", interlaced, 8,
                 [](int x, int y, int c) { return grey(x, y) ^ (c * 60); }});
    return k;
}

void PrintTo(const Kind& k, std::ostream* os) {
    *os << k.name;
}

class PngKind : public testing::TestWithParam<Kind> {};

TEST_P(PngKind, ExpandsToRgba) {
    const Kind& kind = GetParam();
    TempDir dir;
    const RawPng out = run_copy(dir, kind.file, {});
    ASSERT_EQ(out.color_type, 6);
    ASSERT_EQ(out.bit_depth, kind.out_depth);
    ASSERT_EQ(out.width, kind.file.width);
    ASSERT_EQ(out.height, kind.file.height);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
            for (int c = 0; c < 4; ++c)
                ASSERT_EQ(out.at(x, y, c), kind.expected(x, y, c))
                    << "pixel (" << x << "," << y << ") channel " << c;
}

INSTANTIATE_TEST_SUITE_P(Cli, PngKind, testing::ValuesIn(kinds()),
                         [](const auto& info) { return info.param.name; });

TEST(TestCard, DefaultCardIsOpaqueWithADistinctCellPerDefaultBlock) {
    TempDir dir;
    const RunResult run = run_tool({"--completion", "0", "-o", dir.file("card.png")});
    ASSERT_EQ(run.status, 0) << run.err;
    const RawPng card = read_raw_png(dir.file("card.png"));
    ASSERT_EQ(std::tie(card.width, card.height, card.bit_depth, card.color_type),
              std::make_tuple(640, 480, 8, 6));
    for (int y = 0; y < card.height; ++y)
        for (int x = 0; x < card.width; ++x) ASSERT_EQ(card.at(x, y, 3), 255);
    // Default Row 6 x Column 8: a point inside each block, off the labels, differs per block.
    std::set<std::tuple<int, int, int>> colours;
    for (int i = 0; i < 6; ++i) {
        for (int j = 0; j < 8; ++j) {
            const int x = j * 80 + 12;
            const int y = i * 80 + 12;
            colours.insert({card.at(x, y, 0), card.at(x, y, 1), card.at(x, y, 2)});
        }
    }
    EXPECT_EQ(colours.size(), 48u);
}

TEST(TestCard, SizeAndDepthApply) {
    TempDir dir;
    ASSERT_EQ(run_tool({"--size", "160x90", "--completion", "0", "-o", dir.file("8.png")}).status,
              0);
    ASSERT_EQ(run_tool({"--size", "160x90", "--completion", "0", "--depth", "16", "-o",
                        dir.file("16.png")})
                  .status,
              0);
    const RawPng card8 = read_raw_png(dir.file("8.png"));
    const RawPng card16 = read_raw_png(dir.file("16.png"));
    ASSERT_EQ(std::tie(card8.width, card8.height, card8.bit_depth), std::make_tuple(160, 90, 8));
    ASSERT_EQ(card16.bit_depth, 16);
    ASSERT_EQ(card16.samples.size(), card8.samples.size());
    for (std::size_t i = 0; i < card8.samples.size(); ++i) {
        ASSERT_EQ(card16.samples[i], encode16(to16(card8.samples[i]))) << "sample " << i;
    }
}

}  // namespace
}  // namespace clitest
