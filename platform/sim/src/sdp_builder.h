// A small SDP encoder and scanner for the simulated world: builds service
// records byte for byte as the Bluetooth Core Specification lays out data
// elements (Vol 3, Part B, 3), and answers the two questions a service search
// asks of a record. Never trusts a record it scans: every length is checked
// against the bytes that are there.
#pragma once

#include <corvale/compat/winapi.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace Corvale::Sim::sdp {

using Bytes = std::vector<std::uint8_t>;

// One encoded data element.
struct Element {
    Bytes bytes;
};

Element nil();
Element uint8(std::uint8_t v);
Element uint16(std::uint16_t v);
Element uint32(std::uint32_t v);
Element uint64(std::uint64_t v);
Element int8(std::int8_t v);
Element int16(std::int16_t v);
Element boolean(bool v);
Element uuid16(std::uint16_t v);
Element uuid32(std::uint32_t v);
// Big-endian on the wire: Data1, Data2, Data3, then Data4 as it stands.
Element uuid128(const GUID& v);
// A 16-bit UUID when the GUID lies on the Bluetooth base UUID, else 128-bit.
Element uuid(const GUID& v);
Element text(std::string_view utf8);
Element octets(std::span<const std::uint8_t> data);  // a text element holding raw bytes
Element url(std::string_view text);
Element sequence(std::vector<Element> items);
Element alternative(std::vector<Element> items);

struct Attribute {
    std::uint16_t id;
    Element value;
};

// A service record: a sequence of (attribute ID, value) pairs in ascending ID
// order (sorted here).
Bytes record(std::vector<Attribute> attributes);

// A short UUID on the Bluetooth base UUID 00000000-0000-1000-8000-00805F9B34FB.
GUID baseUuid(std::uint32_t shortForm);
bool sameGuid(const GUID& a, const GUID& b);

// False only when the bytes are one well-formed data element that does not
// mention the UUID anywhere; a malformed record may match (it is passed on).
bool mayMatch(std::span<const std::uint8_t> record, const GUID& uuid);

// The first UUID of the record's ServiceClassIDList (0x0001), if well-formed.
std::optional<GUID> serviceClass(std::span<const std::uint8_t> record);

// The record a service registration on a radio leaves behind: handle, class,
// L2CAP + RFCOMM on the channel, public browse group, name and comment.
Bytes publishedRecord(std::uint32_t handle, const GUID& serviceClass, std::string_view name,
                      std::string_view comment, std::uint8_t channel);

}  // namespace Corvale::Sim::sdp
