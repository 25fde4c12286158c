// What an output name can be: a symbolic link, a pipe, a device, an existing file with its own
// mode or one that is read-only, a name as long as the folder allows.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>

#include "test_support.h"

namespace clitest {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kSmall = {"--size", "32x24"};

// Entries of a folder and its subfolders, links not followed: contents() would wait on a pipe
// and name a link by what it points to.
int entries(const TempDir& dir) {
    int n = 0;
    for ([[maybe_unused]] const auto& e : fs::recursive_directory_iterator(dir.path())) ++n;
    return n;
}

// What the tool writes for kSmall into a plain new file.
std::string plain_output() {
    TempDir dir;
    const RunResult run = run_tool(with(kSmall, {"-o", dir.file("plain.png")}));
    EXPECT_EQ(run.status, 0) << run.err;
    return read_file(dir.file("plain.png"));
}

TEST(Output, ASymbolicLinkIsFollowedAndStaysALink) {
    const std::string expected = plain_output();
    TempDir dir;
    fs::create_directory(dir.file("sub"));
    write_file(dir.file("sub/real.png"), "the output of an earlier run");
    fs::create_symlink("sub/real.png", dir.file("link.png"));         // relative to its folder
    fs::create_symlink(dir.file("link.png"), dir.file("chain.png"));  // a link to a link
    fs::create_symlink("sub/new.png", dir.file("dangling.png"));

    for (const char* name : {"link.png", "chain.png"}) {
        const RunResult run = run_tool(with(kSmall, {"-o", dir.file(name)}));
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(read_file(dir.file("sub/real.png")), expected);
    }
    const RunResult run = run_tool(with(kSmall, {"-o", dir.file("dangling.png")}));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(read_file(dir.file("sub/new.png")), expected);

    for (const char* name : {"link.png", "chain.png", "dangling.png"}) {
        EXPECT_TRUE(fs::is_symlink(dir.file(name))) << name;
    }
    EXPECT_EQ(entries(dir), 6) << "no temporary file stays behind";
}

TEST(Output, APipeIsWrittenNotReplaced) {
    const std::string expected = plain_output();
    ASSERT_LT(expected.size(), 65536u) << "must fit the pipe's buffer";
    TempDir dir;
    const std::string pipe = dir.file("pipe");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    // Opened before the tool runs, so the tool's writes wait in the pipe's buffer.
    const int reader = open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const RunResult run = run_tool(with(kSmall, {"-o", pipe}));
    std::string got;
    char buffer[4096];
    for (ssize_t n; (n = read(reader, buffer, sizeof buffer)) > 0;) got.append(buffer, n);
    close(reader);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(got, expected);
    EXPECT_TRUE(fs::is_fifo(pipe));
    EXPECT_EQ(entries(dir), 1);
}

TEST(Output, ACharacterDeviceIsWrittenNotReplaced) {
    TempDir dir;
    const std::string device = dir.file("null");
    if (mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
        GTEST_SKIP() << "cannot make a device node here";
    }
    const RunResult run = run_tool(with(kSmall, {"-o", device}));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::is_character_file(device));
    EXPECT_EQ(entries(dir), 1);
}

TEST(Output, AReplacedFileKeepsItsMode) {
    TempDir dir;
    const std::string out = dir.file("out.png");
    for (mode_t mode : {0600, 0640, 0755}) {
        write_file(out, "the output of an earlier run");
        ASSERT_EQ(chmod(out.c_str(), mode), 0);
        const RunResult run = run_tool(with(kSmall, {"-o", out}));
        ASSERT_EQ(run.status, 0) << run.err;
        struct stat st {};
        ASSERT_EQ(stat(out.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode);
        EXPECT_NE(read_file(out), "the output of an earlier run");
    }
    // The superuser replacing someone else's file leaves it theirs.
    if (geteuid() == 0) {
        ASSERT_EQ(chown(out.c_str(), 4321, 4322), 0);
        ASSERT_EQ(run_tool(with(kSmall, {"-o", out})).status, 0);
        struct stat st {};
        ASSERT_EQ(stat(out.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 4321u);
        EXPECT_EQ(st.st_gid, 4322u);
    }
}

TEST(Output, AReadOnlyFileIsRefusedAndKept) {
    TempDir dir;
    const std::string out = dir.file("out.png");
    write_file(out, "the output of an earlier run");
    ASSERT_EQ(chmod(out.c_str(), 0444), 0);
    fs::create_symlink("out.png", dir.file("link.png"));
    const auto before = dir.contents();
    for (const char* name : {"out.png", "link.png"}) {
        const RunResult run = run_tool(with(kSmall, {"-o", dir.file(name)}));
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("'" + dir.file(name) + "' is read-only"), std::string::npos)
            << run.err;
        EXPECT_EQ(dir.contents(), before);
    }
}

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
