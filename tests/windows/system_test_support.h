// What the Windows tests need to know about the system they run on: whether
// it is Wine (whose Bluetooth functions are stubs), and the system's own text
// for a code, read straight from FormatMessageW to compare the engine with.
// Built over the compat layer too, where "the system" is the compat layer.
#pragma once

#include <corvale/platform/bluetooth_api.h>

#include <optional>
#include <string>

namespace CorvaleTest {

// Wine's version ("8.0") when the tests run under Wine, nothing on Windows.
std::optional<std::string> wineVersion();

// The major number of wineVersion(), 0 on Windows.
int wineMajor();

// FormatMessageW's text for a code, as the engine asks for it (system table,
// inserts ignored, default language); empty when the system has none. The
// last-error value FormatMessageW left is stored in *lastError when given.
std::wstring systemText(DWORD code, DWORD* lastError = nullptr);

// "(code) " and the system's text: what baselib::getError() must then hold.
std::wstring engineText(DWORD code);

}  // namespace CorvaleTest
