#include <corvale/baselib.h>
#include <corvale/platform/bluetooth_api.h>

#include <locale>
#include <sstream>

namespace baselib {

namespace {
WSADATA wsaData{};
bool wsaDataInitied = false;
// Built before main runs and destroyed after it returns.
std::wstring error;
}  // namespace

bool WinsockStart() {
    if (wsaDataInitied) return true;
    if (WSAStartup(MAKEWORD(2, 0), &wsaData) != 0) return false;
    // wVersion as one 16-bit number: the major version is its low byte.
    if (wsaData.wVersion < 2) {
        WSACleanup();
        return false;
    }
    wsaDataInitied = true;
    return true;
}

void WinsockClear() {
    if (!wsaDataInitied) return;
    wsaDataInitied = false;
    WSACleanup();
}

bool isWinsockInitied() {
    return wsaDataInitied;
}

const std::wstring& getError() {
    return error;
}

void setError(DWORD code) {
    LPWSTR text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
        nullptr, code, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    if (length == 0 || text == nullptr) return;

    // Free the system's buffer whatever happens while the text is built.
    struct Release {
        LPWSTR p;
        ~Release() { LocalFree(p); }
    } release{text};

    std::wostringstream out;
    // A global locale that groups digits must not turn 10110 into "10,110".
    out.imbue(std::locale::classic());
    out << L"(" << static_cast<unsigned long>(code) << L") " << std::wstring(text, length);
    error = out.str();
}

}  // namespace baselib
