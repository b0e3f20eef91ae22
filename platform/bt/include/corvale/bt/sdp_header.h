// The header of an SDP data element (Bluetooth Core Specification, Vol 3,
// Part B, 3.2 and 3.3): the type and size descriptor byte and any length
// prefix. The one reader of headers behind every decoder of SDP bytes.
//
// Every byte comes from a remote device, so nothing in a header is believed
// until it has been checked against the bytes really present.
#pragma once

#include <corvale/bt/sdp.h>

#include <cstddef>
#include <cstdint>

namespace Corvale::Bt::Sdp {

// The header of one data element.
struct Header {
    Type type = Type::Nil;       // the 5-bit type descriptor
    std::uint8_t sizeIndex = 0;  // the 3-bit size descriptor
    std::size_t headerSize = 0;  // descriptor byte plus any length prefix
    std::uint64_t dataSize = 0;  // the bytes that follow the header

    std::uint64_t totalSize() const { return headerSize + dataSize; }
};

namespace detail {

// What one descriptor byte says: whether the Bluetooth Core Specification allows it,
// how many length bytes follow it, and the data size of a fixed-size type.
struct Descriptor {
    bool allowed;
    std::uint8_t lengthBytes;
    std::uint8_t fixedSize;
};

constexpr Descriptor describe(unsigned byte) {
    const auto type = static_cast<Type>(byte >> 3);
    const unsigned index = byte & 7;
    // Which size indexes each type may carry, as a bit mask over 0..7.
    unsigned allowedIndexes = 0;
    switch (type) {
        case Type::Nil:
        case Type::Boolean:
            allowedIndexes = 0x01;  // index 0 only (nil: no data; bool: one byte)
            break;
        case Type::Uint:
        case Type::Int:
            allowedIndexes = 0x1F;  // 1, 2, 4, 8 or 16 bytes
            break;
        case Type::Uuid:
            allowedIndexes = 0x16;  // 2, 4 or 16 bytes
            break;
        case Type::Text:
        case Type::Sequence:
        case Type::Alternative:
        case Type::Url:
            allowedIndexes = 0xE0;  // an 8-, 16- or 32-bit length follows
            break;
        default:
            break;  // reserved types
    }
    if ((allowedIndexes >> index & 1) == 0) return {false, 0, 0};
    if (index >= 5) return {true, static_cast<std::uint8_t>(1u << (index - 5)), 0};
    return {true, 0, static_cast<std::uint8_t>(type == Type::Nil ? 0 : 1u << index)};
}

struct DescriptorTable {
    Descriptor entries[256];
    constexpr DescriptorTable() : entries() {
        for (unsigned b = 0; b < 256; ++b) entries[b] = describe(b);
    }
};

inline constexpr DescriptorTable kDescriptors;

}  // namespace detail

// Reads the header at bytes[0..available). Fails for a reserved type, a size
// descriptor the type does not allow, a truncated length prefix, or data that
// would run past `available`. Nothing is written on failure.
inline bool readHeader(const std::uint8_t* bytes, std::size_t available, Header& header) {
    if (bytes == nullptr || available < 1) return false;
    const detail::Descriptor d = detail::kDescriptors.entries[bytes[0]];
    if (!d.allowed) return false;

    std::size_t headerSize = 1;
    std::uint64_t dataSize = d.fixedSize;
    if (d.lengthBytes != 0) {
        if (available < 1u + d.lengthBytes) return false;
        switch (d.lengthBytes) {
            case 1:
                dataSize = bytes[1];
                break;
            case 2:
                dataSize = std::uint64_t{bytes[1]} << 8 | bytes[2];
                break;
            default:
                dataSize = std::uint64_t{bytes[1]} << 24 | std::uint64_t{bytes[2]} << 16 |
                           std::uint64_t{bytes[3]} << 8 | bytes[4];
                break;
        }
        headerSize += d.lengthBytes;
    }
    // Both terms are below 2^33, so the sum cannot wrap.
    if (headerSize + dataSize > available) return false;

    header.type = static_cast<Type>(bytes[0] >> 3);
    header.sizeIndex = bytes[0] & 7;
    header.headerSize = headerSize;
    header.dataSize = dataSize;
    return true;
}

// True when the type is a sequence or an alternative.
inline bool isContainer(Type type) {
    return type == Type::Sequence || type == Type::Alternative;
}

}  // namespace Corvale::Bt::Sdp
