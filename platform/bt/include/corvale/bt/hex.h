// Hexadecimal digits in the texts of addresses and UUIDs.
#pragma once

namespace Corvale::Bt {

// The value of a hexadecimal digit in either case; -1 for any other character.
template <typename Char>
constexpr int hexDigit(Char c) {
    if (c >= Char('0') && c <= Char('9')) return static_cast<int>(c - Char('0'));
    if (c >= Char('a') && c <= Char('f')) return static_cast<int>(c - Char('a')) + 10;
    if (c >= Char('A') && c <= Char('F')) return static_cast<int>(c - Char('A')) + 10;
    return -1;
}

}  // namespace Corvale::Bt
