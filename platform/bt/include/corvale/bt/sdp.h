// SDP data elements (Bluetooth Core Specification, Vol 3, Part B, 3): the type
// descriptors, and the one encoder that writes elements byte for byte, for
// service records, request parameters and tests alike.
//
// Every element is its whole encoding in a byte vector; a container takes the
// encodings of its children. Nothing here checks what it is given beyond what
// the format can carry: a test may build a record that breaks the rules.
#pragma once

#include <corvale/bt/uuid.h>

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace Corvale::Bt::Sdp {

using Bytes = std::vector<std::uint8_t>;

// The type descriptor: the upper five bits of an element's first byte.
enum class Type : std::uint8_t {
    Nil = 0,
    Uint = 1,
    Int = 2,
    Uuid = 3,
    Text = 4,
    Boolean = 5,
    Sequence = 6,
    Alternative = 7,
    Url = 8,
};

// The length field of a variable-sized element (text, URL, container).
enum class LengthField { Shortest, Bits8, Bits16, Bits32 };

Bytes nil();
Bytes boolean(bool value);
Bytes uint8(std::uint8_t value);
Bytes uint16(std::uint16_t value);
Bytes uint32(std::uint32_t value);
Bytes uint64(std::uint64_t value);
Bytes int8(std::int8_t value);
Bytes int16(std::int16_t value);
Bytes int32(std::int32_t value);
Bytes int64(std::int64_t value);
// Any fixed-size element from its value, big-endian: 1, 2, 4, 8 or 16 bytes
// (a 128-bit integer, say). Other sizes give nothing.
Bytes fixed(Type type, std::span<const std::uint8_t> value);

Bytes uuid16(std::uint16_t value);
Bytes uuid32(std::uint32_t value);
Bytes uuid128(const UuidBytes& value);
template <GuidLike G>
Bytes uuid128(const G& g) {
    return uuid128(uuidBytes(g));
}
// A UUID in its shortest form: 16 or 32 bits when it lies on the base UUID,
// else all 128.
template <GuidLike G>
Bytes uuid(const G& g) {
    if (const auto s = shortForm(g))
        return *s <= 0xFFFF ? uuid16(static_cast<std::uint16_t>(*s)) : uuid32(*s);
    return uuid128(g);
}

// A variable-sized element of any type around `body`.
Bytes variable(Type type, std::span<const std::uint8_t> body,
               LengthField length = LengthField::Shortest);
Bytes text(std::string_view utf8, LengthField length = LengthField::Shortest);
// A text element that holds raw bytes (a HID report descriptor, say).
Bytes octets(std::span<const std::uint8_t> data, LengthField length = LengthField::Shortest);
Bytes url(std::string_view address, LengthField length = LengthField::Shortest);
Bytes sequence(const std::vector<Bytes>& items, LengthField length = LengthField::Shortest);
Bytes alternative(const std::vector<Bytes>& items, LengthField length = LengthField::Shortest);

struct Attribute {
    std::uint16_t id;
    Bytes value;
};
// A service record: one sequence of (attribute ID, value) pairs in the order
// given. SDP wants ascending IDs; that is the caller's to keep.
Bytes record(const std::vector<Attribute>& attributes, LengthField length = LengthField::Shortest);

}  // namespace Corvale::Bt::Sdp
