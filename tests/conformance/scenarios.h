// One fixed list of commands and renders whose outcomes both builds of the effect must produce
// identically: the native one and the Windows module. Every scenario becomes one text line
// (name, result code, message, flags, checksum of the output pixels), so two builds can be
// compared by comparing their lines.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "host/ae_api.h"

namespace conformance {

// printf-style text; GCC 12 misreports literal-plus-string concatenations at -O2.
template <class... Args>
std::string format(const char* pattern, Args... args) {
    char buffer[2048];
    std::snprintf(buffer, sizeof buffer, pattern, args...);
    return buffer;
}

// Runs every scenario against the effect behind `entry`.
std::vector<std::string> run_scenarios(PF_EntryPointFunc entry);

}  // namespace conformance
