// File names of a sequence: a pattern with one printf-style integer counter.
#pragma once

#include <string>

namespace zx::cli {

class OutputPattern {
  public:
    // Accepts exactly one counter %d, %i or %u with an optional '0' flag and width, and '%%'
    // for a literal '%'; anything else with '%' is a UsageError naming `option`.
    static OutputPattern parse(const std::string& option, const std::string& pattern);

    // The name of frame `k`, as printf would format it.
    std::string name(long long k) const;

  private:
    std::string prefix_;
    std::string suffix_;
    int width_ = 0;
    bool zero_pad_ = false;
};

}  // namespace zx::cli
