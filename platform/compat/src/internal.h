// Shared between the compat layer's own sources; not installed.
#pragma once

#include <corvale/compat/backend.h>

namespace Corvale::Compat {

// True while at least one WSAStartup has not been matched by WSACleanup.
bool winsockStarted();

// Enter a Win32 call: hands the call to the backend's onCall. Returns the
// code the call must fail with, or 0 to go on.
DWORD enter(const CallInfo& call);

// CloseHandle (handles.cpp) offers a handle to every kind of handle that a
// caller closes with it; a closer returns true when the handle was one of its
// own and is now released, false otherwise. A kind takes part by registering
// its closer once, before it hands out its first handle; registering twice
// changes nothing.
using HandleCloser = bool (*)(HANDLE handle);
void registerHandleCloser(HandleCloser closer);

}  // namespace Corvale::Compat
