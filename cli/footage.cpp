#include "cli/footage.h"

#include <utility>

#include "cli/errors.h"
#include "cli/picture_io.h"
#include "cli/test_card.h"

namespace zx::cli {

namespace {

// A name is a pattern when it parses as one; a name with some other '%' stays a file name.
std::optional<OutputPattern> pattern_in(const std::string& name) {
    if (name.find('%') == std::string::npos) return std::nullopt;
    try {
        return OutputPattern::parse("", name);
    } catch (const UsageError&) {
        return std::nullopt;
    }
}

std::string size_text(const Frame& w) {
    return std::to_string(w.width()) + "x" + std::to_string(w.height());
}

PictureSource input_source(const Options& o) {
    if (o.input) return PictureSource(*o.input, o.frames.has_value());
    return PictureSource(make_test_card(o.card_width, o.card_height), "the test card");
}

}  // namespace

std::vector<std::string> footage_files(const Options& o) {
    std::vector<std::string> files;
    for (const std::optional<std::string>& name : {o.input, o.transition_to}) {
        if (!name) continue;
        const std::optional<OutputPattern> pattern = o.frames ? pattern_in(*name) : std::nullopt;
        if (!pattern) files.push_back(*name);
        for (int k = 0; pattern && k < *o.frames; ++k) files.push_back(pattern->name(k));
    }
    return files;
}

PictureSource::PictureSource(const std::string& name, bool sequence)
    : pattern_(sequence ? pattern_in(name) : std::nullopt), name_(name) {
    if (!pattern_) still_ = read_picture(name);
}

PictureSource::PictureSource(Image still, std::string what)
    : name_(std::move(what)), still_(std::move(still)) {}

std::string PictureSource::name(int k) const {
    return pattern_ ? pattern_->name(k) : name_;
}

Image PictureSource::picture(int k) const {
    return pattern_ ? read_picture(pattern_->name(k)) : *still_;
}

Footage::Footage(const Options& o) : depth_(o.depth), card_(!o.input), from_(input_source(o)) {
    if (o.transition_to) to_.emplace(*o.transition_to, o.frames.has_value());
}

long long Footage::still_pixels() const {
    const Image* still = from_.still();
    return still ? static_cast<long long>(still->width) * still->height : 0;
}

std::shared_ptr<const Carried> Footage::load(EffectRunner& runner, int k) const {
    const bool new_from = from_.per_frame() || !runner.has_layer();
    std::shared_ptr<const Carried> carried = from_.still() ? from_.still()->carried : nullptr;
    if (new_from) {
        Image picture = from_.picture(k);
        const SampleDepth depth = working_depth_of(depth_.value_or(picture.depth));
        runner.set_layer(to_frame(picture, depth));
        carried = std::move(picture.carried);
    }
    if (!to_ || !(new_from || to_->per_frame() || !runner.has_target())) return carried;
    const Frame& layer = runner.layer();
    Frame target = to_frame(to_->picture(k), layer.depth());
    if (target.width() != layer.width() || target.height() != layer.height()) {
        throw Failure("--transition-to: '" + to_->name(k) + "' is " + size_text(target) + " but " +
                      (card_ ? from_.name(k) : "INPUT '" + from_.name(k) + "'") + " is " +
                      size_text(layer) + "; a transition needs two pictures of the same size");
    }
    runner.set_target(std::move(target));
    return carried;
}

}  // namespace zx::cli
