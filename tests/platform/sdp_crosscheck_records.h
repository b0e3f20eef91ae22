// The records of the libbluetooth cross-checks: every element type and size,
// ten levels of containers, a long class list, and records over 255 and
// 65,535 bytes, given as the attribute pairs that a record header of each
// length size wraps. The Windows stage's differential check of SDP parsers
// reads them too.
#pragma once

#include "sdp_test_support.h"

namespace sdptest {

inline const std::uint64_t kBaseLow = 0x800000805F9B34FBull;

// Every element of the table but the texts with 32-bit lengths, which
// libbluetooth's parser misreads; and ten levels of containers of every size.
inline Bytes everyElement() {
    std::vector<Attribute> attributes = {
        {0x0001,
         sequence({uuid32(0x00011105), uuid128(0x123456789ABCDEF0ull, 1), uuid16(0x1106)})}};
    std::uint16_t id = 0x0300;
    for (const auto& [bytes, type, specificType] : kElements)
        if (bytes[0] != 0x27 && bytes[0] != 0x47) attributes.push_back({id++, bytes});
    Bytes deep = uuid16(0x1101);
    for (std::size_t i = 0; i < 10; ++i)
        deep = variable(i % 2 ? Type::Alternative : Type::Sequence, cat({deep, uint8(0)}),
                        kLengths[i % 3]);
    attributes.push_back({0x0400, deep});
    return pairs(attributes);
}

// A class list of 5,999 UUIDs in all three widths, each value coming back
// several times, so that most places are taken again later (and the class
// that wins is not the first one listed).
inline Bytes longClassList() {
    std::vector<Bytes> classes;
    for (std::uint32_t i = 0; i < 5999; ++i) {
        const std::uint32_t value = 0x1000 + (i * 7919) % 1500;
        classes.push_back(i % 3 == 0   ? uuid16(static_cast<std::uint16_t>(value))
                          : i % 3 == 1 ? uuid32(value)
                                       : uuid128(std::uint64_t{value} << 32 | 0x1000, kBaseLow));
    }
    return pairs({{0x0001, sequence(classes)}});
}

inline const std::tuple<const char*, std::size_t, Bytes> kCrossCheckRecords[] = {
    {"EveryElement", 256, everyElement()},
    // The class list starts with a 128-bit UUID; 0x1101 comes in two widths.
    {"Over255Bytes", 256,
     pairs({{0x0001, sequence({uuid128(0x123456789ABCDEF0ull, 0x1122334455667788ull),
                               uuid16(0x1101), uuid128(0x0000110100001000ull, kBaseLow)})},
            {0x0100, text(std::string(255, 'a'))},
            {0x0101, url(std::string(300, 'u'), k16Bits)}})},
    // One class in three widths counts once, at its last place: 0x1203 wins.
    {"Over65535Bytes", 65536,
     pairs({{0x0001,
             sequence({uuid16(0x1112), uuid32(0x1203), uuid128(0x0000111200001000ull, kBaseLow)})},
            {0x0100, text(std::string(30000, 'b'))},
            {0x0101, sequence({text(std::string(40000, 'c')), uuid16(0x1101)}, k32)}})},
    {"LongClassList", 6000 * 3, longClassList()},
    {"NoClassList", 0, pairs({{0x0000, uint32(0x00010001)}})},
};

// Each cross-check record under every record header whose length field
// holds it: its name with the field's size in bytes, its bytes, and the
// attribute pairs inside.
struct HeadedRecord {
    std::string name;
    Bytes bytes, attributes;
};
inline std::vector<HeadedRecord> headedRecords() {
    std::vector<HeadedRecord> out;
    for (const auto& [name, atLeast, attributes] : kCrossCheckRecords)
        for (std::size_t prefix : {1, 2, 4})
            if (attributes.size() >> (8 * prefix) == 0)
                out.push_back({std::string(name) + ", length field " + std::to_string(prefix),
                               variable(Type::Sequence, attributes, kLengths[prefix / 2]),
                               attributes});
    return out;
}

}  // namespace sdptest
