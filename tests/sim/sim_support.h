// Shared by the tests on the simulated world: a fixture that starts each test
// from an empty world with the Winsock session up, and small scene helpers.
#pragma once

#include <corvale/Corvale.h>
#include <corvale/bt/sdp.h>
#include <corvale/compat/messages.h>
#include <corvale/compat/utf.h>
#include <corvale/sim/World.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace simtest {

using namespace Corvale;
using namespace Corvale::Sim;

constexpr BTH_ADDR kPhone = 0x5CF370128A41, kR1 = 0x001A7DDA7113, kR2 = 0x001BDC0F3EA9;
constexpr BTH_ADDR kA = 0xA1, kB = 0xB2, kC = 0xC3;

inline World& world() {
    return World::instance();
}

// The engine's error text for a code: "(" code ") " and the system's text.
inline std::wstring errorText(DWORD code) {
    const wchar_t* text = Compat::messageText(code);
    return L"(" + std::to_wstring(code) + L") " + (text ? text : L"<no text>");
}

// A record; without bytes no restriction rules it out and its class is null.
inline Record record(std::string name, ULONG port, std::vector<BYTE> bytes = {}) {
    return {
        .name = name, .port = port, .bytes = bytes.empty() ? std::nullopt : std::optional(bytes)};
}

inline Device device(BTH_ADDR address, std::string name, ULONG cod = 0x5A020C,
                     std::vector<Record> records = {}) {
    return {.address = address, .name = name, .classOfDevice = cod, .records = records};
}

inline Radio radio(BTH_ADDR address, std::string name, std::vector<Record> records = {}) {
    return {.address = address, .name = name, .classOfDevice = 0x1C0104, .records = records};
}

// A well-formed record of the service class `cls` that names L2CAP, so that
// the engine's search finds it, padded with a ServiceDescription to exactly
// `size` bytes (29 or more).
inline std::vector<BYTE> classRecord(std::uint16_t cls, std::size_t size = 29) {
    using namespace Bt::Sdp;
    constexpr LengthField k32 = LengthField::Bits32;
    return record({{0x0001, sequence({uuid16(cls)})},
                   {0x0004, sequence({uuid16(0x0100)})},
                   {0x0101, text(std::string(size - 29, 'd'), k32)}},
                  k32);
}

class SimTest : public ::testing::Test {
protected:
    void SetUp() override {
        world().reset();
        ASSERT_TRUE(baselib::WinsockStart());
    }
    void TearDown() override {
        BTNetwork::setInquiryCache(false);
        BTNetwork::setInquiryTimeout(0);
        BTDevice::setInquiryCache(false);
        baselib::WinsockClear();
        world().reset();
    }
    static bool noHandlesOpen() {
        return world().openHandles() == Compat::OpenHandles{} && world().openQueries() == 0;
    }
};

// The engine's class has virtual hooks but no virtual destructor: only a
// final class may be destroyed through its own type.
// It writes the hooks as they fire: "+name" new, "-name" deleted. A device is
// deleted only once the inquiry's lookup has ended.
class Network final : public BTNetwork {
public:
    mutable std::string hooks;
    void OnNewDevice(const BTDevice& d) const override { note('+', d); }
    void OnDeleteDevice(const BTDevice& d) const override {
        EXPECT_EQ(world().openQueries(), 0u) << "deleted while the lookup is open";
        note('-', d);
    }

private:
    void note(char hook, const BTDevice& d) const { hooks += hook + Compat::toUtf8(d.Name()); }
};

// A list as text: each device's name, with its services' names in brackets
// once any were read ("A[spp] B").
inline std::string picture(const std::vector<BTDevice>& list) {
    std::string out;
    for (const auto& d : list) {
        out += (out.empty() ? "" : " ") + Compat::toUtf8(d.Name());
        const auto& services = d.Services();
        for (std::size_t i = 0; i < services.size(); ++i)
            out += (i ? " " : "[") + Compat::toUtf8(services[i].Name()) +
                   (i + 1 == services.size() ? "]" : "");
    }
    return out;
}

}  // namespace simtest
