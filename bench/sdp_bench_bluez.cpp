// The libbluetooth side of the SDP benchmark, and the records.
#include "sdp_bench_records.h"

#include <bluetooth/bluetooth.h>
#include <bluetooth/sdp.h>
#include <bluetooth/sdp_lib.h>

#include <cstdlib>
#include <cstring>

namespace sdpbench {

namespace {

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
Bytes be(std::uint64_t v, int n) {
    Bytes out;
    for (int i = n - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return out;
}
// A variable-size element with the smallest length prefix that fits.
Bytes var(int type, const Bytes& body) {
    if (body.size() < 0x100) return cat({{std::uint8_t(type << 3 | 5)}, be(body.size(), 1), body});
    if (body.size() < 0x10000)
        return cat({{std::uint8_t(type << 3 | 6)}, be(body.size(), 2), body});
    return cat({{std::uint8_t(type << 3 | 7)}, be(body.size(), 4), body});
}
Bytes seq(std::initializer_list<Bytes> c) {
    return var(6, cat(c));
}
Bytes str(const std::string& s) {
    return var(4, Bytes(s.begin(), s.end()));
}
Bytes u8(std::uint8_t v) {
    return {0x08, v};
}
Bytes u16(std::uint16_t v) {
    return cat({{0x09}, be(v, 2)});
}
Bytes u32(std::uint32_t v) {
    return cat({{0x0A}, be(v, 4)});
}
Bytes boolean(bool v) {
    return {0x28, std::uint8_t(v)};
}
Bytes uuid16(std::uint16_t v) {
    return cat({{0x19}, be(v, 2)});
}
Bytes uuid128(std::uint64_t high, std::uint64_t low) {
    return cat({{0x1C}, be(high, 8), be(low, 8)});
}
Bytes record(std::initializer_list<std::pair<std::uint16_t, Bytes>> attrs) {
    Bytes body;
    for (const auto& [id, v] : attrs) body = cat({body, u16(id), v});
    return var(6, body);
}

}  // namespace

std::vector<Record> records() {
    Bytes descriptor(4096);
    for (std::size_t i = 0; i < descriptor.size(); ++i)
        descriptor[i] = static_cast<std::uint8_t>(i * 131 + 7);
    return {
        {"SerialPort", record({{0x0000, u32(0x00010001)},
                               {0x0001, seq({uuid16(0x1101)})},
                               {0x0004, seq({seq({uuid16(0x0100)}), seq({uuid16(0x0003), u8(1)})})},
                               {0x0005, seq({uuid16(0x1002)})},
                               {0x0009, seq({seq({uuid16(0x1101), u16(0x0102)})})},
                               {0x0100, str("Serial Port")}})},
        {"Custom128", record({{0x0000, u32(0x00010002)},
                              {0x0001, seq({uuid128(0x123456789ABCDEF0ull, 0x1122334455667788ull),
                                            uuid16(0x1101)})},
                              {0x0004, seq({seq({uuid16(0x0100)}), seq({uuid16(0x0003), u8(5)})})},
                              {0x0005, seq({uuid16(0x1002)})},
                              {0x0006, seq({u16(0x656E), u16(0x006A), u16(0x0100)})},
                              {0x0100, str("Vendor data channel")},
                              {0x0101, str("A service with its own 128-bit class")},
                              {0x0102, str("Maker")}})},
        {"Hid4KiB",
         record({{0x0000, u32(0x00010005)},
                 {0x0001, seq({uuid16(0x1124)})},
                 {0x0004, seq({seq({uuid16(0x0100), u16(0x0011)}), seq({uuid16(0x0011)})})},
                 {0x0005, seq({uuid16(0x1002)})},
                 {0x0006, seq({u16(0x656E), u16(0x006A), u16(0x0100)})},
                 {0x0009, seq({seq({uuid16(0x1124), u16(0x0101)})})},
                 {0x000D, seq({seq({seq({uuid16(0x0100), u16(0x0013)}), seq({uuid16(0x0011)})})})},
                 {0x0100, str("Wireless Keyboard")},
                 {0x0101, str("Keyboard")},
                 {0x0102, str("Maker")},
                 {0x0201, u16(0x0111)},
                 {0x0202, u8(0x40)},
                 {0x0203, u8(0x00)},
                 {0x0204, boolean(true)},
                 {0x0205, boolean(true)},
                 {0x0206, seq({seq({u8(0x22), var(4, descriptor)})})},
                 {0x0207, seq({seq({u16(0x0409), u16(0x0100)})})},
                 {0x020B, u16(0x0100)},
                 {0x020C, u16(0x0C80)},
                 {0x020D, boolean(false)},
                 {0x020E, boolean(true)}})},
        // A class list of 21,800 distinct UUIDs: 64 KiB of record, the size a
        // hostile device can send in one record to make the class list work.
        {"ClassList21800",
         [] {
             Bytes classes;
             for (std::uint16_t i = 0; i < 21800; ++i) {
                 const Bytes u = uuid16(i);
                 classes.insert(classes.end(), u.begin(), u.end());
             }
             return record({{0x0000, u32(0x00010006)}, {0x0001, var(6, classes)}});
         }()},
    };
}

void bluezFirstClass(const Bytes& bytes, std::uint8_t out[16]) {
    std::memset(out, 0, 16);
    int scanned = 0;
    sdp_record_t* rec = sdp_extract_pdu(bytes.data(), static_cast<int>(bytes.size()), &scanned);
    if (rec == nullptr) return;
    sdp_list_t* classes = nullptr;
    if (sdp_get_service_classes(rec, &classes) == 0 && classes != nullptr) {
        const auto* u = static_cast<const uuid_t*>(classes->data);
        if (u->type == SDP_UUID128) {
            std::memcpy(out, u->value.uuid128.data, 16);
        } else {
            // A short form on the Bluetooth base UUID.
            static const std::uint8_t base[16] = {0,    0,    0,    0,    0x00, 0x00, 0x10, 0x00,
                                                  0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB};
            const std::uint32_t v = u->type == SDP_UUID16 ? u->value.uuid16 : u->value.uuid32;
            std::memcpy(out, base, 16);
            for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
        }
    }
    sdp_list_free(classes, free);
    sdp_record_free(rec);
}

}  // namespace sdpbench
