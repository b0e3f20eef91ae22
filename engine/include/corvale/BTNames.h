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
#include <utility>
#include <vector>

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

// AttributeName for every attribute of one record, with what the names depend
// on (the record's languages and service classes) read once: the way to name
// all attributes of a long record.
class BTAttributeNamer {
public:
    explicit BTAttributeNamer(const BTRecord& record);
    std::optional<std::string> operator()(std::uint16_t id) const;

private:
    std::vector<BTLanguageBase> languages;
    // (base, place in `languages`), sorted: a long list is searched, not walked.
    std::vector<std::pair<std::uint16_t, std::uint32_t>> bases;
    // The record's classes that define attributes of their own, in the
    // record's order, each once.
    std::vector<std::uint16_t> classes;
};

}  // namespace Corvale
