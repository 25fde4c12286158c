// Who the plug-in is to OpenFX hosts. CMake reads the identifier from here to name the icon.
#pragma once

namespace zx::ofx {

inline constexpr char kPluginIdentifier[] = "net.varnokzentrilox.VarnokZentrilox";
inline constexpr char kPluginLabel[] = "VarnokZentrilox";
inline constexpr char kPluginGrouping[] = "Transition";
inline constexpr unsigned kVersionMajor = 1;
inline constexpr unsigned kVersionMinor = 0;
inline constexpr char kVersionLabel[] = "1.0";
inline constexpr char kPluginDescription[] =
    "Cuts the picture into blocks or random strips and moves them to new places; as a "
    "transition, the first clip shuffles out over the second, which shuffles home.";

}  // namespace zx::ofx
