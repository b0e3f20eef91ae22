#include "bluez_objects.h"

#include <corvale/bt/address.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace Corvale::Bluez {

using Compat::DeviceResult;

namespace {

// "AA:BB:CC:DD:EE:FF" from bluetoothd: the address, or nothing when the text
// is anything else.
std::optional<BTH_ADDR> address(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    return Bt::parseAddress(std::string_view(*text));
}

}  // namespace

bool naturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (std::isdigit(static_cast<unsigned char>(a[i])) &&
            std::isdigit(static_cast<unsigned char>(b[j]))) {
            std::size_t ie = i, je = j;
            while (ie < a.size() && a[ie] == '0') ++ie;
            while (je < b.size() && b[je] == '0') ++je;
            std::size_t ia = ie, jb = je;
            while (ia < a.size() && std::isdigit(static_cast<unsigned char>(a[ia]))) ++ia;
            while (jb < b.size() && std::isdigit(static_cast<unsigned char>(b[jb]))) ++jb;
            if (ia - ie != jb - je) return ia - ie < jb - je;
            const int c = a.compare(ie, ia - ie, b, je, jb - je);
            if (c != 0) return c < 0;
            i = ia, j = jb;
            continue;
        }
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i, ++j;
    }
    if ((a.size() - i) != (b.size() - j)) return a.size() - i < b.size() - j;
    return a < b;  // same in natural order ("hci01" and "hci1"): any fixed order
}

bool under(const std::string& path, const std::string& parent) {
    return path.size() > parent.size() + 1 && path.compare(0, parent.size(), parent) == 0 &&
           path[parent.size()] == '/';
}

Read readAdapter(const std::string& path, const Dbus::Properties& p, Adapter& out) {
    Dbus::BluezProperties got;
    const std::optional<BTH_ADDR> parsed =
        Dbus::readBluezProperties(p, got) < 0 ? std::nullopt : address(got.address);
    if (!parsed) return Read::Bad;
    if (*parsed == 0) return Read::Skip;
    out.address = *parsed;
    out.path = path;
    // Alias is the name the radio really broadcasts; Name is the system's.
    out.alias = got.alias ? *got.alias : got.name.value_or("");
    out.classOfDevice = got.classOfDevice.value_or(0);
    out.powered = got.powered.value_or(false);
    return Read::Ok;
}

bool readDevice(const Dbus::Properties& p, DeviceResult& out) {
    Dbus::BluezProperties got;
    const std::optional<BTH_ADDR> parsed =
        Dbus::readBluezProperties(p, got) < 0 ? std::nullopt : address(got.address);
    if (!parsed || *parsed == 0) return false;
    out.address = *parsed;
    out.name = std::move(got.name);
    out.classOfDevice = got.classOfDevice;
    return true;
}

std::vector<DeviceResult> cachedDevices(const Dbus::Objects& objects,
                                        const std::string& adapterPath) {
    std::vector<const std::string*> paths;
    for (const auto& [path, interfaces] : objects)
        if (under(path, adapterPath) && interfaces.count(kDeviceInterface)) paths.push_back(&path);
    std::sort(paths.begin(), paths.end(),
              [](const std::string* a, const std::string* b) { return naturalLess(*a, *b); });
    std::vector<DeviceResult> out;
    for (const std::string* path : paths) {
        DeviceResult d;
        if (readDevice(objects.at(*path).at(kDeviceInterface), d)) out.push_back(std::move(d));
    }
    return out;
}

void Heard::note(const std::string& path, const Dbus::Properties& p, bool heard) {
    auto it = latest.find(path);
    if (it == latest.end()) {
        if (!heard || order.size() >= kMaxDevices || path.size() > kMaxPath) return;
        order.push_back(path);
        it = latest.emplace(path, Dbus::Properties{}).first;
    }
    for (const char* name : Dbus::kBluezPropertyNames) {
        const auto v = p.find(name);
        if (v == p.end()) continue;
        // A text longer than BlueZ ever sends is as good as none.
        if (v->second.text.size() > kMaxText)
            it->second.erase(name);
        else
            it->second[name] = v->second;
    }
}

int onInterfacesAdded(sd_bus_message* m, void* userdata, sd_bus_error*) {
    auto& heard = *static_cast<Heard*>(userdata);
    if (!Dbus::hasSignature(m, "oa{sa{sv}}")) return 0;
    const char* path = nullptr;
    if (sd_bus_message_read_basic(m, 'o', &path) <= 0 || path == nullptr) return 0;
    Dbus::Interfaces interfaces;
    if (Dbus::readInterfaces(m, interfaces) < 0) return 0;
    auto it = interfaces.find(kDeviceInterface);
    if (it == interfaces.end() || !under(path, heard.adapterPath)) return 0;
    heard.note(path, it->second, true);
    return 0;
}

int onPropertiesChanged(sd_bus_message* m, void* userdata, sd_bus_error*) {
    auto& heard = *static_cast<Heard*>(userdata);
    if (!Dbus::hasSignature(m, "sa{sv}as")) return 0;
    const char* path = sd_bus_message_get_path(m);
    const char* interface = nullptr;
    if (path == nullptr || sd_bus_message_read_basic(m, 's', &interface) <= 0 ||
        interface == nullptr || std::strcmp(interface, kDeviceInterface) != 0 ||
        !under(path, heard.adapterPath))
        return 0;
    Dbus::Properties changed;
    if (Dbus::readProperties(m, changed) < 0) return 0;
    // A device is heard when the inquiry gives it a signal strength.
    heard.note(path, changed, changed.count("RSSI") > 0);
    return 0;
}

int onNameOwnerChanged(sd_bus_message* m, void* userdata, sd_bus_error*) {
    auto& heard = *static_cast<Heard*>(userdata);
    const char *name = nullptr, *before = nullptr, *after = nullptr;
    if (!Dbus::hasSignature(m, "sss") || sd_bus_message_read(m, "sss", &name, &before, &after) < 0)
        return 0;
    if (name != nullptr && std::strcmp(name, "org.bluez") == 0 && after != nullptr &&
        *after == '\0')
        heard.vanished = true;
    return 0;
}

std::vector<DeviceResult> heardDevices(const Heard& heard, const Dbus::Objects& objects) {
    std::vector<DeviceResult> out;
    for (const std::string& device : heard.order) {
        // A device's object as it stands now (a name resolved late is
        // there); one that is gone again, as its signals said.
        const auto object = objects.find(device);
        const Dbus::Properties* p = nullptr;
        if (object != objects.end()) {
            const auto it = object->second.find(kDeviceInterface);
            if (it != object->second.end()) p = &it->second;
        }
        if (p == nullptr) {
            const auto it = heard.latest.find(device);
            if (it == heard.latest.end()) continue;
            p = &it->second;
        }
        DeviceResult d;
        if (readDevice(*p, d)) out.push_back(std::move(d));
    }
    return out;
}

}  // namespace Corvale::Bluez
