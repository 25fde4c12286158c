// What an output name can be: a symbolic link, a pipe, a device, an existing file with its own
// mode or one that is read-only, a name as long as the folder allows.
#include <unistd.h>

#include <filesystem>

#include "test_support.h"

namespace clitest {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kSmall = {"--size", "32x24"};

TEST(Output, TheLongestNameTheFolderAllows) {
    TempDir dir;
    const long longest = pathconf(dir.path().c_str(), _PC_NAME_MAX);
    ASSERT_GT(longest, 20);
    for (long length : {longest - 10, longest}) {
        const std::string name = std::string(static_cast<std::size_t>(length - 4), 'n') + ".png";
        const RunResult run = run_tool(with(kSmall, {"-o", dir.file(name)}));
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(fs::is_regular_file(dir.file(name)));
    }
    EXPECT_EQ(dir.contents().size(), 2u);
}

}  // namespace
}  // namespace clitest
