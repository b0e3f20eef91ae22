// The libbluetooth side of the SDP cross-check, kept in its own translation
// unit because libbluetooth's headers and the Win32 surface cannot meet.
// Every record is described once; the description yields libbluetooth's
// in-memory record and our hand-encoded bytes, and libbluetooth's own
// encoding and parsing are recorded next to them.
#pragma once

#include "sdp_model.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace sdptest {

// A UUID as libbluetooth read it, expanded to 128 bits in wire order.
using ClassUuid = std::array<std::uint8_t, 16>;

struct BluezReference {
    std::string name;
    Bytes bytes;       // our hand encoding of the record
    Attributes meant;  // libbluetooth's in-memory record
    std::size_t minimumSize = 0;

    // libbluetooth's encoding of the attributes (the record without its
    // header), where it can encode every value.
    std::optional<Bytes> encoded;

    // sdp_extract_pdu of our bytes, where libbluetooth reads every attribute.
    std::optional<Attributes> parsed;
    std::size_t scanned = 0;

    // sdp_get_service_classes, on the in-memory record and on the parse;
    // nullopt where libbluetooth finds no class list.
    std::optional<std::vector<ClassUuid>> classesMeant;
    std::optional<std::vector<ClassUuid>> classesParsed;

    // The class to expect where libbluetooth reads no class list but the
    // engine does (a class list held in an alternative).
    std::optional<ClassUuid> classOverride;
};

std::vector<BluezReference> bluezReferences();

// Models of two records equal but for one byte of one value, built by
// libbluetooth: a check that the comparison can see a difference at all.
std::pair<Attributes, Attributes> bluezNearTwins();

}  // namespace sdptest
