#include "cli/output_pattern.h"

#include "cli/errors.h"

namespace zx::cli {

namespace {
constexpr int kMaxWidth = 32;
}

OutputPattern OutputPattern::parse(const std::string& option, const std::string& pattern) {
    auto refuse = [&](const std::string& why) -> UsageError {
        return UsageError(option + ": '" + pattern + "' " + why +
                          "; a sequence needs exactly one integer counter such as %d or %04d, "
                          "and '%%' for a literal '%'");
    };
    OutputPattern result;
    bool seen = false;
    std::string* text = &result.prefix_;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            text->push_back(pattern[i]);
            continue;
        }
        if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
            text->push_back('%');
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        bool zero = false;
        if (j < pattern.size() && pattern[j] == '0') {
            zero = true;
            ++j;
        }
        int width = 0;
        while (j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9') {
            width = width * 10 + (pattern[j] - '0');
            if (width > kMaxWidth) throw refuse("has a counter wider than 32");
            ++j;
        }
        if (j >= pattern.size() || (pattern[j] != 'd' && pattern[j] != 'i' && pattern[j] != 'u')) {
            throw refuse("has a '%' that is not an integer counter");
        }
        if (seen) throw refuse("has more than one counter");
        seen = true;
        result.zero_pad_ = zero;
        result.width_ = width;
        text = &result.suffix_;
        i = j;
    }
    if (!seen) throw refuse("has no counter");
    return result;
}

std::string OutputPattern::name(long long k) const {
    std::string digits = std::to_string(k);
    const std::size_t width = static_cast<std::size_t>(width_);
    if (digits.size() < width) digits.insert(0, width - digits.size(), zero_pad_ ? '0' : ' ');
    return prefix_ + digits + suffix_;
}

}  // namespace zx::cli
