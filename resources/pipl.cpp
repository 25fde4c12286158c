#include "resources/pipl.h"

#include <cstddef>
#include <cstring>
#include <utility>

#include "host/effect_info.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// The writers below take their texts through these checks, so a text that does not fit its
// field is a compile error where the table names it, not a truncated resource.
constexpr std::size_t text_length(const char* text) {
    std::size_t n = 0;
    while (text[n] != '\0') ++n;
    return n;
}

// A text of at most `Room` characters; only constant texts can be checked, and only they pass.
template <std::size_t Room>
struct FittingText {
    const char* text;
    consteval FittingText(const char* t) : text(t) {
        if (text_length(t) > Room) throw "the text is longer than its field";
    }
};

// A four-character code, exactly four characters.
struct FourCC {
    const char* code;
    consteval FourCC(const char* c) : code(c) {
        if (text_length(c) != 4) throw "a four-character code has four characters";
    }
};

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

Bytes code(FourCC c) {
    Bytes b;
    put_code(b, c.code);
    return b;
}

// A length byte, the characters, then zeros up to `Total` bytes.
template <std::size_t Total>
Bytes counted(FittingText<Total - 1> fitting) {
    static_assert(Total - 1 <= 255, "the length must fit its byte");
    const std::size_t length = text_length(fitting.text);
    Bytes b(Total, 0);
    b[0] = static_cast<std::uint8_t>(length);
    for (std::size_t i = 0; i < length; ++i) b[1 + i] = static_cast<std::uint8_t>(fitting.text[i]);
    return b;
}

// The characters, then zeros up to `Total` bytes; at least one zero ends the text.
template <std::size_t Total>
Bytes zero_terminated(FittingText<Total - 1> fitting) {
    Bytes b(Total, 0);
    for (std::size_t i = 0; fitting.text[i] != '\0'; ++i) {
        b[i] = static_cast<std::uint8_t>(fitting.text[i]);
    }
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
    constexpr FourCC kVendor("8BIM");
    const FourCC entry_point_key = target == PiplTarget::win64 ? FourCC("8664") : FourCC("wx86");
    const auto property = [&](FourCC key, Bytes data) {
        return PiplProperty{kVendor.code, key.code, std::move(data)};
    };
    return {
        property("kind", code("eFKT")),
        property("name", counted<16>(kEffectName)),
        property("catg", counted<8>(kEffectCategory)),
        property(entry_point_key, zero_terminated<16>(kEntryPointName)),
        property("ePVR", u16_pair(kPiplVersionMajor, kPiplVersionMinor)),
        property("eSVR", u16_pair(kApiVersionMajor, kApiVersionMinor)),
        property("eVER", u32(kEffectVersion)),
        property("eINF", Bytes{0, 0}),
        property("eGLO", u32(static_cast<std::uint32_t>(kGlobalOutFlags))),
        property("eMNA", counted<32>(kEffectMatchName)),
        property("aeFL", u32(kReservedInfo)),
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
