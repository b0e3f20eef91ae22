// The process's one backend: BlueZ with the system's timings.
#include <corvale/bluez/bluez_backend.h>

namespace Corvale::Compat {

Backend& backend() {
    static Bluez::BluezBackend instance;
    return instance;
}

}  // namespace Corvale::Compat
