// Helpers of the SDP tests: a hand encoder that can write every size
// descriptor (also those no encoder library picks), and the inverse of the
// decoder, which writes back the bytes an element was read from.
#pragma once

#include <corvale/Corvale.h>
#include <corvale/platform/bluetooth_api.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cwchar>
#include <initializer_list>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace sdptest {

using Bytes = std::vector<std::uint8_t>;
inline constexpr DWORD kOk = ERROR_SUCCESS, kBad = ERROR_INVALID_PARAMETER,
                       kAbsent = ERROR_FILE_NOT_FOUND, kEnd = ERROR_NO_MORE_ITEMS;
inline const std::wstring kNullClass = L"{00000000-0000-0000-0000-000000000000}";

// Reserved to the byte: with no room after the bytes, ASan sees any read past them.
inline Bytes cat(std::initializer_list<Bytes> parts) {
    std::size_t n = 0;
    for (const auto& p : parts) n += p.size();
    Bytes out;
    out.reserve(n);
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
inline Bytes be(std::uint64_t v, int n) {
    Bytes out;
    for (int i = n - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return out;
}
// Text, sequence, alternative or URL with a 1-, 2- or 4-byte length.
inline Bytes sized(int type, int prefix, const Bytes& body) {
    const int index = prefix == 1 ? 5 : prefix == 2 ? 6 : 7;
    return cat({{static_cast<std::uint8_t>(type << 3 | index)}, be(body.size(), prefix), body});
}
inline Bytes varying(int type, const Bytes& body) {
    return sized(type, body.size() < 0x100 ? 1 : body.size() < 0x10000 ? 2 : 4, body);
}
inline const auto nil = [] { return Bytes{0x00}; };
inline const auto u8 = [](std::uint8_t v) { return Bytes{0x08, v}; };
inline const auto u16 = [](std::uint16_t v) { return cat({{0x09}, be(v, 2)}); };
inline const auto u32 = [](std::uint32_t v) { return cat({{0x0A}, be(v, 4)}); };
inline const auto uuid16 = [](std::uint16_t v) { return cat({{0x19}, be(v, 2)}); };
inline const auto uuid32 = [](std::uint32_t v) { return cat({{0x1A}, be(v, 4)}); };
inline const auto uuid128 = [](std::uint64_t high, std::uint64_t low) {
    return cat({{0x1C}, be(high, 8), be(low, 8)});
};
inline const auto text = [](const std::string& s) { return varying(4, Bytes(s.begin(), s.end())); };
inline const auto seq = [](std::initializer_list<Bytes> c) { return varying(6, cat(c)); };
// A service record: a sequence of (uint16 attribute ID, value) pairs.
inline Bytes pairs(const std::vector<std::pair<std::uint16_t, Bytes>>& attributes) {
    Bytes body;
    for (const auto& [id, value] : attributes) body = cat({body, u16(id), value});
    return body;
}
inline Bytes record(const std::vector<std::pair<std::uint16_t, Bytes>>& attributes) {
    return varying(6, pairs(attributes));
}
// `depth` sequences with 4-byte lengths around `core`.
inline Bytes nest(int depth, Bytes core) {
    for (int i = 0; i < depth; ++i) core = sized(6, 4, core);
    return core;
}
// The first n bytes, in a block of exactly that size.
inline const auto cut = [](const Bytes& b, std::size_t n) {
    return Bytes(b.begin(), b.begin() + n);
};

// One element of every type and size descriptor.
inline const Bytes k16 = cat({be(0x8899AABBCCDDEEFFull, 8), be(0x0011223344556677ull, 8)});

using Element = std::tuple<Bytes, SDP_TYPE, SDP_SPECIFICTYPE>;
inline const Element kElements[] = {
    {{0x00}, SDP_TYPE_NIL, SDP_ST_NONE},
    {{0x08, 0xFE}, SDP_TYPE_UINT, SDP_ST_UINT8},
    {{0x09, 0x12, 0x34}, SDP_TYPE_UINT, SDP_ST_UINT16},
    {{0x0A, 0xDE, 0xAD, 0xBE, 0xEF}, SDP_TYPE_UINT, SDP_ST_UINT32},
    {{0x0B, 1, 2, 3, 4, 5, 6, 7, 8}, SDP_TYPE_UINT, SDP_ST_UINT64},
    {cat({{0x0C}, k16}), SDP_TYPE_UINT, SDP_ST_UINT128},
    {{0x10, 0x80}, SDP_TYPE_INT, SDP_ST_INT8},
    {{0x11, 0x80, 0x01}, SDP_TYPE_INT, SDP_ST_INT16},
    {{0x12, 0xFF, 0xFF, 0xFF, 0xFE}, SDP_TYPE_INT, SDP_ST_INT32},
    {{0x13, 0x80, 0, 0, 0, 0, 0, 0, 1}, SDP_TYPE_INT, SDP_ST_INT64},
    {cat({{0x14}, k16}), SDP_TYPE_INT, SDP_ST_INT128},
    {uuid16(0x1101), SDP_TYPE_UUID, SDP_ST_UUID16},
    {uuid32(0x00011105), SDP_TYPE_UUID, SDP_ST_UUID32},
    {uuid128(0x123456789ABCDEF0ull, 0x1122334455667788ull), SDP_TYPE_UUID, SDP_ST_UUID128},
    {sized(4, 1, {'a', 'b', 'c'}), SDP_TYPE_STRING, SDP_ST_NONE},
    {sized(4, 2, Bytes(300, 'x')), SDP_TYPE_STRING, SDP_ST_NONE},
    {sized(4, 4, {'h', 'i'}), SDP_TYPE_STRING, SDP_ST_NONE},
    {sized(8, 1, {'h', 't'}), SDP_TYPE_URL, SDP_ST_NONE},
    {sized(8, 2, {'u'}), SDP_TYPE_URL, SDP_ST_NONE},
    {sized(8, 4, {'u', 'v'}), SDP_TYPE_URL, SDP_ST_NONE},
    {{0x28, 0x01}, SDP_TYPE_BOOLEAN, SDP_ST_NONE},
    {sized(6, 1, uuid16(0x1101)), SDP_TYPE_SEQUENCE, SDP_ST_NONE},
    {sized(6, 2, cat({u8(1), text("x")})), SDP_TYPE_SEQUENCE, SDP_ST_NONE},
    {sized(6, 4, {}), SDP_TYPE_SEQUENCE, SDP_ST_NONE},
    {sized(7, 1, cat({nil(), nil()})), SDP_TYPE_ALTERNATIVE, SDP_ST_NONE},
    {sized(7, 2, u16(7)), SDP_TYPE_ALTERNATIVE, SDP_ST_NONE},
    {sized(7, 4, sized(6, 4, {})), SDP_TYPE_ALTERNATIVE, SDP_ST_NONE},
};

inline DWORD element(Bytes& b, SDP_ELEMENT_DATA& e) {
    return BluetoothSdpGetElementData(b.data(), static_cast<ULONG>(b.size()), &e);
}
inline DWORD attribute(Bytes& b, USHORT id, SDP_ELEMENT_DATA& e) {
    return BluetoothSdpGetAttributeValue(b.data(), static_cast<ULONG>(b.size()), id, &e);
}
inline DWORD child(Bytes& b, HBLUETOOTH_CONTAINER_ELEMENT& cursor, SDP_ELEMENT_DATA& e) {
    return BluetoothSdpGetContainerElementData(b.data(), static_cast<ULONG>(b.size()), &cursor, &e);
}
inline std::wstring classOf(const Bytes& b) {
    return Corvale::ServiceClassUUID(b.data(), static_cast<ULONG>(b.size())).asString();
}
inline std::wstring onBase(std::uint32_t shortForm) {
    wchar_t s[40];
    std::swprintf(s, 40, L"{%08X-0000-1000-8000-00805F9B34FB}", static_cast<unsigned>(shortForm));
    return s;
}

// The bytes `e` was decoded from, containers walked with the container call
// to its ERROR_NO_MORE_ITEMS: a decoder that loses, moves or mislabels
// anything cannot give the original bytes back.
inline Bytes reencode(const SDP_ELEMENT_DATA& e) {
    static_assert(std::endian::native == std::endian::little);
    // Numbers sit at the start of the union in host order: a 128-bit integer
    // as its low, then its high half; a GUID as three numbers, then eight bytes.
    const auto* raw = reinterpret_cast<const std::uint8_t*>(&e.data);
    const auto number = [&](int descriptor, int width) {
        Bytes out = {static_cast<std::uint8_t>(descriptor)};
        for (int i = width - 1; i >= 0; --i) out.push_back(raw[i]);
        return out;
    };
    const int index = std::min(e.specificType >> 8, 4);
    const LPBYTE p = e.data.string.value;  // the same place for URLs, sequences and alternatives
    const ULONG n = e.data.string.length;
    if (e.type == SDP_TYPE_NIL) return {0x00};
    if (e.type == SDP_TYPE_BOOLEAN) return {0x28, e.data.booleanVal};
    if (e.type == SDP_TYPE_UINT || e.type == SDP_TYPE_INT) {
        EXPECT_EQ(e.specificType & 0xFF, e.type << 4);
        return number(e.type << 3 | index, 1 << index);
    }
    if (e.type == SDP_TYPE_UUID && e.specificType == SDP_ST_UUID128)
        return cat({number(0x1C, 4), {raw[5], raw[4], raw[7], raw[6]}, Bytes(raw + 8, raw + 16)});
    if (e.type == SDP_TYPE_UUID) return number(0x18 | index, 1 << index);
    if (e.type == SDP_TYPE_STRING || e.type == SDP_TYPE_URL) {
        // The element keeps no size descriptor: the header in front of the
        // text, which only one length field can match, tells which was used.
        for (int prefix : {1, 2, 4}) {
            Bytes b = sized(e.type == SDP_TYPE_STRING ? 4 : 8, prefix, Bytes(p, p + n));
            if (std::equal(b.begin(), b.begin() + 1 + prefix, p - 1 - prefix)) return b;
        }
        return {};
    }
    if (e.type != SDP_TYPE_SEQUENCE && e.type != SDP_TYPE_ALTERNATIVE) return {};
    Bytes body;
    HBLUETOOTH_CONTAINER_ELEMENT cursor = nullptr;
    SDP_ELEMENT_DATA c{};
    DWORD rc;
    while ((rc = BluetoothSdpGetContainerElementData(p, n, &cursor, &c)) == kOk)
        body = cat({body, reencode(c)});
    EXPECT_EQ(rc, kEnd);
    EXPECT_EQ(BluetoothSdpGetContainerElementData(p, n, &cursor, &c), rc)
        << "the end stays the end";
    // The container's own descriptor says which length field it used.
    EXPECT_EQ(p[0] >> 3, e.type);
    return (p[0] & 7) < 5 ? Bytes{} : sized(e.type, 1 << ((p[0] & 7) - 5), body);
}

}  // namespace sdptest
