// BluetoothSdpGetElementData, BluetoothSdpGetAttributeValue,
// BluetoothSdpGetContainerElementData and BluetoothSdpEnumAttributes over raw
// SDP record bytes, with the results and codes Windows gives.

#include "sdp_decode.h"

#include <cstring>

namespace Corvale::Compat::Sdp {

using namespace detail;

namespace {

// The inside of a container whose header has been read: every child, down to
// kMaxDepth levels, must be sound and the children must exactly fill their
// parents. Without recursion: a stack of the ends of the open containers, so
// a hostile record costs neither stack nor more than one pass over its bytes.
bool containerIsSound(const std::uint8_t* bytes, const Header& h, unsigned depth) {
    if (depth > kMaxDepth) return false;
    std::size_t ends[kMaxDepth + 1];
    unsigned open = 0;  // containers open below the outer one
    ends[0] = static_cast<std::size_t>(h.totalSize());
    std::size_t at = h.headerSize;
    for (;;) {
        // Close every container whose children are all read.
        while (at == ends[open]) {
            if (open == 0) return true;
            --open;
        }
        Header c;
        if (!readHeader(bytes + at, ends[open] - at, c)) return false;
        if (isContainer(c.type)) {
            if (depth + open + 1 > kMaxDepth) return false;
            ends[++open] = at + static_cast<std::size_t>(c.totalSize());
            at += c.headerSize;
        } else {
            at += static_cast<std::size_t>(c.totalSize());
        }
    }
}

}  // namespace

namespace {

// Fills `out` from an element already known to be whole and valid.
void fill(const std::uint8_t* bytes, const Header& h, SDP_ELEMENT_DATA& out);

}  // namespace

bool decode(const std::uint8_t* bytes, std::size_t available, unsigned depth, SDP_ELEMENT_DATA& out,
            std::size_t& size) {
    Header h;
    if (!readHeader(bytes, available, h)) return false;
    if (isContainer(h.type) && !containerIsSound(bytes, h, depth)) return false;
    size = static_cast<std::size_t>(h.totalSize());
    fill(bytes, h, out);
    return true;
}

namespace {

void fill(const std::uint8_t* bytes, const Header& h, SDP_ELEMENT_DATA& out) {
    const auto size = static_cast<std::size_t>(h.totalSize());
    SDP_ELEMENT_DATA& e = out;
    std::memset(&e, 0, sizeof e);
    e.specificType = SDP_ST_NONE;
    const std::uint8_t* data = bytes + h.headerSize;
    const auto n = static_cast<std::size_t>(h.dataSize);
    // The API hands out non-const pointers into the caller's own buffer.
    auto* mutableData = const_cast<LPBYTE>(data);

    switch (h.type) {
        case Type::Nil:
            e.type = SDP_TYPE_NIL;
            break;
        case Type::Uint:
        case Type::Int: {
            const bool isUint = h.type == Type::Uint;
            e.type = isUint ? SDP_TYPE_UINT : SDP_TYPE_INT;
            // The size index sits in the second nibble of the specific type.
            e.specificType =
                static_cast<SDP_SPECIFICTYPE>((isUint ? 0x10 : 0x20) | (h.sizeIndex << 8));
            if (n == 16) {
                const std::uint64_t high = bigEndian(data, 8);
                const std::uint64_t low = bigEndian(data + 8, 8);
                if (isUint) {
                    e.data.uint128.HighPart = high;
                    e.data.uint128.LowPart = low;
                } else {
                    e.data.int128.HighPart = static_cast<LONGLONG>(high);
                    e.data.int128.LowPart = low;
                }
                break;
            }
            const std::uint64_t v = bigEndian(data, n);
            switch (n) {
                case 1:
                    if (isUint)
                        e.data.uint8 = static_cast<UCHAR>(v);
                    else
                        e.data.int8 = static_cast<CHAR>(static_cast<std::int8_t>(v));
                    break;
                case 2:
                    if (isUint)
                        e.data.uint16 = static_cast<USHORT>(v);
                    else
                        e.data.int16 = static_cast<SHORT>(v);
                    break;
                case 4:
                    if (isUint)
                        e.data.uint32 = static_cast<ULONG>(v);
                    else
                        e.data.int32 = static_cast<LONG>(v);
                    break;
                default:
                    if (isUint)
                        e.data.uint64 = v;
                    else
                        e.data.int64 = static_cast<LONGLONG>(v);
                    break;
            }
            break;
        }
        case Type::Uuid:
            e.type = SDP_TYPE_UUID;
            if (n == 2) {
                e.specificType = SDP_ST_UUID16;
                e.data.uuid16 = static_cast<USHORT>(bigEndian(data, 2));
            } else if (n == 4) {
                e.specificType = SDP_ST_UUID32;
                e.data.uuid32 = static_cast<ULONG>(bigEndian(data, 4));
            } else {
                // The wire carries the UUID in text order; GUID keeps its first
                // three fields as numbers and the last eight bytes as they are.
                e.specificType = SDP_ST_UUID128;
                e.data.uuid128 = Bt::guidFromBytes<GUID>(data);
            }
            break;
        case Type::Text:
            e.type = SDP_TYPE_STRING;
            e.data.string.value = mutableData;
            e.data.string.length = static_cast<ULONG>(n);
            break;
        case Type::Url:
            e.type = SDP_TYPE_URL;
            e.data.url.value = mutableData;
            e.data.url.length = static_cast<ULONG>(n);
            break;
        case Type::Boolean:
            e.type = SDP_TYPE_BOOLEAN;
            e.data.booleanVal = data[0];
            break;
        case Type::Sequence:
        case Type::Alternative:
            // The whole element, header included, ready for the container walk.
            e.type = h.type == Type::Sequence ? SDP_TYPE_SEQUENCE : SDP_TYPE_ALTERNATIVE;
            e.data.sequence.value = const_cast<LPBYTE>(bytes);
            e.data.sequence.length = static_cast<ULONG>(size);
            break;
        default:
            break;  // readHeader lets no other type through
    }
}

// The container cursor is the offset of the next child, plus one so that it
// is never null. Where a handle has room, the upper bits carry a check value
// tied to the container's address, length and the offset, so a cursor from
// another container, a stale one or plain garbage is refused; the offset is
// bounds-checked in any case, so a bad cursor can never cause a wild read.
constexpr unsigned kCheckShift = 33;

// One multiplication: every bit of the address, length and offset reaches
// the upper bits of the product, which become the check value.
std::uint64_t check(const void* container, ULONG length, std::uint64_t offset) {
    const auto address = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(container));
    return ((address ^ (std::uint64_t{length} << 32) ^ offset) * 0x9E3779B97F4A7C15ull) >>
           kCheckShift;
}

HBLUETOOTH_CONTAINER_ELEMENT makeCursor(const void* container, ULONG length, std::size_t offset) {
    std::uint64_t value = std::uint64_t{offset} + 1;
    if constexpr (sizeof(std::uintptr_t) >= 8)
        value |= check(container, length, offset) << kCheckShift;
    return reinterpret_cast<HBLUETOOTH_CONTAINER_ELEMENT>(static_cast<std::uintptr_t>(value));
}

bool readCursor(HBLUETOOTH_CONTAINER_ELEMENT cursor, const void* container, ULONG length,
                std::size_t& offset) {
    const auto value = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(cursor));
    std::uint64_t plusOne = value;
    if constexpr (sizeof(std::uintptr_t) >= 8)
        plusOne = value & ((std::uint64_t{1} << kCheckShift) - 1);
    if (plusOne == 0 || plusOne - 1 > length) return false;
    if constexpr (sizeof(std::uintptr_t) >= 8) {
        if (value >> kCheckShift != check(container, length, plusOne - 1)) return false;
    }
    offset = static_cast<std::size_t>(plusOne - 1);
    return true;
}

}  // namespace

}  // namespace Corvale::Compat::Sdp

using namespace Corvale::Compat;

extern "C" DWORD BluetoothSdpGetElementData(LPBYTE pSdpStream, ULONG cbSdpStreamLength,
                                            PSDP_ELEMENT_DATA pData) {
    if (pSdpStream == nullptr || pData == nullptr || cbSdpStreamLength == 0)
        return ERROR_INVALID_PARAMETER;
    std::size_t size = 0;
    if (!Sdp::decode(pSdpStream, cbSdpStreamLength, 1, *pData, size))
        return ERROR_INVALID_PARAMETER;
    return ERROR_SUCCESS;
}

extern "C" DWORD BluetoothSdpGetAttributeValue(LPBYTE pRecordStream, ULONG cbRecordLength,
                                               USHORT usAttributeId,
                                               PSDP_ELEMENT_DATA pAttributeData) {
    if (pRecordStream == nullptr || pAttributeData == nullptr || cbRecordLength == 0)
        return ERROR_INVALID_PARAMETER;

    // A record is exactly one sequence of (attribute ID, value) pairs. Its
    // outline is checked to the end whatever is asked for: every ID, and every
    // value's extent against the bytes present, so a record cut or overrun
    // anywhere is refused. Inside, only the asked value is checked (in full):
    // the others are never read, and damage in one of them does not hide an
    // attribute that is sound.
    Sdp::Header record;
    if (!Sdp::readHeader(pRecordStream, cbRecordLength, record) ||
        record.type != Sdp::Type::Sequence || record.totalSize() != cbRecordLength)
        return ERROR_INVALID_PARAMETER;

    const std::size_t end = cbRecordLength;
    std::size_t at = record.headerSize;
    std::size_t found = 0;  // offset of the first matching value, 0 while none
    while (at < end) {
        // The attribute ID: an unsigned 16-bit integer (descriptor 0x09).
        if (end - at < 3 || pRecordStream[at] != 0x09) return ERROR_INVALID_PARAMETER;
        const auto id = static_cast<USHORT>((pRecordStream[at + 1] << 8) | pRecordStream[at + 2]);
        at += 3;
        Sdp::Header value;
        if (!Sdp::readHeader(pRecordStream + at, end - at, value)) return ERROR_INVALID_PARAMETER;
        if (id == usAttributeId && found == 0) found = at;
        at += static_cast<std::size_t>(value.totalSize());
    }
    if (found == 0) return ERROR_FILE_NOT_FOUND;

    std::size_t size = 0;
    if (!Sdp::decode(pRecordStream + found, end - found, 2, *pAttributeData, size))
        return ERROR_INVALID_PARAMETER;
    return ERROR_SUCCESS;
}

extern "C" DWORD BluetoothSdpGetContainerElementData(LPBYTE pContainerStream,
                                                     ULONG cbContainerLength,
                                                     HBLUETOOTH_CONTAINER_ELEMENT* pElement,
                                                     PSDP_ELEMENT_DATA pData) {
    if (pContainerStream == nullptr || pElement == nullptr || pData == nullptr ||
        cbContainerLength == 0)
        return ERROR_INVALID_PARAMETER;

    // The stream is one whole sequence or alternative, header included, exactly
    // as SDP_ELEMENT_DATA delivers it. Only its header is checked here; each
    // child is checked in full when it is handed out, so a walk over a damaged
    // container delivers the good children before the damage and then fails.
    Sdp::Header container;
    if (!Sdp::readHeader(pContainerStream, cbContainerLength, container) ||
        !Sdp::isContainer(container.type) || container.totalSize() != cbContainerLength)
        return ERROR_INVALID_PARAMETER;

    std::size_t offset = container.headerSize;
    if (*pElement != nullptr &&
        (!Sdp::readCursor(*pElement, pContainerStream, cbContainerLength, offset) ||
         offset < container.headerSize))
        return ERROR_INVALID_PARAMETER;
    if (offset == cbContainerLength) return ERROR_NO_MORE_ITEMS;

    std::size_t size = 0;
    if (!Sdp::decode(pContainerStream + offset, cbContainerLength - offset, 2, *pData, size))
        return ERROR_INVALID_PARAMETER;
    *pElement = Sdp::makeCursor(pContainerStream, cbContainerLength, offset + size);
    return ERROR_SUCCESS;
}

extern "C" BOOL BluetoothSdpEnumAttributes(LPBYTE pSDPStream, ULONG cbStreamSize,
                                           PFN_BLUETOOTH_ENUM_ATTRIBUTES_CALLBACK pfnCallback,
                                           LPVOID pvParam) {
    if (pSDPStream == nullptr || pfnCallback == nullptr || cbStreamSize == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto damaged = [] {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    };
    // The record: one sequence of (attribute ID, value) pairs. Each pair is
    // checked in full before it is handed out, so the callback sees every
    // sound attribute before the first damage and nothing after it. A record
    // whose header claims more bytes than there are (one cut short) is walked
    // over the bytes present; bytes after the record's end are damage too.
    if (pSDPStream[0] >> 3 != static_cast<unsigned>(Sdp::Type::Sequence)) return damaged();
    Sdp::Header record;
    const bool whole = Sdp::readHeader(pSDPStream, cbStreamSize, record);
    std::size_t end = cbStreamSize;
    if (whole) {
        end = static_cast<std::size_t>(record.totalSize());
    } else {
        // Cut short: only the length prefix must be there to walk what is.
        const auto lengthBytes =
            Corvale::Bt::Sdp::detail::kDescriptors.entries[pSDPStream[0]].lengthBytes;
        if (lengthBytes == 0 || cbStreamSize < 1u + lengthBytes) return damaged();
        record.headerSize = 1u + lengthBytes;
    }
    std::size_t at = record.headerSize;
    while (at < end) {
        // The attribute ID: an unsigned 16-bit integer (descriptor 0x09).
        if (end - at < 3 || pSDPStream[at] != 0x09) return damaged();
        const auto id = static_cast<ULONG>((pSDPStream[at + 1] << 8) | pSDPStream[at + 2]);
        at += 3;
        SDP_ELEMENT_DATA value{};
        std::size_t size = 0;
        if (at >= end || !Sdp::decode(pSDPStream + at, end - at, 2, value, size)) return damaged();
        if (!pfnCallback(id, pSDPStream + at, static_cast<ULONG>(size), pvParam)) return TRUE;
        at += size;
    }
    if (!whole || end != cbStreamSize) return damaged();
    return TRUE;
}
