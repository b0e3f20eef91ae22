// Devices that send what no well-behaved device sends: the engine and the
// platform layer must turn it into safe values, never a crash, hang or leak.
#include "sim_support.h"

#include <algorithm>
#include <random>

namespace {
using namespace simtest;
using Corvale::BTAddress;
using Corvale::BTDevice;
using Corvale::BTNetwork;
using Corvale::BTUUID;

constexpr BTH_ADDR kA = 0x0000000000A1;

struct NameCase {
    const char* what;
    std::string bytes;
    std::wstring shown;
};

class HostileName : public SimTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(HostileName, ReachesTheRecordAsSafeText) {
    world().setDevices({device(kA, GetParam().bytes)});
    BTNetwork network;
    ASSERT_TRUE(network.DiscoverRemoteDevices()) << baselib::getError().c_str();
    ASSERT_EQ(network.RemoteDevices().size(), 1u);
    EXPECT_EQ(network.RemoteDevices()[0].Name(), GetParam().shown);
    EXPECT_TRUE(noHandlesOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileName,
    ::testing::Values(NameCase{"248 bytes", std::string(248, 'x'), std::wstring(248, L'x')},
                      NameCase{"invalid bytes",
                               "\xFF\xFE"
                               "ab",
                               L"\uFFFD\uFFFDab"},
                      NameCase{"overlong slash", "\xC0\xAF", L"\uFFFD\uFFFD"},
                      NameCase{"overlong three-byte", "\xE0\x80\xAF", L"\uFFFD\uFFFD\uFFFD"},
                      NameCase{"encoded surrogate", "\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},
                      NameCase{"cut short", "ab\xE2\x82", L"ab\uFFFD"},
                      NameCase{"embedded NUL", std::string("ab\0cd", 5), L"ab"},
                      NameCase{"control characters", "a\x01\x1B[31mb\x7F", L"a\x01\x1B[31mb\x7F"},
                      NameCase{"bidi override",
                               "\xE2\x80\xAE"
                               "evil",
                               L"\u202E"
                               L"evil"},
                      NameCase{"outside the BMP", "\xF0\x9F\x93\xB1", L"\U0001F4F1"},
                      NameCase{"past U+10FFFF", "\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},
                      NameCase{"longer than the inquiry block", std::string(5000, 'n'),
                               std::wstring(5000, L'n')}));

TEST_F(SimTest, NameTooLargeForAnyBlockFailsTheInquiryCleanly) {
    // 40,000 characters are far above 64 KiB as wide text: the retry is refused.
    world().setDevices({device(kA, std::string(40000, 'n'))});
    BTNetwork network;
    EXPECT_FALSE(network.DiscoverRemoteDevices());
    EXPECT_EQ(baselib::getError(), errorText(WSAEFAULT));
    EXPECT_TRUE(network.RemoteDevices().empty());
    EXPECT_TRUE(noHandlesOpen());
}

TEST_F(SimTest, ClassWordWithEveryBitSetIsZero) {
    world().setDevices({device(kA, "all bits", 0xFFFFFFFF)});
    BTNetwork network;
    ASSERT_TRUE(network.DiscoverRemoteDevices());
    EXPECT_EQ(network.RemoteDevices()[0].COD().value(), 0u);
}

class Counting : public BTNetwork {
public:
    mutable int added = 0, removed = 0;
    void OnNewDevice(const BTDevice&) const override { ++added; }
    void OnDeleteDevice(const BTDevice&) const override { ++removed; }
};

TEST_F(SimTest, ThousandDevicesInOneInquiry) {
    std::vector<Device> crowd;
    for (BTH_ADDR i = 1; i <= 1000; ++i)
        crowd.push_back(device(0x100000000000 + i, "dev " + std::to_string(i)));
    world().setDevices(crowd);
    Counting network;
    ASSERT_TRUE(network.DiscoverRemoteDevices());
    ASSERT_EQ(network.RemoteDevices().size(), 1000u);
    EXPECT_EQ(network.added, 1000);
    EXPECT_EQ(network.RemoteDevices()[999].Name(), L"dev 1000");

    // Again, reversed: every device is matched, none is new or gone.
    std::reverse(crowd.begin(), crowd.end());
    world().setDevices(crowd);
    ASSERT_TRUE(network.DiscoverRemoteDevices());
    EXPECT_EQ(network.added, 1000);
    EXPECT_EQ(network.removed, 0);
    EXPECT_EQ(network.RemoteDevices()[0].Name(), L"dev 1000");
    EXPECT_TRUE(noHandlesOpen());
}

TEST_F(SimTest, DeviceWithTwoHundredRecords) {
    std::vector<Record> records;
    for (ULONG i = 0; i < 200; ++i) records.push_back(record("svc " + std::to_string(i), i));
    world().setDevices({device(kA, "busy", 0x5A020C, records)});
    BTDevice d{BTAddress(kA)};
    ASSERT_TRUE(d.DiscoverServices());
    ASSERT_EQ(d.Services().size(), 200u);
    EXPECT_EQ(d.Services()[199].Name(), L"svc 199");
    EXPECT_EQ(d.Services()[199].Port(), 199u);
}

// A well-formed record of size bytes in all: HID class, L2CAP, and a
// HIDDescriptorList whose report descriptor fills the rest.
std::vector<BYTE> hidRecordOf(std::size_t size) {
    const BYTE head[] = {0x09, 0x00, 0x01, 0x35, 0x03, 0x19, 0x11, 0x24,
                         0x09, 0x00, 0x04, 0x35, 0x03, 0x19, 0x01, 0x00};
    // record header (3), attribute id (3), two sequence headers (3 + 3),
    // the uint8 descriptor type (2), the text header (3)
    const std::size_t descriptor = size - 3 - sizeof head - 3 - 3 - 3 - 2 - 3;
    const std::size_t inner = 2 + 3 + descriptor, outer = 3 + inner;
    const std::size_t body = sizeof head + 3 + 3 + outer;
    std::vector<BYTE> out;
    out.reserve(size);
    auto header16 = [&out](BYTE type, std::size_t length) {
        out.push_back(type);
        out.push_back(static_cast<BYTE>(length >> 8));
        out.push_back(static_cast<BYTE>(length));
    };
    header16(0x36, body);
    for (BYTE b : head) out.push_back(b);
    for (BYTE b : {0x09, 0x02, 0x06}) out.push_back(b);
    header16(0x36, outer);
    header16(0x36, inner);
    out.push_back(0x08);
    out.push_back(0x22);
    header16(0x26, descriptor);
    out.resize(out.size() + descriptor, 0x05);
    return out;
}

TEST_F(SimTest, RecordOfSixtyKiB) {
    const std::vector<BYTE> big = hidRecordOf(60 * 1024);
    ASSERT_EQ(big.size(), 60u * 1024u);
    world().setDevices({device(kA, "big", 0x002540, {record("HID", 17, big)})});
    BTDevice d{BTAddress(kA)};
    ASSERT_TRUE(d.DiscoverServices()) << baselib::getError().c_str();
    ASSERT_EQ(d.Services().size(), 1u);
    EXPECT_EQ(d.Services()[0].UUID(), BTUUID(0x1124u));
    EXPECT_TRUE(noHandlesOpen());
}

struct GarbageCase {
    const char* what;
    std::vector<BYTE> bytes;
};

std::vector<BYTE> deepNesting() {
    std::vector<BYTE> v;
    for (int i = 0; i < 2000; ++i) v.insert(v.end(), {0x35, 0x00});
    return v;
}

std::vector<BYTE> noise() {
    std::mt19937 rng(42);
    std::vector<BYTE> v(3000);
    for (auto& b : v) b = static_cast<BYTE>(rng());
    return v;
}

class GarbageRecord : public SimTest, public ::testing::WithParamInterface<GarbageCase> {};

TEST_P(GarbageRecord, GivesAServiceWithTheNullUuid) {
    Record r = record("garbage", 5);
    r.bytes = GetParam().bytes;
    world().setDevices({device(kA, "A", 0x5A020C, {r})});
    BTDevice d{BTAddress(kA)};
    ASSERT_TRUE(d.DiscoverServices());
    ASSERT_EQ(d.Services().size(), 1u);
    EXPECT_EQ(d.Services()[0].UUID(), BTUUID());
    EXPECT_EQ(d.Services()[0].Name(), L"garbage");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GarbageRecord,
    ::testing::Values(GarbageCase{"empty", {}}, GarbageCase{"one byte", {0x35}},
                      GarbageCase{"length past the end", {0x35, 0xFF, 0x09, 0x00, 0x01}},
                      GarbageCase{"32-bit length past the end",
                                  {0x37, 0xFF, 0xFF, 0xFF, 0xFF, 0x09, 0x00}},
                      GarbageCase{"class list cut in a UUID",
                                  {0x35, 0x07, 0x09, 0x00, 0x01, 0x35, 0x03, 0x19, 0x11}},
                      GarbageCase{"reserved type", {0xFF, 0xFF, 0xFF, 0xFF}},
                      GarbageCase{"deep nesting", deepNesting()}, GarbageCase{"noise", noise()}));

TEST_F(SimTest, HostileRadioNamesAreCutAndRepaired) {
    world().addRadio(radio(0x001A7DDA7113, std::string(300, 'r')));
    world().addRadio(radio(0x001BDC0F3EA9, "bad \xFF name"));
    BTNetwork network;
    ASSERT_EQ(network.LocalDevices().size(), 2u);
    EXPECT_EQ(network.LocalDevices()[0].Name(), std::wstring(247, L'r'));
    EXPECT_EQ(network.LocalDevices()[1].Name(), L"bad \uFFFD name");
    EXPECT_TRUE(noHandlesOpen());
}

}  // namespace
