// The SDP records both sides of the benchmark parse, hand-encoded.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace sdpbench {

using Bytes = std::vector<std::uint8_t>;

struct Record {
    std::string name;
    Bytes bytes;
};

// A small record like a serial port's, a mid-sized one with 128-bit UUIDs,
// a HID record with a 4 KiB report descriptor, and a class list of 21,800 UUIDs.
std::vector<Record> records();

// libbluetooth's answer for one record: sdp_extract_pdu, then
// sdp_get_service_classes; the first class's 16 bytes in wire order (all
// zero when there is none). Everything it allocates is freed again.
void bluezFirstClass(const Bytes& record, std::uint8_t out[16]);

}  // namespace sdpbench
