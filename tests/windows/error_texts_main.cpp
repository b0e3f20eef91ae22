// corvale-error-texts: prints, for every code from 0 to 65535 that the
// platform has a message for, the engine's error text (baselib::setError,
// then getError): "code<TAB>text", with CR, LF, TAB and backslash escaped.
//
// The same program on Windows (under Wine in CI) and over the compat layer
// gives two lists that compare line by line: the compat layer's message table
// against the system's.
#include <corvale/baselib.h>

#include <cstdio>
#include <string>

int main() {
    for (DWORD code = 0; code <= 0xFFFF; ++code) {
        const std::wstring prefix = L"(" + std::to_wstring(code) + L") ";
        baselib::setError(code);
        // No text: the previous one stays, whose prefix names another code.
        if (baselib::getError().rfind(prefix, 0) != 0) continue;
        std::printf("%lu\t", static_cast<unsigned long>(code));
        for (wchar_t c : baselib::getError().substr(prefix.size())) {
            const char* escape = c == L'\r'   ? "\\r"
                                 : c == L'\n' ? "\\n"
                                 : c == L'\t' ? "\\t"
                                 : c == L'\\' ? "\\\\"
                                              : nullptr;
            if (escape != nullptr)
                std::printf("%s", escape);
            else if (c >= 0x20 && c < 0x7F)
                std::printf("%c", static_cast<char>(c));
            else
                std::printf("\\u%04X", static_cast<unsigned>(c));
        }
        std::printf("\n");
    }
    return 0;
}
