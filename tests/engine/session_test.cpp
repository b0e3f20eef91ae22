// The Winsock session of baselib, on the simulated platform: the world counts
// WSAStartup and WSACleanup and can make WSAStartup fail or report another
// version.
#include <corvale/baselib.h>
#include <corvale/sim/World.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using Corvale::Sim::Api;
using Corvale::Sim::World;

World& world() {
    return World::instance();
}

class Session : public ::testing::Test {
protected:
    void SetUp() override { world().reset(); }
    void TearDown() override {
        baselib::WinsockClear();
        // No session of the platform may outlive the test.
        EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
        EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
    }
    static unsigned startups() { return world().count(Api::WSAStartup); }
    static unsigned cleanups() { return world().count(Api::WSACleanup); }
};

TEST_F(Session, StartTwiceStartsOneSessionForVersion2) {
    EXPECT_TRUE(baselib::WinsockStart());
    EXPECT_TRUE(baselib::WinsockStart());
    EXPECT_EQ(startups(), 1u);
    const auto calls = world().calls(Api::WSAStartup);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].flags, 0x0002u) << "the version word of 2.0";
    EXPECT_TRUE(baselib::isWinsockInitied());
    baselib::WinsockClear();
    EXPECT_EQ(cleanups(), 1u);
    EXPECT_FALSE(baselib::isWinsockInitied());
}

TEST_F(Session, ClearWithoutSessionDoesNothing) {
    baselib::WinsockClear();
    EXPECT_EQ(cleanups(), 0u);
    ASSERT_TRUE(baselib::WinsockStart());
    baselib::WinsockClear();
    baselib::WinsockClear();
    EXPECT_EQ(cleanups(), 1u);
}

TEST_F(Session, ClearDoesNotLookAtTheCleanupResult) {
    ASSERT_TRUE(baselib::WinsockStart());
    baselib::setError(259);
    const std::wstring before = baselib::getError();
    world().failCall(Api::WSACleanup, 1, WSAENETDOWN);
    baselib::WinsockClear();
    EXPECT_EQ(cleanups(), 1u);
    EXPECT_FALSE(baselib::isWinsockInitied());
    EXPECT_EQ(baselib::getError(), before);
    // The failed cleanup left the platform's session open; end it here.
    EXPECT_EQ(WSACleanup(), 0);
}

TEST_F(Session, StartAfterClearStartsANewSession) {
    ASSERT_TRUE(baselib::WinsockStart());
    baselib::WinsockClear();
    EXPECT_TRUE(baselib::WinsockStart());
    EXPECT_EQ(startups(), 2u);
    EXPECT_TRUE(baselib::isWinsockInitied());
}

TEST_F(Session, StartupFailureLeavesNoSessionAndNoErrorText) {
    baselib::setError(259);
    const std::wstring before = baselib::getError();
    world().failCall(Api::WSAStartup, 1, WSASYSNOTREADY);
    EXPECT_FALSE(baselib::WinsockStart());
    EXPECT_FALSE(baselib::isWinsockInitied());
    EXPECT_EQ(cleanups(), 0u);
    EXPECT_EQ(baselib::getError(), before);
    // Nothing sticks: the next start tries again.
    EXPECT_TRUE(baselib::WinsockStart());
    EXPECT_EQ(startups(), 2u);
}

struct VersionCase {
    WORD available;  // the highest version the platform offers
    bool accepted;
};

class SessionVersion : public Session, public ::testing::WithParamInterface<VersionCase> {};

// The version in use is read as one 16-bit number and refused below 2.
TEST_P(SessionVersion, BelowTwoIsCleanedUpAndRefused) {
    baselib::setError(259);
    const std::wstring before = baselib::getError();
    world().setWinsockVersion(GetParam().available);
    EXPECT_EQ(baselib::WinsockStart(), GetParam().accepted);
    EXPECT_EQ(baselib::isWinsockInitied(), GetParam().accepted);
    EXPECT_EQ(startups(), 1u);
    EXPECT_EQ(cleanups(), GetParam().accepted ? 0u : 1u);
    EXPECT_EQ(baselib::getError(), before);
}

INSTANTIATE_TEST_SUITE_P(Versions, SessionVersion,
                         ::testing::Values(VersionCase{MAKEWORD(1, 0), false},
                                           // 1.1 is the word 0x0101, not below 2.
                                           VersionCase{MAKEWORD(1, 1), true},
                                           VersionCase{MAKEWORD(2, 0), true},
                                           VersionCase{MAKEWORD(2, 2), true}));

}  // namespace
