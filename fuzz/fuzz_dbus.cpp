// The BlueZ platform's reading of D-Bus messages, on whatever the owner of
// org.bluez (or anything that claims the name) might send: replies to
// GetManagedObjects and the signals of an inquiry, with shapes and values
// taken from the input. Each message is built through sd-bus's public API,
// which is exactly what a peer can put on the bus (the bus daemon checks the
// wire format), and then goes through every reader: readObjects,
// readInterfaces, readProperties, hasSignature, the inquiry's three signal
// handlers, the Adapter1/Device1 readers, and the cache and inquiry answers
// made from what they read.
//
// Input: up to four messages, each a shape byte (0-5: the shapes BlueZ
// sends; 6, 7: any signature), an object path, then the values; containers
// and variants take their types from the input as well.
#include "bluez_objects.h"
#include "dbus.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

using namespace Corvale::Bluez;

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return at_ >= size_; }
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint64_t number(int bytes) {
        std::uint64_t v = 0;
        for (int i = 0; i < bytes; ++i) v = v << 8 | byte();
        return v;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

constexpr const char* kWords[] = {"Address",
                                  "Alias",
                                  "Name",
                                  "Class",
                                  "Powered",
                                  "RSSI",
                                  "org.bluez.Device1",
                                  "org.bluez.Adapter1",
                                  "org.bluez",
                                  "",
                                  "00:11:22:33:44:55",
                                  "00:00:00:00:00:00",
                                  "00:11:22:33:44",
                                  "zz:11:22:33:44:55",
                                  ":1.7",
                                  "Caf\xC3\xA9"};
constexpr const char* kPaths[] = {"/",
                                  "/org/bluez",
                                  "/org/bluez/hci0",
                                  "/org/bluez/hci0/dev_00_11_22_33_44_55",
                                  "/org/bluez/hci0/dev_00_00_00_00_00_00",
                                  "/org/bluez/hci1/dev_AA",
                                  "/org/bluez/hci01",
                                  "/org/bluez/hci0/dev_00_11_22_33_44_55/sep1"};
constexpr const char* kShapes[] = {"a{oa{sa{sv}}}", "oa{sa{sv}}", "sa{sv}as",
                                   "sss",           "a{sa{sv}}",  "a{sv}"};
constexpr char kBasic[] = "ybnqiuxtdsog";  // no 'h': a file descriptor is not data
constexpr int kMaxDepth = 4;

std::string text(Input& in) {
    const std::uint8_t b = in.byte();
    if ((b & 0x80) == 0) return kWords[b % std::size(kWords)];
    std::string s;
    for (unsigned n = b & 0x3F; n > 0 && !in.empty(); --n) {
        const char c = static_cast<char>(in.byte() & 0x7F);
        s += c == 0 ? '?' : c;
    }
    return s;
}

std::string type(Input& in, int depth) {
    const std::uint8_t c = in.byte() % (depth >= kMaxDepth ? 12 : 16);
    if (c < 12) return std::string(1, kBasic[c]);
    if (c == 12) return "a" + type(in, depth + 1);
    if (c == 13) return std::string("a{") + kBasic[in.byte() % 12] + type(in, depth + 1) + "}";
    if (c == 14) {
        std::string s = "(";
        for (int n = 1 + in.byte() % 3; n > 0; --n) s += type(in, depth + 1);
        return s + ")";
    }
    return "v";
}

// The length of the one complete type at the start of `s`.
std::size_t completeType(const char* s) {
    if (*s == 'a') return 1 + completeType(s + 1);
    if (*s != '(' && *s != '{') return 1;
    const char close = *s == '(' ? ')' : '}';
    std::size_t n = 1;
    while (s[n] != close) n += completeType(s + n);
    return n + 1;
}

int value(sd_bus_message* m, Input& in, const std::string& t, int depth);

int values(sd_bus_message* m, Input& in, const std::string& types, int depth) {
    for (std::size_t at = 0; at < types.size();) {
        const std::size_t n = completeType(types.c_str() + at);
        if (int r = value(m, in, types.substr(at, n), depth); r < 0) return r;
        at += n;
    }
    return 0;
}

int value(sd_bus_message* m, Input& in, const std::string& t, int depth) {
    switch (t[0]) {
        case 'y': {
            const auto v = static_cast<std::uint8_t>(in.number(1));
            return sd_bus_message_append_basic(m, 'y', &v);
        }
        case 'b': {
            const int v = in.byte() & 1;
            return sd_bus_message_append_basic(m, 'b', &v);
        }
        case 'n':
        case 'q': {
            const auto v = static_cast<std::uint16_t>(in.number(2));
            return sd_bus_message_append_basic(m, t[0], &v);
        }
        case 'i':
        case 'u': {
            const auto v = static_cast<std::uint32_t>(in.number(4));
            return sd_bus_message_append_basic(m, t[0], &v);
        }
        case 'x':
        case 't': {
            const std::uint64_t v = in.number(8);
            return sd_bus_message_append_basic(m, t[0], &v);
        }
        case 'd': {
            const std::uint64_t bits = in.number(8);
            double v;
            std::memcpy(&v, &bits, sizeof v);
            return sd_bus_message_append_basic(m, 'd', &v);
        }
        case 's': {
            const std::string s = text(in);
            return sd_bus_message_append_basic(m, 's', s.c_str());
        }
        case 'o':
            return sd_bus_message_append_basic(m, 'o', kPaths[in.byte() % std::size(kPaths)]);
        case 'g': {
            const std::string g = type(in, 2);
            return sd_bus_message_append_basic(m, 'g', g.c_str());
        }
        case 'v': {
            const std::string inner = type(in, depth + 1);
            int r = sd_bus_message_open_container(m, 'v', inner.c_str());
            if (r >= 0) r = value(m, in, inner, depth + 1);
            return r < 0 ? r : sd_bus_message_close_container(m);
        }
        case 'a': {
            const std::string element = t.substr(1);
            const bool dict = element[0] == '{';
            const std::string contents = dict ? element.substr(1, element.size() - 2) : element;
            int r = sd_bus_message_open_container(m, 'a', element.c_str());
            for (int n = in.byte() % 8; r >= 0 && n > 0 && !in.empty(); --n) {
                if (dict) r = sd_bus_message_open_container(m, 'e', contents.c_str());
                if (r >= 0) r = values(m, in, contents, depth + 1);
                if (r >= 0 && dict) r = sd_bus_message_close_container(m);
            }
            return r < 0 ? r : sd_bus_message_close_container(m);
        }
        case '(': {
            const std::string contents = t.substr(1, t.size() - 2);
            int r = sd_bus_message_open_container(m, 'r', contents.c_str());
            if (r >= 0) r = values(m, in, contents, depth + 1);
            return r < 0 ? r : sd_bus_message_close_container(m);
        }
        default:
            return -EINVAL;
    }
}

// A bus whose state is past UNSET, as sd-bus wants for building messages:
// one end of a socket pair, started. Nothing is ever sent on it.
sd_bus* bus() {
    static sd_bus* b = [] {
        int fds[2];
        sd_bus* made = nullptr;
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) != 0 ||
            sd_bus_new(&made) < 0 || sd_bus_set_fd(made, fds[0], fds[0]) < 0 ||
            sd_bus_start(made) < 0)
            __builtin_trap();
        return made;
    }();
    return b;
}

// One message from the input, sealed and ready to be read; null when the
// input does not make one.
sd_bus_message* message(Input& in) {
    const std::uint8_t shape = in.byte() % 8;
    const char* path = kPaths[in.byte() % std::size(kPaths)];
    std::string signature;
    if (shape < std::size(kShapes)) {
        signature = kShapes[shape];
    } else {
        for (int n = 1 + in.byte() % 3; n > 0; --n) signature += type(in, 0);
    }
    sd_bus_message* m = nullptr;
    if (sd_bus_message_new_signal(bus(), &m, path, "org.freedesktop.DBus.Properties",
                                  "PropertiesChanged") < 0)
        return nullptr;
    static std::uint64_t cookie = 0;
    if (values(m, in, signature, 0) < 0 || sd_bus_message_seal(m, ++cookie, 0) < 0)
        return sd_bus_message_unref(m);
    return m;
}

void readEverything(const Dbus::Properties& p) {
    Dbus::BluezProperties got;
    (void)Dbus::readBluezProperties(p, got);
    Adapter adapter;
    (void)readAdapter("/org/bluez/hci0", p, adapter);
    Corvale::Compat::DeviceResult device;
    (void)readDevice(p, device);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    Heard heard;
    heard.adapterPath = "/org/bluez/hci0";
    Dbus::Objects objects;
    for (int n = 0; n < 4 && !in.empty(); ++n) {
        sd_bus_message* m = message(in);
        if (m == nullptr) break;
        for (const char* shape : kShapes) (void)Dbus::hasSignature(m, shape);

        Dbus::Objects read;
        if (sd_bus_message_rewind(m, 1) >= 0 && Dbus::readObjects(m, read) == 0) {
            objects = std::move(read);
            for (const auto& [path, interfaces] : objects)
                for (const auto& [name, properties] : interfaces) readEverything(properties);
        }
        Dbus::Interfaces interfaces;
        if (sd_bus_message_rewind(m, 1) >= 0 && Dbus::readInterfaces(m, interfaces) == 0)
            for (const auto& [name, properties] : interfaces) readEverything(properties);
        Dbus::Properties properties;
        if (sd_bus_message_rewind(m, 1) >= 0 && Dbus::readProperties(m, properties) == 0)
            readEverything(properties);

        for (auto handler : {onInterfacesAdded, onPropertiesChanged, onNameOwnerChanged})
            if (sd_bus_message_rewind(m, 1) >= 0) (void)handler(m, &heard, nullptr);
        sd_bus_message_unref(m);
    }
    // What an inquiry and a cache answer would make of it all.
    for (const auto& results :
         {heardDevices(heard, objects), cachedDevices(objects, "/org/bluez/hci0")})
        for (const auto& d : results)
            if (!d.address || *d.address == 0) __builtin_trap();
    return 0;
}
