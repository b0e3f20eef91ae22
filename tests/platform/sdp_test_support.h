// Helpers of the SDP tests: records built with the one SDP encoder (whose
// length fields can be chosen, also those a record would not pick), calls of
// the compat layer's decoder on them, and the inverse of the decoder, which
// writes back the bytes an element was read from.
#pragma once

#include <corvale/Corvale.h>
#include <corvale/bt/sdp.h>
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

using namespace Corvale::Bt::Sdp;
inline constexpr DWORD kOk = ERROR_SUCCESS, kBad = ERROR_INVALID_PARAMETER,
                       kAbsent = ERROR_FILE_NOT_FOUND, kEnd = ERROR_NO_MORE_ITEMS;
inline const std::wstring kNullClass = L"{00000000-0000-0000-0000-000000000000}";
constexpr LengthField kLengths[] = {LengthField::Bits8, LengthField::Bits16, LengthField::Bits32};

// Reserved to the byte: with no room after the bytes, ASan sees any read past them.
inline Bytes cat(std::initializer_list<Bytes> parts) {
    std::size_t n = 0;
    for (const auto& p : parts) n += p.size();
    Bytes out;
    out.reserve(n);
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
// The (ID, value) pairs of a record, without the record's own header.
inline Bytes pairs(const std::vector<Attribute>& attributes) {
    Bytes body;
    for (const auto& [id, value] : attributes) body = cat({body, uint16(id), value});
    return body;
}
// `depth` sequences with 32-bit lengths around `core`.
inline Bytes nest(int depth, Bytes core) {
    for (int i = 0; i < depth; ++i) core = variable(Type::Sequence, core, LengthField::Bits32);
    return core;
}
// The first n bytes, in a block of exactly that size.
inline Bytes cut(const Bytes& b, std::size_t n) {
    return Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n));
}
inline Bytes uuid128(std::uint64_t high, std::uint64_t low) {
    Corvale::Bt::UuidBytes u{};
    for (int i = 0; i < 8; ++i) {
        u[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(high >> (56 - 8 * i));
        u[static_cast<std::size_t>(8 + i)] = static_cast<std::uint8_t>(low >> (56 - 8 * i));
    }
    return Corvale::Bt::Sdp::uuid128(u);
}

// One element of every type and size descriptor; the fixed-size ones as
// literal bytes, the Bluetooth Core Specification's layout written out.
inline const Bytes k16 = {0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF,
                          0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
constexpr LengthField k8 = LengthField::Bits8, k16Bits = LengthField::Bits16,
                      k32 = LengthField::Bits32;

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
    {{0x19, 0x11, 0x01}, SDP_TYPE_UUID, SDP_ST_UUID16},
    {{0x1A, 0x00, 0x01, 0x11, 0x05}, SDP_TYPE_UUID, SDP_ST_UUID32},
    {uuid128(0x123456789ABCDEF0ull, 0x1122334455667788ull), SDP_TYPE_UUID, SDP_ST_UUID128},
    {{0x28, 0x01}, SDP_TYPE_BOOLEAN, SDP_ST_NONE},
    {text("abc", k8), SDP_TYPE_STRING, SDP_ST_NONE},
    {text(std::string(300, 'x'), k16Bits), SDP_TYPE_STRING, SDP_ST_NONE},
    {text("hi", k32), SDP_TYPE_STRING, SDP_ST_NONE},
    {url("ht", k8), SDP_TYPE_URL, SDP_ST_NONE},
    {url("u", k16Bits), SDP_TYPE_URL, SDP_ST_NONE},
    {url("uv", k32), SDP_TYPE_URL, SDP_ST_NONE},
    {sequence({uuid16(0x1101)}, k8), SDP_TYPE_SEQUENCE, SDP_ST_NONE},
    {sequence({uint8(1), text("x")}, k16Bits), SDP_TYPE_SEQUENCE, SDP_ST_NONE},
    {sequence({}, k32), SDP_TYPE_SEQUENCE, SDP_ST_NONE},
    {alternative({nil(), nil()}, k8), SDP_TYPE_ALTERNATIVE, SDP_ST_NONE},
    {alternative({uint16(7)}, k16Bits), SDP_TYPE_ALTERNATIVE, SDP_ST_NONE},
    {alternative({sequence({}, k32)}, k32), SDP_TYPE_ALTERNATIVE, SDP_ST_NONE},
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
            const LengthField length = kLengths[prefix / 2];
            Bytes b = variable(e.type == SDP_TYPE_STRING ? Type::Text : Type::Url, {p, n}, length);
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
    return (p[0] & 7) < 5 ? Bytes{}
                          : variable(static_cast<Type>(e.type), body, kLengths[(p[0] & 7) - 5]);
}

}  // namespace sdptest
