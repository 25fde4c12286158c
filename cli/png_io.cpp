#include "cli/png_io.h"

#include <fcntl.h>
#include <png.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "cli/errors.h"

namespace zx::cli {

namespace {

std::string system_error(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// libpng reports errors through this record; the handlers below copy the text and jump back to
// the setjmp of the phase that made the call.
struct PngErrorSink {
    char message[256];
};

[[noreturn]] void on_png_error(png_structp png, png_const_charp text) {
    auto* sink = static_cast<PngErrorSink*>(png_get_error_ptr(png));
    std::snprintf(sink->message, sizeof sink->message, "%s", text);
    png_longjmp(png, 1);
}

void on_png_warning(png_structp, png_const_charp) {}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

struct ReadStructs {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~ReadStructs() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

struct Header {
    png_uint_32 width;
    png_uint_32 height;
    int bit_depth;
    int channels;
    int file_bits;  // bits per pixel as stored, before expansion
};

// Appends up to `count` bytes of `file` to `out`, in steps, so that memory follows the bytes
// that arrive and not the count; false on a read error.
bool append_from(std::FILE* file, std::uint64_t count, std::vector<unsigned char>& out) {
    constexpr std::uint64_t kStep = 1 << 20;
    while (count > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min(count, kStep));
        const std::size_t at = out.size();
        out.resize(at + want);
        const std::size_t got = std::fread(out.data() + at, 1, want, file);
        out.resize(at + got);
        if (got < want) return std::ferror(file) == 0;
        count -= got;
    }
    return true;
}

// The chunks after the signature up to IEND or the end of the stream; false on a read error.
bool read_chunks(std::FILE* file, std::vector<unsigned char>& out) {
    for (;;) {
        const std::size_t start = out.size();
        if (!append_from(file, 8, out)) return false;
        if (out.size() < start + 8) return true;  // cut short: libpng says where
        const unsigned char* head = out.data() + start;
        const std::uint64_t length =
            std::uint64_t{head[0]} << 24 | head[1] << 16 | head[2] << 8 | head[3];
        const bool last = std::memcmp(head + 4, "IEND", 4) == 0;
        if (!append_from(file, length + 4, out)) return false;  // the data and its CRC
        if (last || out.size() < start + 12 + length) return true;
    }
}

struct MemoryStream {
    const unsigned char* next;
    std::size_t left;
};

void read_memory(png_structp png, png_bytep data, png_size_t length) {
    auto* stream = static_cast<MemoryStream*>(png_get_io_ptr(png));
    if (length > stream->left) png_error(png, "Read Error");  // as libpng's own reader says
    std::memcpy(data, stream->next, length);
    stream->next += length;
    stream->left -= length;
}

// The phases that may longjmp keep only trivially destructible locals and call no C++ code
// that owns resources, so the jump skips no destructor.
bool read_header(png_structp png, png_infop info, Header* header) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_sig_bytes(png, 8);
    png_read_info(png, info);
    const int color = png_get_color_type(png, info);
    const int depth = png_get_bit_depth(png, info);
    const bool has_trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    header->file_bits = depth * png_get_channels(png, info);
    if (color == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if ((color & PNG_COLOR_MASK_COLOR) == 0) {
        if (depth < 8) png_set_expand_gray_1_2_4_to_8(png);
        png_set_gray_to_rgb(png);
    }
    if (has_trns) png_set_tRNS_to_alpha(png);
    if ((color & PNG_COLOR_MASK_ALPHA) == 0 && !has_trns) {
        png_set_add_alpha(png, 0xffff, PNG_FILLER_AFTER);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    header->width = png_get_image_width(png, info);
    header->height = png_get_image_height(png, info);
    header->bit_depth = png_get_bit_depth(png, info);
    header->channels = png_get_channels(png, info);
    return true;
}

bool read_rows(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    png_read_end(png, nullptr);  // a file cut after the pixels is still refused
    return true;
}

}  // namespace

Image read_png(const std::string& path) {
    const std::string name = "input '" + path + "'";
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) throw Failure(system_error("cannot open " + name));
    png_byte signature[8];
    const std::size_t got = std::fread(signature, 1, sizeof signature, file.get());
    if (got != sizeof signature && std::ferror(file.get())) {
        throw Failure(system_error("cannot read " + name));
    }
    if (got != sizeof signature || png_sig_cmp(signature, 0, sizeof signature) != 0) {
        throw Failure(name + " is not a PNG file");
    }

    PngErrorSink sink{};
    ReadStructs s;
    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &sink, on_png_error, on_png_warning);
    if (s.png != nullptr) s.info = png_create_info_struct(s.png);
    if (s.info == nullptr) throw Failure("out of memory reading " + name);

    // Deflate expands a byte to at most 1032, so the size of a file bounds the pixels it can
    // hold. A pipe's size is known once it is read: its chunks are read into memory first, so
    // that memory follows the bytes that arrive, and the header meets the same bound.
    struct stat file_stat {};
    const bool regular = fstat(fileno(file.get()), &file_stat) == 0 && S_ISREG(file_stat.st_mode);
    std::vector<unsigned char> stream;
    MemoryStream memory{};
    if (regular) {
        png_init_io(s.png, file.get());
    } else {
        if (!read_chunks(file.get(), stream)) throw Failure(system_error("cannot read " + name));
        memory = {stream.data(), stream.size()};
        png_set_read_fn(s.png, &memory, read_memory);
    }
    const std::uint64_t size =
        regular ? static_cast<std::uint64_t>(file_stat.st_size) : sizeof signature + stream.size();

    Header header{};
    if (!read_header(s.png, s.info, &header)) {
        throw Failure(name + " is not a readable PNG: " + sink.message);
    }
    if (header.width < 1 || header.height < 1 || header.width > kMaxSide ||
        header.height > kMaxSide) {
        throw Failure(name + " is " + std::to_string(header.width) + "x" +
                      std::to_string(header.height) + " pixels; each side must be 1.." +
                      std::to_string(kMaxSide));
    }
    if ((header.bit_depth != 8 && header.bit_depth != 16) || header.channels != 4) {
        throw Failure(name + " has a pixel format the tool cannot expand to RGBA");
    }

    // A header that claims more than the size can hold is a cut or forged file, refused before
    // any allocation.
    const std::uint64_t declared =
        (std::uint64_t{header.width} * header.height * header.file_bits + 7) / 8;
    if (declared / 1032 > size) {
        throw Failure(name + " is truncated: its " + std::to_string(size) +
                      " bytes cannot hold a " + std::to_string(header.width) + "x" +
                      std::to_string(header.height) + " picture");
    }
    Image image = Image::blank(static_cast<int>(header.width), static_cast<int>(header.height),
                               header.bit_depth);
    std::vector<png_bytep> rows(header.height);
    for (int y = 0; y < image.height; ++y) rows[static_cast<std::size_t>(y)] = image.row(y);
    if (!read_rows(s.png, rows.data())) {
        throw Failure(name + " is damaged or truncated: " + sink.message);
    }
    return image;
}

namespace {

bool read_format(png_structp png, png_infop info, Header* header, int* color, int* interlace) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_sig_bytes(png, 8);
    png_read_info(png, info);
    header->width = png_get_image_width(png, info);
    header->height = png_get_image_height(png, info);
    header->bit_depth = png_get_bit_depth(png, info);
    *color = png_get_color_type(png, info);
    *interlace = png_get_interlace_type(png, info);
    return true;
}

// Every row decoded into the one buffer, then the chunks up to IEND: a cut, a bad CRC or a
// damaged stream fails here.
bool read_through(png_structp png, png_bytep row, png_uint_32 rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    for (png_uint_32 y = 0; y < rows; ++y) png_read_row(png, row, nullptr);
    png_read_end(png, nullptr);
    return true;
}

}  // namespace

ExistingPng existing_png(const std::string& path, int width, int height, int depth) {
    if (path == "-") return ExistingPng::none;  // standard output keeps no earlier frame
    // Without blocking on a pipe: only a regular file (or a link to one) can hold a frame.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? ExistingPng::none : ExistingPng::other;
    struct stat st {};
    FilePtr file(fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? fdopen(fd, "rb") : nullptr);
    if (!file) {
        close(fd);
        return ExistingPng::other;
    }
    png_byte signature[8];
    if (std::fread(signature, 1, sizeof signature, file.get()) != sizeof signature ||
        png_sig_cmp(signature, 0, sizeof signature) != 0) {
        return ExistingPng::other;
    }
    PngErrorSink sink{};
    ReadStructs s;
    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &sink, on_png_error, on_png_warning);
    if (s.png != nullptr) s.info = png_create_info_struct(s.png);
    if (s.info == nullptr) throw Failure("out of memory reading output '" + path + "'");
    png_init_io(s.png, file.get());
    Header header{};
    int color = 0;
    int interlace = 0;
    if (!read_format(s.png, s.info, &header, &color, &interlace) ||
        header.width != static_cast<png_uint_32>(width) ||
        header.height != static_cast<png_uint_32>(height) || header.bit_depth != depth ||
        color != PNG_COLOR_TYPE_RGB_ALPHA || interlace != PNG_INTERLACE_NONE) {
        return ExistingPng::other;
    }
    std::vector<png_byte> row(static_cast<std::size_t>(width) * 4 *
                              static_cast<std::size_t>(depth / 8));
    return read_through(s.png, row.data(), header.height) ? ExistingPng::complete
                                                          : ExistingPng::other;
}

// ---------------------------------------------------------------------------------------------
// Writing

namespace {

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

extern "C" void remove_pending_and_reraise(int sig) {
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
        // Every signal whose default action ends the process (SIGKILL cannot be caught).
        for (int sig : {SIGHUP,    SIGINT,  SIGQUIT,   SIGILL,  SIGTRAP, SIGABRT, SIGBUS,
                        SIGFPE,    SIGUSR1, SIGSEGV,   SIGUSR2, SIGPIPE, SIGALRM, SIGTERM,
                        SIGSTKFLT, SIGXCPU, SIGVTALRM, SIGPROF, SIGIO,   SIGPWR,  SIGSYS}) {
            clean_up_on(sig);
        }
        for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) clean_up_on(sig);
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
            throw Failure(system_error("cannot write output '" + given + "'"));
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
            throw Failure(system_error("cannot write output '" + given + "'"));
        }
        std::string next(target, static_cast<std::size_t>(length));
        const std::size_t slash = d.path.rfind('/');
        if (next[0] != '/' && slash != std::string::npos) next = d.path.substr(0, slash + 1) + next;
        d.path = next;
    }
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
        std::vector<char> templ(dir.begin(), dir.end());
        const std::string tail = "/.zx-XXXXXX";
        templ.insert(templ.end(), tail.begin(), tail.end());
        templ.push_back('\0');
        if (templ.size() > sizeof PendingTemp::path) {
            throw Failure("output '" + name + "': the path is too long");
        }
        path_ = templ.data();  // the name's room, taken before there is a file to lose
        install_interrupt_cleanup();
        slot_ = claim_pending_slot();
        if (slot_ == nullptr)
            throw Failure("output '" + name + "': too many files written at once");
        // Signals wait until the file's name is in its slot: in between, the handler would
        // find the file but not its name.
        sigset_t all;
        sigset_t before;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &before);
        const int fd = mkstemp(templ.data());
        const int saved = errno;
        if (fd >= 0) {
            std::memcpy(slot_->path, templ.data(), templ.size());
            slot_->state.store(kPending);
        }
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
        if (fd < 0) {
            slot_->state.store(kFree);
            errno = saved;
            throw Failure(system_error("cannot create a file for output '" + name + "'"));
        }
        path_ = templ.data();  // the same length: no allocation
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
            throw Failure(system_error("cannot write output '" + name + "'"));
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
            throw Failure(system_error("cannot write " + name));
        }
        if (std::rename(path_.c_str(), destination_.c_str()) != 0) {
            throw Failure(system_error("cannot replace " + name));
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

struct WriteStructs {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~WriteStructs() { png_destroy_write_struct(&png, info ? &info : nullptr); }
};

// Collects libpng's output in memory.
void append_bytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
void no_flush(png_structp) {}

bool write_rows(png_structp png, png_infop info, std::vector<unsigned char>* out,
                const Image* image, int compression) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, out, append_bytes, no_flush);
    if (compression >= 0) png_set_compression_level(png, compression);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image->width),
                 static_cast<png_uint_32>(image->height), image->depth, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image->height; ++y) png_write_row(png, image->row(y));
    png_write_end(png, info);
    return true;
}

// All of `bytes`, or a Failure naming the output and the system's reason.
void put_bytes(std::FILE* file, const std::string& path, const std::vector<unsigned char>& bytes) {
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        if (errno == 0) errno = EIO;
        throw Failure(system_error("cannot write output '" + path + "'"));
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
            throw Failure(system_error("cannot write " + what));
        }
    }
    // A file's late errors (a full disk, a network file system) show when it is flushed.
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && fsync(fd) != 0) {
        throw Failure(system_error("cannot write " + what));
    }
}

}  // namespace

std::vector<unsigned char> encode_png(const Image& image, std::optional<int> compression) {
    PngErrorSink sink{};
    WriteStructs s;
    s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, on_png_error, on_png_warning);
    if (s.png != nullptr) s.info = png_create_info_struct(s.png);
    if (s.info == nullptr) throw Failure("out of memory writing a PNG");
    std::vector<unsigned char> bytes;
    if (!write_rows(s.png, s.info, &bytes, &image, compression.value_or(-1))) {
        throw Failure(std::string("cannot encode a PNG: ") + sink.message);
    }
    return bytes;
}

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
        throw Failure(system_error("cannot write output '" + path + "'"));
    }
    if (destination.exists && (type == S_IFIFO || type == S_IFCHR || type == S_IFBLK)) {
        // A pipe or a device cannot be replaced, only written to.
        FilePtr file(std::fopen(destination.path.c_str(), "wb"));
        if (!file) throw Failure(system_error("cannot open output '" + path + "'"));
        put_bytes(file.get(), path, bytes);
        if (std::fflush(file.get()) != 0) {
            throw Failure(system_error("cannot write output '" + path + "'"));
        }
        return;
    }
    if (destination.exists && type != S_IFREG) {
        throw Failure("output '" + path + "' is neither a file, a pipe nor a device");
    }
    // As cp, no one replaces a file they may not write; a file without any write bit is
    // write-protected even for the superuser.
    if (destination.exists &&
        ((destination.st.st_mode & 0222) == 0 || access(destination.path.c_str(), W_OK) != 0)) {
        throw Failure("output '" + path + "' is read-only; it is not replaced");
    }
    TempFile temp(destination, path);
    put_bytes(temp.file(), path, bytes);
    temp.commit();
}

void write_png(const std::string& path, const Image& image, std::optional<int> compression) {
    write_file(path, encode_png(image, compression));
}

}  // namespace zx::cli
