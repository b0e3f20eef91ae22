// On the simulated world: baselib's Winsock session, counted and failed on
// purpose, and a device's service list once service discovery filled it.
#include <corvale/BTDevice.h>
#include <corvale/baselib.h>
#include <corvale/sim/World.h>

#include <gtest/gtest.h>

using Corvale::BTUUID;
using Corvale::Sim::Api;

class Session : public ::testing::Test {
protected:
    void SetUp() override { world.reset(); }
    void TearDown() override {
        baselib::WinsockClear();
        EXPECT_EQ(WSACleanup(), SOCKET_ERROR) << "a session of the platform outlived the test";
    }
    Corvale::Sim::World& world = Corvale::Sim::World::instance();
};

// One session for version 2.0 however often started, one cleanup however
// often cleared, whatever the cleanup answers. A failed start, or a version
// below 2 read as one 16-bit number (so 1.1, the word 0x0101, is not), leaves
// no session; the session sets no error text.
TEST_F(Session, StartAndClear) {
    baselib::setError(259);
    const std::wstring before = baselib::getError();
    world.failCall(Api::WSAStartup, 1, WSASYSNOTREADY);
    EXPECT_FALSE(baselib::WinsockStart());
    baselib::WinsockClear();
    EXPECT_EQ(world.count(Api::WSACleanup), 0u);
    EXPECT_TRUE(baselib::WinsockStart() && baselib::WinsockStart());
    EXPECT_EQ(world.count(Api::WSAStartup), 2u);
    EXPECT_EQ(world.calls(Api::WSAStartup).at(1).flags, 0x0002u);
    world.failCall(Api::WSACleanup, 1, WSAENETDOWN);
    baselib::WinsockClear();
    baselib::WinsockClear();
    EXPECT_EQ(world.count(Api::WSACleanup), 1u);
    EXPECT_FALSE(baselib::isWinsockInitied());
    EXPECT_EQ(WSACleanup(), 0) << "the failed cleanup left the platform's session open";
    for (WORD version : {MAKEWORD(1, 0), MAKEWORD(1, 1), MAKEWORD(2, 2)}) {
        const unsigned cleanups = world.count(Api::WSACleanup);
        world.setWinsockVersion(version);
        EXPECT_EQ(baselib::WinsockStart(), version != MAKEWORD(1, 0)) << version;
        EXPECT_EQ(baselib::isWinsockInitied(), version != MAKEWORD(1, 0)) << version;
        EXPECT_EQ(world.count(Api::WSACleanup), cleanups + (version == MAKEWORD(1, 0))) << version;
        baselib::WinsockClear();
    }
    EXPECT_EQ(baselib::getError(), before);
}

// A record with ServiceClassIDList { 0x11xx } and a ProtocolDescriptorList
// naming L2CAP, so the search's restriction matches it.
static Corvale::Sim::Record record(const char* name, ULONG port, BYTE low) {
    return {name, "", port,
            std::vector<BYTE>{0x35, 0x12, 0x09, 0x00, 0x01, 0x35, 0x03, 0x19, 0x11, low,
                              0x09, 0x00, 0x04, 0x35, 0x05, 0x35, 0x03, 0x19, 0x01, 0x00}};
}

// Copies carry the list in order and own it: rediscovering on the original
// after the device lost a service leaves the copy's list as it was.
TEST_F(Session, CopiesOwnTheirServiceLists) {
    constexpr BTH_ADDR kPhone = 0x5CF370128A41;
    const auto serial = record("Serial Port", 3, 0x01), audio = record("Audio Source", 25, 0x0A);
    world.addDevice({kPhone, "Phone", 0x5A020C, {serial, audio}});
    ASSERT_TRUE(baselib::WinsockStart());
    Corvale::BTDevice device{Corvale::BTAddress(kPhone)};
    ASSERT_TRUE(device.DiscoverServices()) << baselib::getError();
    Corvale::BTDevice copy(device), assigned;
    assigned = device;
    world.clearDevices();
    world.addDevice({kPhone, "Phone", 0x5A020C, {audio}});
    ASSERT_TRUE(device.DiscoverServices()) << baselib::getError();
    EXPECT_FALSE(device.hasService(BTUUID(0x1101u)));
    for (const Corvale::BTDevice* d : {&copy, &assigned}) {
        ASSERT_EQ(d->Services().size(), 2u);
        EXPECT_EQ(d->Services()[0].Name(), L"Serial Port");
        EXPECT_TRUE(d->hasService(BTUUID(0x1101u)) && d->hasService(BTUUID(0x110Au)));
        EXPECT_FALSE(d->hasService(BTUUID(Corvale::L2CAP_PROTOCOL_UUID)));
    }
}
