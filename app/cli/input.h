// What `decode` reads: a record's bytes from a file or standard input, raw or
// as hexadecimal text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace CorvaleCli {

// The most bytes `decode` reads from its input, raw or hex text alike. An
// SDP record is far smaller (a service search answers in at most 64 KiB a
// round); a bigger input is a mistake, and reading it whole could exhaust
// memory.
inline constexpr std::size_t kMaxInputBytes = 16u << 20;

// The whole input: the file at path (UTF-8), or standard input for "-".
// Nothing on failure, with a message that names the input.
std::optional<std::string> readInput(const std::string& path, std::string& error);

// The bytes written as hexadecimal text. Whitespace and commas separate
// groups anywhere; each group is an even number of digits (bytes in reading
// order), or "0x" with one or more. What the usual dump tools print is
// understood as they print it:
// - an offset that starts a line: one ending in ':' (xxd), or a number of
//   four digits or more before groups of exactly two (hexdump -C, od);
//   offsets must follow the bytes before them, and hexdump's "*" (the line
//   before repeats up to the next offset) is expanded;
// - the character column after two spaces or more: btmon's and xxd's, and
//   hexdump -C's between bars, taken as such only when it is exactly the
//   line's bytes as printable characters, so no digit is ever dropped.
// Anything else is refused with the line and column of the first character
// that is not understood. At most kMaxInputBytes bytes come out.
std::optional<std::vector<unsigned char>> parseHex(std::string_view text, std::string& error);

}  // namespace CorvaleCli
