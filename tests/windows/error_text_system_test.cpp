// baselib's error text over the system's own FormatMessageW: "(" + decimal
// code + ") " + the system's text exactly as returned, line ending included;
// a code the system has no text for leaves the previous text. The same source
// runs over the compat layer, so its FormatMessageW keeps the system's
// contract (lengths, the caller's buffer, last-error values) and has a text
// for every code, as Windows does.
#include "system_test_support.h"

#include <corvale/baselib.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using CorvaleTest::engineText;
using CorvaleTest::systemText;

// The Win32 and Winsock codes the engine can pass to setError: what radio
// enumeration, lookups and the session report (the compat layer's message
// table holds the same codes).
const std::vector<DWORD> kEngineCodes = {
    0,     1,     2,     5,     6,     8,     13,    14,    21,    31,    50,    87,    121,
    122,   259,   1060,  1062,  1167,  1168,  1223,  1237,  1460,  1784,  10004, 10013, 10014,
    10022, 10045, 10047, 10049, 10050, 10051, 10053, 10054, 10055, 10060, 10061, 10064, 10065,
    10091, 10092, 10093, 10102, 10103, 10108, 10109, 10110, 10111, 11001};

// A code that is sure to have a text on Windows and under Wine, to start from.
constexpr DWORD kKnown = 87;  // ERROR_INVALID_PARAMETER

TEST(SystemErrorText, EveryEngineCodeGivesTheSystemTextOrLeavesThePreviousOne) {
    std::wstring missing;
    for (DWORD code : kEngineCodes) {
        baselib::setError(kKnown);
        const std::wstring before = baselib::getError();
        ASSERT_EQ(before, engineText(kKnown));

        const std::wstring text = systemText(code);
        baselib::setError(code);
        if (text.empty()) {
            EXPECT_EQ(baselib::getError(), before) << "code " << code;
            missing += L" " + std::to_wstring(code);
            continue;
        }
        EXPECT_EQ(baselib::getError(), L"(" + std::to_wstring(code) + L") " + text)
            << "code " << code;
        // The system's texts end with CR LF, and the engine keeps it.
        ASSERT_GE(text.size(), 2u) << "code " << code;
        EXPECT_EQ(text.substr(text.size() - 2), L"\r\n") << "code " << code;
        EXPECT_EQ(text.find(L'\0'), std::wstring::npos) << "code " << code;
    }
    if (!missing.empty())
        std::printf("[ note     ] the system has no text for:%ls\n", missing.c_str());
    if (CorvaleTest::wineMajor() == 0) {
        EXPECT_TRUE(missing.empty()) << "Windows and the compat layer have every text";
    }
}

TEST(SystemErrorText, AnUnknownCodeHasNoTextAndLeavesThePreviousText) {
    baselib::setError(kKnown);
    const std::wstring before = baselib::getError();
    // Bit 29 marks a code as the application's own: never in the system table.
    for (DWORD unknown : {DWORD{0x20000001}, DWORD{99999}, DWORD{0xFFFFFFFF}}) {
        DWORD lastError = 0;
        EXPECT_TRUE(systemText(unknown, &lastError).empty()) << unknown;
        // ERROR_MR_MID_NOT_FOUND, as the compat layer reports it too.
        EXPECT_EQ(lastError, 317u) << unknown;
        baselib::setError(unknown);
        EXPECT_EQ(baselib::getError(), before) << unknown;
    }
}

TEST(SystemErrorText, CodesPrintInPlainDecimal) {
    struct Case {
        DWORD code;
        const wchar_t* prefix;
    };
    for (const Case& c : {Case{259, L"(259) "}, Case{11001, L"(11001) "}, Case{0, L"(0) "},
                          Case{10022, L"(10022) "}}) {
        ASSERT_FALSE(systemText(c.code).empty()) << c.code;
        baselib::setError(c.code);
        EXPECT_EQ(baselib::getError().rfind(c.prefix, 0), 0u) << c.code;
    }
}

// FormatMessageW's own contract, which the compat layer copies: the length
// returned counts the characters without the terminating zero, and a buffer
// of the caller's that is too small fails with ERROR_INSUFFICIENT_BUFFER.
TEST(SystemErrorText, LengthAndCallerBuffer) {
    const std::wstring text = systemText(kKnown);
    ASSERT_FALSE(text.empty());
    wchar_t exact[256];
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
                                   nullptr, kKnown, 0, exact, 256, nullptr);
    EXPECT_EQ(n, text.size());
    EXPECT_EQ(std::wstring(exact), text);

    wchar_t small[4];
    SetLastError(0);
    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM, nullptr,
                             kKnown, 0, small, 4, nullptr),
              0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

}  // namespace
