#include "resources/pipl.h"

#include <cstring>

#include "host/effect_info.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void put16(Bytes& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(Bytes& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

// Four-character codes are stored last character first.
void put_code(Bytes& out, const char* code) {
    for (int i = 3; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(code[i]));
}

Bytes u16_pair(std::uint16_t first, std::uint16_t second) {
    Bytes b;
    put16(b, first);
    put16(b, second);
    return b;
}

Bytes u32(std::uint32_t v) {
    Bytes b;
    put32(b, v);
    return b;
}

Bytes code(const char* c) {
    Bytes b;
    put_code(b, c);
    return b;
}

// A length byte, the characters, then zeros up to the given total.
Bytes counted(const char* text, std::size_t total) {
    const std::size_t length = std::strlen(text);
    Bytes b(total, 0);
    b[0] = static_cast<std::uint8_t>(length);
    for (std::size_t i = 0; i < length; ++i) b[1 + i] = static_cast<std::uint8_t>(text[i]);
    return b;
}

Bytes zero_terminated(const char* text, std::size_t total) {
    Bytes b(total, 0);
    for (std::size_t i = 0; text[i] != '\0'; ++i) b[i] = static_cast<std::uint8_t>(text[i]);
    return b;
}

}  // namespace

const char* pipl_target_name(PiplTarget target) {
    return target == PiplTarget::win64 ? "win64" : "win32";
}

bool parse_pipl_target(const char* name, PiplTarget& target) {
    for (PiplTarget t : {PiplTarget::win32, PiplTarget::win64}) {
        if (std::strcmp(name, pipl_target_name(t)) == 0) {
            target = t;
            return true;
        }
    }
    return false;
}

std::vector<PiplProperty> pipl_properties(PiplTarget target) {
    constexpr std::uint16_t kPiplVersionMajor = 2, kPiplVersionMinor = 0;
    constexpr std::uint16_t kApiVersionMajor = 12, kApiVersionMinor = 10;
    constexpr std::uint32_t kReservedInfo = 8;
    const char* entry_point_key = target == PiplTarget::win64 ? "8664" : "wx86";
    return {
        {"8BIM", "kind", code("eFKT")},
        {"8BIM", "name", counted(kEffectName, 16)},
        {"8BIM", "catg", counted(kEffectCategory, 8)},
        {"8BIM", entry_point_key, zero_terminated(kEntryPointName, 16)},
        {"8BIM", "ePVR", u16_pair(kPiplVersionMajor, kPiplVersionMinor)},
        {"8BIM", "eSVR", u16_pair(kApiVersionMajor, kApiVersionMinor)},
        {"8BIM", "eVER", u32(kEffectVersion)},
        {"8BIM", "eINF", Bytes{0, 0}},
        {"8BIM", "eGLO", u32(static_cast<std::uint32_t>(kGlobalOutFlags))},
        {"8BIM", "eMNA", counted(kEffectMatchName, 32)},
        {"8BIM", "aeFL", u32(kReservedInfo)},
    };
}

std::vector<std::uint8_t> serialize_pipl(std::span<const PiplProperty> properties) {
    Bytes out;
    put16(out, 1);
    put32(out, 0);
    put32(out, static_cast<std::uint32_t>(properties.size()));
    for (const PiplProperty& p : properties) {
        put_code(out, p.vendor);
        put_code(out, p.key);
        put32(out, 0);
        put32(out, static_cast<std::uint32_t>(p.data.size()));
        out.insert(out.end(), p.data.begin(), p.data.end());
        out.insert(out.end(), (4 - p.data.size() % 4) % 4, 0);
    }
    return out;
}

std::vector<std::uint8_t> build_pipl(PiplTarget target) {
    const std::vector<PiplProperty> properties = pipl_properties(target);
    return serialize_pipl(properties);
}
