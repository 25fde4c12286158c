#include "tool_runner.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace clitest {

namespace fs = std::filesystem;

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + path);
}

TempDir::TempDir() {
    std::string templ = (fs::temp_directory_path() / "zx-cli-test-XXXXXX").string();
    if (mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = templ;
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::map<std::string, std::string> TempDir::contents() const {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(path_)) {
        const std::string name = fs::relative(entry.path(), path_).string();
        entries[name] = entry.is_directory() ? "<dir>" : read_file(entry.path().string());
    }
    return entries;
}

RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const Limits& limits) {
    TempDir capture;
    const std::string out_path = capture.file("stdout");
    const std::string err_path = capture.file("stderr");
    std::vector<std::string> argv_text{program};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argv_text) argv.push_back(a.data());
    argv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        FILE* out = std::freopen(out_path.c_str(), "w", stdout);
        FILE* err = std::freopen(err_path.c_str(), "w", stderr);
        if (out == nullptr || err == nullptr) _exit(127);
        if (limits.file_size >= 0) {
            // Without this the write past the limit would kill the tool instead of failing.
            signal(SIGXFSZ, limits.default_file_size_signal ? SIG_DFL : SIG_IGN);
            const rlimit r{static_cast<rlim_t>(limits.file_size),
                           static_cast<rlim_t>(limits.file_size)};
            setrlimit(RLIMIT_FSIZE, &r);
        }
        if (limits.address_space >= 0) {
            const rlimit r{static_cast<rlim_t>(limits.address_space),
                           static_cast<rlim_t>(limits.address_space)};
            setrlimit(RLIMIT_AS, &r);
        }
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int wstatus = 0;
    if (waitpid(pid, &wstatus, 0) != pid) throw std::runtime_error("waitpid failed");
    RunResult result;
    result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    result.out = read_file(out_path);
    result.err = read_file(err_path);
    return result;
}

}  // namespace clitest
