#include "sdp_builder.h"

#include <algorithm>
#include <cstring>

namespace Corvale::Sim::sdp {

namespace {
// Data element type descriptors (the upper five bits of the header byte).
enum : std::uint8_t {
    kNil = 0,
    kUint = 1,
    kInt = 2,
    kUuid = 3,
    kText = 4,
    kBool = 5,
    kSequence = 6,
    kAlternative = 7,
    kUrl = 8,
};

Element fixed(std::uint8_t type, std::uint8_t sizeIndex, std::uint64_t value, int bytes) {
    Element e;
    e.bytes.push_back(static_cast<std::uint8_t>(type << 3 | sizeIndex));
    for (int i = bytes - 1; i >= 0; --i)
        e.bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    return e;
}

// A variable-sized element with the shortest length field that holds it.
Element variable(std::uint8_t type, std::span<const std::uint8_t> data) {
    Element e;
    const std::size_t n = data.size();
    if (n <= 0xFF) {
        e.bytes = {static_cast<std::uint8_t>(type << 3 | 5), static_cast<std::uint8_t>(n)};
    } else if (n <= 0xFFFF) {
        e.bytes = {static_cast<std::uint8_t>(type << 3 | 6), static_cast<std::uint8_t>(n >> 8),
                   static_cast<std::uint8_t>(n)};
    } else {
        e.bytes = {static_cast<std::uint8_t>(type << 3 | 7), static_cast<std::uint8_t>(n >> 24),
                   static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 8),
                   static_cast<std::uint8_t>(n)};
    }
    e.bytes.insert(e.bytes.end(), data.begin(), data.end());
    return e;
}

Element container(std::uint8_t type, const std::vector<Element>& items) {
    Bytes body;
    for (const Element& item : items) body.insert(body.end(), item.bytes.begin(), item.bytes.end());
    return variable(type, body);
}

std::span<const std::uint8_t> asBytes(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// One parsed data element: its type, and where its value lies in the input.
struct Parsed {
    std::uint8_t type = 0;
    std::size_t valueOffset = 0;
    std::size_t valueLength = 0;
    std::size_t end = 0;  // offset just past the element
};

// Reads the element at offset; false when its header or size do not fit.
bool parseOne(std::span<const std::uint8_t> in, std::size_t offset, Parsed& out) {
    if (offset >= in.size()) return false;
    const std::uint8_t header = in[offset];
    const std::uint8_t type = header >> 3, sizeIndex = header & 7;
    std::size_t pos = offset + 1;
    std::size_t length = 0;
    if (type == kNil) {
        if (sizeIndex != 0) return false;
    } else if (sizeIndex <= 4) {
        length = std::size_t{1} << sizeIndex;
    } else {
        const std::size_t lengthBytes = std::size_t{1} << (sizeIndex - 5);
        if (in.size() - pos < lengthBytes) return false;
        for (std::size_t i = 0; i < lengthBytes; ++i) length = length << 8 | in[pos + i];
        pos += lengthBytes;
    }
    if (type > kUrl) return false;
    if (in.size() - pos < length) return false;
    out = Parsed{type, pos, length, pos + length};
    return true;
}

GUID readUuid(std::span<const std::uint8_t> in, const Parsed& p) {
    const std::uint8_t* v = in.data() + p.valueOffset;
    if (p.valueLength == 2) return baseUuid(static_cast<std::uint32_t>(v[0] << 8 | v[1]));
    if (p.valueLength == 4)
        return baseUuid(static_cast<std::uint32_t>(v[0]) << 24 | v[1] << 16 | v[2] << 8 | v[3]);
    GUID g{};
    g.Data1 = static_cast<ULONG>(v[0]) << 24 | v[1] << 16 | v[2] << 8 | v[3];
    g.Data2 = static_cast<USHORT>(v[4] << 8 | v[5]);
    g.Data3 = static_cast<USHORT>(v[6] << 8 | v[7]);
    std::memcpy(g.Data4, v + 8, 8);
    return g;
}

constexpr int kMaxDepth = 32;

// Walks every element under [offset, end); false when anything is malformed.
// found becomes true when a UUID element equals uuid.
bool walk(std::span<const std::uint8_t> in, std::size_t offset, std::size_t end, int depth,
          const GUID& uuid, bool& found) {
    if (depth > kMaxDepth) return false;
    while (offset < end) {
        Parsed p;
        if (!parseOne(in.first(end), offset, p)) return false;
        if (p.type == kUuid) {
            if (p.valueLength != 2 && p.valueLength != 4 && p.valueLength != 16) return false;
            if (sameGuid(readUuid(in, p), uuid)) found = true;
        } else if (p.type == kSequence || p.type == kAlternative) {
            if (!walk(in, p.valueOffset, p.end, depth + 1, uuid, found)) return false;
        }
        offset = p.end;
    }
    return true;
}
}  // namespace

Element nil() {
    return Element{{0x00}};
}
Element uint8(std::uint8_t v) {
    return fixed(kUint, 0, v, 1);
}
Element uint16(std::uint16_t v) {
    return fixed(kUint, 1, v, 2);
}
Element uint32(std::uint32_t v) {
    return fixed(kUint, 2, v, 4);
}
Element uint64(std::uint64_t v) {
    return fixed(kUint, 3, v, 8);
}
Element int8(std::int8_t v) {
    return fixed(kInt, 0, static_cast<std::uint8_t>(v), 1);
}
Element int16(std::int16_t v) {
    return fixed(kInt, 1, static_cast<std::uint16_t>(v), 2);
}
Element boolean(bool v) {
    return fixed(kBool, 0, v ? 1 : 0, 1);
}
Element uuid16(std::uint16_t v) {
    return fixed(kUuid, 1, v, 2);
}
Element uuid32(std::uint32_t v) {
    return fixed(kUuid, 2, v, 4);
}

Element uuid128(const GUID& v) {
    Element e;
    e.bytes.push_back(static_cast<std::uint8_t>(kUuid << 3 | 4));
    for (int i = 3; i >= 0; --i) e.bytes.push_back(static_cast<std::uint8_t>(v.Data1 >> (8 * i)));
    e.bytes.push_back(static_cast<std::uint8_t>(v.Data2 >> 8));
    e.bytes.push_back(static_cast<std::uint8_t>(v.Data2));
    e.bytes.push_back(static_cast<std::uint8_t>(v.Data3 >> 8));
    e.bytes.push_back(static_cast<std::uint8_t>(v.Data3));
    e.bytes.insert(e.bytes.end(), v.Data4, v.Data4 + 8);
    return e;
}

Element uuid(const GUID& v) {
    const GUID onBase = baseUuid(v.Data1);
    if (v.Data1 <= 0xFFFF && sameGuid(v, onBase))
        return uuid16(static_cast<std::uint16_t>(v.Data1));
    return uuid128(v);
}

Element text(std::string_view utf8) {
    return variable(kText, asBytes(utf8));
}
Element octets(std::span<const std::uint8_t> data) {
    return variable(kText, data);
}
Element url(std::string_view s) {
    return variable(kUrl, asBytes(s));
}
Element sequence(std::vector<Element> items) {
    return container(kSequence, items);
}
Element alternative(std::vector<Element> items) {
    return container(kAlternative, items);
}

Bytes record(std::vector<Attribute> attributes) {
    std::stable_sort(attributes.begin(), attributes.end(),
                     [](const Attribute& a, const Attribute& b) { return a.id < b.id; });
    std::vector<Element> items;
    items.reserve(attributes.size() * 2);
    for (Attribute& a : attributes) {
        items.push_back(uint16(a.id));
        items.push_back(std::move(a.value));
    }
    return sequence(std::move(items)).bytes;
}

GUID baseUuid(std::uint32_t shortForm) {
    return GUID{shortForm, 0x0000, 0x1000, {0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB}};
}

bool sameGuid(const GUID& a, const GUID& b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::memcmp(a.Data4, b.Data4, 8) == 0;
}

bool mayMatch(std::span<const std::uint8_t> record, const GUID& uuid) {
    Parsed top;
    if (!parseOne(record, 0, top) || top.end != record.size()) return true;
    bool found = false;
    if (!walk(record, 0, record.size(), 0, uuid, found)) return true;
    return found;
}

std::optional<GUID> serviceClass(std::span<const std::uint8_t> record) {
    Parsed top;
    if (!parseOne(record, 0, top) || top.type != kSequence) return std::nullopt;
    std::size_t offset = top.valueOffset;
    while (offset < top.end) {
        Parsed id, value;
        if (!parseOne(record.first(top.end), offset, id) ||
            !parseOne(record.first(top.end), id.end, value))
            return std::nullopt;
        const bool isClassList = id.type == kUint && id.valueLength == 2 &&
                                 record[id.valueOffset] == 0 && record[id.valueOffset + 1] == 1;
        if (isClassList && value.type == kSequence && value.valueLength > 0) {
            Parsed first;
            if (!parseOne(record.first(value.end), value.valueOffset, first) ||
                first.type != kUuid ||
                (first.valueLength != 2 && first.valueLength != 4 && first.valueLength != 16))
                return std::nullopt;
            return readUuid(record, first);
        }
        offset = value.end;
    }
    return std::nullopt;
}

Bytes publishedRecord(std::uint32_t handle, const GUID& serviceClassId, std::string_view name,
                      std::string_view comment, std::uint8_t channel) {
    std::vector<Attribute> attributes = {
        {0x0000, uint32(handle)},
        {0x0001, sequence({uuid(serviceClassId)})},
        {0x0004,
         sequence({sequence({uuid16(0x0100)}), sequence({uuid16(0x0003), uint8(channel)})})},
        {0x0005, sequence({uuid16(0x1002)})},
        {0x0006, sequence({uint16(0x656E), uint16(0x006A), uint16(0x0100)})},
        {0x0100, text(name)},
    };
    if (!comment.empty()) attributes.push_back({0x0101, text(comment)});
    return record(std::move(attributes));
}

}  // namespace Corvale::Sim::sdp
