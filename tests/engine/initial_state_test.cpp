// The process-wide state of the engine as a fresh process sees it. Kept in a
// program of its own, so no other test can have touched that state first,
// however the tests are run.
#include <corvale/BTDevice.h>
#include <corvale/baselib.h>
#include <corvale/platform/bluetooth_api.h>

#include <gtest/gtest.h>

namespace {

TEST(InitialState, NothingSetAndOneSessionEndedWhole) {
    EXPECT_FALSE(Corvale::BTDevice::getInquiryCache() || baselib::isWinsockInitied());
    EXPECT_TRUE(baselib::getError().empty());
    baselib::setError(0xFFFFFFFF);  // no text: the empty text stays
    EXPECT_TRUE(baselib::getError().empty());
    // Two starts make one session, which one WinsockClear ends: a WSACleanup
    // of our own then finds none left.
    ASSERT_TRUE(baselib::WinsockStart());
    EXPECT_TRUE(baselib::WinsockStart());
    EXPECT_TRUE(baselib::isWinsockInitied());
    baselib::WinsockClear();
    EXPECT_FALSE(baselib::isWinsockInitied());
    EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
}

}  // namespace
