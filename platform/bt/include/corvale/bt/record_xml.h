// BlueZ's XML form of an SDP service record: what bluetoothd's profile manager
// takes as the ServiceRecord option of RegisterProfile. It is written from a
// small element tree that says nothing about where the record came from:
// publication builds one, and so does anything that shows a record it has
// decoded.
#pragma once

#include <corvale/bt/sdp.h>
#include <corvale/bt/uuid.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Corvale::Bt {

// One SDP data element (Bluetooth Core Specification, Vol 3, Part B, 3.2).
struct RecordElement {
    Sdp::Type type = Sdp::Type::Nil;
    // Bytes of the value: 1, 2, 4, 8 or 16 for integers; 2, 4 or 16 for UUIDs.
    unsigned size = 0;
    // Integers of up to 8 bytes (Int ones as two's complement in `size`
    // bytes), 2- and 4-byte UUIDs; Boolean: non-zero is true.
    std::uint64_t number = 0;
    // 16-byte integers and UUIDs, most significant byte first (a UUID in its
    // text order).
    UuidBytes wide{};
    // Text and Url: the bytes as received, in any encoding or none.
    std::string bytes;
    // Sequence and Alternative.
    std::vector<RecordElement> children;

    static RecordElement nil();
    static RecordElement boolean(bool value);
    // An integer of 1, 2, 4 or 8 bytes; higher bits than `size` holds are
    // ignored.
    static RecordElement unsignedInt(unsigned size, std::uint64_t value);
    static RecordElement signedInt(unsigned size, std::int64_t value);
    static RecordElement int128(bool isSigned, const UuidBytes& value);
    static RecordElement uuid16(std::uint16_t value);
    static RecordElement uuid32(std::uint32_t value);
    static RecordElement uuid128(const UuidBytes& value);
    // A UUID in its shortest form: 2 or 4 bytes on the Bluetooth base UUID,
    // else all 16.
    template <GuidLike G>
    static RecordElement uuid(const G& g) {
        if (const auto s = shortForm(g))
            return *s <= 0xFFFF ? uuid16(static_cast<std::uint16_t>(*s)) : uuid32(*s);
        return uuid128(uuidBytes(g));
    }
    static RecordElement text(std::string bytes);
    static RecordElement url(std::string bytes);
    static RecordElement sequence(std::vector<RecordElement> children);
    static RecordElement alternative(std::vector<RecordElement> children);
};

struct RecordAttribute {
    std::uint16_t id = 0;
    RecordElement value;
};

// The record in BlueZ's XML form: one <record> with its attributes in the
// order given, well-formed whatever the texts hold. A text or URL that XML
// cannot carry as it is (bytes that are not UTF-8, control characters, the
// non-characters U+FFFE and U+FFFF) is written hex-encoded
// (encoding="hex"); BlueZ decodes that form for text only, so such a URL
// would come back as its hex digits. An element that does not make sense (a
// size its type cannot have) is <nil />, and elements nested more than 32
// levels deep (the attribute's value is level 1) are left out.
std::string recordXml(const std::vector<RecordAttribute>& attributes);

}  // namespace Corvale::Bt
