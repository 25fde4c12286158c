// The pictures a run renders: INPUT (or the test card) and, for a transition, the picture it
// ends on. Each is one still picture or, in a sequence, a counter pattern naming frame k's file.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/effect_runner.h"
#include "cli/image.h"
#include "cli/options.h"
#include "cli/output_pattern.h"

namespace zx::cli {

// One picture source. In a sequence a name holding a counter (the output's rules) is a
// pattern; any other name is one file for every frame.
class PictureSource {
  public:
    PictureSource(const std::string& name, bool sequence);
    explicit PictureSource(Image still, std::string what);

    bool per_frame() const { return pattern_.has_value(); }
    std::string name(int k) const;  // the file of frame k, or what the still picture is
    Image picture(int k) const;     // a copy of the still picture, or frame k's file read
    const Image* still() const { return still_ ? &*still_ : nullptr; }

  private:
    std::optional<OutputPattern> pattern_;
    std::string name_;
    std::optional<Image> still_;
};

// Every file the run reads over the whole sequence, whatever --range: each frame of INPUT and
// of B, or each still picture once.
std::vector<std::string> footage_files(const Options& o);

class Footage {
  public:
    explicit Footage(const Options& o);

    bool transition() const { return to_.has_value(); }
    // Pixels of a still INPUT; 0 when INPUT changes per frame.
    long long still_pixels() const;
    // Gives the runner frame k's pictures at the working depth (--depth, or INPUT's own), reading
    // only what the runner does not hold yet or what changes per frame. Pictures of different
    // sizes are a Failure naming both. Returns what INPUT's file carries for the output.
    std::shared_ptr<const Carried> load(EffectRunner& runner, int k) const;

  private:
    std::optional<int> depth_;
    bool card_;  // INPUT is the test card
    PictureSource from_;
    std::optional<PictureSource> to_;
};

}  // namespace zx::cli
