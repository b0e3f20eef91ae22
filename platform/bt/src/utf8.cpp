#include <corvale/bt/utf8.h>

namespace Corvale::Bt {

Utf8Step decodeUtf8(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) return {lead, 1, true};
    // The lead byte fixes how many continuation bytes follow and the range of
    // the first of them, which is what rules out overlong forms, surrogates
    // and values past U+10FFFF.
    std::size_t extra = 0;
    char32_t c = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1, c = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2, c = lead & 0x0Fu;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3, c = lead & 0x07u;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return {};  // a continuation byte without a lead, C0, C1 or F5 to FF
    }
    std::size_t length = 1;
    for (; length <= extra; ++length) {
        if (at + length >= text.size()) return {0, length, false};
        const auto b = static_cast<unsigned char>(text[at + length]);
        if (b < low || b > high) return {0, length, false};
        c = c << 6 | (b & 0x3Fu);
        low = 0x80, high = 0xBF;
    }
    return {c, length, true};
}

bool isValidUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Step step = decodeUtf8(text, at);
        if (!step.valid) return false;
        at += step.length;
    }
    return true;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

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
        const Utf8Step step = decodeUtf8(in, at);
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
        appendUtf8(out, c);
    }
    return out;
}

}  // namespace Corvale::Bt
