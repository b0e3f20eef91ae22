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
    std::wstring previous = baselib::getError();
    for (DWORD code = 0; code <= 0xFFFF; ++code) {
        const std::wstring prefix = L"(" + std::to_wstring(code) + L") ";
        baselib::setError(code);
        const std::wstring& error = baselib::getError();
        // No text: the previous one stays (whose prefix names another code).
        if (error == previous || error.rfind(prefix, 0) != 0) continue;
        previous = error;
        std::string line = std::to_string(code) + "\t";
        for (wchar_t c : error.substr(prefix.size())) {
            switch (c) {
                case L'\r':
                    line += "\\r";
                    break;
                case L'\n':
                    line += "\\n";
                    break;
                case L'\t':
                    line += "\\t";
                    break;
                case L'\\':
                    line += "\\\\";
                    break;
                default:
                    if (c >= 0x20 && c < 0x7F) {
                        line += static_cast<char>(c);
                    } else {
                        char hex[16];
                        std::snprintf(hex, sizeof hex, "\\u%04X", static_cast<unsigned>(c));
                        line += hex;
                    }
            }
        }
        std::printf("%s\n", line.c_str());
    }
    return 0;
}
