// What the text output must never pass to a terminal: C0 controls but the
// line end, DEL, C1 controls, direction controls, invisible marks, and bytes
// that are not UTF-8 (reported as U+FFFD). Shared by the record renderings'
// tests and the command-line tests, which both print device text.
#pragma once

#include <corvale/bt/utf8.h>

#include <optional>
#include <string_view>

namespace termtest {

inline std::optional<char32_t> steeringCharacter(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const auto step = Corvale::Bt::decodeUtf8(text, at);
        if (!step.valid) return U'\xFFFD';
        const char32_t c = step.codePoint;
        if ((c < 0x20 && c != U'\n') || (c >= 0x7F && c <= 0x9F) || c == 0x061C ||
            (c >= 0x200B && c <= 0x200F) || (c >= 0x2028 && c <= 0x202E) ||
            (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF)
            return c;
        at += step.length;
    }
    return std::nullopt;
}

}  // namespace termtest
