// A small layer over sd-bus: a connection whose every call is bounded, owning
// handles, and strict readers for the few reply shapes BlueZ gives us. A reply
// of another shape is -EBADMSG, never a crash.
#pragma once

#include <systemd/sd-bus.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace Corvale::Bluez::Dbus {

// A property value. Basic types are kept; containers are skipped and kept as
// their type code only, since nothing we read is one.
struct Value {
    char type = 0;                  // the D-Bus type code of the content
    std::string text;               // s, o, g
    std::uint64_t number = 0;       // y, q, u, t
    std::int64_t signedNumber = 0;  // n, i, x
    bool flag = false;              // b
};
using Properties = std::map<std::string, Value>;
using Interfaces = std::map<std::string, Properties>;
using Objects = std::map<std::string, Interfaces>;

// Why a call failed: the negative errno, and the error's name when the peer
// answered with an error (empty otherwise).
struct Failure {
    int error = 0;
    std::string name;
    std::string message;
};

class Message {
public:
    Message() = default;
    ~Message();
    Message(const Message&) = delete;
    Message& operator=(const Message&) = delete;
    sd_bus_message* get() const { return m_; }
    sd_bus_message** out();  // for sd-bus to fill; drops what was held

private:
    sd_bus_message* m_ = nullptr;
};

class Slot {
public:
    Slot() = default;
    ~Slot();
    Slot(const Slot&) = delete;
    Slot& operator=(const Slot&) = delete;
    sd_bus_slot** out();

private:
    sd_bus_slot* s_ = nullptr;
};

class Connection {
public:
    // Connects to the system bus (DBUS_SYSTEM_BUS_ADDRESS or the standard
    // socket); `timeout` bounds the connection and every call made on it.
    static int openSystem(std::chrono::milliseconds timeout, std::unique_ptr<Connection>& out,
                          Failure& failure);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool isOpen() const;
    // The name the bus gave this connection (":1.42").
    std::string uniqueName() const;

    // Calls a method; `append` (may be empty) adds the arguments. 0 on
    // success with the reply in `reply`, else a negative errno and `failure`.
    int call(const char* destination, const char* path, const char* interface, const char* member,
             const std::function<int(sd_bus_message*)>& append, Message& reply, Failure& failure);

    int addMatch(const std::string& rule, sd_bus_message_handler_t handler, void* userdata,
                 Slot& slot);

    // Dispatches incoming messages to the match handlers until `deadline`
    // or until `stop` returns true, whichever comes first, however many
    // messages keep arriving. 0, or a negative errno when the connection
    // fails.
    int runUntil(std::chrono::steady_clock::time_point deadline, const std::function<bool()>& stop);

    // Dispatches the messages that have already arrived, `most` at most,
    // without waiting for more. 0, or a negative errno when the connection
    // fails.
    int drain(std::size_t most);

private:
    explicit Connection(sd_bus* bus, std::chrono::milliseconds timeout)
        : bus_(bus), timeout_(timeout) {}
    sd_bus* bus_;
    std::chrono::milliseconds timeout_;
};

// The properties of an org.bluez.Adapter1 or org.bluez.Device1 that we use,
// each read only when it is there with its documented type.
struct BluezProperties {
    std::optional<std::string> address;          // Address (s): "AA:BB:CC:DD:EE:FF"
    std::optional<std::string> alias;            // Alias (s): the name a radio broadcasts
    std::optional<std::string> name;             // Name (s): an adapter's system name, a device's
                                                 // resolved name
    std::optional<std::uint32_t> classOfDevice;  // Class (u)
    std::optional<bool> powered;                 // Powered (b), adapters only
};

// The names of those properties.
inline constexpr const char* kBluezPropertyNames[] = {"Address", "Alias", "Name", "Class",
                                                      "Powered"};

// Reads them from one interface's properties. -EBADMSG when one of them is
// there with another type; the others are read all the same.
int readBluezProperties(const Properties& in, BluezProperties& out);

// Readers; each checks the whole shape and returns 0 or -EBADMSG.
int readObjects(sd_bus_message* m, Objects& out);             // a{oa{sa{sv}}}
int readInterfaces(sd_bus_message* m, Interfaces& out);       // a{sa{sv}}
int readProperties(sd_bus_message* m, Properties& out);       // a{sv}
bool hasSignature(sd_bus_message* m, const char* signature);  // the whole body's

}  // namespace Corvale::Bluez::Dbus
