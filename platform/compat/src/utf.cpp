#include <corvale/bt/utf8.h>
#include <corvale/compat/utf.h>

namespace Corvale::Compat {

namespace {
constexpr char32_t kReplacement = 0xFFFD;

void appendWide(std::wstring& out, char32_t c) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (c >> 10));
            out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
            return;
        }
    }
    out += static_cast<wchar_t>(c);
}
}  // namespace

// One replacement for each maximal ill-formed subpart, as the Unicode
// Standard recommends; the byte that broke a sequence is looked at again as
// a possible start.
std::wstring fromUtf8(std::string_view in) {
    std::wstring out;
    out.reserve(in.size());
    for (std::size_t at = 0; at < in.size();) {
        const Bt::Utf8Step step = Bt::decodeUtf8(in, at);
        appendWide(out, step.valid ? step.codePoint : kReplacement);
        at += step.length;
    }
    return out;
}

std::string toUtf8(std::wstring_view in) {
    std::string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        char32_t c = static_cast<char32_t>(in[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < in.size()) {
                const char32_t low = static_cast<char32_t>(in[i + 1]);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
        }
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
        Bt::appendUtf8(out, c);
    }
    return out;
}

}  // namespace Corvale::Compat
