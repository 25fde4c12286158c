// Whether a run would write over a file it reads, whatever the format: files are compared, not
// their names, so symbolic links, '.' and '..' and hard links are seen through.
#pragma once

#include <string>
#include <vector>

namespace zx::cli {

// Throws a UsageError naming the first of `outputs` that is the same file as one of `inputs`.
// An existing file is known by its device and inode; a name not taken yet by its folder's and
// the name, so that a file one frame writes cannot be what a later frame reads. Pipes,
// terminals and sockets are streams, never overwritten, and are left out.
void refuse_outputs_over_inputs(const std::vector<std::string>& outputs,
                                const std::vector<std::string>& inputs);

}  // namespace zx::cli
