// UUIDs as SDP uses them, in the GUID layout: Data1 (32 bits), Data2 and
// Data3 (16 bits each) as numbers, Data4 as the last eight bytes in text
// order. The functions take any type with those four fields, so the platform's
// own GUID serves without this header naming it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace Corvale::Bt {

template <typename G>
concept GuidLike = requires(G g) {
    g.Data1;
    g.Data2;
    g.Data3;
    g.Data4[7];
};

// The Bluetooth base UUID 00000000-0000-1000-8000-00805F9B34FB, on which a
// 16- or 32-bit short form stands for Data1.
inline constexpr std::uint16_t kBaseData2 = 0x0000;
inline constexpr std::uint16_t kBaseData3 = 0x1000;
inline constexpr std::array<std::uint8_t, 8> kBaseData4 = {0x80, 0x00, 0x00, 0x80,
                                                           0x5F, 0x9B, 0x34, 0xFB};

// The UUID of a short form: the base UUID with Data1 set to it.
template <GuidLike G>
constexpr G onBase(std::uint32_t shortForm) {
    G g{};
    g.Data1 = shortForm;
    g.Data2 = kBaseData2;
    g.Data3 = kBaseData3;
    for (std::size_t i = 0; i < 8; ++i) g.Data4[i] = kBaseData4[i];
    return g;
}

// All 16 bytes equal.
template <GuidLike G>
constexpr bool sameGuid(const G& a, const G& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (std::size_t i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}

// The 32-bit short form of a UUID on the base UUID (it fits 16 bits when it
// is at most 0xFFFF); none for any other UUID.
template <GuidLike G>
constexpr std::optional<std::uint32_t> shortForm(const G& g) {
    if (g.Data2 != kBaseData2 || g.Data3 != kBaseData3) return std::nullopt;
    for (std::size_t i = 0; i < 8; ++i)
        if (g.Data4[i] != kBaseData4[i]) return std::nullopt;
    return static_cast<std::uint32_t>(g.Data1);
}

// The 16 bytes in text order, as SDP sends a 128-bit UUID.
using UuidBytes = std::array<std::uint8_t, 16>;

template <GuidLike G>
constexpr UuidBytes uuidBytes(const G& g) {
    UuidBytes b{};
    const auto d1 = static_cast<std::uint32_t>(g.Data1);
    for (std::size_t i = 0; i < 4; ++i) b[i] = static_cast<std::uint8_t>(d1 >> (24 - 8 * i));
    b[4] = static_cast<std::uint8_t>(g.Data2 >> 8);
    b[5] = static_cast<std::uint8_t>(g.Data2);
    b[6] = static_cast<std::uint8_t>(g.Data3 >> 8);
    b[7] = static_cast<std::uint8_t>(g.Data3);
    for (std::size_t i = 0; i < 8; ++i) b[8 + i] = g.Data4[i];
    return b;
}

// The GUID of 16 bytes in text order (big-endian Data1 to Data3).
template <GuidLike G>
constexpr G guidFromBytes(const std::uint8_t* b) {
    G g{};
    g.Data1 = static_cast<std::uint32_t>(b[0]) << 24 | static_cast<std::uint32_t>(b[1]) << 16 |
              static_cast<std::uint32_t>(b[2]) << 8 | b[3];
    g.Data2 = static_cast<std::uint16_t>(b[4] << 8 | b[5]);
    g.Data3 = static_cast<std::uint16_t>(b[6] << 8 | b[7]);
    for (std::size_t i = 0; i < 8; ++i) g.Data4[i] = b[8 + i];
    return g;
}

// The lower-case 36-character text of a UUID without braces
// ("00001101-0000-1000-8000-00805f9b34fb"), as BlueZ writes it on D-Bus and in
// its record XML.
std::string uuidText(const UuidBytes& bytes);

}  // namespace Corvale::Bt
