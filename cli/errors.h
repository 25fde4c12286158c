// The two ways a run can fail, told apart by the exit status.
#pragma once

#include <stdexcept>

namespace zx::cli {

// A mistake on the command line; exit status 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Anything else that stops a run: files, memory, the effect; exit status 1.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

}  // namespace zx::cli
