// libbluetooth as an independent SDP parser and encoder. Its headers and the
// Win32 surface cannot meet in one translation unit, so only standard types
// cross this line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sdptest {

struct BluezParse {
    std::size_t scanned = 0;  // bytes sdp_extract_pdu read; 0 when it refused the record
    std::vector<std::uint8_t> attributes;  // sdp_gen_pdu of each ID and value it read
    // sdp_get_service_classes as "{XXXXXXXX-XXXX-...}" texts; nullopt without a list.
    std::optional<std::vector<std::string>> classes;
};
BluezParse bluezParse(const std::vector<std::uint8_t>& record);

}  // namespace sdptest
