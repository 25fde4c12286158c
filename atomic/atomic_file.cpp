#include "atomic/atomic_file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

namespace zx::atomic {

namespace {

std::string system_error(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// The temporary files being written, for the signal handler to remove on an interrupt: one
// slot per write in progress, claimed and released by the writing thread.
constexpr int kTempSlots = 64;
struct PendingTemp {
    std::atomic<int> state{0};  // kFree, kClaimed (path being set) or kPending
    char path[4096];
};
constexpr int kFree = 0;
constexpr int kClaimed = 1;
constexpr int kPending = 2;
static_assert(std::atomic<int>::is_always_lock_free, "read by a signal handler");
PendingTemp g_pending_temps[kTempSlots];
// Set by the handler before it removes anything: the signal may run in another thread, and a
// writer whose file vanished then waits for the end instead of reporting a failure.
std::atomic<int> g_ending_signal{0};

extern "C" void remove_pending_and_reraise(int sig) {
    g_ending_signal.store(sig);
    for (PendingTemp& temp : g_pending_temps) {
        if (temp.state.load() == kPending) unlink(temp.path);
    }
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(sig, &action, nullptr);
    raise(sig);  // delivered as the handler returns, and ends the process as it would have
}

// Removes the pending temporary files before `sig` ends the process, unless the signal is
// ignored (a background job's, say) or has a handler already (a sanitizer's).
void clean_up_on(int sig) {
    struct sigaction old {};
    if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) return;
    struct sigaction action {};
    action.sa_handler = remove_pending_and_reraise;
    sigemptyset(&action.sa_mask);
    sigaction(sig, &action, nullptr);
}

void install_interrupt_cleanup() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        // Past the file size limit a write then fails (EFBIG) and is reported like a full
        // disk, instead of killing the tool with its temporary file left behind.
        std::signal(SIGXFSZ, SIG_IGN);
        // Every signal whose default action ends the process (SIGKILL cannot be caught): the
        // POSIX ones, and those a system adds where it has them.
        for (int sig :
             {SIGHUP, SIGINT, SIGQUIT, SIGILL, SIGTRAP, SIGABRT, SIGBUS, SIGFPE, SIGUSR1, SIGSEGV,
              SIGUSR2, SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGVTALRM, SIGPROF, SIGSYS}) {
            clean_up_on(sig);
        }
#if defined(SIGSTKFLT)
        clean_up_on(SIGSTKFLT);
#endif
#if defined(SIGIO)
        clean_up_on(SIGIO);
#elif defined(SIGPOLL)
        clean_up_on(SIGPOLL);
#endif
#if defined(SIGPWR)
        clean_up_on(SIGPWR);
#endif
#if defined(SIGLOST)
        clean_up_on(SIGLOST);
#endif
#if defined(SIGRTMIN) && defined(SIGRTMAX)
        for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) clean_up_on(sig);
#endif
    });
}

// A free slot, claimed; null when every slot is taken.
PendingTemp* claim_pending_slot() {
    for (PendingTemp& temp : g_pending_temps) {
        int expected = kFree;
        if (temp.state.compare_exchange_strong(expected, kClaimed)) return &temp;
    }
    return nullptr;
}

// Where the picture goes: the end of a chain of symbolic links and what is there now, or one
// of the process's own descriptors.
struct Destination {
    std::string path;
    bool exists = false;
    struct stat st {};
    int descriptor = -1;
};

bool all_digits(const std::string& text) {
    return !text.empty() && text.size() < 10 &&
           text.find_first_not_of("0123456789") == std::string::npos;
}

// N when `link` is this process's descriptor N as /proc/self/fd/N (/dev/stdout, /dev/fd/N,
// /proc/<pid>/fd/N, a thread's own), else -1. Those links lead to a pipe:[...] that no path
// reaches, or to a file a shell opened for > or >> whose offset and append mode only the
// descriptor itself keeps.
int own_descriptor(const std::string& link) {
    const std::size_t slash = link.rfind('/');
    const std::string number = link.substr(slash == std::string::npos ? 0 : slash + 1);
    if (!all_digits(number)) return -1;
    const std::string folder = slash == std::string::npos ? "." : link.substr(0, slash + 1);
    char* real = realpath(folder.c_str(), nullptr);
    if (real == nullptr) return -1;
    const std::string canonical = real;
    std::free(real);
    const std::string own = "/proc/" + std::to_string(getpid());
    const std::string task = own + "/task/";
    const bool ours =
        canonical == own + "/fd" ||
        (canonical.size() > task.size() + 3 && canonical.compare(0, task.size(), task) == 0 &&
         canonical.compare(canonical.size() - 3, 3, "/fd") == 0 &&
         all_digits(canonical.substr(task.size(), canonical.size() - 3 - task.size())));
    return ours ? std::stoi(number) : -1;
}

Destination resolve(const std::string& given) {
    Destination d;
    d.path = given;
    for (int links = 0;; ++links) {
        if (lstat(d.path.c_str(), &d.st) != 0) {
            if (errno == ENOENT) return d;  // a new file, perhaps where a dangling link points
            throw WriteError(system_error("cannot write output '" + given + "'"));
        }
        if (!S_ISLNK(d.st.st_mode)) {
            d.exists = true;
            return d;
        }
        d.descriptor = own_descriptor(d.path);
        if (d.descriptor >= 0) return d;
        char target[4096];
        const ssize_t length = links < 40 ? readlink(d.path.c_str(), target, sizeof target) : -1;
        if (links >= 40) errno = ELOOP;
        if (length < 0 || static_cast<std::size_t>(length) >= sizeof target) {
            if (length >= 0) errno = ENAMETOOLONG;
            throw WriteError(system_error("cannot write output '" + given + "'"));
        }
        std::string next(target, static_cast<std::size_t>(length));
        const std::size_t slash = d.path.rfind('/');
        if (next[0] != '/' && slash != std::string::npos) next = d.path.substr(0, slash + 1) + next;
        d.path = next;
    }
}

// Six letters for a temporary name, different for each process, slot, moment and attempt.
void fill_name(char* x6, const PendingTemp* slot, int attempt) {
    std::uint64_t h =
        static_cast<std::uint64_t>(getpid()) << 32 ^
        static_cast<std::uint64_t>(slot - g_pending_temps) << 24 ^
        static_cast<std::uint64_t>(attempt) ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    h = (h ^ h >> 30) * 0xbf58476d1ce4e5b9u;  // splitmix64's finaliser
    h = (h ^ h >> 27) * 0x94d049bb133111ebu;
    h ^= h >> 31;
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int i = 0; i < 6; ++i, h /= 62) x6[i] = kLetters[h % 62];
}

// A temporary file of a short fixed-length name in the destination's folder, so that any
// name the folder accepts can be written; removed unless committed. It takes the mode (and,
// where allowed, the owner) of the file it replaces.
class TempFile {
  public:
    TempFile(const Destination& destination, const std::string& name)
        : destination_(destination.path), name_(name) {
        const std::size_t slash = destination_.rfind('/');
        const std::string dir = slash == std::string::npos ? "." : destination_.substr(0, slash);
        path_ = dir + "/.zx-XXXXXX";  // the name's room, taken before there is a file to lose
        if (path_.size() + 1 > sizeof PendingTemp::path) {
            throw WriteError("output '" + name + "': the path is too long");
        }
        install_interrupt_cleanup();
        slot_ = claim_pending_slot();
        if (slot_ == nullptr) {
            throw WriteError("output '" + name + "': too many files written at once");
        }
        // The name is in its slot before the file exists, so that a signal, whichever thread
        // takes it, never finds a file it cannot name.
        int fd = -1;
        for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
            fill_name(path_.data() + path_.size() - 6, slot_, attempt);
            struct stat taken {};
            if (lstat(path_.c_str(), &taken) == 0) continue;  // someone else's: never removed
            std::memcpy(slot_->path, path_.c_str(), path_.size() + 1);
            slot_->state.store(kPending);
            fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (g_ending_signal.load() != 0) {
                // The handler may have looked at the slots already: the file is ours to remove.
                if (fd >= 0) unlink(path_.c_str());
                for (;;) pause();
            }
            if (fd < 0) slot_->state.store(kClaimed);
            if (fd < 0 && errno != EEXIST) break;
        }
        if (fd < 0) {
            const int saved = errno;
            slot_->state.store(kFree);
            errno = saved;
            throw WriteError(system_error("cannot create a file for output '" + name + "'"));
        }
        if (destination.exists) {
            // Only the superuser may give a file away; anyone else's new file stays theirs.
            [[maybe_unused]] const int given =
                fchown(fd, destination.st.st_uid, destination.st.st_gid);
            fchmod(fd, destination.st.st_mode & 0777);
        } else {
            const mode_t mask = umask(0);
            umask(mask);
            fchmod(fd, 0666 & ~mask);  // as an ordinary new file would be
        }
        file_ = fdopen(fd, "wb");
        if (file_ == nullptr) {
            const int saved = errno;
            close(fd);
            discard();
            errno = saved;
            throw WriteError(system_error("cannot write output '" + name + "'"));
        }
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        if (file_ != nullptr) std::fclose(file_);
        if (!committed_) discard();
    }

    std::FILE* file() { return file_; }

    void commit() {
        const std::string name = "output '" + name_ + "'";
        const bool flushed = std::fflush(file_) == 0 && fsync(fileno(file_)) == 0;
        const int flush_errno = errno;
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        if (!flushed || !closed) {
            errno = flushed ? errno : flush_errno;
            throw WriteError(system_error("cannot write " + name));
        }
        if (std::rename(path_.c_str(), destination_.c_str()) != 0) {
            while (g_ending_signal.load() != 0) pause();
            throw WriteError(system_error("cannot replace " + name));
        }
        committed_ = true;
        slot_->state.store(kFree);
    }

  private:
    void discard() {
        slot_->state.store(kFree);
        unlink(path_.c_str());
    }

    std::string destination_;
    std::string name_;
    std::string path_;
    std::FILE* file_ = nullptr;
    PendingTemp* slot_ = nullptr;
    bool committed_ = false;
};

// All of `bytes`, or a WriteError naming the output and the system's reason.
void put_bytes(std::FILE* file, const std::string& path, const std::vector<unsigned char>& bytes) {
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        if (errno == 0) errno = EIO;
        throw WriteError(system_error("cannot write output '" + path + "'"));
    }
}

// All of `bytes` through `fd` from where it stands, so a shell's >> appends and a file
// keeps what it held.
void write_descriptor(int fd, const std::string& what, const std::vector<unsigned char>& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
        if (written > 0) {
            done += static_cast<std::size_t>(written);
        } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd ready{fd, POLLOUT, 0};  // a descriptor another program made non-blocking
            poll(&ready, 1, -1);
        } else if (written == 0 || errno != EINTR) {
            if (written == 0) errno = EIO;
            throw WriteError(system_error("cannot write " + what));
        }
    }
    // A file's late errors (a full disk, a network file system) show when it is flushed.
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && fsync(fd) != 0) {
        throw WriteError(system_error("cannot write " + what));
    }
}

}  // namespace
void write_file(const std::string& path, const std::vector<unsigned char>& bytes) {
    if (path == "-") {
        write_descriptor(STDOUT_FILENO, "standard output", bytes);
        return;
    }
    const Destination destination = resolve(path);
    if (destination.descriptor >= 0) {
        write_descriptor(destination.descriptor, "output '" + path + "'", bytes);
        return;
    }
    const mode_t type = destination.st.st_mode & S_IFMT;
    if (destination.exists && type == S_IFDIR) {
        errno = EISDIR;
        throw WriteError(system_error("cannot write output '" + path + "'"));
    }
    if (destination.exists && (type == S_IFIFO || type == S_IFCHR || type == S_IFBLK)) {
        // A pipe or a device cannot be replaced, only written to.
        FilePtr file(std::fopen(destination.path.c_str(), "wb"));
        if (!file) throw WriteError(system_error("cannot open output '" + path + "'"));
        put_bytes(file.get(), path, bytes);
        if (std::fflush(file.get()) != 0) {
            throw WriteError(system_error("cannot write output '" + path + "'"));
        }
        return;
    }
    if (destination.exists && type != S_IFREG) {
        throw WriteError("output '" + path + "' is neither a file, a pipe nor a device");
    }
    // As cp, no one replaces a file they may not write; a file without any write bit is
    // write-protected even for the superuser.
    if (destination.exists &&
        ((destination.st.st_mode & 0222) == 0 || access(destination.path.c_str(), W_OK) != 0)) {
        throw WriteError("output '" + path + "' is read-only; it is not replaced");
    }
    TempFile temp(destination, path);
    put_bytes(temp.file(), path, bytes);
    temp.commit();
}

}  // namespace zx::atomic
