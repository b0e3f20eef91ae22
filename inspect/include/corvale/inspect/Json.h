// A decoded SDP record as JSON, in the stable format that scripts read (see
// the README's "JSON output"):
//
//   RECORD  = {"attributes": [{"id": <number>, "name": <text or null>,
//              "value": ELEMENT}], "malformed_at": <byte offset or null>}
//   ELEMENT = {"type": T, "value": V}
//
// T is TypeName() of the element's type. V: null for nil; a number for
// integers up to 32 bits; "0x" and the full-width big-endian hex digits for
// 64 and 128 bits; for UUIDs the canonical lower-case 128-bit text, with
// "name" beside it when known; for text and url the bytes as UTF-8, each
// ill-formed subpart as U+FFFD, with "hex" (the bytes) beside it when they
// were not well-formed; true/false; an array of ELEMENTs for containers.
// Every string built here is valid UTF-8, so dumping never fails.
#pragma once

#include <corvale/BTRecord.h>
#include <nlohmann/json.hpp>

#include <string>

namespace Corvale::Inspect {

// Keys stay in the order written, as the format lists them.
using Json = nlohmann::ordered_json;

Json recordJson(const BTRecord& record);
Json attributeJson(const BTRecord& record, const BTAttribute& attribute);
Json elementJson(const BTRecord& record, const BTElement& element);

// "00001101-0000-1000-8000-00805f9b34fb": the UUID text of the JSON output.
std::string uuidJsonText(const BTUUID& uuid);

// The document as text: indented by `indent` spaces (compact when negative),
// ending with a line end when indented.
std::string jsonText(const Json& document, int indent = 2);

}  // namespace Corvale::Inspect
