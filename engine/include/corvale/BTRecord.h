// The whole of one SDP service record, decoded into a tree of data elements
// (Bluetooth Core Specification, Vol 3, Part B, 3 and 5), and the summaries a
// person reads from it.
//
// Every byte of a record comes from a remote device. The decoder reads it
// through the platform's SDP functions only, never outside the bytes, with
// nesting and the count of elements bounded; a record it cannot read to the
// end keeps the attributes read before the damage and says at which byte
// reading stopped.
#pragma once

#include <corvale/BTUUID.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Corvale {

// An element's type together with its size.
enum class BTElementType : std::uint8_t {
    Nil,
    Uint8,
    Uint16,
    Uint32,
    Uint64,
    Uint128,
    Int8,
    Int16,
    Int32,
    Int64,
    Int128,
    Uuid16,
    Uuid32,
    Uuid128,
    Text,
    Bool,
    Sequence,
    Alternative,
    Url,
};

// "nil", "uint8", ..., "uuid128", "text", "bool", "sequence", "alternative",
// "url": the names the JSON output uses.
std::string_view TypeName(BTElementType type);

// One data element of a decoded record. It lives in its record's element
// list; containers and texts refer to their record, so read them through it
// (BTRecord::Children, BTRecord::Text).
struct BTElement {
    BTElementType type = BTElementType::Nil;
    // The element's place in the record bytes: its first byte (the type and
    // size descriptor) and its whole encoding, header included.
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
    // Uint8..Uint64 as they are; Int8..Int64 sign-extended to 64 bits (see
    // asSigned); Bool 0 or 1; Uuid16 and Uuid32 their short form.
    std::uint64_t number = 0;
    // Uint128, Int128 and Uuid128: the 16 bytes, most significant first (for
    // a UUID, in the order of its text).
    std::array<std::uint8_t, 16> wide{};
    // Sequence and Alternative: the children are the record's elements
    // [first, first + count). Text and Url: the value is the record's bytes
    // [first, first + count).
    std::uint32_t first = 0;
    std::uint32_t count = 0;

    bool isContainer() const {
        return type == BTElementType::Sequence || type == BTElementType::Alternative;
    }
    bool isUuid() const { return type >= BTElementType::Uuid16 && type <= BTElementType::Uuid128; }
    // Text or Url.
    bool isText() const { return type == BTElementType::Text || type == BTElementType::Url; }
    bool isUnsigned() const {
        return type >= BTElementType::Uint8 && type <= BTElementType::Uint64;
    }
    bool isSigned() const { return type >= BTElementType::Int8 && type <= BTElementType::Int64; }
    std::int64_t asSigned() const { return static_cast<std::int64_t>(number); }
    // A UUID of any width as 128 bits (a short form on the Bluetooth base
    // UUID); UUID_NULL for any other type.
    BTUUID uuid() const;
};

// One attribute: its ID and the index of its value in BTRecord::Elements().
struct BTAttribute {
    std::uint16_t id = 0;
    std::uint32_t value = 0;
};

// Why reading stopped before the end of the record.
enum class BTRecordStop : std::uint8_t {
    None,             // the whole record was read
    Malformed,        // bytes that are no sound data element or attribute
    TooDeep,          // containers nested deeper than BTRecord::kMaxDepth
    TooManyElements,  // more elements than BTRecord::kMaxElements
};

// One entry of LanguageBaseAttributeIDList (attribute 0x0006).
struct BTLanguageBase {
    std::uint16_t language = 0;  // ISO 639 code, two letters packed ("en" = 0x656E)
    std::uint16_t encoding = 0;  // IANA MIBenum (106 = UTF-8)
    std::uint16_t base = 0;      // where ServiceName, ServiceDescription, ProviderName start
    // "en" when both bytes are lower-case letters, else "0x656E" (the number).
    std::string code() const;
};

// A decoded record: a plain value, copied freely. It keeps its own copy of the
// bytes it was decoded from.
class BTRecord {
public:
    // Containers may nest this deep; the record's own sequence is level 1,
    // an attribute's value level 2.
    static constexpr unsigned kMaxDepth = 32;
    // Elements kept at most, containers included; real records have a few
    // hundred.
    static constexpr std::size_t kMaxElements = 65536;

    // No bytes, no attributes, nothing malformed.
    BTRecord() = default;

    // Decodes raw record bytes (a BTService's Record(), or bytes captured
    // elsewhere). Never throws for any content; an empty input gives an empty
    // record that is malformed at byte 0.
    static BTRecord Decode(std::span<const std::uint8_t> bytes);
    // The same into an existing record, reusing its storage (for loops over
    // many records).
    static void Decode(std::span<const std::uint8_t> bytes, BTRecord& into);

    const std::vector<std::uint8_t>& Bytes() const { return bytes; }
    // In the order of the record.
    const std::vector<BTAttribute>& Attributes() const { return attributes; }
    const std::vector<BTElement>& Elements() const { return elements; }
    const BTElement& Value(const BTAttribute& attribute) const { return elements[attribute.value]; }
    // The direct children of a container of this record, in stored order;
    // empty for any other element.
    std::span<const BTElement> Children(const BTElement& element) const;
    // The bytes of a Text or Url element as received; empty for any other.
    std::string_view Text(const BTElement& element) const;
    // The first attribute with this ID; null when there is none.
    const BTAttribute* Find(std::uint16_t id) const;

    // The byte offset where reading stopped, when it stopped before the end.
    std::optional<std::uint32_t> MalformedAt() const { return malformedAt; }
    BTRecordStop Stop() const { return stop; }

    // The UUIDs at the top level of ServiceClassIDList (0x0001), in order.
    std::vector<BTUUID> Classes() const;
    // LanguageBaseAttributeIDList (0x0006): the well-formed triplets.
    std::vector<BTLanguageBase> Languages() const;

private:
    friend class RecordDecoder;
    std::vector<std::uint8_t> bytes;
    std::vector<BTElement> elements;
    std::vector<BTAttribute> attributes;
    std::optional<std::uint32_t> malformedAt;
    BTRecordStop stop = BTRecordStop::None;
};

// What a person reads first about a record. Built from the name tables and
// numbers only: no text of the device is in it.
struct BTRecordSummary {
    // The service classes: "Hands-Free", "Generic Audio"; an unknown one as
    // its UUID text.
    std::vector<std::string> classes;
    // One protocol stack per line, the main one first, then the additional
    // ones (0x000D): "L2CAP (PSM 3) > RFCOMM (channel 12)".
    std::vector<std::string> protocols;
    // The profiles with their versions: "Hands-Free 1.8".
    std::vector<std::string> profiles;
    // Device ID (PnP Information): "vendor 0x1D6B (USB), product 0x0246,
    // version 5.6.6"; none when the record is not a Device ID record.
    std::optional<std::string> deviceId;
};

BTRecordSummary Summarize(const BTRecord& record);

}  // namespace Corvale
