// The README's example strips: the script renders them with the tool and joins them with the
// montage helper, panel by panel in order.
#include <filesystem>

#include "test_support.h"

namespace clitest {
namespace {

namespace fs = std::filesystem;

TEST(Examples, ScriptJoinsTheFiveCompletionsOfEverySplit) {
    TempDir dir;
    const std::string build = fs::path(ZX_TOOL).parent_path().parent_path().string();
    const RunResult run = run_program(
        "/bin/bash",
        {std::string(ZX_SOURCE_DIR) + "/scripts/render-examples.sh", build, dir.file("out")});
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(
        run_tool({"--size", "320x240", "--completion", "0", "-o", dir.file("card.png")}).status, 0);
    ASSERT_EQ(run_tool({"--size", "320x240", "--seed", "7", "--split", "row-width", "--rows", "6",
                        "--strip-width", "40", "--completion", "100", "-o", dir.file("rw.png")})
                  .status,
              0);
    const RawPng card = read_raw_png(dir.file("card.png"));
    const RawPng row_width_end = read_raw_png(dir.file("rw.png"));

    for (const char* split : {"row-column", "row-width", "height-column"}) {
        const RawPng strip = read_raw_png(dir.file("out/" + std::string(split) + ".png"));
        constexpr int kGap = 4;
        ASSERT_EQ(strip.width, 5 * 320 + 4 * kGap) << split;
        ASSERT_GT(strip.height, 240) << split << ": no room for the labels";
        ASSERT_EQ(strip.bit_depth, 8);
        // The first panel is the untouched card (opaque, so shown as it is).
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x)
                for (int c = 0; c < 4; ++c)
                    ASSERT_EQ(strip.at(x, y, c), card.at(x, y, c))
                        << split << " (" << x << "," << y << ")";
        if (std::string(split) != "row-width") continue;
        // The last panel is the 100 % frame, wherever that frame is opaque.
        const int left = 4 * (320 + kGap);
        int opaque = 0;
        for (int y = 0; y < 240; ++y) {
            for (int x = 0; x < 320; ++x) {
                if (row_width_end.at(x, y, 3) != 255) continue;
                ++opaque;
                for (int c = 0; c < 3; ++c)
                    ASSERT_EQ(strip.at(left + x, y, c), row_width_end.at(x, y, c))
                        << "(" << x << "," << y << ")";
            }
        }
        EXPECT_GT(opaque, 0);
    }
}

}  // namespace
}  // namespace clitest
