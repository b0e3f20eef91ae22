// UTF-8 as the Unicode Standard defines it (table 3-7, well-formed byte
// sequences): the one definition of a valid sequence behind every check and
// conversion of text that a device or a system service sent.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Corvale::Bt {

// One step through UTF-8 text from a given byte.
struct Utf8Step {
    // The code point of a valid sequence; meaningless otherwise.
    char32_t codePoint = 0;
    // The bytes taken: the whole sequence, or for an ill-formed one its
    // maximal subpart (the lead and the continuations it still allowed, at
    // least one byte), which takes one replacement character.
    std::size_t length = 1;
    bool valid = false;
};

// The sequence that starts at text[at]; at must be below text.size().
Utf8Step decodeUtf8(std::string_view text, std::size_t at);

// Whether the whole text is well-formed UTF-8.
bool isValidUtf8(std::string_view text);

// Appends the UTF-8 form of a code point up to U+10FFFF (surrogates as they
// are: the caller decides what to do with them).
void appendUtf8(std::string& out, char32_t codePoint);

// The one conversion between wide text (UTF-16 where wchar_t has 16 bits, as
// on Windows; UTF-32 elsewhere) and UTF-8. What a device or a system service
// sent is untrusted: each ill-formed UTF-8 subpart, unpaired surrogate or
// value past U+10FFFF becomes U+FFFD instead of failing.
std::wstring fromUtf8(std::string_view utf8);
std::string toUtf8(std::wstring_view wide);

}  // namespace Corvale::Bt
