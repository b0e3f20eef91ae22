// Process-wide plumbing of the engine: the Winsock session that every
// name-space lookup needs, and the one error text through which every engine
// failure reaches the user.
#pragma once

#include <corvale/platform/bluetooth_types.h>

#include <string>

namespace baselib {

// Starts the Winsock session for version 2.0. True when the session is up,
// also when it already was (no second WSAStartup then).
bool WinsockStart();

// Ends the session if it is up.
void WinsockClear();

// Whether the session is up.
bool isWinsockInitied();

// The text of the last failure of any engine operation: "(" code ") " and the
// system's text for the code, line ending included. Empty until the first
// failure; never cleared on success. Valid until the next failure replaces it.
const std::wstring& getError();

// Replaces the error text with the text for a Win32 or Winsock code. A code
// that the system has no text for leaves the previous text in place.
void setError(DWORD code);

}  // namespace baselib
