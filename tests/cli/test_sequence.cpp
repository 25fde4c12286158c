// Sequences: Completion going linearly over the frames, the names the counter gives them, and
// the progress bar fed by the effect's progress calls.
#include <cerrno>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "cli/tool.h"
#include "test_support.h"

namespace clitest {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> names_in(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : dir.contents()) names.push_back(name);
    return names;
}

TEST(Sequence, FramesFollowCompletionLinearlyAndAreNumberedFromZero) {
    TempDir dir;
    const RawPng input = reference_picture8();
    write_raw_png(dir.file("in.png"), input);
    const RunResult run = run_tool({dir.file("in.png"), "--frames", "5", "--from", "10", "--to",
                                    "90", "--seed", "3", "-o", dir.file("seq_%03d.png")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(names_in(dir),
              (std::vector<std::string>{"in.png", "seq_000.png", "seq_001.png", "seq_002.png",
                                        "seq_003.png", "seq_004.png"}));
    const worlds::World layer = world_of(input);
    for (int k = 0; k < 5; ++k) {
        const double completion = 10.0 + 80.0 * k / 4;
        const std::string name = dir.file("seq_00" + std::to_string(k) + ".png");
        EXPECT_EQ(compare(read_raw_png(name), render_direct(layer,
                                                            [completion](auto& h) {
                                                                h.set_percent(kParamCompletion,
                                                                              completion);
                                                                h.set_slider(kParamSeed, 3);
                                                            })),
                  "")
            << "frame " << k;
    }
}

TEST(Sequence, DefaultRangeRunsFromInputToTargets) {
    TempDir dir;
    const RawPng input = reference_picture8();
    write_raw_png(dir.file("in.png"), input);
    const RunResult run =
        run_tool({dir.file("in.png"), "--frames", "3", "-o", dir.file("f%d.png")});
    ASSERT_EQ(run.status, 0) << run.err;
    const worlds::World layer = world_of(input);
    EXPECT_EQ(compare(read_raw_png(dir.file("f0.png")), layer), "");  // 0 %: the input itself
    EXPECT_EQ(compare(read_raw_png(dir.file("f1.png")), render_direct(layer)), "");
    EXPECT_EQ(compare(read_raw_png(dir.file("f2.png")),
                      render_direct(layer, [](auto& h) { h.set_percent(kParamCompletion, 100); })),
              "");
    EXPECT_FALSE(fs::exists(dir.file("f3.png")));
}

TEST(Sequence, OneFrameUsesFromAndTheCounterFormatsLikePrintf) {
    TempDir dir;
    const RawPng input = reference_picture8();
    write_raw_png(dir.file("in.png"), input);
    const RunResult run = run_tool({dir.file("in.png"), "--frames", "1", "--from", "30", "--to",
                                    "80", "-o", dir.file("p%%_%4i.png")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(names_in(dir), (std::vector<std::string>{"in.png", "p%_   0.png"}));
    EXPECT_EQ(compare(read_raw_png(dir.file("p%_   0.png")),
                      render_direct(world_of(input),
                                    [](auto& h) { h.set_percent(kParamCompletion, 30); })),
              "");
}

TEST(Sequence, CounterReachesAllDigits) {
    TempDir dir;
    const RunResult run =
        run_tool({"--size", "16x12", "--frames", "12", "--to", "50", "-o", dir.file("c%u.png")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::exists(dir.file("c0.png")));
    EXPECT_TRUE(fs::exists(dir.file("c11.png")));
    EXPECT_FALSE(fs::exists(dir.file("c12.png")));
}

TEST(Progress, BarFollowsEveryFrameWhenForcedAndStaysQuietOtherwise) {
    TempDir dir;
    const std::vector<std::string> args{"--size", "64x48", "--frames",
                                        "3",      "-o",    dir.file("f%d.png")};
    const RunResult forced = run_tool(with(args, {"--progress", "--jobs", "1"}));
    ASSERT_EQ(forced.status, 0) << forced.err;
    EXPECT_NE(forced.err.find("frame 1/3"), std::string::npos) << forced.err;
    EXPECT_NE(forced.err.find("frame 3/3"), std::string::npos) << forced.err;
    EXPECT_NE(forced.err.find("100.0%"), std::string::npos) << forced.err;
    // Within a frame the bar moves with the effect's own reports, not only at frame ends.
    EXPECT_NE(forced.err.find("frame 2/3 [##########----"), std::string::npos) << forced.err;

    const RunResult not_a_terminal = run_tool(args);
    ASSERT_EQ(not_a_terminal.status, 0);
    EXPECT_EQ(not_a_terminal.err, "");
    const RunResult quiet = run_tool(with(args, {"--progress", "--quiet"}));
    ASSERT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, "");

    // Frames rendered at once: the bar counts finished frames.
    const RunResult parallel = run_tool(with(args, {"--progress", "--jobs", "3"}));
    ASSERT_EQ(parallel.status, 0) << parallel.err;
    EXPECT_NE(parallel.err.find("frame 3/3 [##############################] 100.0%"),
              std::string::npos)
        << parallel.err;
}

TEST(Jobs, FramesAreTheSameWhateverTheNumberOfJobs) {
    TempDir dir;
    const std::vector<std::string> common{"--size",  "97x61",     "--frames",      "7",
                                          "--split", "row-width", "--strip-width", "9",
                                          "--blend", "multiply",  "--opacity",     "60"};
    std::map<std::string, std::string> reference;
    for (const char* jobs : {"1", "3", "7", ""}) {
        TempDir out;
        std::vector<std::string> args = with(common, {"-o", out.file("f%d.png")});
        if (*jobs != 0) args = with(args, {"--jobs", jobs});
        const RunResult run = run_tool(args);
        ASSERT_EQ(run.status, 0) << jobs << ": " << run.err;
        if (reference.empty()) {
            reference = out.contents();
            ASSERT_EQ(reference.size(), 7u);
        } else {
            EXPECT_EQ(out.contents(), reference) << "--jobs " << jobs;
        }
    }
}

TEST(Jobs, AFailedFrameEndsTheRunAsOneWorkerWould) {
    // Frames 3 and later have no folder to go to, and frame 1's name is taken by a folder:
    // whichever worker meets a failure first, frame 1 is reported, frame 0 is written, and no
    // frame after it, nor a temporary file, is left.
    TempDir dir;
    for (int k = 0; k < 3; ++k) fs::create_directory(dir.file("d" + std::to_string(k)));
    fs::create_directory(dir.file("d1/f.png"));
    for (const char* jobs : {"2", "4", "8"}) {
        const RunResult run = run_tool(
            {"--size", "32x24", "--frames", "8", "--jobs", jobs, "-o", dir.file("d%d/f.png")});
        EXPECT_EQ(run.status, 1) << jobs;
        EXPECT_NE(run.err.find("d1/f.png"), std::string::npos) << run.err;
        EXPECT_TRUE(fs::is_regular_file(dir.file("d0/f.png")));
        EXPECT_TRUE(fs::is_empty(dir.file("d2"))) << jobs;
        EXPECT_TRUE(fs::is_empty(dir.file("d1/f.png"))) << jobs;
    }
}

TEST(Jobs, ThreadsThatCannotStartLeaveTheirFramesToTheOthers) {
    const std::vector<std::string> common{"--size", "40x30", "--frames", "9", "--quiet"};
    TempDir one;
    ASSERT_EQ(run_tool(with(common, {"--jobs", "1", "-o", one.file("f%d.png")})).status, 0);
    for (int started : {0, 2}) {
        int tries = 0;
        const zx::cli::ThreadStarter start = [&](std::function<void()> work) {
            if (tries++ == started) throw std::system_error(EAGAIN, std::generic_category());
            return std::thread(std::move(work));
        };
        TempDir out;
        const std::vector<std::string> args =
            with(common, {"--jobs", "6", "-o", out.file("f%d.png")});
        std::vector<const char*> argv{"zentrilox"};
        for (const std::string& a : args) argv.push_back(a.c_str());
        EXPECT_EQ(zx::cli::run(static_cast<int>(argv.size()), argv.data(), start), 0) << started;
        EXPECT_EQ(tries, started + 1);
        EXPECT_EQ(out.contents(), one.contents()) << started;
    }
}

TEST(PngCompression, LevelsChangeTheSizeNotThePixels) {
    TempDir dir;
    const std::vector<std::string> args{"--size", "160x120", "--completion", "40"};
    ASSERT_EQ(run_tool(with(args, {"--png-compression", "0", "-o", dir.file("l0.png")})).status, 0);
    ASSERT_EQ(run_tool(with(args, {"--png-compression", "9", "-o", dir.file("l9.png")})).status, 0);
    ASSERT_EQ(run_tool(with(args, {"-o", dir.file("default.png")})).status, 0);
    const RawPng fastest = read_raw_png(dir.file("l0.png"));
    EXPECT_EQ(compare(fastest, world_of(read_raw_png(dir.file("l9.png")))), "");
    EXPECT_EQ(compare(fastest, world_of(read_raw_png(dir.file("default.png")))), "");
    EXPECT_GT(fs::file_size(dir.file("l0.png")), 2 * fs::file_size(dir.file("l9.png")));
    for (const char* bad : {"10", "-1", "fast"}) {
        const RunResult run =
            run_tool(with(args, {"--png-compression", bad, "-o", dir.file("x.png")}));
        EXPECT_EQ(run.status, 2) << bad;
        EXPECT_NE(run.err.find("--png-compression"), std::string::npos) << run.err;
    }
    EXPECT_EQ(run_tool(with(args, {"--jobs", "0", "-o", dir.file("x.png")})).status, 2);
    EXPECT_FALSE(fs::exists(dir.file("x.png")));
}

}  // namespace
}  // namespace clitest
