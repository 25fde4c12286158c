// Who the plug-in is to OpenFX hosts. CMake reads the identifier from here to name the icon; the
// label and the version are the effect's own (host/effect_info.h).
#pragma once

#include <array>
#include <cstddef>

#include "host/effect_info.h"

namespace zx::ofx {

inline constexpr char kPluginIdentifier[] = "net.varnokzentrilox.VarnokZentrilox";
inline constexpr const char* kPluginLabel = kEffectName;
inline constexpr char kPluginGrouping[] = "Transition";
inline constexpr char kPluginDescription[] =
    "Cuts the picture into blocks or random strips and moves them to new places; as a "
    "transition, the first clip shuffles out over the second, which shuffles home.";

static_assert(kMajorVersion >= 0 && kMinorVersion >= 0, "OpenFX versions are unsigned");
inline constexpr auto kVersionMajor = static_cast<unsigned>(kMajorVersion);
inline constexpr auto kVersionMinor = static_cast<unsigned>(kMinorVersion);

namespace version_text {

constexpr std::size_t digits(unsigned n) {
    std::size_t count = 1;
    for (; n >= 10; n /= 10) ++count;
    return count;
}

constexpr char* write(unsigned n, char* end) {
    do {
        *--end = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n > 0);
    return end;
}

}  // namespace version_text

// "major.minor", as the version label hosts show.
inline constexpr auto kVersionLabel = [] {
    constexpr std::size_t major = version_text::digits(kVersionMajor);
    std::array<char, major + 1 + version_text::digits(kVersionMinor) + 1> text{};
    version_text::write(kVersionMajor, text.data() + major);
    text[major] = '.';
    version_text::write(kVersionMinor, text.data() + text.size() - 1);
    return text;
}();

}  // namespace zx::ofx
