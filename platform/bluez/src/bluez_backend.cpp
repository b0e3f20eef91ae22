#include <corvale/bluez/bluez_backend.h>

#include "bluez_objects.h"
#include "dbus.h"
#include "errors.h"

#include <corvale/bt/record_xml.h>
#include <corvale/bt/uuid.h>

#include <algorithm>

namespace Corvale::Bluez {

using Compat::DeviceResult;
using Compat::Query;
using Compat::RadioInfo;
using Compat::ServiceResult;

namespace {

using Compat::ListQuery;

constexpr const char* kService = "org.bluez";
constexpr const char* kObjectManager = "org.freedesktop.DBus.ObjectManager";
constexpr const char* kProfileManager = "org.bluez.ProfileManager1";
constexpr const char* kProfilePrefix = "/org/corvale/profile";
constexpr unsigned kDefaultInquiryUnits = 8;  // 10.24 s
constexpr unsigned kMaxInquiryUnits = 0x30;   // the longest inquiry HCI allows
constexpr ULONG kMaxRfcommChannel = 30;
constexpr std::size_t kMaxLateSignals = 4096;

}  // namespace

SdpLimits localSdpLimits() {
    SdpLimits limits;
    limits.connectTimeout = std::chrono::milliseconds(2000);
    limits.responseTimeout = std::chrono::milliseconds(1000);
    limits.overall = std::chrono::milliseconds(3000);
    return limits;
}

struct BluezBackend::Published {
    GUID serviceClass{};
    ULONG port = 0;
    std::string name;
    std::string comment;
    std::string path;
    std::vector<BTH_ADDR> radios;
};

BluezBackend::BluezBackend(BackendOptions options) : options_(std::move(options)) {}

BluezBackend::~BluezBackend() = default;

std::size_t BluezBackend::publishedCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return published_.size();
}

DWORD BluezBackend::connection(Dbus::Connection*& out, Context context) {
    if (bus_ && !bus_->isOpen()) {
        // The registrations ended with the connection that made them.
        bus_.reset();
        published_.clear();
    }
    if (!bus_) {
        Dbus::Failure failure;
        std::unique_ptr<Dbus::Connection> bus;
        if (Dbus::Connection::openSystem(options_.callTimeout, bus, failure) < 0) {
            const Cause cause = dbusCause(failure.error, failure.name);
            // Whatever keeps us from the bus, bluetoothd cannot be reached through it.
            const Cause shown =
                cause == Cause::Permission || cause == Cause::Timeout ? cause : Cause::NoService;
            return context == Context::Radio ? radioCode(shown) : lookupCode(shown);
        }
        bus_ = std::move(bus);
    }
    out = bus_.get();
    return 0;
}

namespace {

DWORD managedObjects(Dbus::Connection& bus, Dbus::Objects& objects, bool radio) {
    Dbus::Message reply;
    Dbus::Failure failure;
    auto code = [&](Cause c) { return radio ? radioCode(c) : lookupCode(c); };
    if (bus.call(kService, "/", kObjectManager, "GetManagedObjects", {}, reply, failure) < 0)
        return code(dbusCause(failure.error, failure.name));
    if (Dbus::readObjects(reply.get(), objects) < 0) return code(Cause::BadReply);
    return 0;
}

}  // namespace

DWORD BluezBackend::adapters(Context context, Dbus::Connection*& bus, std::vector<Adapter>& out) {
    out.clear();
    if (DWORD r = connection(bus, context)) return r;
    const bool radio = context == Context::Radio;
    Dbus::Objects objects;
    if (DWORD r = managedObjects(*bus, objects, radio)) return r;
    for (const auto& [path, interfaces] : objects) {
        auto it = interfaces.find(kAdapterInterface);
        if (it == interfaces.end()) continue;
        Adapter a;
        switch (readAdapter(path, it->second, a)) {
            case Read::Ok:
                out.push_back(std::move(a));
                break;
            case Read::Skip:
                break;
            case Read::Bad:
                out.clear();
                return radio ? radioCode(Cause::BadReply) : lookupCode(Cause::BadReply);
        }
    }
    std::sort(out.begin(), out.end(),
              [](const Adapter& x, const Adapter& y) { return naturalLess(x.path, y.path); });
    return 0;
}

DWORD BluezBackend::poweredAdapter(Dbus::Connection*& bus, std::vector<Adapter>& all,
                                   const Adapter*& out) {
    if (DWORD r = adapters(Context::Lookup, bus, all)) return r;
    if (all.empty()) return lookupCode(Cause::NoAdapter);
    const auto it =
        std::find_if(all.begin(), all.end(), [](const Adapter& a) { return a.powered; });
    if (it == all.end()) return lookupCode(Cause::NotReady);
    out = &*it;
    return 0;
}

DWORD BluezBackend::radios(std::vector<RadioInfo>& out) {
    out.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    Dbus::Connection* bus = nullptr;
    std::vector<Adapter> all;
    if (DWORD r = adapters(Context::Radio, bus, all)) return r;
    if (all.empty()) return radioCode(Cause::NoAdapter);
    for (const Adapter& a : all) {
        RadioInfo info;
        info.address = a.address;
        info.name = a.alias;
        info.classOfDevice = a.classOfDevice;
        out.push_back(std::move(info));
    }
    return 0;
}

DWORD BluezBackend::discover(Dbus::Connection& bus, const Adapter& adapter,
                             std::chrono::milliseconds length, std::vector<DeviceResult>& out) {
    Heard heard;
    heard.adapterPath = adapter.path;
    Dbus::Slot added, changed, owner;
    const std::string kFrom = "type='signal',sender='org.bluez',";
    int r = bus.addMatch(kFrom +
                             "path='/',interface='org.freedesktop.DBus.ObjectManager',"
                             "member='InterfacesAdded'",
                         onInterfacesAdded, &heard, added);
    if (r >= 0)
        r = bus.addMatch(kFrom +
                             "interface='org.freedesktop.DBus.Properties',"
                             "member='PropertiesChanged',path_namespace='" +
                             adapter.path + "'",
                         onPropertiesChanged, &heard, changed);
    if (r >= 0)
        r = bus.addMatch(
            "type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',"
            "interface='org.freedesktop.DBus',member='NameOwnerChanged',arg0='org.bluez'",
            onNameOwnerChanged, &heard, owner);
    // Without the signals the inquiry would hear nothing: that is a failure.
    if (r < 0) return lookupCode(dbusCause(r, {}));

    Dbus::Message reply;
    Dbus::Failure failure;
    auto failed = [&] { return lookupCode(dbusCause(failure.error, failure.name)); };
    const char* path = adapter.path.c_str();
    if (bus.call(
            kService, path, kAdapterInterface, "SetDiscoveryFilter",
            [](sd_bus_message* m) {
                return sd_bus_message_append(m, "a{sv}", 1, "Transport", "s", "bredr");
            },
            reply, failure) < 0)
        return failed();
    if (bus.call(kService, path, kAdapterInterface, "StartDiscovery", {}, reply, failure) < 0)
        return failed();

    const auto deadline = std::chrono::steady_clock::now() + length;
    const int run = bus.runUntil(deadline, [&] { return heard.vanished; });
    if (heard.vanished || run < 0) return lookupCode(Cause::NoService);

    // The results stand even if stopping fails (say the radio was switched
    // off meanwhile); only bluetoothd's disappearance makes them doubtful.
    if (bus.call(kService, path, kAdapterInterface, "StopDiscovery", {}, reply, failure) < 0 &&
        dbusCause(failure.error, failure.name) == Cause::NoService)
        return lookupCode(Cause::NoService);
    // The signals that arrived while StopDiscovery was answered still count
    // (a bounded number: a flood cannot hold us here either).
    if (bus.drain(kMaxLateSignals) < 0) return lookupCode(Cause::NoService);

    Dbus::Objects objects;
    if (DWORD r = managedObjects(bus, objects, false)) return r;
    out = heardDevices(heard, objects);
    return 0;
}

DWORD BluezBackend::inquire(const Compat::InquiryParams& params,
                            std::unique_ptr<Query<DeviceResult>>& out) {
    if (params.length > kMaxInquiryUnits) return WSAEINVAL;
    std::lock_guard<std::mutex> lock(mutex_);
    Dbus::Connection* bus = nullptr;
    std::vector<Adapter> all;
    const Adapter* adapter = nullptr;
    if (DWORD r = poweredAdapter(bus, all, adapter)) return r;

    std::vector<DeviceResult> devices;
    if (!params.flushCache) {
        Dbus::Objects objects;
        if (DWORD r = managedObjects(*bus, objects, false)) return r;
        devices = cachedDevices(objects, adapter->path);
    } else {
        const unsigned units = params.length == 0 ? kDefaultInquiryUnits : params.length;
        if (DWORD r = discover(*bus, *adapter, options_.inquiryUnit * units, devices)) return r;
    }
    out = std::make_unique<ListQuery<DeviceResult>>(std::move(devices));
    return 0;
}

DWORD BluezBackend::searchServices(const Compat::ServiceSearchParams& params,
                                   std::unique_ptr<Query<ServiceResult>>& out) {
    if (params.device == 0) return WSAEINVAL;
    // No restriction: every record holds the L2CAP UUID.
    const GUID pattern =
        Bt::sameGuid(params.restriction, GUID{}) ? Bt::onBase<GUID>(0x0100) : params.restriction;
    std::function<std::unique_ptr<SdpTransport>()> makeTransport;
    SdpLimits limits;
    {
        // The bus only tells us whether a powered radio is there, and whether
        // the device is one of ours; the SDP exchange itself needs no lock.
        std::lock_guard<std::mutex> lock(mutex_);
        Dbus::Connection* bus = nullptr;
        std::vector<Adapter> all;
        const Adapter* powered = nullptr;
        if (DWORD r = poweredAdapter(bus, all, powered)) return r;
        makeTransport = options_.transport;
        const bool local = std::any_of(
            all.begin(), all.end(), [&](const Adapter& a) { return a.address == params.device; });
        limits = local ? options_.localSdp : options_.sdp;
    }
    std::unique_ptr<SdpTransport> transport =
        makeTransport ? makeTransport() : makeL2capTransport();
    if (!transport) return WSAEAFNOSUPPORT;

    std::vector<std::uint8_t> lists;
    if (DWORD r = searchAttributes(*transport, params.device, pattern, limits, lists)) return r;
    transport.reset();  // the connection is not needed while we decode
    std::vector<SdpRecord> records;
    if (DWORD r = splitRecords(lists, records)) return r;

    std::vector<ServiceResult> results;
    results.reserve(records.size());
    for (SdpRecord& record : records) {
        ServiceResult s;
        s.name = std::move(record.name);
        s.comment = std::move(record.comment);
        s.port = record.port;
        s.record = std::move(record.bytes);
        s.device = params.device;
        results.push_back(std::move(s));
    }
    out = std::make_unique<ListQuery<ServiceResult>>(std::move(results));
    return 0;
}

namespace {

// The record that publication hands to BlueZ: ServiceClassIDList,
// ProtocolDescriptorList (L2CAP, and RFCOMM with the channel unless the
// caller let us choose), BrowseGroupList (public root), and the name (0x0100)
// and description (0x0101) when there are any.
std::vector<Bt::RecordAttribute> serviceRecord(const Compat::ServiceRegistration& reg) {
    using E = Bt::RecordElement;
    constexpr std::uint16_t kL2cap = 0x0100, kRfcomm = 0x0003, kPublicRoot = 0x1002;
    std::vector<E> protocols{E::sequence({E::uuid16(kL2cap)})};
    if (reg.port != BT_PORT_ANY)
        protocols.push_back(E::sequence({E::uuid16(kRfcomm), E::unsignedInt(1, reg.port)}));
    std::vector<Bt::RecordAttribute> record{
        {0x0001, E::sequence({E::uuid(reg.serviceClassId)})},
        {0x0004, E::sequence(std::move(protocols))},
        {0x0005, E::sequence({E::uuid16(kPublicRoot)})},
    };
    if (!reg.name.empty()) record.push_back({0x0100, E::text(reg.name)});
    if (!reg.comment.empty()) record.push_back({0x0101, E::text(reg.comment)});
    return record;
}

}  // namespace

DWORD BluezBackend::unregister(Dbus::Connection& bus, const std::string& path) {
    Dbus::Message reply;
    Dbus::Failure failure;
    if (bus.call(
            kService, "/org/bluez", kProfileManager, "UnregisterProfile",
            [&](sd_bus_message* m) { return sd_bus_message_append(m, "o", path.c_str()); }, reply,
            failure) >= 0)
        return 0;
    const Cause cause = dbusCause(failure.error, failure.name);
    // Gone already (bluetoothd restarted, or it never knew it): nothing to withdraw.
    return cause == Cause::NoAdapter ? 0 : lookupCode(cause);
}

std::vector<BluezBackend::Published>::iterator BluezBackend::findPublished(
    const Compat::ServiceRegistration& reg) {
    return std::find_if(published_.begin(), published_.end(), [&](const Published& p) {
        return Bt::sameGuid(p.serviceClass, reg.serviceClassId) && p.port == reg.port;
    });
}

DWORD BluezBackend::publish(Dbus::Connection& bus, const Compat::ServiceRegistration& reg) {
    const auto it = findPublished(reg);
    if (it != published_.end() && it->name == reg.name && it->comment == reg.comment) {
        // BlueZ already publishes the record on every radio.
        if (std::find(it->radios.begin(), it->radios.end(), reg.radio) == it->radios.end())
            it->radios.push_back(reg.radio);
        return 0;
    }

    std::vector<BTH_ADDR> radios{reg.radio};
    if (it != published_.end()) {
        // New texts for the same service: the record is replaced whole.
        if (DWORD r = unregister(bus, it->path)) return r;
        radios = it->radios;
        if (std::find(radios.begin(), radios.end(), reg.radio) == radios.end())
            radios.push_back(reg.radio);
        published_.erase(it);
    }

    Published p;
    p.serviceClass = reg.serviceClassId;
    p.port = reg.port;
    p.name = reg.name;
    p.comment = reg.comment;
    p.path = std::string(kProfilePrefix) + std::to_string(++nextProfile_);
    p.radios = std::move(radios);
    const std::string uuid = Bt::uuidText(Bt::uuidBytes(reg.serviceClassId));
    const std::string xml = Bt::recordXml(serviceRecord(reg));
    const std::string name = reg.name;
    Dbus::Message reply;
    Dbus::Failure failure;
    if (bus.call(
            kService, "/org/bluez", kProfileManager, "RegisterProfile",
            [&](sd_bus_message* m) {
                // Without a Channel option bluetoothd opens no server of
                // its own: the caller's socket owns the channel.
                return sd_bus_message_append(m, "osa{sv}", p.path.c_str(), uuid.c_str(), 3,
                                             "ServiceRecord", "s", xml.c_str(), "Name", "s",
                                             name.c_str(), "Role", "s", "server");
            },
            reply, failure) < 0)
        return lookupCode(dbusCause(failure.error, failure.name));
    published_.push_back(std::move(p));
    return 0;
}

DWORD BluezBackend::withdraw(Dbus::Connection& bus, const Compat::ServiceRegistration& reg) {
    const auto it = findPublished(reg);
    if (it == published_.end()) return WSASERVICE_NOT_FOUND;
    auto radio = std::find(it->radios.begin(), it->radios.end(), reg.radio);
    if (radio == it->radios.end()) return WSASERVICE_NOT_FOUND;
    if (it->radios.size() > 1) {
        // The record stays while another radio still publishes it.
        it->radios.erase(radio);
        return 0;
    }
    if (DWORD r = unregister(bus, it->path)) return r;
    published_.erase(it);
    return 0;
}

DWORD BluezBackend::setService(const Compat::ServiceRegistration& reg) {
    if (reg.protocol != BTHPROTO_RFCOMM) return WSAEINVAL;
    if (reg.port != BT_PORT_ANY && (reg.port == 0 || reg.port > kMaxRfcommChannel))
        return WSAEINVAL;
    std::lock_guard<std::mutex> lock(mutex_);
    Dbus::Connection* bus = nullptr;
    std::vector<Adapter> all;
    if (DWORD r = adapters(Context::Lookup, bus, all)) return r;
    if (all.empty()) return lookupCode(Cause::NoAdapter);
    if (std::none_of(all.begin(), all.end(),
                     [&](const Adapter& a) { return a.address == reg.radio; }))
        return WSAEADDRNOTAVAIL;
    return reg.publish ? publish(*bus, reg) : withdraw(*bus, reg);
}

}  // namespace Corvale::Bluez
