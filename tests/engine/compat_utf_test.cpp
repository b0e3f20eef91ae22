// UTF-8 <-> wide text at the platform edge. Invalid input is replaced, one
// U+FFFD for each maximal ill-formed subpart as the Unicode Standard
// recommends (the count Qt, ICU and browsers give), and never decoded into a
// character it does not encode.
#include <corvale/bt/utf8.h>
#include <corvale/compat/utf.h>

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdint>
#include <memory>
#include <utility>

using Corvale::Compat::fromUtf8;
using Corvale::Compat::toUtf8;

// Expected text: '?' stands for U+FFFD. Bytes past F4, overlong forms,
// surrogates and U+110000 give one per byte; a cut sequence (a lead and the
// continuations it allows) gives one in all.
TEST(Utf8, ReplacementOfIllFormedInput) {
    EXPECT_EQ(fromUtf8(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
    const std::pair<std::string, std::string> cases[] = {
        {"A\x80Z", "A?Z"},       {"\xFF\xFEok", "??ok"},       {"\xF5\x80\x80\x80", "????"},
        {"\xC0\xAF", "??"},      {"\xE0\x9F\xBF", "???"},      {"\xF0\x8F\xBF\xBF", "????"},
        {"\xED\xA0\x80", "???"}, {"\xF4\x90\x80\x80", "????"}, {"\xF0\x9F\x98", "?"},
        {"\xE2\x82Z", "?Z"},     {"\xC3\xC3\xA9Z", "?\xE9Z"},  {"\xF0\x80\xE2\x82\xAC", "??\x80"}};
    for (const auto& [utf8, narrow] : cases) {
        std::wstring wide;
        for (unsigned char c : narrow) wide += c == '?' ? L'\uFFFD' : c == 0x80 ? L'\u20AC' : c;
        EXPECT_EQ(fromUtf8(utf8), wide) << testing::PrintToString(utf8);
    }
    // Wide text is UTF-32 here: surrogates (paired or not) and units past
    // U+10FFFF are no characters, and each becomes one U+FFFD.
    const std::wstring units = {wchar_t(0xD800), L'x', wchar_t(0xD83D), wchar_t(0xDE00),
                                wchar_t(0x110000)};
    EXPECT_EQ(toUtf8(units), "\xEF\xBF\xBDx\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(Utf8, EveryCodePointRoundTrips) {
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        const std::wstring wide(1, static_cast<wchar_t>(c));
        const std::string utf8 = toUtf8(wide);
        ASSERT_EQ(utf8.size(), 1u + (c >= 0x80) + (c >= 0x800) + (c >= 0x10000))
            << std::uint32_t(c);
        ASSERT_EQ(fromUtf8(utf8), wide) << std::uint32_t(c);
    }
}

// Against glibc's iconv on every two-byte string: valid exactly when iconv
// says so, a valid one round-trips, an invalid one holds a replacement and
// nothing outside Unicode.
TEST(Utf8, AgreesWithIconv) {
    const iconv_t cd = iconv_open("UTF-32LE", "UTF-8");
    const std::unique_ptr<void, int (*)(iconv_t)> closer(cd, iconv_close);
    for (int i = 0; i < 0x10000; ++i) {
        std::string bytes = {char(i >> 8), char(i)};
        char out[64], *inp = bytes.data(), *outp = out;
        std::size_t inLeft = bytes.size(), outLeft = sizeof out;
        const bool valid = iconv(cd, &inp, &inLeft, &outp, &outLeft) != std::size_t(-1);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        const std::wstring wide = fromUtf8(bytes);
        SCOPED_TRACE(testing::PrintToString(bytes));
        ASSERT_EQ(Corvale::Bt::isValidUtf8(bytes), valid);
        for (wchar_t w : wide)
            ASSERT_TRUE(std::uint32_t(w) <= 0x10FFFF && (std::uint32_t(w) & ~0x7FFu) != 0xD800);
        if (valid)
            ASSERT_EQ(toUtf8(wide), bytes);
        else
            ASSERT_NE(wide.find(wchar_t(0xFFFD)), std::wstring::npos);
    }
}
