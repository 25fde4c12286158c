// The plug-in property list the host reads from the module before it calls anything. The table
// here is the one source of its bytes: the Windows resource is generated from it at build time.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct PiplProperty {
    const char* vendor;              // four characters, as written
    const char* key;                 // four characters, as written
    std::vector<std::uint8_t> data;  // the counted data bytes
};

// The Windows width the module is built for. The host finds the entry point through a property
// whose key names the machine: "wx86" on 32-bit hosts, "8664" on 64-bit ones.
enum class PiplTarget { win32, win64 };

// The build machine runs the generator, so the width comes from its argument, not the compiler.
const char* pipl_target_name(PiplTarget target);
bool parse_pipl_target(const char* name, PiplTarget& target);

std::vector<PiplProperty> pipl_properties(PiplTarget target);

// Serialises a property list: header, then every property with its four-character codes
// reversed and its data padded with zeros to a multiple of four bytes.
std::vector<std::uint8_t> serialize_pipl(std::span<const PiplProperty> properties);

// The effect's property list as the module of the given width carries it.
std::vector<std::uint8_t> build_pipl(PiplTarget target);
