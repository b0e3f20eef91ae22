// Names of SDP attributes and UUIDs from our own tables of the Bluetooth
// assigned numbers: the universal attributes, the language-based ones, the
// profile-specific attributes of the common profiles, and the UUIDs of service
// classes, profiles, protocols and browse groups. Names are UTF-8 (plain
// ASCII, in fact) and never contain text from a device.
#pragma once

#include <corvale/BTRecord.h>
#include <corvale/BTUUID.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Corvale {

// The name of a known UUID: "Serial Port", "Hands-Free", "L2CAP",
// "Public Browse Root". None for an unknown one.
std::optional<std::string_view> UuidName(const BTUUID& uuid);

// The name of attribute `id` in `record`: a universal attribute
// ("ProtocolDescriptorList"), a language-based one at a base the record lists
// ("ServiceName (en)"; at 0x0100 without a list, "ServiceName"), or one
// specific to the first of the record's service classes that defines it
// ("SupportedFeatures" in a Hands-Free record). None when no table knows it.
std::optional<std::string> AttributeName(const BTRecord& record, std::uint16_t id);

}  // namespace Corvale
