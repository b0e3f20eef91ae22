// The process-wide state of the engine as a fresh process sees it. Kept in a
// program of its own, so no other test can have touched that state first,
// however the tests are run.
#include <corvale/BTDevice.h>
#include <corvale/baselib.h>

#include <gtest/gtest.h>

namespace {

TEST(InitialState, ErrorTextIsEmpty) {
    EXPECT_TRUE(baselib::getError().empty());
}

TEST(InitialState, ACodeWithoutTextLeavesTheEmptyText) {
    baselib::setError(0xFFFFFFFF);
    EXPECT_TRUE(baselib::getError().empty());
}

TEST(InitialState, NoWinsockSession) {
    EXPECT_FALSE(baselib::isWinsockInitied());
}

TEST(InitialState, ServiceDiscoveryCacheIsOff) {
    EXPECT_FALSE(Corvale::BTDevice::getInquiryCache());
}

// Against the simulated platform: one session, ended by one WinsockClear, so
// that a WSACleanup of our own then finds none left.
TEST(InitialState, SessionOverTheSimulatedPlatform) {
    ASSERT_TRUE(baselib::WinsockStart());
    EXPECT_TRUE(baselib::WinsockStart());
    EXPECT_TRUE(baselib::isWinsockInitied());
    baselib::WinsockClear();
    EXPECT_FALSE(baselib::isWinsockInitied());
    EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
}

}  // namespace
