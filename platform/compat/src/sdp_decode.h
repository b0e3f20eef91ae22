// The SDP data-element decoder behind the BluetoothSdp* calls: the encoding of
// the Bluetooth Core Specification, Vol 3, Part B, section 3.
//
// Every byte comes from a remote device, so nothing in a header is believed
// until it has been checked against the bytes really present, and container
// nesting is bounded so that a hostile record can neither overrun a buffer nor
// exhaust the stack.
#pragma once

#include <corvale/compat/winapi.h>

#include <cstddef>
#include <cstdint>

namespace Corvale::Compat::Sdp {

// Containers may nest this deep (the outermost one counts as level 1). Real
// records use four or five levels; the bound only keeps recursion finite.
inline constexpr unsigned kMaxDepth = 32;

// The header of one data element.
struct Header {
    std::uint8_t type = 0;       // the 5-bit type descriptor
    std::uint8_t sizeIndex = 0;  // the 3-bit size descriptor
    std::size_t headerSize = 0;  // descriptor byte plus any length prefix
    std::uint64_t dataSize = 0;  // the bytes that follow the header

    std::uint64_t totalSize() const { return headerSize + dataSize; }
};

// Reads the header at bytes[0..available). Fails for a reserved type, a size
// descriptor the type does not allow, a truncated length prefix, or data that
// would run past `available`.
bool readHeader(const std::uint8_t* bytes, std::size_t available, Header& header);

// Checks one whole element at bytes[0..available), containers included down
// to kMaxDepth levels counted from `depth` (the level the element sits at).
// On success sets `size` to the element's total size.
bool validate(const std::uint8_t* bytes, std::size_t available, unsigned depth, std::size_t& size);

// Validates one element and fills `out` as Windows does. `out` is written
// only on success.
bool decode(const std::uint8_t* bytes, std::size_t available, unsigned depth, SDP_ELEMENT_DATA& out,
            std::size_t& size);

// True when the type is a sequence or an alternative.
inline bool isContainer(std::uint8_t type) {
    return type == 6 || type == 7;
}

}  // namespace Corvale::Compat::Sdp
