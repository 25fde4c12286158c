// Writing a file so that it is whole or not there: the bytes go to a temporary file beside the
// destination, which is renamed over it only once complete; a fatal signal removes it first.
// Failures arrive as WriteError with a message that names the output.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace zx::atomic {

struct WriteError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Writes `bytes` as the file `path`. A symbolic link is followed and what it points to is
// replaced; a replaced file keeps its mode; a read-only file is refused. A pipe or a device is
// written directly. "-" is standard output, and a path that names one of the process's
// descriptors (/dev/stdout, /dev/fd/N) is written through that descriptor, a file there in
// place (a shell's >> appends). Several threads may write at once.
void write_file(const std::string& path, const std::vector<unsigned char>& bytes);

}  // namespace zx::atomic
