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

std::vector<PiplProperty> pipl_properties();

// Serialises a property list: header, then every property with its four-character codes
// reversed and its data padded with zeros to a multiple of four bytes.
std::vector<std::uint8_t> serialize_pipl(std::span<const PiplProperty> properties);

// The effect's property list as the module carries it.
std::vector<std::uint8_t> build_pipl();
