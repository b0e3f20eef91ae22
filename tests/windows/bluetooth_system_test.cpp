// The engine over the system's Bluetooth: local radios, inquiry, service
// discovery and SDP record parsing, as the Windows build really calls them.
//
// Under Wine the Bluetooth functions are stubs: the radio enumeration and the
// NS_BTH lookups fail, and the SDP parsers are not there at all (calling one
// ends the process). There the tests check exactly that failure and the text
// the engine makes of it, so that a user running under Wine gets an honest
// message, and a Wine that starts to answer shows up here. On Windows the
// results depend on the machine's radio, so only their consistency is checked.
#include "system_test_support.h"

#include <corvale/Corvale.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using CorvaleTest::engineText;
using CorvaleTest::wineMajor;

// Wine's stubs: BluetoothFindFirstRadio sets ERROR_CALL_NOT_IMPLEMENTED, and
// WSALookupServiceBeginW fails every lookup with WSA_NOT_ENOUGH_MEMORY.
constexpr DWORD kWineNoRadioApi = 120;
constexpr DWORD kWineNoLookup = 8;

class SystemBluetooth : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(baselib::WinsockStart()); }
    void TearDown() override { baselib::WinsockClear(); }
};

TEST_F(SystemBluetooth, LocalRadios) {
    Corvale::BTNetwork network;
    const bool ok = network.DiscoverLocalDevices();
    if (wineMajor() > 0) {
        EXPECT_FALSE(ok);
        EXPECT_TRUE(network.LocalDevices().empty());
        EXPECT_EQ(baselib::getError(), engineText(kWineNoRadioApi));
        return;
    }
    if (!ok) {
        EXPECT_EQ(baselib::getError().rfind(L"(", 0), 0u);
        return;
    }
    for (const Corvale::BTDevice& radio : network.LocalDevices()) {
        EXPECT_FALSE(radio.Address().isNull());
        EXPECT_LT(radio.Name().size(), std::size_t{BLUETOOTH_MAX_NAME_SIZE});
    }
}

// The constructor discovers the radios when the session is up; its failure
// only leaves the text behind.
TEST_F(SystemBluetooth, ConstructionWithTheSessionUp) {
    baselib::setError(87);
    Corvale::BTNetwork network;
    EXPECT_TRUE(network.RemoteDevices().empty());
    if (wineMajor() > 0) {
        EXPECT_EQ(baselib::getError(), engineText(kWineNoRadioApi));
    }
}

TEST_F(SystemBluetooth, RemoteInquiry) {
    Corvale::BTNetwork network;
    std::vector<Corvale::BTDevice>* before = &network.RemoteDevices();
    const bool ok = network.DiscoverRemoteDevices();
    if (wineMajor() > 0) {
        EXPECT_FALSE(ok);
        EXPECT_EQ(baselib::getError(), engineText(kWineNoLookup));
        // A failed inquiry keeps the list it had.
        EXPECT_EQ(&network.RemoteDevices(), before);
        EXPECT_TRUE(network.RemoteDevices().empty());
        return;
    }
    if (!ok) {
        EXPECT_EQ(baselib::getError().rfind(L"(", 0), 0u);
    }
}

TEST_F(SystemBluetooth, ServicesOfAMadeUpDevice) {
    Corvale::BTDevice device(Corvale::BTAddress(0x00005E005301ULL));
    const bool ok = device.DiscoverServices();
    if (wineMajor() > 0) {
        EXPECT_FALSE(ok);
        EXPECT_EQ(baselib::getError(), engineText(kWineNoLookup));
        EXPECT_TRUE(device.Services().empty());
        return;
    }
    // No device has this address: the system finds no record or fails.
    if (ok) {
        EXPECT_TRUE(device.Services().empty());
    }
}

// A record with ServiceClassIDList {0x1101 (Serial Port)} and
// ServiceName "COM" (attribute 0x0100).
const BYTE kRecord[] = {0x35, 0x0F,                    // sequence of 15 bytes
                        0x09, 0x00, 0x01,              // attribute 0x0001
                        0x35, 0x03, 0x19, 0x11, 0x01,  // sequence { UUID16 0x1101 }
                        0x09, 0x01, 0x00,              // attribute 0x0100
                        0x25, 0x03, 'C',  'O',  'M'};  // text "COM"
static_assert(sizeof kRecord == 18);

DWORD attribute(USHORT id, SDP_ELEMENT_DATA& data) {
    std::vector<BYTE> bytes(std::begin(kRecord), std::end(kRecord));
    return BluetoothSdpGetAttributeValue(bytes.data(), static_cast<ULONG>(bytes.size()), id, &data);
}

// Wine 8 exports the SDP parsers without implementing them: a call raises an
// exception that ends the process. That is checked in a child process.
bool sdpMissing() {
    return wineMajor() > 0 && wineMajor() < 9;
}

TEST(SystemSdpDeathTest, WineWithoutTheParserEndsTheProcess) {
    if (!sdpMissing()) GTEST_SKIP() << "the system has the SDP parsers";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    SDP_ELEMENT_DATA data{};
    EXPECT_DEATH((void)attribute(0x0001, data), "");
    EXPECT_DEATH((void)Corvale::ServiceClassUUID(kRecord, sizeof kRecord), "");
}

}  // namespace
