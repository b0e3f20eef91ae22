// BlueZ's XML form of an SDP record (what its profile manager takes as the
// ServiceRecord option of RegisterProfile), written from a small element tree
// that says nothing about where the record came from: publication builds one,
// and so can anything that shows a record it has decoded.
#pragma once

#include <corvale/compat/winapi.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Corvale::Bluez {

// One SDP data element (Bluetooth Core Specification, Vol 3, Part B, 3.2).
struct RecordElement {
    enum class Type { Nil, Unsigned, Signed, Uuid, Text, Boolean, Sequence, Alternative, Url };
    Type type = Type::Nil;
    // Bytes of the value: 1, 2, 4, 8 or 16 for integers; 2, 4 or 16 for UUIDs.
    unsigned size = 0;
    // Integers of up to 8 bytes (Signed ones as two's complement in `size`
    // bytes); Boolean: non-zero is true.
    std::uint64_t number = 0;
    GUID uuid{};  // Uuid; a 2- or 4-byte one has its value in Data1
    // Text and Url: the bytes as received; 16-byte integers: their bytes,
    // most significant first.
    std::string text;
    std::vector<RecordElement> children;  // Sequence and Alternative
};

struct RecordAttribute {
    std::uint16_t id = 0;
    RecordElement value;
};

// The record in BlueZ's XML form: one <record> with its attributes in the
// order given. Text that XML cannot carry as it is (control characters,
// bytes that are not UTF-8) is written hex-encoded, a form BlueZ accepts; an
// element that does not make sense (a size its type cannot have) is <nil />,
// and containers nested more than 32 deep are written without their children.
std::string recordXml(const std::vector<RecordAttribute>& attributes);

// Elements as publication needs them. A UUID on the Bluetooth base UUID
// takes its 2- or 4-byte form.
RecordElement shortestUuid(const GUID& uuid);
RecordElement unsigned8(std::uint8_t value);
RecordElement text(std::string value);
RecordElement sequence(std::vector<RecordElement> children);

// The lower-case 36-character text of a UUID, as D-Bus carries it.
std::string uuidText(const GUID& uuid);

}  // namespace Corvale::Bluez
