// Running the built tools as a user would, in throw-away folders.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace clitest {

struct RunResult {
    int status = -1;  // exit status; -1 when the process did not exit normally
    std::string out;
    std::string err;
};

struct Limits {
    long long file_size = -1;      // RLIMIT_FSIZE in bytes, -1 none
    long long address_space = -1;  // RLIMIT_AS in bytes, -1 none
    // Leaves SIGXFSZ at its default action (death), as a shell's `ulimit -f` does; otherwise
    // the tool starts with it ignored.
    bool default_file_size_signal = false;
};

RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const Limits& limits = {});
inline RunResult run_tool(const std::vector<std::string>& args, const Limits& limits = {}) {
    return run_program(ZX_TOOL, args, limits);
}

// A fresh folder, removed with everything in it at the end of the test.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // Every entry with its contents (folders as "<dir>"), to prove that nothing changed.
    std::map<std::string, std::string> contents() const;

  private:
    std::filesystem::path path_;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);

}  // namespace clitest
