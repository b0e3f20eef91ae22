// Shared between the compat layer's own sources; not installed.
#pragma once

#include <corvale/compat/backend.h>

namespace Corvale::Compat {

// True while at least one WSAStartup has not been matched by WSACleanup.
bool winsockStarted();

// Enter a Win32 call: hands the call to the backend's onCall. Returns the
// code the call must fail with, or 0 to go on.
DWORD enter(const CallInfo& call);

}  // namespace Corvale::Compat
