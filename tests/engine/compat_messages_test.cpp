// The compat layer's message table and FormatMessageW/LocalFree over it.
#include <corvale/compat/messages.h>
#include <corvale/compat/winapi.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <memory>
#include <set>
#include <string>

using Corvale::Compat::messageTable;
using Corvale::Compat::messageText;

namespace {

constexpr DWORD kAllocate =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
constexpr DWORD kMidNotFound = 317;  // ERROR_MR_MID_NOT_FOUND

// What the engine's error text calls: allocate, and return the text or nullptr.
struct Formatted {
    DWORD length = 0;
    LPWSTR text = nullptr;
};
Formatted format(DWORD code) {
    Formatted f;
    f.length =
        FormatMessageW(kAllocate, nullptr, code, 0, reinterpret_cast<LPWSTR>(&f.text), 0, nullptr);
    return f;
}

TEST(MessageTable, EveryTextIsOneNonEmptyLineEndingInCrLf) {
    ASSERT_FALSE(messageTable().empty());
    for (const auto& m : messageTable()) {
        ASSERT_NE(m.text, nullptr) << m.code;
        const std::wstring text = m.text;
        ASSERT_GT(text.size(), 2u) << m.code;
        EXPECT_EQ(text.substr(text.size() - 2), L"\r\n") << m.code;
        const std::wstring body = text.substr(0, text.size() - 2);
        EXPECT_EQ(body.find_first_of(L"\r\n"), std::wstring::npos) << m.code;
        EXPECT_NE(body.front(), L' ') << m.code;
        EXPECT_NE(body.back(), L' ') << m.code;
    }
}

TEST(MessageTable, NoCodeTwiceAndEveryCodeFindsItsOwnText) {
    std::set<DWORD> seen;
    for (const auto& m : messageTable()) {
        EXPECT_TRUE(seen.insert(m.code).second) << "code " << m.code << " twice";
        EXPECT_EQ(messageText(m.code), m.text) << m.code;
    }
}

// The codes the platform layer itself can give the engine: those the engine
// names, those of WSAStartup/WSACleanup and of FormatMessageW, and those of
// the lookups.
TEST(MessageTable, CoversTheCodesThePlatformGives) {
    for (DWORD code : {DWORD(ERROR_NO_MORE_ITEMS), DWORD(WSA_E_NO_MORE), DWORD(WSAENOMORE),
                       DWORD(WSAEFAULT), DWORD(WSASYSNOTREADY), DWORD(WSAVERNOTSUPPORTED),
                       DWORD(WSANOTINITIALISED), DWORD(WSAEINVAL), DWORD(WSASERVICE_NOT_FOUND),
                       DWORD(WSA_E_CANCELLED), DWORD(ERROR_INVALID_PARAMETER),
                       DWORD(ERROR_INSUFFICIENT_BUFFER), DWORD(ERROR_NOT_ENOUGH_MEMORY),
                       DWORD(ERROR_INVALID_HANDLE), DWORD(ERROR_SUCCESS), DWORD(ERROR_INVALID_DATA),
                       DWORD(WSAENOBUFS), DWORD(WSATYPE_NOT_FOUND), DWORD(WSAEOPNOTSUPP)})
        EXPECT_NE(messageText(code), nullptr) << "no text for " << code;
}

// Wording as Windows has it, for the texts users meet most.
TEST(MessageTable, WindowsWording) {
    const struct {
        DWORD code;
        const wchar_t* text;
    } cases[] = {
        {ERROR_NO_MORE_ITEMS, L"No more data is available.\r\n"},
        {WSA_E_NO_MORE,
         L"No more results can be returned by the WSALookupServiceNext function.\r\n"},
        {WSAENOMORE, L"No more results can be returned by the WSALookupServiceNext function.\r\n"},
        {WSANOTINITIALISED,
         L"Either the application has not called WSAStartup, or WSAStartup failed.\r\n"},
        {WSASERVICE_NOT_FOUND,
         L"No such service is known. The service cannot be found in the specified name "
         L"space.\r\n"},
        {ERROR_INVALID_PARAMETER, L"The parameter is incorrect.\r\n"},
    };
    for (const auto& c : cases) {
        ASSERT_NE(messageText(c.code), nullptr) << c.code;
        EXPECT_STREQ(messageText(c.code), c.text);
    }
}

TEST(FormatMessage, AllocatesACopyOfEveryText) {
    for (const auto& m : messageTable()) {
        const Formatted f = format(m.code);
        ASSERT_NE(f.text, nullptr) << m.code;
        EXPECT_EQ(f.length, std::wcslen(m.text)) << m.code;
        EXPECT_STREQ(f.text, m.text);
        EXPECT_NE(f.text, m.text) << "must be the caller's own buffer";
        EXPECT_EQ(LocalFree(f.text), nullptr);
    }
}

TEST(FormatMessage, UnknownCodeGivesZeroAndNoBuffer) {
    for (DWORD code : {DWORD{0xFFFFFFFF}, DWORD{0x20000001}, DWORD{99999}, DWORD{kMidNotFound}}) {
        SetLastError(0);
        const Formatted f = format(code);
        EXPECT_EQ(f.length, 0u) << code;
        EXPECT_EQ(f.text, nullptr) << code;
        EXPECT_EQ(GetLastError(), kMidNotFound) << code;
    }
}

TEST(FormatMessage, OnlyTheSystemTableIsASource) {
    LPWSTR text = nullptr;
    const wchar_t source[] = L"%1";
    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_STRING, source,
                             ERROR_NO_MORE_ITEMS, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr),
              0u);
    EXPECT_EQ(text, nullptr);
}

TEST(FormatMessage, CallersBufferMustHoldTextAndNul) {
    const std::wstring expected = messageText(ERROR_NO_MORE_ITEMS);
    const DWORD needed = static_cast<DWORD>(expected.size() + 1);

    // Exactly the size needed, on the heap, so that a write past it is caught.
    auto exact = std::make_unique<wchar_t[]>(needed);
    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             ERROR_NO_MORE_ITEMS, 0, exact.get(), needed, nullptr),
              expected.size());
    EXPECT_EQ(std::wstring(exact.get()), expected);

    auto small = std::make_unique<wchar_t[]>(needed - 1);
    SetLastError(0);
    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             ERROR_NO_MORE_ITEMS, 0, small.get(), needed - 1, nullptr),
              0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(FormatMessage, LocalFreeOfNullIsHarmless) {
    EXPECT_EQ(LocalFree(nullptr), nullptr);
}

}  // namespace
