// baselib's error text: "(" + decimal code + ") " + the system's text, kept
// as the system gives it, and left alone for a code without text.
#include <corvale/baselib.h>
#include <corvale/compat/messages.h>

#include <gtest/gtest.h>

#include <locale>
#include <string>

namespace {

struct TextCase {
    DWORD code;
    const wchar_t* text;  // the whole error text afterwards
};

class ErrorText : public ::testing::TestWithParam<TextCase> {};

TEST_P(ErrorText, IsCodeInParenthesesThenTheSystemText) {
    baselib::setError(GetParam().code);
    EXPECT_EQ(baselib::getError(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ErrorText,
    ::testing::Values(
        TextCase{259, L"(259) No more data is available.\r\n"},
        TextCase{10110,
                 L"(10110) No more results can be returned by the WSALookupServiceNext "
                 L"function.\r\n"},
        TextCase{0, L"(0) The operation completed successfully.\r\n"},
        TextCase{5, L"(5) Access is denied.\r\n"},
        TextCase{87, L"(87) The parameter is incorrect.\r\n"},
        TextCase{10108,
                 L"(10108) No such service is known. The service cannot be found in the "
                 L"specified name space.\r\n"},
        TextCase{10093,
                 L"(10093) Either the application has not called WSAStartup, or WSAStartup "
                 L"failed.\r\n"}));

// Every code the message table knows gives its text after the code, whole:
// the line ending stays, and no NUL gets into the text.
TEST(ErrorText, EveryKnownCode) {
    for (const auto& m : Corvale::Compat::messageTable()) {
        baselib::setError(m.code);
        const std::wstring& error = baselib::getError();
        EXPECT_EQ(error, L"(" + std::to_wstring(m.code) + L") " + m.text);
        EXPECT_EQ(error.find(L'\0'), std::wstring::npos) << "code " << m.code;
        ASSERT_GE(error.size(), 2u);
        EXPECT_EQ(error.substr(error.size() - 2), L"\r\n") << "code " << m.code;
    }
}

TEST(ErrorText, ACodeWithoutTextLeavesThePreviousText) {
    baselib::setError(10110);
    const std::wstring before = baselib::getError();
    ASSERT_FALSE(before.empty());
    for (DWORD unknown : {DWORD{0xFFFFFFFF}, DWORD{0x7FFFFFFF}, DWORD{99999}, DWORD{0x20000001}}) {
        ASSERT_EQ(Corvale::Compat::messageText(unknown), nullptr) << unknown;
        baselib::setError(unknown);
        EXPECT_EQ(baselib::getError(), before) << "code " << unknown;
    }
}

TEST(ErrorText, EachFailureReplacesTheTextWhole) {
    baselib::setError(10110);
    baselib::setError(259);
    EXPECT_EQ(baselib::getError(), L"(259) No more data is available.\r\n");
}

TEST(ErrorText, GetErrorIsAReferenceToTheOneText) {
    const std::wstring& error = baselib::getError();
    baselib::setError(259);
    EXPECT_EQ(&error, &baselib::getError());
    EXPECT_EQ(error, L"(259) No more data is available.\r\n");
}

// A program may install a global locale that groups digits; the code must
// still print as plain decimal digits.
class Thousands : public std::numpunct<wchar_t> {
protected:
    wchar_t do_thousands_sep() const override { return L','; }
    std::string do_grouping() const override { return "\3"; }
};

TEST(ErrorText, CodesPrintWithoutGroupingWhateverTheGlobalLocale) {
    const std::locale previous =
        std::locale::global(std::locale(std::locale::classic(), new Thousands));
    baselib::setError(10110);
    std::locale::global(previous);
    EXPECT_EQ(baselib::getError().substr(0, 8), L"(10110) ");
}

}  // namespace
