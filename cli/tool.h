// The whole zentrilox command: parses the command line, renders, writes, reports.
#pragma once

#include <functional>
#include <thread>

namespace zx::cli {

// Starts a thread running `work`, or throws as std::thread does when it cannot.
using ThreadStarter = std::function<std::thread(std::function<void()> work)>;

// Returns the exit status: 0 success, 1 failure, 2 usage error. A sequence's workers are
// started with `start_thread` (std::thread when empty).
int run(int argc, const char* const argv[], const ThreadStarter& start_thread = {});

// Completion of frame `k` of `frames`, going linearly from `from` to `to` percent.
double frame_completion(double from, double to, int k, int frames);

}  // namespace zx::cli
