// Every refusal: a clear message naming the option or file, exit status 2 for usage errors and
// 1 for failures, and nothing lost: no new file, no partial file, an earlier output untouched.
#include <poll.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "cli/effect_runner.h"
#include "cli/png_io.h"
#include "test_support.h"

namespace clitest {
namespace {

namespace fs = std::filesystem;

const std::string kOldOutput = "the output of an earlier run";

struct Refusal {
    std::string name;
    std::vector<std::string> args;  // "IN" is replaced by a valid input, "OUT" by the output
    int status;
    std::vector<std::string> message_parts;
};

std::string below(ParamIndex index) {
    return std::to_string(param_entry(index).valid_min - 1);
}
std::string above(ParamIndex index) {
    return std::to_string(param_entry(index).valid_max + 1);
}
std::string range(ParamIndex index) {
    return std::to_string(param_entry(index).valid_min) + " to " +
           std::to_string(param_entry(index).valid_max);
}

std::vector<Refusal> usage_refusals() {
    return {
        {"RowsBelowRange",
         {"--rows", below(kParamRow)},
         2,
         {"--rows", "'" + below(kParamRow) + "'", range(kParamRow)}},
        {"RowsAboveRange", {"--rows", above(kParamRow)}, 2, {"--rows", range(kParamRow)}},
        {"RowsNegative", {"--rows=-1"}, 2, {"--rows", "'-1'"}},
        {"RowsNotWhole", {"--rows", "1.5"}, 2, {"--rows", "whole number"}},
        {"HeightBelowRange",
         {"--strip-height", below(kParamHeight)},
         2,
         {"--strip-height", range(kParamHeight)}},
        {"ColumnsAboveRange",
         {"--columns", above(kParamColumn)},
         2,
         {"--columns", range(kParamColumn)}},
        {"WidthAboveRange",
         {"--strip-width", above(kParamWidth)},
         2,
         {"--strip-width", range(kParamWidth)}},
        {"SeedAboveRange", {"--seed", above(kParamSeed)}, 2, {"--seed", range(kParamSeed)}},
        {"SeedHuge", {"--seed", "99999999999999999999999"}, 2, {"--seed", range(kParamSeed)}},
        {"CompletionAboveRange",
         {"--completion", std::to_string(param_entry(kParamCompletion).valid_max) + ".001"},
         2,
         {"--completion", range(kParamCompletion)}},
        {"CompletionNaN", {"--completion", "nan"}, 2, {"--completion", "'nan'"}},
        {"CompletionExponent", {"--completion", "1e1"}, 2, {"--completion", "decimal"}},
        {"OpacityNegative", {"--opacity=-5"}, 2, {"--opacity", range(kParamOpacity)}},
        {"ModeUnknown", {"--mode", "diagonal"}, 2, {"--mode", "manhattan, euclidean"}},
        {"SplitUnknown", {"--split", "grid"}, 2, {"--split", "row-column"}},
        {"OverlapUnknown", {"--overlap", "blend"}, 2, {"--overlap", "footage, color"}},
        {"BlendSeparator", {"--blend", "(-"}, 2, {"--blend", "color-burn"}},
        {"BlendUnknown", {"--blend", "darken"}, 2, {"--blend", "normal"}},
        {"ColorShort", {"--color", "12345"}, 2, {"--color", "RRGGBB"}},
        {"ColorNotHex", {"--color", "GG0000"}, 2, {"--color", "AARRGGBB"}},
        {"DownsampleZero", {"--downsample", "1/0"}, 2, {"--downsample", "'1/0'", "N/D"}},
        {"DownsampleAboveOne", {"--downsample", "3/2"}, 2, {"--downsample", "N <= D"}},
        {"DownsampleNoSlash", {"--downsample", "2"}, 2, {"--downsample", "N/D"}},
        {"DepthUnknown", {"--depth", "12"}, 2, {"--depth", "8, 16"}},
        {"SizeZero", {"--size", "0x10"}, 2, {"--size", "1..16384"}},
        {"SizeHuge", {"--size", "100000x100000"}, 2, {"--size", "1..16384"}},
        {"SizeMalformed", {"--size", "640"}, 2, {"--size", "WxH"}},
        {"SizeWithInput", {"IN", "--size", "10x10"}, 2, {"--size", "test card"}},
        {"MissingOutput", {"NO_OUTPUT"}, 2, {"--output"}},
        {"UnknownOption", {"--speed", "2"}, 2, {"--speed"}},
        {"TwoInputs", {"IN", "IN"}, 2, {"not expected"}},
        {"FromWithoutFrames", {"--from", "10"}, 2, {"--from", "--frames"}},
        {"CompletionWithFrames",
         {"--frames", "2", "--completion", "5", "-o", "OUT%d"},
         2,
         {"--completion", "--frames"}},
        {"FramesZero", {"--frames", "0", "-o", "OUT%d"}, 2, {"--frames", "1 to 100000"}},
        {"ToAboveRange",
         {"--frames", "2", "--to", above(kParamCompletion), "-o", "OUT%d"},
         2,
         {"--to", range(kParamCompletion)}},
        {"PatternWithoutCounter", {"--frames", "2"}, 2, {"--output", "no counter"}},
        {"PatternTwoCounters",
         {"--frames", "2", "-o", "OUT%d_%d"},
         2,
         {"--output", "more than one"}},
        {"PatternString",
         {"--frames", "2", "-o", "OUT%s"},
         2,
         {"--output", "not an integer counter"}},
        {"PatternWrite", {"--frames", "2", "-o", "OUT%n"}, 2, {"--output", "not an integer"}},
        {"PatternPrecision",
         {"--frames", "2", "-o", "OUT%5.2d"},
         2,
         {"--output", "not an integer"}},
        {"PatternTrailingPercent",
         {"--frames", "2", "-o", "OUT%d%"},
         2,
         {"--output", "not an integer"}},
        {"PatternHugeWidth", {"--frames", "2", "-o", "OUT%099999999d"}, 2, {"--output", "wider"}},
        {"RangePastTheLastFrame",
         {"--frames", "4", "--range", "2-4", "-o", "OUT%d"},
         2,
         {"--range", "LAST <= 3"}},
        {"RangeBackwards", {"--frames", "4", "--range", "2-1", "-o", "OUT%d"}, 2, {"--range"}},
        {"RangeWithoutFrames", {"--range", "0-1", "-o", "OUT"}, 2, {"--range", "--frames"}},
    };
}

std::vector<Refusal> file_refusals() {
    return {
        {"InputMissing", {"DIR/missing.png"}, 1, {"DIR/missing.png", "No such file"}},
        {"InputEmpty", {"DIR/empty.png"}, 1, {"DIR/empty.png", "not a PNG"}},
        {"InputText", {"DIR/text.png"}, 1, {"DIR/text.png", "not a PNG"}},
        {"InputTruncated", {"DIR/truncated.png"}, 1, {"DIR/truncated.png", "truncated"}},
        {"InputWithoutEnd", {"DIR/noend.png"}, 1, {"DIR/noend.png", "truncated"}},
        {"InputHeaderOnly", {"DIR/header.png"}, 1, {"DIR/header.png", "not a readable PNG"}},
        {"InputBadChecksum", {"DIR/crc.png"}, 1, {"DIR/crc.png", "CRC"}},
        {"InputTooWide", {"DIR/wide.png"}, 1, {"DIR/wide.png", "16385x1", "1..16384"}},
        {"InputFolder", {"DIR/folder"}, 1, {"DIR/folder"}},
        {"OutputFolderMissing", {"-o", "DIR/nowhere/out.png"}, 1, {"DIR/nowhere/out.png"}},
        {"OutputIsAFolder", {"-o", "DIR/folder"}, 1, {"DIR/folder"}},
    };
}

std::vector<Refusal> effect_refusals() {
    return {
        // Strip widths that are nearly always 0 at this downsample: the count would take about
        // 10^12 draws; it stops where the block table could no longer be held.
        {"StripCountBeyondAnyTable",
         {"--split", "row-width", "--strip-width", "2000", "--downsample", "1000000/2000999999"},
         1,
         {"Memory Error!", "error code 512"}},
    };
}

// The bad inputs, beside a good one and the output of an earlier run.
void prepare(const TempDir& dir) {
    write_raw_png(dir.file("good.png"), reference_picture8());
    const std::string good = read_file(dir.file("good.png"));
    write_file(dir.file("out.png"), kOldOutput);
    write_file(dir.file("empty.png"), "");
    write_file(dir.file("text.png"), "hello, this is not a picture\n");
    write_file(dir.file("truncated.png"), good.substr(0, good.size() * 2 / 3));
    write_file(dir.file("noend.png"), good.substr(0, good.size() - 12));  // no IEND chunk
    write_file(dir.file("header.png"), good.substr(0, 20));  // signature, IHDR cut short
    std::string crc = good;
    const std::size_t idat = crc.find("IDAT");
    std::size_t length = 0;
    for (std::size_t i = idat - 4; i < idat; ++i)
        length = length << 8 | static_cast<unsigned char>(crc[i]);
    crc[idat + 4 + length] = static_cast<char>(crc[idat + 4 + length] ^ 0x40);  // the chunk's CRC
    write_file(dir.file("crc.png"), crc);
    write_raw_png(dir.file("wide.png"), make_rgba(16385, 1, 8, [](int, int, int) { return 0; }));
    fs::create_directory(dir.file("folder"));
}

std::string substitute(std::string text, const TempDir& dir) {
    if (text == "IN") return dir.file("good.png");
    for (const auto& [key, value] : {std::pair<std::string, std::string>{"OUT", dir.file("seq")},
                                     {"DIR", dir.path().string()}}) {
        if (text.rfind(key, 0) == 0) return value + text.substr(key.size());
    }
    return text;
}

void PrintTo(const Refusal& r, std::ostream* os) {
    *os << r.name;
}

class Refused : public testing::TestWithParam<Refusal> {};

TEST_P(Refused, WithAClearMessageAndNothingLost) {
    const Refusal& r = GetParam();
    TempDir dir;
    prepare(dir);
    std::vector<std::string> args;
    bool output_given = false;
    for (const std::string& a : r.args) {
        if (a == "NO_OUTPUT") {
            output_given = true;
            continue;
        }
        output_given = output_given || a == "-o";
        args.push_back(substitute(a, dir));
    }
    if (!output_given) args = with(args, {"-o", dir.file("out.png")});
    const auto before = dir.contents();

    const RunResult run = run_tool(args);
    EXPECT_EQ(run.status, r.status) << run.err;
    EXPECT_EQ(run.err.rfind("zentrilox: ", 0), 0u) << run.err;
    for (const std::string& part : r.message_parts) {
        EXPECT_NE(run.err.find(substitute(part, dir)), std::string::npos)
            << "'" << part << "' missing from: " << run.err;
    }
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(dir.contents(), before) << "the folder changed";
}

INSTANTIATE_TEST_SUITE_P(Usage, Refused, testing::ValuesIn(usage_refusals()),
                         [](const auto& info) { return info.param.name; });
INSTANTIATE_TEST_SUITE_P(Files, Refused, testing::ValuesIn(file_refusals()),
                         [](const auto& info) { return info.param.name; });
INSTANTIATE_TEST_SUITE_P(Effect, Refused, testing::ValuesIn(effect_refusals()),
                         [](const auto& info) { return info.param.name; });

TEST(WriteFailure, FullDiskLeavesTheEarlierOutputAndNoPartialFile) {
    TempDir dir;
    write_file(dir.file("out.png"), kOldOutput);
    const auto before = dir.contents();
    Limits limits;
    limits.file_size = 4096;  // far less than the 640 x 480 test card needs
    const RunResult run = run_tool({"-o", dir.file("out.png")}, limits);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot write output '" + dir.file("out.png") + "'"), std::string::npos)
        << run.err;
    EXPECT_EQ(dir.contents(), before);
}

TEST(WriteFailure, AFileSizeLimitIsAWriteErrorNotADeath) {
    // Under `ulimit -f` the write past the limit raises SIGXFSZ, which would kill the tool
    // with its temporary file left behind.
    TempDir dir;
    write_file(dir.file("out.png"), kOldOutput);
    const auto before = dir.contents();
    Limits limits;
    limits.file_size = 4096;
    limits.default_file_size_signal = true;
    const RunResult run = run_tool({"-o", dir.file("out.png")}, limits);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot write output '" + dir.file("out.png") + "'"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("File too large"), std::string::npos) << run.err;
    EXPECT_EQ(dir.contents(), before);
}

TEST(WriteFailure, SequenceStopsAtTheFirstFrameThatCannotBeWritten) {
    TempDir dir;
    fs::create_directory(dir.file("f1"));  // frame 1's name is taken by a folder
    const RunResult run = run_tool({"--size", "32x24", "--frames", "3", "-o", dir.file("f%d")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(dir.file("f1")), std::string::npos) << run.err;
    EXPECT_TRUE(fs::is_regular_file(dir.file("f0")));
    EXPECT_FALSE(fs::exists(dir.file("f2")));
    EXPECT_EQ(dir.contents().size(), 2u) << "no temporary file stays behind";
}

// Stops the tool as it creates a temporary file; once one is caught before its rename, sends
// `sig` and lets the tool go on. The exit status of the tool, or -1 when none was caught.
int signal_while_writing(const TempDir& dir, int sig) {
    const int watch = inotify_init1(IN_CLOEXEC);
    inotify_add_watch(watch, dir.path().c_str(), IN_CREATE);
    const std::string output = dir.file("f%02d.png");
    const pid_t pid = fork();
    if (pid == 0) {
        const rlimit no_core{0, 0};
        setrlimit(RLIMIT_CORE, &no_core);
        for (int s = 1; s < NSIG; ++s) signal(s, SIG_DFL);
        sigset_t all;
        sigfillset(&all);
        sigprocmask(SIG_UNBLOCK, &all, nullptr);
        execl(ZX_TOOL, ZX_TOOL, "--size", "900x700", "--frames", "60", "--jobs", "1",
              "--png-compression", "0", "-q", "-o", output.c_str(), nullptr);
        _exit(127);
    }
    bool sent = false;
    alignas(inotify_event) char events[4096];
    pollfd ready{watch, POLLIN, 0};
    while (!sent && poll(&ready, 1, 20000) == 1) {
        const ssize_t n = read(watch, events, sizeof events);
        for (ssize_t at = 0; at < n && !sent;) {
            const auto* e = reinterpret_cast<const inotify_event*>(events + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            if (e->len == 0 || std::strncmp(e->name, ".zx-", 4) != 0) continue;
            int stopped = 0;
            kill(pid, SIGSTOP);
            if (waitpid(pid, &stopped, WUNTRACED) != pid || !WIFSTOPPED(stopped)) {
                close(watch);
                return -1;  // it ended first
            }
            sent = fs::exists(dir.path() / e->name) && kill(pid, sig) == 0;
            kill(pid, SIGCONT);
        }
    }
    close(watch);
    if (!sent) kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    return sent ? status : -1;
}

TEST(Interrupted, EveryDeadlySignalRemovesTheTemporaryFileAndStillKills) {
    std::vector<int> signals{SIGHUP,  SIGINT,  SIGQUIT, SIGILL,  SIGTRAP,   SIGABRT, SIGUSR1,
                             SIGUSR2, SIGPIPE, SIGALRM, SIGTERM, SIGSTKFLT, SIGXCPU, SIGVTALRM,
                             SIGPROF, SIGIO,   SIGPWR,  SIGSYS,  SIGRTMIN,  SIGRTMAX};
#if !defined(__SANITIZE_ADDRESS__)
    signals.insert(signals.end(), {SIGBUS, SIGFPE, SIGSEGV});  // the sanitizer's own otherwise
#endif
    for (int sig : signals) {
        TempDir dir;
        const int status = signal_while_writing(dir, sig);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << strsignal(sig);
        for (const auto& [name, bytes] : dir.contents()) {
            if (name.rfind(".zx-", 0) == 0) {
                ADD_FAILURE() << name << " is left after " << strsignal(sig);
            } else {
                EXPECT_EQ(read_raw_png(dir.file(name)).width, 900) << name;  // frames are whole
            }
        }
    }
}

TEST(MemoryFailure, AHugeCardIsRefusedWithoutACrash) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer does not work under an address-space limit";
#else
    TempDir dir;
    Limits limits;
    limits.address_space = 768LL << 20;
    const RunResult run =
        run_tool({"--size", "16384x16384", "--depth", "16", "-o", dir.file("out.png")}, limits);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("out of memory"), std::string::npos) << run.err;
    EXPECT_TRUE(dir.contents().empty());
#endif
}

// Signature, then a header of 16384 x 16384 16-bit RGBA, an empty IDAT and IEND: 57 bytes
// that claim 2 GiB of pixels.
std::string forged_header_png() {
    std::string png = "\x89PNG\r\n\x1a\n";
    const auto chunk = [&png](const std::string& type, const std::string& data) {
        const auto put32 = [&png](std::uint32_t v) {
            for (int shift = 24; shift >= 0; shift -= 8)
                png.push_back(static_cast<char>(v >> shift));
        };
        put32(static_cast<std::uint32_t>(data.size()));
        const std::string body = type + data;
        png += body;
        put32(static_cast<std::uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
    };
    chunk("IHDR", std::string("\0\0\x40\0\0\0\x40\0\x10\x06\0\0\0", 13));
    chunk("IDAT", "");
    chunk("IEND", "");
    return png;
}

TEST(MemoryFailure, ATinyFileCannotClaimGigabytes) {
    TempDir dir;
    write_file(dir.file("forged.png"), forged_header_png());
    Limits limits;
#if !defined(__SANITIZE_ADDRESS__)
    limits.address_space = 768LL << 20;  // the 2 GiB are never asked for
#endif
    const RunResult run = run_tool({dir.file("forged.png"), "-o", dir.file("out.png")}, limits);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("is truncated"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("cannot hold a 16384x16384 picture"), std::string::npos) << run.err;
    EXPECT_EQ(dir.contents().size(), 1u);
}

TEST(MemoryFailure, APipeIsHeldToTheBoundOfAFile) {
    TempDir dir;
    write_file(dir.file("forged.png"), forged_header_png());
    RawPng picture = reference_picture16();
    picture.interlaced = true;
    write_raw_png(dir.file("in.png"), picture);
    ASSERT_EQ(run_tool({dir.file("in.png"), "-o", dir.file("want.png")}).status, 0);
    Limits limits;
#if !defined(__SANITIZE_ADDRESS__)
    limits.address_space = 768LL << 20;
#endif
    // Standard input, and a pipe named by a path as a shell gives one.
    for (const char* script :
         {"cat \"$1\" | \"$0\" /dev/stdin -o \"$2\"", "\"$0\" <(cat \"$1\") -o \"$2\""}) {
        const RunResult forged =
            run_program("/bin/bash",
                        {"-c", script, ZX_TOOL, dir.file("forged.png"), dir.file("x.png")}, limits);
        EXPECT_EQ(forged.status, 1) << script;
        EXPECT_NE(forged.err.find("cannot hold a 16384x16384 picture"), std::string::npos)
            << forged.err;
        EXPECT_FALSE(fs::exists(dir.file("x.png")));
        const RunResult real = run_program(
            "/bin/bash", {"-c", script, ZX_TOOL, dir.file("in.png"), dir.file("got.png")});
        EXPECT_EQ(real.status, 0) << real.err;
        EXPECT_EQ(read_file(dir.file("got.png")), read_file(dir.file("want.png"))) << script;
    }
}

TEST(MemoryFailure, AWellCompressedFileIsNotMistakenForAForgedOne) {
    // 2048 x 2048 one-bit grey: about 600 bytes that rightly hold 16 MiB once expanded to RGBA.
    TempDir dir;
    RawPng grey{2048, 2048, 1, 0, false, {}, {}};
    grey.samples.assign(std::size_t{2048} * 2048, 0);
    write_raw_png(dir.file("grey.png"), grey);
    ASSERT_LT(fs::file_size(dir.file("grey.png")), std::uintmax_t{16 << 20} / 1032);
    const zx::cli::Image image = zx::cli::read_png(dir.file("grey.png"));
    EXPECT_EQ(image.width, 2048);
    EXPECT_EQ(image.height, 2048);
}

TEST(EffectFailure, TheEffectsMessageAndCodeReachTheUser) {
    zx::cli::EffectRunner runner;
    runner.set_layer(zx::cli::to_frame(zx::cli::Image::blank(96, 64, 8), SampleDepth::byte));
    runner.set_params(zx::cli::EffectParams{});
    runner.set_memory_limit(0);  // the block table cannot be had
    try {
        runner.render(50.0);
        FAIL() << "the render did not fail";
    } catch (const zx::cli::EffectError& e) {
        const std::string text = e.what();
        EXPECT_NE(text.find("Memory Error!"), std::string::npos) << text;
        EXPECT_NE(text.find("error code 512"), std::string::npos) << text;
    }
    // The host is still usable: the next frame renders.
    runner.set_memory_limit(SIZE_MAX);
    EXPECT_NO_THROW(runner.render(50.0));
}

TEST(Information, HelpNamesEveryOptionWithItsParameterAndRange) {
    const RunResult run = run_tool({"--help"});
    ASSERT_EQ(run.status, 0);
    std::vector<std::string> parts{"--downsample",   "--depth",       "--frames", "--from",
                                   "--to",           "--size",        "--quiet",  "--version",
                                   "color-burn (8)", "row-column (1)"};
    for (const ParamEntry& p : kParamTable) {
        if (p.option.empty()) continue;
        parts.push_back(std::string(p.option));
        parts.push_back(std::string(p.name) + " (parameter " + std::to_string(p.index) + ")");
        if (p.type == ParamType::slider) {
            parts.push_back(std::to_string(p.valid_min) + ".." + std::to_string(p.valid_max));
        }
    }
    for (const std::string& part : parts) {
        EXPECT_NE(run.out.find(part), std::string::npos) << "help lacks " << part;
    }
}

TEST(Information, VersionIsTheEffectsOwn) {
    simhost::SimHost host(&EntryPointFunc);
    ASSERT_EQ(host.send(PF_Cmd_GLOBAL_SETUP), PF_Err_NONE);
    const A_u_long v = host.out_data().my_version;
    std::ostringstream expected;
    expected << "(VarnokZentrilox " << (v >> 19 & 7) << "." << (v >> 15 & 15)
             << ", effect version 0x" << std::hex << v << ")";
    const RunResult run = run_tool({"--version"});
    ASSERT_EQ(run.status, 0);
    EXPECT_NE(run.out.find(expected.str()), std::string::npos) << run.out;
}

}  // namespace
}  // namespace clitest
