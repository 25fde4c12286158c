// What an output name can be: a symbolic link, a pipe, a device, an existing file with its own
// mode or one that is read-only, a name as long as the folder allows, standard output; and
// never an input.
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

// Runs the tool through bash in `dir`, so that names are relative and redirections are a shell's.
RunResult run_in(const TempDir& dir, const std::string& args) {
    return run_program("/bin/bash",
                       {"-c", "set -o pipefail; cd \"$1\" && \"$0\" " + args, ZX_TOOL, dir.path()});
}

TEST(Output, NeverWritesOverAnInputFrameOrB) {
    TempDir dir;
    for (const char* name : {"in_0.png", "in_1.png", "in_2.png", "b.png"}) {
        write_raw_png(dir.file(name), reference_picture8());
    }
    fs::create_directory(dir.file("sub"));
    fs::create_symlink("in_0.png", dir.file("link.png"));
    fs::create_symlink(".", dir.file("here"));
    fs::create_hard_link(dir.file("b.png"), dir.file("hard.png"));
    const auto before = dir.contents();
    const struct {
        std::string args;
        std::string input;  // the input the refusal names
    } cases[] = {
        {"in_%d.png --frames 3 -o in_%d.png", "in_0.png"},
        {"in_%d.png --frames 3 --range 2-2 --jobs 2 -o sub/../in_%d.png", "in_2.png"},
        {"in_1.png --transition-to b.png -o ./b.png", "b.png"},
        {"in_1.png --transition-to in_%d.png --frames 3 -o here/in_%d.png", "in_0.png"},
        {"in_0.png -o link.png", "in_0.png"},
        {"in_1.png --transition-to hard.png -o b.png", "hard.png"},
        // Frame 0's file would be the input frame 10 that frame 10 then reads.
        {"in_%d.png --frames 12 --range 0-0 -o here/in_1%d.png", "in_10.png"},
        {"in_2.png -o - >> in_2.png", "in_2.png"},
        {"in_2.png -o /dev/stdout >> in_2.png", "in_2.png"},
    };
    for (const auto& c : cases) {
        const RunResult run = run_in(dir, c.args);
        EXPECT_EQ(run.status, 2) << c.args;
        EXPECT_NE(run.err.find("is the same file as the input '" + c.input + "'"),
                  std::string::npos)
            << c.args << ": " << run.err;
        EXPECT_TRUE(dir.contents() == before) << c.args;
    }
}

TEST(Output, StandardOutputGetsTheBytesOfAFileAndKeepsWhatARedirectedFileHeld) {
    const std::string expected = plain_output();
    TempDir dir;
    write_file(dir.file("kept"), "kept");
    const struct {
        std::string args;
        std::string file;
        std::string bytes;
    } cases[] = {
        {"-o - | cat > got", "got", expected},
        {"-o /dev/stdout | cat > got", "got", expected},
        {"-o /dev/stdout >> kept", "kept", "kept" + expected},
        {"-o - >> kept", "kept", "kept" + expected + expected},
    };
    for (const auto& c : cases) {
        const RunResult run = run_in(dir, "--size 32x24 " + c.args);
        EXPECT_EQ(run.status, 0) << c.args << ": " << run.err;
        EXPECT_EQ(read_file(dir.file(c.file)), c.bytes) << c.args;
    }
    EXPECT_EQ(entries(dir), 2) << "no temporary file stays behind";
    const RunResult sequence = run_in(dir, "--size 32x24 --frames 2 -o - > got");
    EXPECT_EQ(sequence.status, 2);
    EXPECT_NE(sequence.err.find("'-' (standard output) takes a single picture"), std::string::npos)
        << sequence.err;
    EXPECT_EQ(read_file(dir.file("got")), "");
}

}  // namespace
}  // namespace clitest
