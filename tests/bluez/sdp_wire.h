// Test helpers: SDP data elements and PDUs written out by hand, byte by byte,
// as the Bluetooth Core Specification (Vol 3, Part B) lays them out, so that
// the client is checked against the wire format rather than against itself.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace sdpwire {

using Bytes = std::vector<std::uint8_t>;

inline Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline Bytes u8(std::uint8_t v) {
    return {0x08, v};
}
inline Bytes u16(std::uint16_t v) {
    return {0x09, static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
}
inline Bytes u32(std::uint32_t v) {
    return {0x0A, static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
            static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
}
inline Bytes uuid16(std::uint16_t v) {
    return {0x19, static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
}
// A short UUID written in its 128-bit form on the Bluetooth base UUID.
inline Bytes uuid128(std::uint16_t v) {
    return {0x1C,
            0x00,
            0x00,
            static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v),
            0x00,
            0x00,
            0x10,
            0x00,
            0x80,
            0x00,
            0x00,
            0x80,
            0x5F,
            0x9B,
            0x34,
            0xFB};
}
inline Bytes str(const std::string& s) {
    Bytes out{0x25, static_cast<std::uint8_t>(s.size())};
    out.insert(out.end(), s.begin(), s.end());
    return out;
}
inline Bytes seq(std::initializer_list<Bytes> items) {
    const Bytes body = cat(items);
    Bytes out;
    if (body.size() < 256) {
        out = {0x35, static_cast<std::uint8_t>(body.size())};
    } else {
        out = {0x36, static_cast<std::uint8_t>(body.size() >> 8),
               static_cast<std::uint8_t>(body.size())};
    }
    out.insert(out.end(), body.begin(), body.end());
    return out;
}
inline Bytes seqOf(const std::vector<Bytes>& items) {
    Bytes body;
    for (const Bytes& b : items) body.insert(body.end(), b.begin(), b.end());
    Bytes out{0x36, static_cast<std::uint8_t>(body.size() >> 8),
              static_cast<std::uint8_t>(body.size())};
    out.insert(out.end(), body.begin(), body.end());
    return out;
}
inline Bytes attr(std::uint16_t id, const Bytes& value) {
    return cat({u16(id), value});
}

// A typical RFCOMM service record.
inline Bytes rfcommRecord(std::uint32_t handle, std::uint16_t serviceClass, std::uint8_t channel,
                          const std::string& name, const std::string& comment) {
    return seq({attr(0x0000, u32(handle)), attr(0x0001, seq({uuid16(serviceClass)})),
                attr(0x0004, seq({seq({uuid16(0x0100)}), seq({uuid16(0x0003), u8(channel)})})),
                attr(0x0100, str(name)), attr(0x0101, str(comment))});
}

// A ServiceSearchAttributeResponse carrying `lists` and a continuation state.
inline Bytes response(std::uint16_t tid, const Bytes& lists, const Bytes& continuation = {}) {
    const std::size_t params = 2 + lists.size() + 1 + continuation.size();
    Bytes out{0x07,
              static_cast<std::uint8_t>(tid >> 8),
              static_cast<std::uint8_t>(tid),
              static_cast<std::uint8_t>(params >> 8),
              static_cast<std::uint8_t>(params),
              static_cast<std::uint8_t>(lists.size() >> 8),
              static_cast<std::uint8_t>(lists.size())};
    out.insert(out.end(), lists.begin(), lists.end());
    out.push_back(static_cast<std::uint8_t>(continuation.size()));
    out.insert(out.end(), continuation.begin(), continuation.end());
    return out;
}

inline Bytes errorResponse(std::uint16_t tid, std::uint16_t code) {
    return {0x01, static_cast<std::uint8_t>(tid >> 8),  static_cast<std::uint8_t>(tid), 0x00,
            0x02, static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code)};
}

}  // namespace sdpwire
