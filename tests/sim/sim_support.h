// Shared by the tests on the simulated world: a fixture that starts each test
// from an empty world with the Winsock session up, and small scene helpers.
#pragma once

#include <corvale/Corvale.h>
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

// A well-formed record of exactly size bytes (29 or more): the HID class and
// L2CAP, padded with a text attribute. Bytes are pushed one by one, which
// keeps GCC 12's array-bounds warning quiet at -O3.
inline std::vector<BYTE> hidRecord(std::size_t size) {
    std::vector<BYTE> out;
    out.reserve(size);
    auto header = [&out](BYTE type, std::size_t length) {
        out.push_back(type);  // with a 32-bit length
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(static_cast<BYTE>(length >> shift));
    };
    header(0x37, size - 5);
    for (BYTE b : {0x09, 0x00, 0x01, 0x35, 0x03, 0x19, 0x11, 0x24, 0x09, 0x00, 0x04, 0x35, 0x03,
                   0x19, 0x01, 0x00, 0x09, 0x01, 0x01})
        out.push_back(b);
    header(0x27, size - 29);  // ServiceDescription
    out.resize(size, 'd');
    return out;
}

class SimTest : public ::testing::Test {
protected:
    void SetUp() override {
        world().reset();
        ASSERT_TRUE(baselib::WinsockStart());
    }
    void TearDown() override {
        BTNetwork::setInquiryCache(false);
        BTDevice::setInquiryCache(false);
        baselib::WinsockClear();
        world().reset();
    }
    static bool noHandlesOpen() {
        return world().openHandles() == Compat::OpenHandles{} && world().openQueries() == 0;
    }
};

// The engine's class has virtual hooks but, as designed, no virtual
// destructor: only a final class may be destroyed through its own type.
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
