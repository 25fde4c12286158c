// The formats beyond PNG: the same render through every integer format, OpenEXR at float
// against the embedded float render of a premultiplied clip, forged headers, and the output
// guarantees for every format, --skip-existing's among them. Files are written and read here
// through OpenImageIO itself.
#include <OpenImageIO/imageio.h>

#include <cmath>
#include <cstring>
#include <utility>

#include "simhost/embedded_host.h"
#include "test_support.h"

namespace clitest {
namespace {

namespace fs = std::filesystem;
using OIIO::TypeDesc;

template <class T>
void write_pixels(const std::string& path, OIIO::ImageSpec header, const std::vector<T>& data,
                  TypeDesc type) {
    auto out = OIIO::ImageOutput::create(path);
    ASSERT_TRUE(out && out->open(path, header) && out->write_image(type, data.data()) &&
                out->close())
        << path;
}

template <class T>
std::vector<T> read_pixels(const std::string& path, TypeDesc type,
                           OIIO::ImageSpec* header = nullptr) {
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    auto in = OIIO::ImageInput::open(path, &config);
    if (!in) return {};
    const OIIO::ImageSpec& found = in->spec();
    std::vector<T> data(found.image_pixels() * std::size_t(found.nchannels));
    EXPECT_TRUE(in->read_image(0, 0, 0, found.nchannels, type, data.data())) << path;
    if (header) *header = found;
    return data;
}

TEST(Formats, PngTiffAndDpxAtSixteenBitsRenderTheSameSamples) {
    TempDir dir;
    const RawPng png = reference_picture16();
    write_raw_png(dir.file("in.png"), png);
    OIIO::ImageSpec rgba(png.width, png.height, 4, TypeDesc::UINT16);
    rgba.attribute("oiio:UnassociatedAlpha", 1);  // straight, as the PNG
    write_pixels(dir.file("in.tif"), rgba, png.samples, TypeDesc::UINT16);
    // DPX at 10 bits, colour alone: compared with the PNG of what the file holds, alpha full.
    std::vector<std::uint16_t> rgb;
    for (std::size_t i = 0; i < png.samples.size(); ++i)
        if (i % 4 != 3) rgb.push_back(png.samples[i]);
    OIIO::ImageSpec dpx(png.width, png.height, 3, TypeDesc::UINT16);
    dpx.attribute("oiio:BitsPerSample", 10);
    write_pixels(dir.file("in.dpx"), dpx, rgb, TypeDesc::UINT16);
    const auto ten = read_pixels<std::uint16_t>(dir.file("in.dpx"), TypeDesc::UINT16);
    RawPng held = png;
    for (std::size_t p = 0; p < held.samples.size() / 4; ++p) {
        for (std::size_t c = 0; c < 4; ++c)
            held.samples[p * 4 + c] = c < 3 ? ten[p * 3 + c] : 65535;
    }
    ASSERT_NE(held.samples, png.samples) << "10 bits lose something";
    write_raw_png(dir.file("held.png"), held);

    const std::vector<std::string> params{"--seed", "11", "--blend", "screen", "--opacity", "70"};
    const auto render = [&](const std::string& in, const std::string& out) {
        const RunResult run = run_tool(with({dir.file(in), "-o", dir.file(out)}, params));
        EXPECT_EQ(run.status, 0) << run.err;
        return read_pixels<std::uint16_t>(dir.file(out), TypeDesc::UINT16);
    };
    EXPECT_EQ(render("in.tif", "out.tif"), render("in.png", "out.png"));
    EXPECT_EQ(render("in.dpx", "dpx.png"), render("held.png", "held-out.png"));
}

// One parameter set as the command line gives it and as the embedded host takes it.
struct ParamSet {
    std::vector<std::string> args;
    std::vector<std::pair<ParamIndex, double>> values;
};

// The plug-in's float render of a premultiplied clip: straight colour, the float path,
// premultiplied again.
std::vector<float> embedded_float_render(std::vector<float> rgba, int w, int h,
                                         const ParamSet& set) {
    const auto through = [&](bool to_straight) {
        for (std::size_t i = 0; i < rgba.size(); i += 4) {
            for (std::size_t c = 0; c < 3 && rgba[i + 3] != 0.0f; ++c)
                rgba[i + c] = to_straight ? rgba[i + c] / rgba[i + 3] : rgba[i + c] * rgba[i + 3];
        }
    };
    through(true);
    simhost::embedded::Host host;
    for (const auto& [index, value] : set.values)
        EXPECT_EQ(host.set_value(index, value), simhost::embedded::Status::ok);
    std::vector<float> out(rgba.size());
    EXPECT_EQ(
        host.render({w, h, simhost::embedded::Depth::float32, simhost::embedded::Channels::rgba},
                    rgba.data(), w * 16, out.data(), w * 16),
        simhost::embedded::Status::ok);
    rgba = out;
    through(false);
    return rgba;
}

// A half's neighbours below and above as floats, for the round-to-nearest check.
float half_value(std::uint16_t bits) {
    const int exponent = bits >> 10 & 31;
    const float mantissa = static_cast<float>(bits & 1023);
    const float v =
        exponent == 0 ? std::ldexp(mantissa, -24) : std::ldexp(1024.0f + mantissa, exponent - 25);
    return bits & 0x8000 ? -v : v;
}

TEST(Formats, OpenExrFloatAndHalfEqualThePluginsFloatRenderOfAPremultipliedClip) {
    TempDir dir;
    const int w = 90, h = 60;
    std::vector<float> in;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int band = (x / 7 + y / 5) % 4;  // clear, opaque and two partial alphas
            const float a = band == 0 ? 0.0f : band == 1 ? 1.0f : 0.1f + 0.3f * float(band);
            const float straight[3] = {float(x % 50) / 20.0f, float(y) / 61.0f,
                                       0.3f + float(x * y % 7)};
            for (float s : straight) in.push_back(band == 0 ? s * 0.25f : s * a);
            in.push_back(a);
        }
    }
    const std::vector<ParamSet> sets{
        {{"--completion", "40", "--seed", "3"}, {{kParamCompletion, 40}, {kParamSeed, 3}}},
        {{"--completion", "75", "--mode", "euclidean", "--rows", "5", "--columns", "7", "--opacity",
          "60"},
         {{kParamCompletion, 75},
          {kParamMode, 2},
          {kParamRow, 5},
          {kParamColumn, 7},
          {kParamOpacity, 60}}},
        {{"--completion", "100", "--blend", "screen"},
         {{kParamCompletion, 100}, {kParamBlendMode, 5}}},
    };
    for (const TypeDesc type : {TypeDesc::FLOAT, TypeDesc::HALF}) {
        write_pixels(dir.file("in.exr"), OIIO::ImageSpec(w, h, 4, type), in, TypeDesc::FLOAT);
        const auto held = read_pixels<float>(dir.file("in.exr"), TypeDesc::FLOAT);
        for (const ParamSet& set : sets) {
            const RunResult run =
                run_tool(with({dir.file("in.exr"), "-o", dir.file("out.exr")}, set.args));
            ASSERT_EQ(run.status, 0) << run.err;
            const auto want = embedded_float_render(held, w, h, set);
            if (type == TypeDesc::FLOAT) {
                const auto got = read_pixels<float>(dir.file("out.exr"), TypeDesc::FLOAT);
                ASSERT_EQ(got.size(), want.size());
                EXPECT_EQ(std::memcmp(got.data(), want.data(), got.size() * 4), 0) << set.args[1];
                continue;
            }
            const auto got = read_pixels<std::uint16_t>(dir.file("out.exr"), TypeDesc::HALF);
            ASSERT_EQ(got.size(), want.size());
            for (std::size_t i = 0; i < got.size(); ++i) {
                const float v = half_value(got[i]);
                const float step = std::fabs(half_value(got[i] + 1) - v);  // a half's step here
                ASSERT_LE(std::fabs(want[i] - v), step / 2) << "sample " << i << " " << set.args[1];
            }
        }
    }
    // Nothing moved: half comes back bit for bit through straight colour and back.
    ASSERT_EQ(
        run_tool({dir.file("in.exr"), "--completion", "0", "-o", dir.file("same.exr")}).status, 0);
    EXPECT_EQ(read_pixels<std::uint16_t>(dir.file("same.exr"), TypeDesc::HALF),
              read_pixels<std::uint16_t>(dir.file("in.exr"), TypeDesc::HALF));
}

// An OpenEXR header of 16384 x 16384 float RGBA with its offset table, and no pixels: 8 KiB
// that claim 4 GiB.
std::string forged_exr() {
    std::string exr("\x76\x2f\x31\x01\x02\0\0\0", 8);
    const auto put = [&exr](std::int32_t v) { exr.append(reinterpret_cast<const char*>(&v), 4); };
    const auto attr = [&](const char* name, const char* type, const std::string& value) {
        exr.append(name, std::strlen(name) + 1);
        exr.append(type, std::strlen(type) + 1);
        put(static_cast<std::int32_t>(value.size()));
        exr += value;
    };
    std::string channels;
    for (const char* c : {"A", "B", "G", "R"})
        channels += std::string(c, 2) + std::string("\2\0\0\0\0\0\0\0\1\0\0\0\1\0\0\0", 16);
    const std::string box("\0\0\0\0\0\0\0\0\xff\x3f\0\0\xff\x3f\0\0", 16);
    attr("channels", "chlist", channels + std::string(1, '\0'));
    attr("compression", "compression", std::string(1, '\3'));
    attr("dataWindow", "box2i", box);
    attr("displayWindow", "box2i", box);
    attr("lineOrder", "lineOrder", std::string(1, '\0'));
    attr("pixelAspectRatio", "float", std::string("\0\0\x80\x3f", 4));
    attr("screenWindowCenter", "v2f", std::string(8, '\0'));
    attr("screenWindowWidth", "float", std::string("\0\0\x80\x3f", 4));
    exr.push_back('\0');
    const std::uint64_t end = exr.size() + 1024 * 8;
    for (int i = 0; i < 1024; ++i) exr.append(reinterpret_cast<const char*>(&end), 8);
    return exr;
}

TEST(Formats, AForgedOpenExrHeaderIsRefusedBeforeAnyLargeAllocation) {
    TempDir dir;
    write_file(dir.file("forged.exr"), forged_exr());
    Limits limits;
#if !defined(__SANITIZE_ADDRESS__)
    limits.address_space = 768LL << 20;
#endif
    for (const char* script :
         {"\"$0\" \"$1\" -o \"$2\"", "cat \"$1\" | \"$0\" /dev/stdin -o \"$2\""}) {
        const RunResult run =
            run_program("/bin/bash",
                        {"-c", script, ZX_TOOL, dir.file("forged.exr"), dir.file("x.exr")}, limits);
        EXPECT_EQ(run.status, 1) << script;
        EXPECT_NE(run.err.find("cannot hold a 16384x16384 picture"), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(dir.file("x.exr")));
    }
}

TEST(Formats, EveryFormatIsWrittenWholeNeverOverItsInputAndToStandardOutput) {
    for (const std::string ext : {"png", "exr", "tif", "dpx", "jpg"}) {
        TempDir dir;
        const std::string out = dir.file("out." + ext);
        write_file(out, "the output of an earlier run");
        fs::permissions(out,
                        fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        Limits limits;
        limits.file_size = 2048;  // a write that fails part-way leaves the earlier file
        RunResult run = run_tool({"--size", "256x192", "-o", out}, limits);
        EXPECT_EQ(run.status, 1) << ext;
        EXPECT_NE(run.err.find("cannot write output '" + out + "'"), std::string::npos) << run.err;
        EXPECT_EQ(read_file(out), "the output of an earlier run") << ext;
        run = run_tool({"--size", "256x192", "-o", out});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(read_pixels<float>(out, TypeDesc::FLOAT).size(),
                  std::size_t{256 * 192} * (ext == "jpg" ? 3 : 4))
            << ext;
        EXPECT_EQ(fs::status(out).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        // --skip-existing keeps a whole frame only: not one cut short, nor one of another depth
        // (a JPEG is 8-bit whatever the run's depth).
        const std::string whole = read_file(out);
        const std::pair<std::string, std::string> cases[] = {
            {whole, "8"}, {whole.substr(0, whole.size() * 2 / 3), "8"}, {whole, "float"}};
        for (const auto& [bytes, depth] : cases) {
            write_file(out, bytes);
            run = run_tool({"--size", "256x192", "--depth", depth, "-o", out, "--skip-existing"});
            const bool kept = bytes == whole && (depth == "8" || ext == "jpg");
            EXPECT_NE(run.err.find(kept ? "1 of 1 frames were already complete"
                                        : "1 file was not a complete frame"),
                      std::string::npos)
                << ext << " at " << depth << ": " << run.err;
        }
        write_file(out, whole);
        // The output as its own input is refused; on standard output it keeps its format.
        const std::string before = read_file(out);
        EXPECT_EQ(run_tool({out, "-o", out}).status, 2) << ext;
        EXPECT_EQ(read_file(out), before) << ext;
        EXPECT_EQ(dir.contents().size(), 1u) << "no temporary file stays behind (" << ext << ")";
        ASSERT_EQ(run_tool({out, "--seed", "4", "-o", dir.file("again." + ext)}).status, 0);
        run = run_tool({out, "--seed", "4", "-o", "-"});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out.substr(0, 4), read_file(dir.file("again." + ext)).substr(0, 4));
        write_file(dir.file("stdout." + ext), run.out);  // DPX headers hold the file's name
        EXPECT_EQ(read_pixels<float>(dir.file("stdout." + ext), TypeDesc::FLOAT),
                  read_pixels<float>(dir.file("again." + ext), TypeDesc::FLOAT))
            << ext;
    }
}

}  // namespace
}  // namespace clitest
