// The handles the compat layer has handed out and not yet had back: open
// lookups, radio enumerations and radio handles. A leak shows here as a
// count that does not return to zero; tests and the simulated world read it.
#pragma once

#include <cstddef>

namespace Corvale::Compat {

struct OpenHandles {
    std::size_t lookups = 0;     // WSALookupServiceBeginW without its End
    std::size_t radioFinds = 0;  // BluetoothFindFirstRadio without its Close
    std::size_t radios = 0;      // radio handles still valid
    bool operator==(const OpenHandles&) const = default;
};

OpenHandles openHandles();

// Forgets every open handle (as a process exit would). For test isolation
// only: a handle dropped here is stale for any later call.
void closeAllHandles();

}  // namespace Corvale::Compat
