// Footage: input sequences read frame by frame, transitions from INPUT to B, and --range
// pieces that add up to the whole run.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "composite/blend_ops.h"
#include "test_support.h"

namespace clitest {
namespace {

namespace fs = std::filesystem;

// Frame k of a small input sequence: the reference picture with its colours shifted.
RawPng frame_picture(int k) {
    RawPng png = reference_picture8();
    for (std::size_t i = 0; i < png.samples.size(); ++i) {
        if (i % 4 != 3)
            png.samples[i] = static_cast<std::uint16_t>((png.samples[i] + 37 * k) & 255);
    }
    return png;
}

// upper over lower, with the effect's Normal operator.
worlds::World over(const worlds::World& upper, const worlds::World& lower) {
    worlds::World out = lower;
    for (A_long y = 0; y < out.height(); ++y) {
        for (A_long x = 0; x < out.width(); ++x) {
            out.px8(x, y) = BlendOp<BlendKind::over>{}(lower.px8(x, y), upper.px8(x, y));
        }
    }
    return out;
}

TEST(Footage, InputSequenceRendersFrameByFrameAndStopsAtAMissingFrame) {
    for (const char* jobs : {"1", "3"}) {
        SCOPED_TRACE(std::string("jobs ") + jobs);
        TempDir dir;
        for (int k : {0, 1, 3})
            write_raw_png(dir.file("in_" + std::to_string(k) + ".png"), frame_picture(k));
        const RunResult run = run_tool({dir.file("in_%d.png"), "--frames", "4", "--jobs", jobs,
                                        "--seed", "5", "-o", dir.file("out_%02d.png")});
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("in_2.png"), std::string::npos) << run.err;
        for (int k : {0, 1}) {
            const double completion = 100.0 * k / 3;
            EXPECT_EQ(compare(read_raw_png(dir.file("out_0" + std::to_string(k) + ".png")),
                              render_direct(world_of(frame_picture(k)),
                                            [&](auto& h) {
                                                h.set_percent(kParamCompletion, completion);
                                                h.set_slider(kParamSeed, 5);
                                            })),
                      "")
                << "frame " << k;
        }
        EXPECT_FALSE(fs::exists(dir.file("out_02.png")));
        EXPECT_FALSE(fs::exists(dir.file("out_03.png")));
    }
}

// t = 0, 50 - e, 50 and 100 against the definition rebuilt from direct renders.
TEST(Footage, TransitionFollowsTheRuleAroundItsEndsAndHalfWay) {
    TempDir dir;
    const RawPng a = frame_picture(0);
    const RawPng b = frame_picture(2);
    write_raw_png(dir.file("a.png"), a);
    write_raw_png(dir.file("b.png"), b);
    const worlds::World wa = world_of(a);
    const worlds::World wb = world_of(b);
    const auto shuffled = [](const worlds::World& w, double completion) {
        return render_direct(w, [&](auto& h) {
            h.set_percent(kParamCompletion, completion);
            h.set_popup(kParamSplit, kSplitHeightColumn);
            h.set_popup(kParamBlendMode, choice_number(kParamBlendMode, "Overlay"));
        });
    };
    const struct {
        const char* t;
        worlds::World expected;
    } cases[] = {
        {"0", over(shuffled(wa, 0), wb)},
        {"49.99999999999999", over(shuffled(wa, 100), wb)},  // A's side, rounded to 100 %
        {"50", over(shuffled(wb, 100), wa)},
        {"100", over(shuffled(wb, 0), wa)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("t ") + c.t);
        const RunResult run =
            run_tool({dir.file("a.png"), "--transition-to", dir.file("b.png"), "--completion", c.t,
                      "--split", "height-column", "--blend", "overlay", "-o", dir.file("out.png")});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(compare(read_raw_png(dir.file("out.png")), c.expected), "");
    }
    EXPECT_NE(cases[1].expected.first_difference(cases[2].expected), "");
}

TEST(Footage, RangePiecesAddUpToTheWholeRun) {
    TempDir dir;
    for (int k = 0; k < 6; ++k)
        write_raw_png(dir.file("in" + std::to_string(k) + ".png"), frame_picture(k));
    write_raw_png(dir.file("b.png"), frame_picture(9));
    fs::create_directory(dir.file("whole"));
    fs::create_directory(dir.file("farm"));
    const std::vector<std::string> common = {dir.file("in%d.png"),
                                             "--transition-to",
                                             dir.file("b.png"),
                                             "--frames",
                                             "6",
                                             "--from",
                                             "10",
                                             "--to",
                                             "95",
                                             "--seed",
                                             "4"};
    ASSERT_EQ(run_tool(with(common, {"-o", dir.file("whole/f%03d.png")})).status, 0);
    for (const auto& [range, jobs] :
         {std::pair{"0-2", "2"}, std::pair{"3-3", "1"}, std::pair{"4-5", "1"}}) {
        const RunResult run = run_tool(
            with(common, {"--range", range, "--jobs", jobs, "-o", dir.file("farm/f%03d.png")}));
        ASSERT_EQ(run.status, 0) << run.err;
    }
    std::vector<std::string> whole, farm;
    for (const auto& e : fs::directory_iterator(dir.file("whole")))
        whole.push_back(e.path().filename());
    for (const auto& e : fs::directory_iterator(dir.file("farm")))
        farm.push_back(e.path().filename());
    std::sort(whole.begin(), whole.end());
    std::sort(farm.begin(), farm.end());
    ASSERT_EQ(whole.size(), 6u);
    ASSERT_EQ(farm, whole);
    for (const std::string& name : whole) {
        EXPECT_EQ(read_file(dir.file("farm/" + name)), read_file(dir.file("whole/" + name)))
            << name;
    }
}

TEST(Footage, PicturesOfDifferentSizesAreRefused) {
    TempDir dir;
    write_raw_png(dir.file("a.png"), reference_picture8());
    write_raw_png(dir.file("small.png"), make_rgba(95, 64, 8, [](int, int, int) { return 200; }));
    const RunResult run = run_tool(
        {dir.file("a.png"), "--transition-to", dir.file("small.png"), "-o", dir.file("out.png")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("is 95x64 but INPUT"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("same size"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(dir.file("out.png")));
}

}  // namespace
}  // namespace clitest
