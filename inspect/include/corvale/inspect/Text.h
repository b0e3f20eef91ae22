// A decoded SDP record as readable plain text: the summaries on top, then
// one indented line per element. What a device sent is shown literally but
// safely: texts quoted, with control, direction and invisible format
// characters and bytes that are not UTF-8 written as escapes, so nothing can
// steer a terminal or reorder a line. Nothing is cut: these texts are what a
// copy gives.
#pragma once

#include <corvale/BTRecord.h>

#include <string>
#include <string_view>
#include <vector>

namespace Corvale::Inspect {

// The whole record: the summary lines, each attribute with its subtree, and
// the line saying where reading stopped, if it did. Lines end with '\n'.
std::string recordText(const BTRecord& record);

// The summary lines without line ends: "Service classes: Hands-Free, Generic
// Audio", "Protocols: L2CAP (PSM 3) > RFCOMM (channel 12)", "Profiles:
// Hands-Free 1.8", "Device ID: ...". Only those the record has.
std::vector<std::string> summaryLines(const BTRecord& record);

// One attribute, "0x0004 ProtocolDescriptorList: sequence (2)", and its
// value's subtree below it.
std::string attributeText(const BTRecord& record, const BTAttribute& attribute);

// One element of the record and its subtree, the element itself unindented:
// what copying one node of the tree gives.
std::string elementText(const BTRecord& record, const BTElement& element);

// The value of one element on one line: "0x0C (12)", "-5", "0x0100 L2CAP",
// "\"Hands-Free unit\"", "true", "nil", "sequence (3)"; a text that is not
// printable UTF-8 as its length and hex bytes.
std::string valueText(const BTRecord& record, const BTElement& element);

// "Reading stopped at byte 57: malformed data element"; empty when the record
// was read to its end.
std::string stopText(const BTRecord& record);

// Text from a device for one line of plain text: valid UTF-8 with '"' and
// '\\', control characters (C0, DEL, C1), direction and invisible format
// characters escaped (\n, \x1B, \u{202E}) and each ill-formed byte as \xNN.
// Not quoted.
std::string escapedText(std::string_view bytes);

}  // namespace Corvale::Inspect
