#include "cli/same_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <optional>
#include <tuple>

#include "cli/errors.h"

namespace zx::cli {

namespace {

// A file as the system knows it. `name` is set for a name not taken yet: then device and inode
// are its folder's.
struct FileKey {
    dev_t device = 0;
    ino_t inode = 0;
    std::string name;

    bool operator<(const FileKey& other) const {
        return std::tie(device, inode, name) < std::tie(other.device, other.inode, other.name);
    }
};

constexpr int kMaxLinks = 40;  // the system's own limit on a chain of links

// Folders already looked at: the frames of a sequence mostly share one.
using Folders = std::map<std::string, std::optional<FileKey>>;

// The file `path` reads or writes; none for a stream, or where nothing can be read or written.
std::optional<FileKey> file_key(std::string path, Folders& folders) {
    for (int links = 0; links <= kMaxLinks; ++links) {
        struct stat st {};
        const bool there = lstat(path.c_str(), &st) == 0;
        if (!there && errno != ENOENT) return std::nullopt;
        const bool link = there && S_ISLNK(st.st_mode);
        if (there && (!link || stat(path.c_str(), &st) == 0)) {
            if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode) || S_ISSOCK(st.st_mode)) {
                return std::nullopt;
            }
            return FileKey{st.st_dev, st.st_ino, {}};
        }
        const std::size_t slash = path.rfind('/');
        if (link) {
            if (errno != ENOENT) return std::nullopt;
            // A dangling link: a file written through it appears where it points.
            char target[4096];
            const ssize_t length = readlink(path.c_str(), target, sizeof target);
            if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target) {
                return std::nullopt;
            }
            std::string next(target, static_cast<std::size_t>(length));
            if (next[0] != '/' && slash != std::string::npos) {
                next = path.substr(0, slash + 1) + next;
            }
            path = std::move(next);
            continue;
        }
        std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
        if (name.empty() || name == "." || name == "..") return std::nullopt;
        const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
        auto [known, added] = folders.try_emplace(folder);
        // No folder: the tool makes none, so nothing is ever written there.
        if (added && stat(folder.c_str(), &st) == 0)
            known->second = FileKey{st.st_dev, st.st_ino, {}};
        if (!known->second) return std::nullopt;
        return FileKey{known->second->device, known->second->inode, std::move(name)};
    }
    return std::nullopt;
}

std::string output_text(const std::string& output) {
    return output == "-" ? "standard output" : "'" + output + "'";
}

}  // namespace

void refuse_outputs_over_inputs(const std::vector<std::string>& outputs,
                                const std::vector<std::string>& inputs) {
    Folders folders;
    std::map<FileKey, const std::string*> read;
    for (const std::string& input : inputs) {
        if (std::optional<FileKey> key = file_key(input, folders)) {
            read.emplace(std::move(*key), &input);
        }
    }
    if (read.empty()) return;
    for (const std::string& output : outputs) {
        const std::optional<FileKey> key =
            file_key(output == "-" ? "/dev/stdout" : output, folders);
        const auto found = key ? read.find(*key) : read.end();
        if (found == read.end()) continue;
        throw UsageError("--output: " + output_text(output) + " is the same file as the input '" +
                         *found->second +
                         "'; a run never writes over what it reads, so nothing was written");
    }
}

}  // namespace zx::cli
