// baselib's error text in Windows' wording for the codes users meet most, and
// whatever the global locale; the compat layer's message table it comes from.
#include <corvale/baselib.h>
#include <corvale/compat/messages.h>

#include <gtest/gtest.h>

#include <locale>
#include <set>
#include <utility>

using namespace Corvale::Compat;

// Windows' wording for the texts users meet most, line ending included.
TEST(ErrorText, ExactTexts) {
    const std::pair<DWORD, const wchar_t*> cases[] = {
        {0, L"(0) The operation completed successfully.\r\n"},
        {259, L"(259) No more data is available.\r\n"},
        {10108,
         L"(10108) No such service is known. The service cannot be found in the specified "
         L"name space.\r\n"},
        {10110,
         L"(10110) No more results can be returned by the WSALookupServiceNext function.\r\n"}};
    const std::wstring& error = baselib::getError();
    for (auto [code, text] : cases) {
        baselib::setError(code);
        EXPECT_EQ(baselib::getError(), text);
        EXPECT_EQ(&error, &baselib::getError()) << "one text, replaced whole";
    }
}

// A program may install a global locale that groups digits; the code must
// still print as plain decimal digits.
TEST(ErrorText, CodesPrintWithoutGroupingWhateverTheGlobalLocale) {
    struct Thousands : std::numpunct<wchar_t> {
        wchar_t do_thousands_sep() const override { return L','; }
        std::string do_grouping() const override { return "\3"; }
    };
    const std::locale previous =
        std::locale::global(std::locale(std::locale::classic(), new Thousands));
    baselib::setError(10110);
    std::locale::global(previous);
    EXPECT_EQ(baselib::getError().substr(0, 8), L"(10110) ");
}

// Every text is one line without outer blanks ending in CR LF and no code
// comes twice. (What the error text makes of every code, known or not, is
// the system error-text test's, which runs over this table too.)
TEST(MessageTable, Invariants) {
    ASSERT_GT(messageTable().size(), 40u);
    std::set<DWORD> seen;
    for (const auto& m : messageTable()) {
        SCOPED_TRACE(m.code);
        EXPECT_TRUE(seen.insert(m.code).second) << "twice";
        EXPECT_EQ(messageText(m.code), m.text);
        const std::wstring text = m.text;
        ASSERT_GT(text.size(), 3u);
        EXPECT_EQ(text.find_first_of(L"\r\n"), text.size() - 2);
        EXPECT_EQ(text.substr(text.size() - 2), L"\r\n");
        EXPECT_TRUE(text.front() != L' ' && text[text.size() - 3] != L' ');
    }
}
