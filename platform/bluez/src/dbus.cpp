#include "dbus.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace Corvale::Bluez::Dbus {

namespace {

std::uint64_t usec(std::chrono::milliseconds t) {
    return t.count() <= 0 ? 1 : static_cast<std::uint64_t>(t.count()) * 1000u;
}

// Any failure of sd-bus while reading means the reply had another shape.
int bad(int r) {
    return r < 0 ? -EBADMSG : r;
}

int readBasic(sd_bus_message* m, char type, Value& v) {
    v.type = type;
    switch (type) {
        case 's':
        case 'o':
        case 'g': {
            const char* s = nullptr;
            if (sd_bus_message_read_basic(m, type, &s) <= 0 || s == nullptr) return -EBADMSG;
            v.text = s;
            return 0;
        }
        case 'b': {
            int b = 0;
            if (sd_bus_message_read_basic(m, type, &b) <= 0) return -EBADMSG;
            v.flag = b != 0;
            return 0;
        }
        case 'y': {
            std::uint8_t x = 0;
            if (sd_bus_message_read_basic(m, type, &x) <= 0) return -EBADMSG;
            v.number = x;
            return 0;
        }
        case 'q': {
            std::uint16_t x = 0;
            if (sd_bus_message_read_basic(m, type, &x) <= 0) return -EBADMSG;
            v.number = x;
            return 0;
        }
        case 'u': {
            std::uint32_t x = 0;
            if (sd_bus_message_read_basic(m, type, &x) <= 0) return -EBADMSG;
            v.number = x;
            return 0;
        }
        case 't': {
            std::uint64_t x = 0;
            if (sd_bus_message_read_basic(m, type, &x) <= 0) return -EBADMSG;
            v.number = x;
            return 0;
        }
        case 'n': {
            std::int16_t x = 0;
            if (sd_bus_message_read_basic(m, type, &x) <= 0) return -EBADMSG;
            v.signedNumber = x;
            return 0;
        }
        case 'i': {
            std::int32_t x = 0;
            if (sd_bus_message_read_basic(m, type, &x) <= 0) return -EBADMSG;
            v.signedNumber = x;
            return 0;
        }
        case 'x': {
            std::int64_t x = 0;
            if (sd_bus_message_read_basic(m, type, &x) <= 0) return -EBADMSG;
            v.signedNumber = x;
            return 0;
        }
        default: {
            // d, h: read and forget.
            const char contents[2] = {type, '\0'};
            return bad(sd_bus_message_skip(m, contents)) < 0 ? -EBADMSG : 0;
        }
    }
}

int readVariant(sd_bus_message* m, Value& v) {
    char type = 0;
    const char* contents = nullptr;
    if (sd_bus_message_peek_type(m, &type, &contents) <= 0 || type != 'v' || contents == nullptr)
        return -EBADMSG;
    if (sd_bus_message_enter_container(m, 'v', contents) <= 0) return -EBADMSG;
    int r;
    if (std::strlen(contents) == 1 && std::strchr("sogbyqutnixdh", contents[0]) != nullptr) {
        r = readBasic(m, contents[0], v);
    } else {
        v = Value{};
        v.type = contents[0];
        r = bad(sd_bus_message_skip(m, contents));
    }
    if (r < 0) return -EBADMSG;
    return sd_bus_message_exit_container(m) < 0 ? -EBADMSG : 0;
}

}  // namespace

Message::~Message() {
    sd_bus_message_unref(m_);
}

sd_bus_message** Message::out() {
    m_ = sd_bus_message_unref(m_);
    return &m_;
}

Slot::~Slot() {
    sd_bus_slot_unref(s_);
}

sd_bus_slot** Slot::out() {
    s_ = sd_bus_slot_unref(s_);
    return &s_;
}

int Connection::openSystem(std::chrono::milliseconds timeout, std::unique_ptr<Connection>& out,
                           Failure& failure) {
    sd_bus* bus = nullptr;
    int r = sd_bus_new(&bus);
    if (r < 0) {
        failure.error = r;
        return r;
    }
    // The address a D-Bus client of the system bus uses; the timeout is set
    // before the connection starts so that authentication is bounded too.
    const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    r = sd_bus_set_address(
        bus, address != nullptr && *address ? address : "unix:path=/run/dbus/system_bus_socket");
    if (r >= 0) r = sd_bus_set_bus_client(bus, 1);
    if (r >= 0) r = sd_bus_set_method_call_timeout(bus, usec(timeout));
    if (r >= 0) r = sd_bus_start(bus);
    if (r < 0) {
        sd_bus_flush_close_unref(bus);
        failure.error = r;
        return r;
    }
    out.reset(new Connection(bus, timeout));
    return 0;
}

Connection::~Connection() {
    // Closing the connection ends what it holds in bluetoothd: a discovery
    // session, and the profiles it registered.
    sd_bus_flush_close_unref(bus_);
}

std::string Connection::uniqueName() const {
    const char* name = nullptr;
    return sd_bus_get_unique_name(bus_, &name) >= 0 && name != nullptr ? name : "";
}

bool Connection::isOpen() const {
    return sd_bus_is_open(bus_) > 0;
}

int Connection::call(const char* destination, const char* path, const char* interface,
                     const char* member, const std::function<int(sd_bus_message*)>& append,
                     Message& reply, Failure& failure) {
    failure = Failure{};
    Message m;
    int r = sd_bus_message_new_method_call(bus_, m.out(), destination, path, interface, member);
    if (r >= 0 && append) r = append(m.get());
    if (r < 0) {
        failure.error = r;
        return r;
    }
    sd_bus_error error = SD_BUS_ERROR_NULL;
    r = sd_bus_call(bus_, m.get(), usec(timeout_), &error, reply.out());
    if (r < 0) {
        failure.error = r;
        if (sd_bus_error_is_set(&error)) {
            failure.name = error.name;
            if (error.message != nullptr) failure.message = error.message;
        }
        sd_bus_error_free(&error);
        return r;
    }
    sd_bus_error_free(&error);
    return 0;
}

int Connection::addMatch(const std::string& rule, sd_bus_message_handler_t handler, void* userdata,
                         Slot& slot) {
    return sd_bus_add_match(bus_, slot.out(), rule.c_str(), handler, userdata);
}

int Connection::runUntil(std::chrono::steady_clock::time_point deadline,
                         const std::function<bool()>& stop) {
    for (;;) {
        const int r = sd_bus_process(bus_, nullptr);
        if (r < 0) return r;
        if (stop && stop()) return 0;
        // Checked on every turn: a peer that keeps sending must not keep us here.
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return 0;
        if (r > 0) continue;
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - now);
        const int w = sd_bus_wait(bus_, static_cast<std::uint64_t>(left.count()) + 1);
        if (w < 0 && w != -EINTR) return w;
    }
}

namespace {

template <typename T>
bool typed(const Properties& in, const char* key, char type, std::optional<T>& out,
           T (*take)(const Value&)) {
    out.reset();
    const auto it = in.find(key);
    if (it == in.end()) return true;
    if (it->second.type != type) return false;
    out = take(it->second);
    return true;
}

std::string text(const Value& v) {
    return v.text;
}
std::uint32_t u32(const Value& v) {
    return static_cast<std::uint32_t>(v.number);
}
bool flag(const Value& v) {
    return v.flag;
}

}  // namespace

int readBluezProperties(const Properties& in, BluezProperties& out) {
    bool ok = typed(in, "Address", 's', out.address, text);
    ok = typed(in, "Alias", 's', out.alias, text) && ok;
    ok = typed(in, "Name", 's', out.name, text) && ok;
    ok = typed(in, "Class", 'u', out.classOfDevice, u32) && ok;
    ok = typed(in, "Powered", 'b', out.powered, flag) && ok;
    return ok ? 0 : -EBADMSG;
}

int Connection::drain(std::size_t most) {
    for (std::size_t n = 0; n < most; ++n) {
        const int r = sd_bus_process(bus_, nullptr);
        if (r <= 0) return r;
    }
    return 0;
}

bool hasSignature(sd_bus_message* m, const char* signature) {
    const char* s = sd_bus_message_get_signature(m, 1);
    return s != nullptr && std::strcmp(s, signature) == 0;
}

int readProperties(sd_bus_message* m, Properties& out) {
    out.clear();
    if (sd_bus_message_enter_container(m, 'a', "{sv}") <= 0) return -EBADMSG;
    for (;;) {
        const int e = sd_bus_message_enter_container(m, 'e', "sv");
        if (e < 0) return -EBADMSG;
        if (e == 0) break;
        const char* key = nullptr;
        if (sd_bus_message_read_basic(m, 's', &key) <= 0 || key == nullptr) return -EBADMSG;
        Value v;
        if (readVariant(m, v) < 0) return -EBADMSG;
        out[key] = std::move(v);
        if (sd_bus_message_exit_container(m) < 0) return -EBADMSG;
    }
    return sd_bus_message_exit_container(m) < 0 ? -EBADMSG : 0;
}

int readInterfaces(sd_bus_message* m, Interfaces& out) {
    out.clear();
    if (sd_bus_message_enter_container(m, 'a', "{sa{sv}}") <= 0) return -EBADMSG;
    for (;;) {
        const int e = sd_bus_message_enter_container(m, 'e', "sa{sv}");
        if (e < 0) return -EBADMSG;
        if (e == 0) break;
        const char* name = nullptr;
        if (sd_bus_message_read_basic(m, 's', &name) <= 0 || name == nullptr) return -EBADMSG;
        Properties props;
        if (readProperties(m, props) < 0) return -EBADMSG;
        out[name] = std::move(props);
        if (sd_bus_message_exit_container(m) < 0) return -EBADMSG;
    }
    return sd_bus_message_exit_container(m) < 0 ? -EBADMSG : 0;
}

int readObjects(sd_bus_message* m, Objects& out) {
    out.clear();
    if (!hasSignature(m, "a{oa{sa{sv}}}")) return -EBADMSG;
    if (sd_bus_message_enter_container(m, 'a', "{oa{sa{sv}}}") <= 0) return -EBADMSG;
    for (;;) {
        const int e = sd_bus_message_enter_container(m, 'e', "oa{sa{sv}}");
        if (e < 0) return -EBADMSG;
        if (e == 0) break;
        const char* path = nullptr;
        if (sd_bus_message_read_basic(m, 'o', &path) <= 0 || path == nullptr) return -EBADMSG;
        Interfaces interfaces;
        if (readInterfaces(m, interfaces) < 0) return -EBADMSG;
        out[path] = std::move(interfaces);
        if (sd_bus_message_exit_container(m) < 0) return -EBADMSG;
    }
    return sd_bus_message_exit_container(m) < 0 ? -EBADMSG : 0;
}

}  // namespace Corvale::Bluez::Dbus
