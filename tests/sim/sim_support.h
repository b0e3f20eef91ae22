// Shared by the tests on the simulated world: a fixture that starts each test
// from an empty world with the Winsock session up, and small scene helpers.
#pragma once

#include <corvale/Corvale.h>
#include <corvale/compat/messages.h>
#include <corvale/sim/World.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace simtest {

using Corvale::Sim::Api;
using Corvale::Sim::Device;
using Corvale::Sim::Radio;
using Corvale::Sim::Record;
using Corvale::Sim::World;

inline World& world() {
    return World::instance();
}

// The engine's error text for a code: "(" code ") " and the system's text.
inline std::wstring errorText(DWORD code) {
    const wchar_t* text = Corvale::Compat::messageText(code);
    return L"(" + std::to_wstring(code) + L") " + (text ? text : L"<no text>");
}

// A record as a service search reports it, with bytes that are not an SDP
// record the restriction could rule out (so it always matches).
inline Record record(std::string name, ULONG port, std::vector<BYTE> bytes = {}) {
    Record r;
    r.name = std::move(name);
    r.port = port;
    if (!bytes.empty()) r.bytes = std::move(bytes);
    return r;
}

inline Device device(BTH_ADDR address, std::string name, ULONG cod = 0x5A020C,
                     std::vector<Record> records = {}) {
    Device d;
    d.address = address;
    d.name = std::move(name);
    d.classOfDevice = cod;
    d.records = std::move(records);
    return d;
}

inline Radio radio(BTH_ADDR address, std::string name, ULONG cod = 0x1C0104,
                   std::vector<Record> records = {}) {
    Radio r;
    r.address = address;
    r.name = std::move(name);
    r.classOfDevice = cod;
    r.records = std::move(records);
    return r;
}

// Every test starts from an empty world with the Winsock session up, and ends
// with no handle of the platform layer left open.
class SimTest : public ::testing::Test {
protected:
    void SetUp() override {
        world().reset();
        ASSERT_TRUE(baselib::WinsockStart());
        world().clearLog();
    }
    void TearDown() override {
        baselib::WinsockClear();
        world().reset();
    }

    static bool noHandlesOpen() {
        return world().openHandles() == Corvale::Compat::OpenHandles{} &&
               world().openQueries() == 0;
    }
};

// A BTNetwork that may live in an optional: the engine's class has virtual
// hooks but, as designed, no virtual destructor, so only a final class may be
// destroyed through its own type without a warning.
class Network final : public Corvale::BTNetwork {};

inline std::vector<std::wstring> names(const std::vector<Corvale::BTDevice>& list) {
    std::vector<std::wstring> out;
    for (const auto& d : list) out.push_back(d.Name());
    return out;
}

inline std::vector<std::wstring> serviceNames(const Corvale::BTDevice& device) {
    std::vector<std::wstring> out;
    for (const auto& s : device.Services()) out.push_back(s.Name());
    return out;
}

}  // namespace simtest
