// Bluetooth device addresses: the 48-bit value and its text form
// "XX:XX:XX:XX:XX:XX", most significant byte first.
#pragma once

#include <corvale/bt/hex.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Corvale::Bt {

// The bits of a 64-bit platform value that hold the address.
inline constexpr std::uint64_t kAddressMask = 0x0000FFFFFFFFFFFFull;

// "XX:XX:XX:XX:XX:XX" with digits in either case, and nothing else: any other
// length, separator or character gives no address.
template <typename Char>
constexpr std::optional<std::uint64_t> parseAddress(std::basic_string_view<Char> text) {
    if (text.size() != 17) return std::nullopt;
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < 6; ++i) {
        const int high = hexDigit(text[i * 3]), low = hexDigit(text[i * 3 + 1]);
        if (high < 0 || low < 0 || (i < 5 && text[i * 3 + 2] != Char(':'))) return std::nullopt;
        value = value << 8 | static_cast<std::uint64_t>(high * 16 + low);
    }
    return value;
}

template <typename Char>
constexpr std::optional<std::uint64_t> parseAddress(const Char* text) {
    return parseAddress(std::basic_string_view<Char>(text));
}

// The text form of the low 48 bits: six upper-case pairs, 17 characters.
template <typename Char>
std::basic_string<Char> addressText(std::uint64_t address) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::basic_string<Char> text(17, Char(':'));
    for (std::size_t i = 0; i < 6; ++i) {
        const auto byte = static_cast<unsigned>(address >> (8 * (5 - i))) & 0xFFu;
        text[i * 3] = static_cast<Char>(kDigits[byte >> 4]);
        text[i * 3 + 1] = static_cast<Char>(kDigits[byte & 0xFu]);
    }
    return text;
}

}  // namespace Corvale::Bt
