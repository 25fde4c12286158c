// The whole zentrilox command: parses the command line, renders, writes, reports.
#pragma once

namespace zx::cli {

// Returns the exit status: 0 success, 1 failure, 2 usage error.
int run(int argc, const char* const argv[]);

// Completion of frame `k` of `frames`, going linearly from `from` to `to` percent.
double frame_completion(double from, double to, int k, int frames);

}  // namespace zx::cli
