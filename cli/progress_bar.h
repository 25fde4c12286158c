// A one-line progress bar on standard error, redrawn only when what it shows changes.
#pragma once

#include <cstdio>
#include <string>

namespace zx::cli {

class ProgressBar {
  public:
    // A disabled bar prints nothing.
    ProgressBar(bool enabled, int frames, std::FILE* out = stderr);
    ~ProgressBar() { finish(); }
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // `done` of `total` steps of frame `frame` (0-based) are finished.
    void update(int frame, long done, long total) noexcept;
    // Ends the line, so that later messages start on a fresh one.
    void finish() noexcept;

  private:
    bool enabled_;
    int frames_;
    std::FILE* out_;
    int shown_permille_ = -1;
    int shown_frame_ = -1;
    bool drawn_ = false;
};

}  // namespace zx::cli
