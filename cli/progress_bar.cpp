#include "cli/progress_bar.h"

#include <algorithm>

namespace zx::cli {

ProgressBar::ProgressBar(bool enabled, int frames, std::FILE* out)
    : enabled_(enabled), frames_(std::max(frames, 1)), out_(out) {}

void ProgressBar::update(int frame, long done, long total) noexcept {
    if (!enabled_) return;
    const double within = total > 0 ? std::clamp(static_cast<double>(done) / total, 0.0, 1.0) : 0.0;
    const int permille = static_cast<int>((frame + within) / frames_ * 1000.0);
    if (permille == shown_permille_ && frame == shown_frame_) return;
    shown_permille_ = permille;
    shown_frame_ = frame;
    constexpr int kCells = 30;
    char bar[kCells + 1];
    const int filled = permille * kCells / 1000;
    for (int i = 0; i < kCells; ++i) bar[i] = i < filled ? '#' : '-';
    bar[kCells] = '\0';
    std::fprintf(out_, "\rzentrilox: frame %d/%d [%s] %5.1f%%", frame + 1, frames_, bar,
                 permille / 10.0);
    std::fflush(out_);
    drawn_ = true;
}

void ProgressBar::finish() noexcept {
    if (!drawn_) return;
    std::fputc('\n', out_);
    std::fflush(out_);
    drawn_ = false;
}

}  // namespace zx::cli
