// Helpers shared by the SDP tests: a small hand encoder that can produce every
// size descriptor (including the ones no encoder library picks), and a plain
// tree model of a data element, so that two parsers can be compared. Standard
// C++ only, so that it can sit next to libbluetooth's headers as well.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace sdptest {

using Bytes = std::vector<std::uint8_t>;

// ------------------------------------------------------------ hand encoder
inline Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline Bytes bigEndian(std::uint64_t v, int n) {
    Bytes out;
    for (int i = n - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return out;
}

// A fixed-size element: type descriptor, size index 0..4, and its data.
inline Bytes fixed(int type, int sizeIndex, const Bytes& data) {
    return cat({Bytes{static_cast<std::uint8_t>(type << 3 | sizeIndex)}, data});
}

// A variable-size element with an explicit 1-, 2- or 4-byte length prefix.
inline Bytes sized(int type, int prefixBytes, const Bytes& body) {
    const int index = prefixBytes == 1 ? 5 : prefixBytes == 2 ? 6 : 7;
    return cat({Bytes{static_cast<std::uint8_t>(type << 3 | index)},
                bigEndian(body.size(), prefixBytes), body});
}

// A variable-size element with the smallest prefix that fits.
inline Bytes varying(int type, const Bytes& body) {
    return sized(type, body.size() < 0x100 ? 1 : body.size() < 0x10000 ? 2 : 4, body);
}

inline Bytes nil() {
    return {0x00};
}
inline Bytes u8(std::uint8_t v) {
    return fixed(1, 0, bigEndian(v, 1));
}
inline Bytes u16(std::uint16_t v) {
    return fixed(1, 1, bigEndian(v, 2));
}
inline Bytes u32(std::uint32_t v) {
    return fixed(1, 2, bigEndian(v, 4));
}
inline Bytes uuid16(std::uint16_t v) {
    return fixed(3, 1, bigEndian(v, 2));
}
inline Bytes uuid32(std::uint32_t v) {
    return fixed(3, 2, bigEndian(v, 4));
}
inline Bytes uuid128(const Bytes& sixteen) {
    return fixed(3, 4, sixteen);
}
inline Bytes text(const std::string& s) {
    return varying(4, Bytes(s.begin(), s.end()));
}
inline Bytes boolean(bool v) {
    return fixed(5, 0, {static_cast<std::uint8_t>(v)});
}
inline Bytes seq(std::initializer_list<Bytes> children) {
    return varying(6, cat(children));
}
inline Bytes alt(std::initializer_list<Bytes> children) {
    return varying(7, cat(children));
}

// A service record: a sequence of (uint16 attribute ID, value) pairs.
inline Bytes record(const std::vector<std::pair<std::uint16_t, Bytes>>& attributes) {
    Bytes body;
    for (const auto& [id, value] : attributes) {
        const Bytes idBytes = u16(id);
        body.insert(body.end(), idBytes.begin(), idBytes.end());
        body.insert(body.end(), value.begin(), value.end());
    }
    return varying(6, body);
}

// `depth` sequences inside each other around `core`, each with a 4-byte
// length so that any depth can be built.
inline Bytes nest(int depth, const Bytes& core) {
    Bytes inner = core;
    for (int i = 0; i < depth; ++i) inner = sized(6, 4, inner);
    return inner;
}

// The UUID in text order, as the wire carries it.
inline Bytes uuidBytes(const char* hex32) {
    Bytes out;
    for (int i = 0; i < 32; i += 2) {
        const std::string pair(hex32 + i, 2);
        out.push_back(static_cast<std::uint8_t>(std::stoul(pair, nullptr, 16)));
    }
    return out;
}

// ------------------------------------------------------------- tree model
// What a parser made of one element. Integers and UUIDs keep their width in
// bytes and their value as two 64-bit halves; text keeps its bytes;
// containers their children.
struct Node {
    int type = -1;       // the Core Specification's type descriptor, 0..8
    int width = 0;       // bytes of an integer or UUID
    int descriptor = 0;  // a container's descriptor byte (its size index matters)
    std::uint64_t high = 0, low = 0;
    std::string bytes;
    std::vector<Node> children;

    bool operator==(const Node&) const = default;
};

inline void print(std::ostream& os, const Node& n, int indent) {
    os << std::string(indent * 2, ' ') << "type " << n.type << " width " << n.width;
    if (n.descriptor) os << " descriptor 0x" << std::hex << n.descriptor << std::dec;
    if (n.width) os << " value " << std::hex << n.high << ":" << n.low << std::dec;
    if (!n.bytes.empty() || n.type == 4 || n.type == 8) os << " bytes[" << n.bytes.size() << "]";
    os << "\n";
    for (const auto& c : n.children) print(os, c, indent + 1);
}

inline std::ostream& operator<<(std::ostream& os, const Node& n) {
    os << "\n";
    print(os, n, 0);
    return os;
}

using Attributes = std::vector<std::pair<std::uint16_t, Node>>;

}  // namespace sdptest
