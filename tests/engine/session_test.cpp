// On the simulated world: baselib's Winsock session, counted and failed on
// purpose.
#include <corvale/baselib.h>
#include <corvale/sim/World.h>

#include <gtest/gtest.h>

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
