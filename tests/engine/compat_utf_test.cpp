// UTF-8 <-> wide text at the platform edge. Invalid input is replaced, one
// U+FFFD for each maximal ill-formed subpart as the Unicode Standard
// recommends (the same count Qt, ICU and browsers give), and never decoded
// into a character it does not encode.
#include <corvale/compat/utf.h>

#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <string_view>

using Corvale::Compat::fromUtf8;
using Corvale::Compat::toUtf8;

namespace {

constexpr wchar_t R = 0xFFFD;

std::wstring reps(std::size_t n) {
    return std::wstring(n, R);
}

// ---------------------------------------------------------------------------
// UTF-8 to wide.

struct DecodeCase {
    std::string_view utf8;
    std::wstring wide;
    const char* why;
};

class Decode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Decode, Text) {
    const DecodeCase& c = GetParam();
    EXPECT_EQ(fromUtf8(c.utf8), c.wide) << c.why;
}

using namespace std::string_view_literals;

INSTANTIATE_TEST_SUITE_P(
    Valid, Decode,
    ::testing::Values(DecodeCase{""sv, L"", "empty"},
                      DecodeCase{"Headset 42"sv, L"Headset 42", "ASCII"},
                      DecodeCase{"a\0b"sv, std::wstring(L"a\0b", 3), "embedded NUL"},
                      DecodeCase{"\x7F"sv, L"\x7F", "last one-byte"},
                      DecodeCase{"\xC2\x80"sv, L"\u0080", "first two-byte"},
                      DecodeCase{"\xC3\xA9"sv, L"\u00E9", "e acute"},
                      DecodeCase{"\xDF\xBF"sv, L"\u07FF", "last two-byte"},
                      DecodeCase{"\xE0\xA0\x80"sv, L"\u0800", "first three-byte"},
                      DecodeCase{"\xE2\x82\xAC"sv, L"\u20AC", "euro sign"},
                      DecodeCase{"\xED\x9F\xBF"sv, L"\uD7FF", "last before the surrogates"},
                      DecodeCase{"\xEE\x80\x80"sv, L"\uE000", "first after the surrogates"},
                      DecodeCase{"\xEF\xBF\xBD"sv, L"\uFFFD", "the replacement character"},
                      DecodeCase{"\xEF\xBF\xBF"sv, L"\uFFFF", "last three-byte"},
                      DecodeCase{"\xF0\x90\x80\x80"sv, L"\U00010000", "first four-byte"},
                      DecodeCase{"\xF0\x9F\x98\x80"sv, L"\U0001F600", "emoji"},
                      DecodeCase{"\xF4\x8F\xBF\xBF"sv, L"\U0010FFFF", "last code point"},
                      DecodeCase{"Caf\xC3\xA9 \xF0\x9F\x8E\xA7"sv, L"Caf\u00E9 \U0001F3A7",
                                 "mixed widths"}));

INSTANTIATE_TEST_SUITE_P(
    Invalid, Decode,
    ::testing::Values(DecodeCase{"\x80"sv, reps(1), "lone continuation byte"},
                      DecodeCase{"\xBF\x80"sv, reps(2), "two continuation bytes"},
                      DecodeCase{"A\x80Z"sv, L"A\uFFFDZ", "continuation between letters"},
                      DecodeCase{"\xFE"sv, reps(1), "FE is never UTF-8"},
                      DecodeCase{"\xFF\xFFok"sv, reps(2) + L"ok", "FF is never UTF-8"},
                      DecodeCase{"\xF5\x80\x80\x80"sv, reps(4), "F5 lead"},
                      DecodeCase{"\xF8\x88\x80\x80\x80"sv, reps(5), "five-byte form"},
                      // Overlong forms.
                      DecodeCase{"\xC0\xAF"sv, reps(2), "overlong slash, two bytes"},
                      DecodeCase{"\xC0\x80"sv, reps(2), "overlong NUL"},
                      DecodeCase{"\xC1\xBF"sv, reps(2), "overlong DEL"},
                      DecodeCase{"\xE0\x80\xAF"sv, reps(3), "overlong slash, three bytes"},
                      DecodeCase{"\xE0\x9F\xBF"sv, reps(3), "overlong U+07FF"},
                      DecodeCase{"\xF0\x80\x80\xAF"sv, reps(4), "overlong slash, four bytes"},
                      DecodeCase{"\xF0\x8F\xBF\xBF"sv, reps(4), "overlong U+FFFF"},
                      // Surrogates and values past U+10FFFF.
                      DecodeCase{"\xED\xA0\x80"sv, reps(3), "high surrogate"},
                      DecodeCase{"\xED\xBF\xBF"sv, reps(3), "low surrogate"},
                      DecodeCase{"\xED\xA0\xBD\xED\xB8\x80"sv, reps(6), "surrogate pair in CESU-8"},
                      DecodeCase{"\xF4\x90\x80\x80"sv, reps(4), "U+110000"},
                      // Truncated sequences: the lead and its valid continuations are one subpart.
                      DecodeCase{"\xC3"sv, reps(1), "two-byte cut after the lead"},
                      DecodeCase{"\xE2\x82"sv, reps(1), "three-byte cut after two"},
                      DecodeCase{"\xF0\x9F\x98"sv, reps(1), "four-byte cut after three"},
                      DecodeCase{"\xE2\x82Z"sv, L"\uFFFDZ", "three-byte broken by a letter"},
                      DecodeCase{"\xF0\x9F\x98Z"sv, L"\uFFFDZ", "four-byte broken by a letter"},
                      DecodeCase{"\xE2Z"sv, L"\uFFFDZ", "lead then letter"},
                      DecodeCase{"\xC3\xC3\xA9"sv, L"\uFFFD\u00E9", "lead then a whole character"},
                      DecodeCase{"\xF0\x80\xE2\x82\xAC"sv, L"\uFFFD\uFFFD\u20AC",
                                 "bad four-byte then a whole character"},
                      DecodeCase{"\xE0\x80\xC3\xA9"sv, L"\uFFFD\uFFFD\u00E9",
                                 "bad three-byte then a whole character"},
                      DecodeCase{"name\xE2\x82"sv, L"name\uFFFD", "name cut at the end"}));

// ---------------------------------------------------------------------------
// Wide to UTF-8.

struct EncodeCase {
    std::wstring wide;
    std::string_view utf8;
    const char* why;
};

class Encode : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(Encode, Text) {
    const EncodeCase& c = GetParam();
    EXPECT_EQ(toUtf8(c.wide), c.utf8) << c.why;
}

INSTANTIATE_TEST_SUITE_P(
    Values, Encode,
    ::testing::Values(EncodeCase{L"", ""sv, "empty"}, EncodeCase{L"Headset", "Headset"sv, "ASCII"},
                      EncodeCase{std::wstring(L"a\0b", 3), "a\0b"sv, "embedded NUL"},
                      EncodeCase{L"\u0080\u07FF", "\xC2\x80\xDF\xBF"sv, "two-byte bounds"},
                      EncodeCase{L"\u0800\uFFFF", "\xE0\xA0\x80\xEF\xBF\xBF"sv,
                                 "three-byte bounds"},
                      EncodeCase{L"\U00010000\U0010FFFF", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"sv,
                                 "four-byte bounds"},
                      EncodeCase{L"\U0001F600", "\xF0\x9F\x98\x80"sv, "emoji"}));

TEST(Encode, LoneSurrogatesAndOutOfRangeUnitsBecomeReplacements) {
    const std::string replacement = "\xEF\xBF\xBD";
    std::wstring lone;
    lone += static_cast<wchar_t>(0xD800);
    lone += L'x';
    lone += static_cast<wchar_t>(0xDFFF);
    EXPECT_EQ(toUtf8(lone), replacement + "x" + replacement);
    if constexpr (sizeof(wchar_t) == 4) {
        // Wide text is UTF-32 here: surrogate units never pair, and units
        // past U+10FFFF (or negative ones) are no characters.
        const std::wstring pair = {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
        EXPECT_EQ(toUtf8(pair), replacement + replacement);
        const std::wstring beyond = {static_cast<wchar_t>(0x110000), static_cast<wchar_t>(-1)};
        EXPECT_EQ(toUtf8(beyond), replacement + replacement);
    } else {
        const std::wstring pair = {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
        EXPECT_EQ(toUtf8(pair), "\xF0\x9F\x98\x80");
    }
}

// ---------------------------------------------------------------------------
// Round trips and agreement with an independent decoder.

std::size_t encodedLength(char32_t c) {
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

TEST(RoundTrip, EveryCodePoint) {
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        std::wstring wide;
        if (sizeof(wchar_t) == 2 && c >= 0x10000) {
            wide += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            wide += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            wide += static_cast<wchar_t>(c);
        }
        const std::string utf8 = toUtf8(wide);
        ASSERT_EQ(utf8.size(), encodedLength(c)) << std::hex << "U+" << std::uint32_t(c);
        ASSERT_EQ(fromUtf8(utf8), wide) << std::hex << "U+" << std::uint32_t(c);
    }
}

// Whether glibc's iconv takes the bytes as UTF-8 whole.
bool iconvAccepts(const std::string& bytes) {
    static iconv_t cd = iconv_open("UTF-32LE", "UTF-8");
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string in = bytes;
    char out[64];
    char* inp = in.data();
    char* outp = out;
    std::size_t inLeft = in.size(), outLeft = sizeof out;
    const std::size_t rc = iconv(cd, &inp, &inLeft, &outp, &outLeft);
    return rc != static_cast<std::size_t>(-1) && inLeft == 0;
}

// Short byte strings: valid exactly when iconv says so; a valid one
// round-trips, an invalid one gives at least one replacement and never a
// character outside Unicode.
void checkAgainstIconv(const std::string& bytes) {
    const std::wstring wide = fromUtf8(bytes);
    for (wchar_t w : wide) {
        const auto u = static_cast<std::uint32_t>(w);
        ASSERT_LE(u, 0x10FFFFu);
        if (sizeof(wchar_t) == 4) {
            ASSERT_FALSE(u >= 0xD800 && u <= 0xDFFF);
        }
    }
    const bool hasReplacement = wide.find(R) != std::wstring::npos;
    if (iconvAccepts(bytes)) {
        ASSERT_EQ(toUtf8(wide), bytes);
        ASSERT_FALSE(hasReplacement && bytes.find("\xEF\xBF\xBD") == std::string::npos);
    } else {
        ASSERT_TRUE(hasReplacement);
        ASSERT_LE(wide.size(), bytes.size());
    }
}

std::string hexOf(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 0xF];
        out += ' ';
    }
    return out;
}

TEST(Iconv, EveryTwoByteString) {
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b) {
            const std::string s = {static_cast<char>(a), static_cast<char>(b)};
            SCOPED_TRACE(hexOf(s));
            checkAgainstIconv(s);
            if (HasFatalFailure()) return;
        }
}

TEST(Iconv, ThreeAndFourByteStringsAroundTheBounds) {
    // Lead bytes E0-F7 with following bytes at and around every range bound.
    const unsigned char edges[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F,
                                   0xA0, 0xBF, 0xC0, 0xC2, 0xE0, 0xF0, 0xFF};
    for (int lead = 0xE0; lead <= 0xF7; ++lead)
        for (unsigned char b : edges)
            for (unsigned char c : edges) {
                const std::string three = {static_cast<char>(lead), static_cast<char>(b),
                                           static_cast<char>(c)};
                SCOPED_TRACE(hexOf(three));
                checkAgainstIconv(three);
                if (HasFatalFailure()) return;
                for (unsigned char d : edges) {
                    const std::string four = three + static_cast<char>(d);
                    SCOPED_TRACE(hexOf(four));
                    checkAgainstIconv(four);
                    if (HasFatalFailure()) return;
                }
            }
}

}  // namespace
