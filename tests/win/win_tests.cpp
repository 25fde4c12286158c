// Loads the shipped module the way the host does and checks it: the export, the property list
// resource, and every command, whose outcomes must equal the native build's line for line.
//
//   zentrilox_win_tests.exe VarnokZentrilox.aex expected.txt
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "host/ae_api_layout.h"
#include "resources/pipl.h"
#include "tests/conformance/scenarios.h"

namespace {

using conformance::format;

int passes = 0;
int failures = 0;

void check(bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    ++(ok ? passes : failures);
}

std::vector<std::string> read_lines(const char* path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// The module under test is built for the same width as this program.
constexpr PiplTarget kTarget = sizeof(void*) == 8 ? PiplTarget::win64 : PiplTarget::win32;

void check_property_list(HMODULE module) {
    HRSRC resource = FindResourceExA(module, "PIPL", MAKEINTRESOURCEA(16000),
                                     MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    check(resource != nullptr, "resource PIPL 16000, language 1033, is present");
    if (resource == nullptr) return;
    HGLOBAL loaded = LoadResource(module, resource);
    const auto* bytes = static_cast<const std::uint8_t*>(LockResource(loaded));
    const DWORD size = SizeofResource(module, resource);
    const std::vector<std::uint8_t> expected = build_pipl(kTarget);
    check(size == expected.size(),
          format("property list is %lu bytes, expected %lu", static_cast<unsigned long>(size),
                 static_cast<unsigned long>(expected.size())));
    check(bytes != nullptr && size == expected.size() &&
              std::equal(expected.begin(), expected.end(), bytes),
          format("property list bytes equal the generated %s ones", pipl_target_name(kTarget)));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: zentrilox_win_tests MODULE.aex EXPECTED.txt\n");
        return 2;
    }
    // Unbuffered, so that a crash still leaves everything printed before it.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    // No error dialogs: a failure must show as an exit code, never as a window.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);

    HMODULE module = LoadLibraryA(argv[1]);
    check(module != nullptr, format("LoadLibrary %s", argv[1]));
    if (module == nullptr) return 1;

    auto entry = reinterpret_cast<PF_EntryPointFunc>(
        reinterpret_cast<void*>(GetProcAddress(module, "EntryPointFunc")));
    check(entry != nullptr, "EntryPointFunc is exported by its plain name");
    check(GetProcAddress(module, "_EntryPointFunc") == nullptr &&
              GetProcAddress(module, "EntryPointFunc@24") == nullptr,
          "no decorated export");
    check_property_list(module);
    if (entry == nullptr) return 1;

    const std::vector<std::string> expected = read_lines(argv[2]);
    check(!expected.empty(), format("native outcomes read from %s", argv[2]));
    const std::vector<std::string> actual = conformance::run_scenarios(entry);
    check(actual.size() == expected.size(),
          format("%lu scenarios, native %lu", static_cast<unsigned long>(actual.size()),
                 static_cast<unsigned long>(expected.size())));
    std::size_t same = 0;
    for (std::size_t i = 0; i < actual.size() && i < expected.size(); ++i) {
        if (actual[i] == expected[i]) {
            ++same;
        } else {
            check(false,
                  format("scenario differs from the native build:\n  native:  %s\n  windows: %s",
                         expected[i].c_str(), actual[i].c_str()));
        }
    }
    check(same == expected.size(),
          format("%lu of %lu scenarios identical to the native build",
                 static_cast<unsigned long>(same), static_cast<unsigned long>(expected.size())));

    FreeLibrary(module);
    std::printf("%d passed, %d failed\n", passes, failures);
    return failures == 0 ? 0 : 1;
}
