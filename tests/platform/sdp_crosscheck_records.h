// The records of the libbluetooth cross-checks: every element type and size,
// ten levels of containers, and records over 255 and 65,535 bytes, given as
// the attribute pairs that a record header of each length size wraps. The
// Windows stage's differential check of SDP parsers reads them too.
#pragma once

#include "sdp_test_support.h"

namespace sdptest {

inline const std::uint64_t kBaseLow = 0x800000805F9B34FBull;

// Every element of the table but the texts with 32-bit lengths, which
// libbluetooth's parser misreads; and ten levels of containers of every size.
inline Bytes everyElement() {
    std::vector<std::pair<std::uint16_t, Bytes>> attributes = {
        {0x0001, seq({uuid32(0x00011105), uuid128(0x123456789ABCDEF0ull, 1), uuid16(0x1106)})}};
    std::uint16_t id = 0x0300;
    for (const auto& [bytes, type, specificType] : kElements)
        if (bytes[0] != 0x27 && bytes[0] != 0x47) attributes.emplace_back(id++, bytes);
    Bytes deep = uuid16(0x1101);
    for (int i = 0; i < 10; ++i) deep = sized(6 + i % 2, 1 << (i % 3), cat({deep, u8(i)}));
    attributes.emplace_back(0x0400, deep);
    return pairs(attributes);
}

// Name, the least size the attributes must have, the attributes.
inline const std::tuple<const char*, std::size_t, Bytes> kCrossCheckRecords[] = {
    {"EveryElement", 256, everyElement()},
    // The class list starts with a 128-bit UUID; 0x1101 comes in two widths.
    {"Over255Bytes", 256,
     pairs({{0x0001, seq({uuid128(0x123456789ABCDEF0ull, 0x1122334455667788ull), uuid16(0x1101),
                          uuid128(0x0000110100001000ull, kBaseLow)})},
            {0x0100, text(std::string(255, 'a'))},
            {0x0101, sized(8, 2, Bytes(300, 'u'))}})},
    // One class in three widths counts once, at its last place: 0x1203 wins.
    {"Over65535Bytes", 65536,
     pairs(
         {{0x0001, seq({uuid16(0x1112), uuid32(0x1203), uuid128(0x0000111200001000ull, kBaseLow)})},
          {0x0100, text(std::string(30000, 'b'))},
          {0x0101, sized(6, 4, cat({text(std::string(40000, 'c')), uuid16(0x1101)}))}})},
    {"NoClassList", 0, pairs({{0x0000, u32(0x00010001)}})},
};

}  // namespace sdptest
