// What BlueZ's objects and signals mean for us: the adapters and devices of a
// GetManagedObjects answer, and what the signals of a running inquiry tell.
// Everything here comes over the bus and is checked before it is used; a
// signal of a shape we do not expect is ignored.
#pragma once

#include "dbus.h"

#include <corvale/compat/backend.h>

#include <map>
#include <string>
#include <vector>

namespace Corvale::Bluez {

inline constexpr const char* kAdapterInterface = "org.bluez.Adapter1";
inline constexpr const char* kDeviceInterface = "org.bluez.Device1";

// Object paths in natural order: runs of digits compare as numbers, so hci2
// comes before hci10.
bool naturalLess(const std::string& a, const std::string& b);

// Whether `path` lies below `parent`.
bool under(const std::string& path, const std::string& parent);

// One org.bluez.Adapter1.
struct Adapter {
    std::string path;
    BTH_ADDR address = 0;
    std::string alias;
    ULONG classOfDevice = 0;
    bool powered = false;
};

enum class Read { Ok, Skip, Bad };

// An adapter from its properties: Bad when one has the wrong type or the
// address is malformed (bluetoothd itself is then not to be trusted); Skip
// for the null address, which no real radio has.
Read readAdapter(const std::string& path, const Dbus::Properties& p, Adapter& out);

// A device from its Device1 properties; false when it cannot be one of the
// results: no address, a malformed or null one, or a property of the wrong
// type. Such a device is left out and the others are reported.
bool readDevice(const Dbus::Properties& p, Compat::DeviceResult& out);

// The devices that bluetoothd holds under the adapter, in natural path order.
std::vector<Compat::DeviceResult> cachedDevices(const Dbus::Objects& objects,
                                                const std::string& adapterPath);

// What the signals of one inquiry told us. Whoever owns org.bluez decides
// how many signals come and what they carry, so what is kept is bounded: the
// first kMaxDevices devices heard, each with only the properties that
// readDevice reads, and none of a size that BlueZ never sends.
struct Heard {
    // Far more than the devices one inquiry can hear.
    static constexpr std::size_t kMaxDevices = 1024;
    // Longer than any device path of bluetoothd ("/org/bluez/hci0/dev_..."
    // is 37 characters).
    static constexpr std::size_t kMaxPath = 256;
    // The longest name Bluetooth carries (248 bytes); no property we read
    // is longer.
    static constexpr std::size_t kMaxText = 248;

    std::string adapterPath;
    std::vector<std::string> order;                  // device paths, first heard first
    std::map<std::string, Dbus::Properties> latest;  // what the signals carried
    bool vanished = false;                           // org.bluez left the bus

    // Takes in what a signal said of the device at `path`; `heard`: the
    // signal says that the inquiry hears it now.
    void note(const std::string& path, const Dbus::Properties& p, bool heard);
};

// The match handlers of an inquiry; `userdata` is its Heard. Each always
// returns 0: a signal is not a reply, and one we cannot read is ignored.
int onInterfacesAdded(sd_bus_message* m, void* userdata, sd_bus_error* error);
int onPropertiesChanged(sd_bus_message* m, void* userdata, sd_bus_error* error);
int onNameOwnerChanged(sd_bus_message* m, void* userdata, sd_bus_error* error);

// The devices heard, in the order heard, as `objects` (read after the
// inquiry) has them, or as their signals said when they are gone again.
std::vector<Compat::DeviceResult> heardDevices(const Heard& heard, const Dbus::Objects& objects);

}  // namespace Corvale::Bluez
