// BTRecord::Decode: a raw SDP record into the element tree, through the
// platform's SDP functions (BluetoothSdpEnumAttributes for the attributes,
// BluetoothSdpGetElementData for a value, BluetoothSdpGetContainerElementData
// for a container's children), so that the same code reads records on Windows
// and over the compat layer.
//
// Each container's children are stored next to each other, and the tree is
// walked in the order of the bytes: a container's children are read in one
// walk, then each child container in turn. Where reading stops (damage, or a
// bound), everything before that byte has been read and nothing after it is
// in the tree; the containers around the place keep the children read so far.
// Where the platform refuses an element, the element headers say how far the
// sound bytes go (the Bluetooth Core Specification, Vol 3, Part B, 3.3), so
// the stop is reported at the damaged element itself, however deep it lies.
#include <corvale/BTRecord.h>
#include <corvale/bt/sdp_header.h>
#include <corvale/platform/bluetooth_api.h>

#include <algorithm>
#include <limits>

namespace Corvale {

namespace Sdp = Bt::Sdp;

class RecordDecoder {
public:
    explicit RecordDecoder(BTRecord& record)
        : rec(record), base(record.bytes.data()), length(record.bytes.size()) {}

    void run() {
        rec.elements.reserve(std::min<std::size_t>(length / 3 + 4, 4096));
        rec.attributes.reserve(std::min<std::size_t>(length / 8 + 2, 1024));
        if (length == 0 || length > std::numeric_limits<ULONG>::max()) {
            stopAt(0, BTRecordStop::Malformed);
            return;
        }
        const BOOL whole =
            BluetoothSdpEnumAttributes(base, static_cast<ULONG>(length), &onAttribute, this);
        if (stopped || whole) return;
        recover();
    }

private:
    BTRecord& rec;
    LPBYTE base;
    std::size_t length;
    bool stopped = false;
    // Where the attributes handed over so far end: the next pair starts here.
    std::size_t next = 0;

    void stopAt(std::size_t offset, BTRecordStop why) {
        stopped = true;
        rec.malformedAt = static_cast<std::uint32_t>(offset);
        rec.stop = why;
    }

    bool inside(const BYTE* p, std::size_t n) const {
        return p >= base && p <= base + length && n <= static_cast<std::size_t>(base + length - p);
    }

    static BOOL onAttribute(ULONG id, LPBYTE value, ULONG size, LPVOID self) {
        auto& d = *static_cast<RecordDecoder*>(self);
        if (!d.inside(value, size) || value - d.base < 3) {
            d.stopAt(d.next, BTRecordStop::Malformed);
            return FALSE;
        }
        const auto offset = static_cast<std::size_t>(value - d.base);
        d.next = offset + size;
        return d.attribute(static_cast<std::uint16_t>(id), offset, size) ? TRUE : FALSE;
    }

    // After the platform refused the record, the pairs from `next` on, one by
    // one: each value the platform still reads is kept, and the first damage
    // is found. The record's own header decides where the pairs end.
    void recover() {
        if (base[0] >> 3 != static_cast<unsigned>(Sdp::Type::Sequence))
            return stopAt(0, BTRecordStop::Malformed);
        Sdp::Header record;
        std::size_t end = length;
        if (Sdp::readHeader(base, length, record)) {
            end = static_cast<std::size_t>(record.totalSize());
        } else {
            // Cut short: the pairs present are read up to the cut.
            const auto prefix = Sdp::detail::kDescriptors.entries[base[0]].lengthBytes;
            if (prefix == 0 || length < 1u + prefix) return stopAt(0, BTRecordStop::Malformed);
            record.headerSize = 1u + prefix;
        }
        std::size_t at = std::max(next, record.headerSize);
        while (at < end) {
            if (end - at < 3 || base[at] != 0x09) return stopAt(at, BTRecordStop::Malformed);
            const auto id = static_cast<std::uint16_t>(base[at + 1] << 8 | base[at + 2]);
            Sdp::Header value;
            if (!Sdp::readHeader(base + at + 3, end - at - 3, value))
                return stopAt(at + 3, BTRecordStop::Malformed);
            const auto size = static_cast<std::size_t>(value.totalSize());
            if (!attribute(id, at + 3, size)) return;
            at += 3 + size;
        }
        // Every pair read, yet the platform refused the record: what follows
        // the record (or, on a stricter platform, the record as a whole) is
        // where reading stopped.
        stopAt(end, BTRecordStop::Malformed);
    }

    // One attribute whose value takes bytes [offset, offset + size). False
    // when reading stopped in it.
    bool attribute(std::uint16_t id, std::size_t offset, std::size_t size) {
        if (rec.elements.size() >= BTRecord::kMaxElements) {
            stopAt(offset - 3, BTRecordStop::TooManyElements);
            return false;
        }
        // A container's children are read one by one through the platform
        // below, each checked as it is handed out; reading the whole value
        // first would check every byte of it once more. Each element is
        // filled where it is stored: a copy of a freshly written element
        // costs more than the rest of its reading.
        const auto index = static_cast<std::uint32_t>(rec.elements.size());
        BTElement& value = rec.elements.emplace_back();
        SDP_ELEMENT_DATA data{};
        const bool read = Sdp::isContainer(static_cast<Sdp::Type>(base[offset] >> 3))
                              ? containerFromHeader(offset, offset + size, value)
                              : BluetoothSdpGetElementData(base + offset, static_cast<ULONG>(size),
                                                           &data) == ERROR_SUCCESS &&
                                    fill(data, offset, offset + size, value);
        if (!read) {
            rec.elements.pop_back();
            stopAt(offset, BTRecordStop::Malformed);
            return false;
        }
        rec.attributes.push_back({id, index});
        return !rec.elements[index].isContainer() || walk(index, 2);
    }

    // A container from its header alone, when the header is sound and fits
    // before `end`: an attribute's value, which is walked at once, or a child
    // the platform refused, which is kept so that its children before the
    // damage are read.
    bool containerFromHeader(std::size_t offset, std::size_t end, BTElement& out) const {
        Sdp::Header h;
        if (!Sdp::readHeader(base + offset, end - offset, h) || !Sdp::isContainer(h.type))
            return false;
        out = {};
        out.type =
            h.type == Sdp::Type::Sequence ? BTElementType::Sequence : BTElementType::Alternative;
        out.offset = static_cast<std::uint32_t>(offset);
        out.size = static_cast<std::uint32_t>(h.totalSize());
        return true;
    }

    // The children of the container elements[index], which sits at `level`
    // (an attribute's value is at 2). False when reading stopped inside.
    bool walk(std::uint32_t index, unsigned level) {
        // Its place only (the vector may move as children are stored).
        const std::uint32_t offset = rec.elements[index].offset, size = rec.elements[index].size;
        const std::size_t end = std::size_t{offset} + size;
        const auto first = static_cast<std::uint32_t>(rec.elements.size());
        rec.elements[index].first = first;

        // The direct children, in one walk. A child the platform refuses is
        // kept as the last one when its header says it is a container that
        // fits: its own children before the damage are read in turn.
        std::size_t at = childrenStart(offset);
        std::size_t stop = 0;
        BTRecordStop why = BTRecordStop::None;
        bool damagedLast = false;
        HBLUETOOTH_CONTAINER_ELEMENT cursor = nullptr;
        SDP_ELEMENT_DATA data{};
        while (at < end) {
            if (rec.elements.size() >= BTRecord::kMaxElements) {
                // Nothing of this container is kept: reading stops at its first
                // child, and everything before that has been read.
                rec.elements.resize(first);
                stop = childrenStart(offset), why = BTRecordStop::TooManyElements;
                break;
            }
            BTElement& child = rec.elements.emplace_back();
            if (BluetoothSdpGetContainerElementData(base + offset, size, &cursor, &data) !=
                    ERROR_SUCCESS ||
                !fill(data, at, end, child)) {
                if (!containerFromHeader(at, end, child)) {
                    rec.elements.pop_back();
                    stop = at, why = BTRecordStop::Malformed;
                    break;
                }
                damagedLast = true;
            }
            if (child.isContainer() && level + 1 > BTRecord::kMaxDepth) {
                rec.elements.pop_back();
                stop = at, why = BTRecordStop::TooDeep, damagedLast = false;
                break;
            }
            if (damagedLast) break;
            at += child.size;
        }
        const auto count = static_cast<std::uint32_t>(rec.elements.size() - first);
        rec.elements[index].count = count;

        // Then each child container, in the order of the bytes.
        for (std::uint32_t i = 0; i < count; ++i) {
            if (rec.elements[first + i].isContainer() && !walk(first + i, level + 1)) {
                rec.elements[index].count = i + 1;
                return false;
            }
        }
        if (damagedLast) {
            // The platform refused a container whose children all read well:
            // the damage is not in the bytes the headers describe.
            const BTElement& last = rec.elements[first + count - 1];
            stop = last.offset + last.size, why = BTRecordStop::Malformed;
        }
        if (why == BTRecordStop::None) return true;
        stopAt(stop, why);
        return false;
    }

    // Where the children of the container at `offset` begin: after its
    // descriptor and length field.
    std::size_t childrenStart(std::size_t offset) const {
        return offset + 1u + Sdp::detail::kDescriptors.entries[base[offset]].lengthBytes;
    }

    // An element from the platform's parsed form; it starts at `offset`, and
    // its container (or the record) ends at `end`. False when the platform's
    // answer does not fit the bytes.
    bool fill(const SDP_ELEMENT_DATA& d, std::size_t offset, std::size_t end, BTElement& e) const {
        e = {};
        e.offset = static_cast<std::uint32_t>(offset);
        std::size_t size = 0;
        const unsigned index = static_cast<unsigned>(d.specificType) >> 8;
        switch (d.type) {
            case SDP_TYPE_NIL:
                size = 1;
                break;
            case SDP_TYPE_UINT:
            case SDP_TYPE_INT: {
                if (index > 4) return false;
                const bool isUint = d.type == SDP_TYPE_UINT;
                e.type = static_cast<BTElementType>(
                    static_cast<unsigned>(isUint ? BTElementType::Uint8 : BTElementType::Int8) +
                    index);
                size = 1u + (1u << index);
                switch (index) {
                    case 0:
                        e.number = isUint ? d.data.uint8
                                          : static_cast<std::uint64_t>(std::int64_t{d.data.int8});
                        break;
                    case 1:
                        e.number = isUint ? d.data.uint16
                                          : static_cast<std::uint64_t>(std::int64_t{d.data.int16});
                        break;
                    case 2:
                        e.number = isUint ? d.data.uint32
                                          : static_cast<std::uint64_t>(std::int64_t{d.data.int32});
                        break;
                    case 3:
                        e.number =
                            isUint ? d.data.uint64 : static_cast<std::uint64_t>(d.data.int64);
                        break;
                    default: {
                        const std::uint64_t high =
                            isUint ? d.data.uint128.HighPart
                                   : static_cast<std::uint64_t>(d.data.int128.HighPart);
                        const std::uint64_t low =
                            isUint ? d.data.uint128.LowPart : d.data.int128.LowPart;
                        for (std::size_t i = 0; i < 8; ++i) {
                            e.wide[i] = static_cast<std::uint8_t>(high >> (56 - 8 * i));
                            e.wide[8 + i] = static_cast<std::uint8_t>(low >> (56 - 8 * i));
                        }
                        break;
                    }
                }
                break;
            }
            case SDP_TYPE_UUID:
                if (d.specificType == SDP_ST_UUID16) {
                    e.type = BTElementType::Uuid16;
                    e.number = d.data.uuid16;
                    size = 3;
                } else if (d.specificType == SDP_ST_UUID32) {
                    e.type = BTElementType::Uuid32;
                    e.number = d.data.uuid32;
                    size = 5;
                } else if (d.specificType == SDP_ST_UUID128) {
                    e.type = BTElementType::Uuid128;
                    e.wide = Bt::uuidBytes(d.data.uuid128);
                    size = 17;
                } else {
                    return false;
                }
                break;
            case SDP_TYPE_BOOLEAN:
                e.type = BTElementType::Bool;
                e.number = d.data.booleanVal != 0;
                size = 2;
                break;
            case SDP_TYPE_STRING:
            case SDP_TYPE_URL: {
                // The platform points into our bytes: the text ends the element.
                const LPBYTE text =
                    d.type == SDP_TYPE_STRING ? d.data.string.value : d.data.url.value;
                const ULONG n =
                    d.type == SDP_TYPE_STRING ? d.data.string.length : d.data.url.length;
                if (text == nullptr || !inside(text, n) || text <= base + offset) return false;
                e.type = d.type == SDP_TYPE_STRING ? BTElementType::Text : BTElementType::Url;
                e.first = static_cast<std::uint32_t>(text - base);
                e.count = n;
                size = e.first + n - offset;
                break;
            }
            case SDP_TYPE_SEQUENCE:
            case SDP_TYPE_ALTERNATIVE: {
                // The whole container, header included, as the walk takes
                // it; a platform that points past the header gives the same
                // end. The walk reads the container from its own offset.
                const LPBYTE p = d.data.sequence.value;
                const ULONG n = d.data.sequence.length;
                if (p == nullptr || !inside(p, n) || p < base + offset ||
                    p > base + childrenStart(offset))
                    return false;
                e.type = d.type == SDP_TYPE_SEQUENCE ? BTElementType::Sequence
                                                     : BTElementType::Alternative;
                size = static_cast<std::size_t>(p - base) + n - offset;
                break;
            }
            default:
                return false;
        }
        if (size == 0 || size > end - offset) return false;
        e.size = static_cast<std::uint32_t>(size);
        return true;
    }
};

BTRecord BTRecord::Decode(std::span<const std::uint8_t> in) {
    BTRecord record;
    Decode(in, record);
    return record;
}

void BTRecord::Decode(std::span<const std::uint8_t> in, BTRecord& into) {
    into.bytes.assign(in.begin(), in.end());
    into.elements.clear();
    into.attributes.clear();
    into.malformedAt.reset();
    into.stop = BTRecordStop::None;
    RecordDecoder(into).run();
}

}  // namespace Corvale
