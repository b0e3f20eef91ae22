// A private bus and a mock bluetoothd on it, for the BlueZ platform tests.
//
// The test program starts its own dbus-daemon and points
// DBUS_SYSTEM_BUS_ADDRESS at it before anything connects; each test starts
// python-dbusmock with bluez_corvale_template.py on that bus and stops it at
// the end, so no test sees another's devices or method calls.
#pragma once

#include "dbus.h"

#include <gtest/gtest.h>

#include <sys/types.h>
#include <string>
#include <vector>

namespace mockbluez {

// The bus for the whole program (a gtest environment).
class PrivateBus : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;
    static const std::string& address();

private:
    pid_t pid_ = -1;
};

// One argument of a logged method call: its type, and its value if it is a
// string, object path or a{sv}.
struct Arg {
    std::string type;
    std::string text;
    Corvale::Bluez::Dbus::Properties dict;
};
using Call = std::vector<Arg>;

class MockBluez {
public:
    MockBluez() = default;
    ~MockBluez();
    // Starts bluetoothd's stand-in and waits until org.bluez is on the bus.
    void start();
    // Stops it (SIGTERM) if it still runs.
    void stop();
    bool running();

    std::string addRadio(const std::string& hci, const std::string& address,
                         const std::string& alias, std::uint32_t cls, bool powered);
    void addInRange(const std::string& hci, const std::string& address, const std::string& name,
                    int cls);
    std::string addKnown(const std::string& hci, const std::string& address,
                         const std::string& name, int cls);
    void vanishDuringDiscovery(unsigned delayMs);
    void retype(const std::string& path, const std::string& interface, const std::string& name);
    void replace(const std::string& path, const std::string& interface, const std::string& method,
                 const std::string& in, const std::string& out, const std::string& code);
    // dbusmock's log of calls of `method` on the object at `path`.
    std::vector<Call> calls(const std::string& path, const std::string& method);

private:
    void call(const char* path, const char* interface, const char* member,
              const std::function<int(sd_bus_message*)>& append,
              Corvale::Bluez::Dbus::Message* reply = nullptr);
    Corvale::Bluez::Dbus::Connection& bus();

    pid_t pid_ = -1;
    std::unique_ptr<Corvale::Bluez::Dbus::Connection> bus_;
};

}  // namespace mockbluez
