#include <corvale/bluez/bluez_backend.h>

#include "dbus.h"
#include "errors.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace Corvale::Bluez {

using Compat::DeviceResult;
using Compat::Query;
using Compat::RadioInfo;
using Compat::ServiceResult;

namespace {

constexpr const char* kService = "org.bluez";
constexpr const char* kObjectManager = "org.freedesktop.DBus.ObjectManager";
constexpr const char* kAdapter = "org.bluez.Adapter1";
constexpr const char* kDevice = "org.bluez.Device1";
constexpr const char* kProfileManager = "org.bluez.ProfileManager1";
constexpr const char* kProfilePrefix = "/org/corvale/profile";
constexpr unsigned kDefaultInquiryUnits = 8;  // 10.24 s
constexpr unsigned kMaxInquiryUnits = 0x30;   // the longest inquiry HCI allows
constexpr ULONG kMaxRfcommChannel = 30;

// A list gathered before the lookup opens, handed out one by one.
template <typename Result>
class ListQuery final : public Query<Result> {
public:
    explicit ListQuery(std::vector<Result> items) : items_(std::move(items)) {}
    DWORD next(Result& out) override {
        if (at_ >= items_.size()) return WSA_E_NO_MORE;
        out = std::move(items_[at_++]);
        return 0;
    }

private:
    std::vector<Result> items_;
    std::size_t at_ = 0;
};

// "AA:BB:CC:DD:EE:FF", nothing else.
bool parseAddress(const std::string& text, BTH_ADDR& out) {
    if (text.size() != 17) return false;
    BTH_ADDR value = 0;
    for (std::size_t i = 0; i < 17; ++i) {
        const char c = text[i];
        if (i % 3 == 2) {
            if (c != ':') return false;
            continue;
        }
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else
            return false;
        value = (value << 4) | static_cast<BTH_ADDR>(digit);
    }
    out = value;
    return true;
}

// Object paths in natural order: runs of digits compare as numbers, so hci2
// comes before hci10.
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

enum class Got { Absent, Ok, WrongType };

Got text(const Dbus::Properties& p, const char* key, std::string& out) {
    auto it = p.find(key);
    if (it == p.end()) return Got::Absent;
    if (it->second.type != 's') return Got::WrongType;
    out = it->second.text;
    return Got::Ok;
}

Got u32(const Dbus::Properties& p, const char* key, ULONG& out) {
    auto it = p.find(key);
    if (it == p.end()) return Got::Absent;
    if (it->second.type != 'u') return Got::WrongType;
    out = static_cast<ULONG>(it->second.number);
    return Got::Ok;
}

Got boolean(const Dbus::Properties& p, const char* key, bool& out) {
    auto it = p.find(key);
    if (it == p.end()) return Got::Absent;
    if (it->second.type != 'b') return Got::WrongType;
    out = it->second.flag;
    return Got::Ok;
}

// A Device1's address, name and class; false when they are malformed.
bool readDevice(const Dbus::Properties& p, DeviceResult& out) {
    std::string address, name;
    ULONG cls = 0;
    if (text(p, "Address", address) != Got::Ok || !parseAddress(address, out.address.emplace()))
        return false;
    switch (text(p, "Name", name)) {
        case Got::Ok:
            out.name = name;
            break;
        case Got::Absent:
            out.name.reset();
            break;
        case Got::WrongType:
            return false;
    }
    switch (u32(p, "Class", cls)) {
        case Got::Ok:
            out.classOfDevice = cls;
            break;
        case Got::Absent:
            out.classOfDevice.reset();
            break;
        case Got::WrongType:
            return false;
    }
    return true;
}

bool under(const std::string& path, const std::string& parent) {
    return path.size() > parent.size() + 1 && path.compare(0, parent.size(), parent) == 0 &&
           path[parent.size()] == '/';
}

bool sameGuid(const GUID& a, const GUID& b) {
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

bool validUtf8(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t extra;
        char32_t cp, min;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1, cp = c & 0x1F, min = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2, cp = c & 0x0F, min = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3, cp = c & 0x07, min = 0x10000;
        } else {
            return false;
        }
        if (s.size() - i <= extra) return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

// A text attribute of the record XML. Text that XML cannot carry as it is
// (control characters, bytes that are not UTF-8) goes hex-encoded, a form
// BlueZ's record parser accepts.
std::string xmlText(const std::string& s) {
    const bool plain = validUtf8(s) && std::none_of(s.begin(), s.end(), [](char c) {
                           const auto u = static_cast<unsigned char>(c);
                           return u < 0x20 || u == 0x7F;
                       });
    std::string out;
    if (!plain) {
        static constexpr char kHex[] = "0123456789abcdef";
        out = "<text encoding=\"hex\" value=\"";
        for (char c : s) {
            const auto u = static_cast<unsigned char>(c);
            out += kHex[u >> 4];
            out += kHex[u & 15];
        }
        return out + "\" />";
    }
    out = "<text value=\"";
    for (char c : s) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                out += c;
        }
    }
    return out + "\" />";
}

std::string xmlUuid(const GUID& g) {
    static constexpr UCHAR kBase4[8] = {0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB};
    char buffer[16];
    if (g.Data2 == 0 && g.Data3 == 0x1000 && std::memcmp(g.Data4, kBase4, 8) == 0) {
        if (g.Data1 <= 0xFFFF)
            std::snprintf(buffer, sizeof buffer, "0x%04x", static_cast<unsigned>(g.Data1));
        else
            std::snprintf(buffer, sizeof buffer, "0x%08x", static_cast<unsigned>(g.Data1));
        return buffer;
    }
    return uuidText(g);
}

}  // namespace

std::string uuidText(const GUID& g) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                  static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                  g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buffer;
}

std::string recordXml(const GUID& serviceClass, const std::string& name, const std::string& comment,
                      ULONG port) {
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<record>\n";
    x += "  <attribute id=\"0x0001\">\n    <sequence>\n      <uuid value=\"" +
         xmlUuid(serviceClass) + "\" />\n    </sequence>\n  </attribute>\n";
    x += "  <attribute id=\"0x0004\">\n    <sequence>\n"
         "      <sequence>\n        <uuid value=\"0x0100\" />\n      </sequence>\n";
    if (port != BT_PORT_ANY) {
        char channel[8];
        std::snprintf(channel, sizeof channel, "0x%02x", static_cast<unsigned>(port & 0xFF));
        x += "      <sequence>\n        <uuid value=\"0x0003\" />\n        <uint8 value=\"";
        x += channel;
        x += "\" />\n      </sequence>\n";
    }
    x += "    </sequence>\n  </attribute>\n";
    x += "  <attribute id=\"0x0005\">\n    <sequence>\n      <uuid value=\"0x1002\" />\n"
         "    </sequence>\n  </attribute>\n";
    if (!name.empty())
        x += "  <attribute id=\"0x0100\">\n    " + xmlText(name) + "\n  </attribute>\n";
    if (!comment.empty())
        x += "  <attribute id=\"0x0101\">\n    " + xmlText(comment) + "\n  </attribute>\n";
    return x + "</record>\n";
}

struct BluezBackend::Adapter {
    std::string path;
    BTH_ADDR address = 0;
    std::string alias;
    ULONG classOfDevice = 0;
    bool powered = false;
};

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

DWORD BluezBackend::adapters(Dbus::Connection& bus, std::vector<Adapter>& out, Context context) {
    out.clear();
    const bool radio = context == Context::Radio;
    Dbus::Objects objects;
    if (DWORD r = managedObjects(bus, objects, radio)) return r;
    const DWORD bad = radio ? radioCode(Cause::BadReply) : lookupCode(Cause::BadReply);
    for (const auto& [path, interfaces] : objects) {
        auto it = interfaces.find(kAdapter);
        if (it == interfaces.end()) continue;
        const Dbus::Properties& p = it->second;
        Adapter a;
        a.path = path;
        std::string address;
        if (text(p, "Address", address) != Got::Ok || !parseAddress(address, a.address)) return bad;
        // Alias is the name the radio really broadcasts; Name is the system's.
        Got g = text(p, "Alias", a.alias);
        if (g == Got::Absent) g = text(p, "Name", a.alias);
        if (g == Got::WrongType) return bad;
        if (u32(p, "Class", a.classOfDevice) == Got::WrongType) return bad;
        if (boolean(p, "Powered", a.powered) == Got::WrongType) return bad;
        out.push_back(std::move(a));
    }
    std::sort(out.begin(), out.end(),
              [](const Adapter& x, const Adapter& y) { return naturalLess(x.path, y.path); });
    return 0;
}

DWORD BluezBackend::poweredAdapter(Dbus::Connection& bus, Adapter& out) {
    std::vector<Adapter> all;
    if (DWORD r = adapters(bus, all, Context::Lookup)) return r;
    if (all.empty()) return lookupCode(Cause::NoAdapter);
    for (Adapter& a : all) {
        if (a.powered) {
            out = std::move(a);
            return 0;
        }
    }
    return lookupCode(Cause::NotReady);
}

DWORD BluezBackend::radios(std::vector<RadioInfo>& out) {
    out.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    Dbus::Connection* bus = nullptr;
    if (DWORD r = connection(bus, Context::Radio)) return r;
    std::vector<Adapter> all;
    if (DWORD r = adapters(*bus, all, Context::Radio)) return r;
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

DWORD BluezBackend::cachedDevices(Dbus::Connection& bus, const Adapter& adapter,
                                  std::vector<DeviceResult>& out) {
    Dbus::Objects objects;
    if (DWORD r = managedObjects(bus, objects, false)) return r;
    std::vector<std::string> paths;
    for (const auto& [path, interfaces] : objects)
        if (under(path, adapter.path) && interfaces.count(kDevice)) paths.push_back(path);
    std::sort(paths.begin(), paths.end(), naturalLess);
    for (const std::string& path : paths) {
        DeviceResult d;
        if (!readDevice(objects.at(path).at(kDevice), d)) return lookupCode(Cause::BadReply);
        out.push_back(std::move(d));
    }
    return 0;
}

namespace {

// What the signals of one inquiry told us.
struct Heard {
    std::string adapterPath;
    std::vector<std::string> order;                  // device paths, first heard first
    std::map<std::string, Dbus::Properties> latest;  // what the signals carried
    bool vanished = false;                           // org.bluez left the bus

    void note(const std::string& path, const Dbus::Properties& p, bool heard) {
        auto it = latest.find(path);
        if (it == latest.end()) {
            if (!heard) return;
            order.push_back(path);
            latest[path] = p;
            return;
        }
        for (const auto& [k, v] : p) it->second[k] = v;
    }
};

// Signals are not replies: one of a shape we do not expect is ignored.
int onInterfacesAdded(sd_bus_message* m, void* userdata, sd_bus_error*) {
    auto& heard = *static_cast<Heard*>(userdata);
    if (!Dbus::hasSignature(m, "oa{sa{sv}}")) return 0;
    const char* path = nullptr;
    if (sd_bus_message_read_basic(m, 'o', &path) <= 0 || path == nullptr) return 0;
    Dbus::Interfaces interfaces;
    if (Dbus::readInterfaces(m, interfaces) < 0) return 0;
    auto it = interfaces.find(kDevice);
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
        interface == nullptr || std::strcmp(interface, kDevice) != 0 ||
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
    if (name != nullptr && std::strcmp(name, kService) == 0 && after != nullptr && *after == '\0')
        heard.vanished = true;
    return 0;
}

}  // namespace

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
            kService, path, kAdapter, "SetDiscoveryFilter",
            [](sd_bus_message* m) {
                return sd_bus_message_append(m, "a{sv}", 1, "Transport", "s", "bredr");
            },
            reply, failure) < 0)
        return failed();
    if (bus.call(kService, path, kAdapter, "StartDiscovery", {}, reply, failure) < 0)
        return failed();

    const auto deadline = std::chrono::steady_clock::now() + length;
    const int run = bus.runUntil(deadline, [&] { return heard.vanished; });
    if (heard.vanished || run < 0) return lookupCode(Cause::NoService);

    // The results stand even if stopping fails (say the radio was switched
    // off meanwhile); only bluetoothd's disappearance makes them doubtful.
    if (bus.call(kService, path, kAdapter, "StopDiscovery", {}, reply, failure) < 0 &&
        dbusCause(failure.error, failure.name) == Cause::NoService)
        return lookupCode(Cause::NoService);
    // A signal that arrived while StopDiscovery was answered still counts.
    if (bus.runUntil(std::chrono::steady_clock::now(), {}) < 0) return lookupCode(Cause::NoService);

    // The device objects as they stand now: a name resolved late is there.
    Dbus::Objects objects;
    if (DWORD r = managedObjects(bus, objects, false)) return r;
    for (const std::string& device : heard.order) {
        DeviceResult d;
        auto it = objects.find(device);
        if (it != objects.end() && it->second.count(kDevice)) {
            if (!readDevice(it->second.at(kDevice), d)) return lookupCode(Cause::BadReply);
        } else if (!readDevice(heard.latest[device], d)) {
            continue;  // gone again, and its signals never said who it was
        }
        out.push_back(std::move(d));
    }
    return 0;
}

DWORD BluezBackend::inquire(const Compat::InquiryParams& params,
                            std::unique_ptr<Query<DeviceResult>>& out) {
    if (params.length > kMaxInquiryUnits) return WSAEINVAL;
    std::lock_guard<std::mutex> lock(mutex_);
    Dbus::Connection* bus = nullptr;
    if (DWORD r = connection(bus, Context::Lookup)) return r;
    Adapter adapter;
    if (DWORD r = poweredAdapter(*bus, adapter)) return r;

    std::vector<DeviceResult> devices;
    if (!params.flushCache) {
        if (DWORD r = cachedDevices(*bus, adapter, devices)) return r;
    } else {
        const unsigned units = params.length == 0 ? kDefaultInquiryUnits : params.length;
        if (DWORD r = discover(*bus, adapter, options_.inquiryUnit * units, devices)) return r;
    }
    out = std::make_unique<ListQuery<DeviceResult>>(std::move(devices));
    return 0;
}

DWORD BluezBackend::searchServices(const Compat::ServiceSearchParams& params,
                                   std::unique_ptr<Query<ServiceResult>>& out) {
    if (params.device == 0) return WSAEINVAL;
    GUID pattern = params.restriction;
    if (sameGuid(pattern, GUID{})) {
        // No restriction: every record holds the L2CAP UUID.
        pattern =
            GUID{0x00000100, 0x0000, 0x1000, {0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB}};
    }
    std::function<std::unique_ptr<SdpTransport>()> makeTransport;
    SdpLimits limits;
    {
        // The bus only tells us whether a powered radio is there; the SDP
        // exchange itself needs no lock.
        std::lock_guard<std::mutex> lock(mutex_);
        Dbus::Connection* bus = nullptr;
        if (DWORD r = connection(bus, Context::Lookup)) return r;
        Adapter adapter;
        if (DWORD r = poweredAdapter(*bus, adapter)) return r;
        makeTransport = options_.transport;
        limits = options_.sdp;
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

DWORD BluezBackend::publish(Dbus::Connection& bus, const Compat::ServiceRegistration& reg) {
    auto it = std::find_if(published_.begin(), published_.end(), [&](const Published& p) {
        return sameGuid(p.serviceClass, reg.serviceClassId) && p.port == reg.port;
    });
    if (it != published_.end() && it->name == reg.name && it->comment == reg.comment) {
        // BlueZ already publishes the record on every radio.
        if (std::find(it->radios.begin(), it->radios.end(), reg.radio) == it->radios.end())
            it->radios.push_back(reg.radio);
        return 0;
    }

    Dbus::Message reply;
    Dbus::Failure failure;
    std::vector<BTH_ADDR> radios{reg.radio};
    if (it != published_.end()) {
        // New texts for the same service: the record is replaced whole.
        if (bus.call(
                kService, "/org/bluez", kProfileManager, "UnregisterProfile",
                [&](sd_bus_message* m) { return sd_bus_message_append(m, "o", it->path.c_str()); },
                reply, failure) < 0 &&
            dbusCause(failure.error, failure.name) != Cause::NoAdapter)
            return lookupCode(dbusCause(failure.error, failure.name));
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
    const std::string uuid = uuidText(reg.serviceClassId);
    const std::string xml = recordXml(reg.serviceClassId, reg.name, reg.comment, reg.port);
    const std::string name = reg.name;
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
    auto it = std::find_if(published_.begin(), published_.end(), [&](const Published& p) {
        return sameGuid(p.serviceClass, reg.serviceClassId) && p.port == reg.port;
    });
    if (it == published_.end()) return WSASERVICE_NOT_FOUND;
    auto radio = std::find(it->radios.begin(), it->radios.end(), reg.radio);
    if (radio == it->radios.end()) return WSASERVICE_NOT_FOUND;
    if (it->radios.size() > 1) {
        // The record stays while another radio still publishes it.
        it->radios.erase(radio);
        return 0;
    }
    Dbus::Message reply;
    Dbus::Failure failure;
    if (bus.call(
            kService, "/org/bluez", kProfileManager, "UnregisterProfile",
            [&](sd_bus_message* m) { return sd_bus_message_append(m, "o", it->path.c_str()); },
            reply, failure) < 0) {
        const Cause cause = dbusCause(failure.error, failure.name);
        // Gone already (bluetoothd restarted, or it never knew it): nothing to withdraw.
        if (cause == Cause::NoAdapter) {
            published_.erase(it);
            return 0;
        }
        return lookupCode(cause);
    }
    published_.erase(it);
    return 0;
}

DWORD BluezBackend::setService(const Compat::ServiceRegistration& reg) {
    if (reg.protocol != BTHPROTO_RFCOMM) return WSAEINVAL;
    if (reg.port != BT_PORT_ANY && (reg.port == 0 || reg.port > kMaxRfcommChannel))
        return WSAEINVAL;
    std::lock_guard<std::mutex> lock(mutex_);
    Dbus::Connection* bus = nullptr;
    if (DWORD r = connection(bus, Context::Lookup)) return r;
    std::vector<Adapter> all;
    if (DWORD r = adapters(*bus, all, Context::Lookup)) return r;
    if (all.empty()) return lookupCode(Cause::NoAdapter);
    if (std::none_of(all.begin(), all.end(),
                     [&](const Adapter& a) { return a.address == reg.radio; }))
        return WSAEADDRNOTAVAIL;
    return reg.publish ? publish(*bus, reg) : withdraw(*bus, reg);
}

}  // namespace Corvale::Bluez
