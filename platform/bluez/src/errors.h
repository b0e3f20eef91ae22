// How system failures become the codes of the table in bluez_backend.h.
#pragma once

#include <corvale/compat/winapi.h>

#include <string_view>

namespace Corvale::Bluez {

// What went wrong, independent of which call sees it.
enum class Cause {
    NoService,    // no system bus, or org.bluez is not on it
    NoAdapter,    // no such adapter (object)
    NotReady,     // adapter off
    Permission,   // refused by policy or by the kernel
    Timeout,      // no answer within its bound
    BadReply,     // a reply that does not have the promised shape
    Unsupported,  // method or interface unknown to this bluetoothd
    InvalidArgs,  // bluetoothd refuses the arguments
    Busy,         // an operation already in progress
    NoMemory,
    Other,
};

// Win32 code for radio enumeration, Winsock code for lookups and publication.
DWORD radioCode(Cause cause);
DWORD lookupCode(Cause cause);

// The cause of a failed D-Bus call: its negative errno and, when the peer
// answered with an error, the error's name (empty otherwise).
Cause dbusCause(int negativeErrno, std::string_view errorName);

// The Winsock code for a failed socket operation of the SDP transport.
DWORD socketCode(int error);

}  // namespace Corvale::Bluez
