#include "system_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace CorvaleTest {

std::optional<std::string> wineVersion() {
#ifndef _WIN32
    return std::nullopt;  // the compat layer
#else
    // Wine's ntdll exports wine_get_version; Windows' does not.
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) return std::nullopt;
    using GetVersion = const char* (*)();
    auto get = reinterpret_cast<GetVersion>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version")));
    if (get == nullptr) return std::nullopt;
    const char* version = get();
    return std::string(version != nullptr ? version : "?");
#endif
}

int wineMajor() {
    const std::optional<std::string> v = wineVersion();
    if (!v) return 0;
    int major = 0;
    for (char c : *v) {
        if (c < '0' || c > '9') break;
        major = major * 10 + (c - '0');
    }
    return major;
}

std::wstring systemText(DWORD code, DWORD* lastError) {
    LPWSTR text = nullptr;
    SetLastError(0);
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
        nullptr, code, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    if (lastError != nullptr) *lastError = GetLastError();
    std::wstring result;
    if (length != 0 && text != nullptr) result.assign(text, length);
    if (text != nullptr) LocalFree(text);
    return result;
}

std::wstring engineText(DWORD code) {
    return L"(" + std::to_wstring(code) + L") " + systemText(code);
}

namespace {
// Says in the log which system answered, so that a reader knows which of the
// expectations (Windows or Wine's stubs) were checked.
class SystemReport : public ::testing::Environment {
public:
    void SetUp() override {
        const std::optional<std::string> v = wineVersion();
        if (v)
            std::printf("[ system   ] Wine %s: Bluetooth calls are checked against its stubs\n",
                        v->c_str());
        else
#ifdef _WIN32
            std::printf("[ system   ] Windows\n");
#else
            std::printf("[ system   ] the compat layer\n");
#endif
    }
};
const auto* const kReport = ::testing::AddGlobalTestEnvironment(new SystemReport);
}  // namespace

}  // namespace CorvaleTest
