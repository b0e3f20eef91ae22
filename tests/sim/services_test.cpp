// BTDevice::DiscoverServices on the simulated world: what it asks the
// platform for, and what it makes of the answers.
#include "sim_support.h"

#include <cstring>

namespace {
using namespace simtest;
using Corvale::BTAddress;
using Corvale::BTDevice;
using Corvale::BTUUID;

constexpr BTH_ADDR kPhone = 0x5CF370128A41;

// A record that names L2CAP and the given 16-bit service class.
std::vector<BYTE> classRecord(std::uint16_t uuid) {
    return {0x35,
            0x10,
            0x09,
            0x00,
            0x01,
            0x35,
            0x03,
            0x19,
            static_cast<BYTE>(uuid >> 8),
            static_cast<BYTE>(uuid),
            0x09,
            0x00,
            0x04,
            0x35,
            0x03,
            0x19,
            0x01,
            0x00};
}

// A record of size + 2 bytes whose class is 0x1124, padded in a text attribute.
std::vector<BYTE> largeRecord(std::size_t size) {
    const std::vector<BYTE> head = classRecord(0x1124);
    const std::size_t pad = size - head.size() - 3 - 5;
    const std::size_t body = (head.size() - 2) + 8 + pad;
    std::vector<BYTE> out;
    out.reserve(5 + body);
    auto be32 = [&out](std::size_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<BYTE>(v >> shift));
    };
    out.push_back(0x37);  // sequence, 32-bit length
    be32(body);
    for (std::size_t i = 2; i < head.size(); ++i) out.push_back(head[i]);
    for (BYTE b : {0x09, 0x02, 0x06, 0x27}) out.push_back(b);  // 0x0206: text, 32-bit length
    be32(pad);
    out.resize(out.size() + pad, 0x22);
    return out;
}

class ServicesTest : public SimTest {
protected:
    void TearDown() override {
        BTDevice::setInquiryCache(false);
        SimTest::TearDown();
    }
    BTDevice phone{BTAddress(kPhone), L"Phone"};
};

TEST_F(ServicesTest, AsksByAddressTextForL2capWithTheDesignedFlags) {
    world().addDevice(device(kPhone, "Phone", 0x5A020C, {record("SPP", 3, classRecord(0x1101))}));
    ASSERT_TRUE(phone.DiscoverServices());

    const auto begins = world().calls(Api::WSALookupServiceBeginW);
    ASSERT_EQ(begins.size(), 1u);
    EXPECT_EQ(begins[0].flags, static_cast<DWORD>(LUP_FLUSHCACHE));
    EXPECT_EQ(begins[0].context, L"5C:F3:70:12:8A:41");
    EXPECT_EQ(begins[0].size, sizeof(WSAQUERYSETW));
    EXPECT_EQ(begins[0].nameSpace, static_cast<DWORD>(NS_BTH));
    EXPECT_FALSE(begins[0].hasBlob);
    ASSERT_TRUE(begins[0].classId.has_value());
    EXPECT_EQ(std::memcmp(&*begins[0].classId, &Corvale::L2CAP_PROTOCOL_UUID, sizeof(GUID)), 0);

    const auto nexts = world().calls(Api::WSALookupServiceNextW);
    ASSERT_EQ(nexts.size(), 2u);  // one result, then the end
    for (const auto& next : nexts) {
        EXPECT_EQ(next.flags, 0x03B0u);
        EXPECT_EQ(next.size, 4096u);
    }
    EXPECT_EQ(world().count(Api::WSALookupServiceEnd), 1u);
    EXPECT_TRUE(noHandlesOpen());
}

TEST_F(ServicesTest, CacheSwitchOnAsksWithoutFlush) {
    world().addDevice(device(kPhone, "Phone"));
    BTDevice::setInquiryCache(true);
    ASSERT_TRUE(phone.DiscoverServices());
    EXPECT_EQ(world().calls(Api::WSALookupServiceBeginW).at(0).flags, 0u);
}

TEST_F(ServicesTest, EachRecordBecomesOneServiceInOrder) {
    Record spp = record("Serial Port", 3, classRecord(0x1101));
    spp.comment = "Debug console";
    world().addDevice(device(
        kPhone, "Phone", 0x5A020C,
        {spp, record("Same", 4, classRecord(0x1105)), record("Same", 4, classRecord(0x1105))}));
    ASSERT_TRUE(phone.DiscoverServices());
    ASSERT_EQ(phone.Services().size(), 3u);
    EXPECT_EQ(phone.Services()[0].Name(), L"Serial Port");
    EXPECT_EQ(phone.Services()[0].Comment(), L"Debug console");
    EXPECT_EQ(phone.Services()[0].Port(), 3u);
    EXPECT_EQ(phone.Services()[0].UUID(), BTUUID(0x1101u));
    EXPECT_EQ(phone.Services()[1].UUID(), BTUUID(0x1105u));
    EXPECT_EQ(phone.Services()[2].Name(), L"Same");
}

TEST_F(ServicesTest, FirstFetchAtTheEndEmptiesTheList) {
    world().addDevice(device(kPhone, "Phone", 0x5A020C, {record("SPP", 3)}));
    ASSERT_TRUE(phone.DiscoverServices());
    ASSERT_EQ(phone.Services().size(), 1u);
    world().setDevices({device(kPhone, "Phone")});
    EXPECT_TRUE(phone.DiscoverServices());
    EXPECT_TRUE(phone.Services().empty());
}

TEST_F(ServicesTest, FailedBeginLeavesTheListAndSetsTheText) {
    world().addDevice(device(kPhone, "Phone", 0x5A020C, {record("SPP", 3)}));
    ASSERT_TRUE(phone.DiscoverServices());
    world().clearDevices();  // out of range now
    EXPECT_FALSE(phone.DiscoverServices());
    EXPECT_EQ(baselib::getError(), errorText(WSASERVICE_NOT_FOUND));
    ASSERT_EQ(phone.Services().size(), 1u);
    EXPECT_EQ(phone.Services()[0].Name(), L"SPP");
    EXPECT_TRUE(noHandlesOpen());
}

TEST_F(ServicesTest, TwoCallsDoNotDouble) {
    world().addDevice(device(kPhone, "Phone", 0x5A020C, {record("A", 1), record("B", 2)}));
    ASSERT_TRUE(phone.DiscoverServices());
    ASSERT_TRUE(phone.DiscoverServices());
    EXPECT_EQ(serviceNames(phone), (std::vector<std::wstring>{L"A", L"B"}));
}

TEST_F(ServicesTest, MissingPartsGiveEmptyTextsPortZeroAndTheNullUuid) {
    Record bare;  // no name, comment, port or bytes
    world().addDevice(device(kPhone, "Phone", 0x5A020C, {bare}));
    ASSERT_TRUE(phone.DiscoverServices());
    ASSERT_EQ(phone.Services().size(), 1u);
    const auto& s = phone.Services()[0];
    EXPECT_EQ(s.Name(), L"");
    EXPECT_EQ(s.Comment(), L"");
    EXPECT_EQ(s.Port(), 0u);
    EXPECT_EQ(s.UUID(), BTUUID());
}

TEST_F(ServicesTest, FailureOnTheThirdFetchKeepsTheTwoBefore) {
    world().addDevice(device(kPhone, "Phone", 0x5A020C,
                             {record("A", 1), record("B", 2), record("C", 3), record("D", 4)}));
    world().failCall(Api::WSALookupServiceNextW, 3, WSAETIMEDOUT);
    EXPECT_FALSE(phone.DiscoverServices());
    EXPECT_EQ(serviceNames(phone), (std::vector<std::wstring>{L"A", L"B"}));
    EXPECT_EQ(baselib::getError(), errorText(WSAETIMEDOUT));
    EXPECT_EQ(world().count(Api::WSALookupServiceEnd), 1u);
    EXPECT_TRUE(noHandlesOpen());
}

TEST_F(ServicesTest, RecordOverTheFixedBlockIsFetchedAgainIntoALargerOne) {
    world().addDevice(device(
        kPhone, "Phone", 0x5A020C,
        {record("Small", 1), record("Keyboard", 17, largeRecord(6000)), record("After", 2)}));
    ASSERT_TRUE(phone.DiscoverServices()) << baselib::getError().c_str();
    EXPECT_EQ(serviceNames(phone), (std::vector<std::wstring>{L"Small", L"Keyboard", L"After"}));
    EXPECT_EQ(phone.Services()[1].UUID(), BTUUID(0x1124u));
    EXPECT_EQ(phone.Services()[1].Port(), 17u);

    // The second fetch fails with the size, the same result is fetched once
    // more into a block of exactly that size, and the fixed block comes back.
    const auto nexts = world().calls(Api::WSALookupServiceNextW);
    ASSERT_EQ(nexts.size(), 5u);
    EXPECT_EQ(nexts[0].size, 4096u);
    EXPECT_EQ(nexts[1].size, 4096u);
    EXPECT_GT(nexts[2].size, 6000u);
    EXPECT_LT(nexts[2].size, 6000u + 512u);
    EXPECT_EQ(nexts[3].size, 4096u);
}

TEST_F(ServicesTest, RecordOver64KiBFailsAsThePlatformSaid) {
    world().addDevice(device(kPhone, "Phone", 0x5A020C,
                             {record("Small", 1), record("Huge", 2, largeRecord(70000))}));
    EXPECT_FALSE(phone.DiscoverServices());
    EXPECT_EQ(baselib::getError(), errorText(WSAEFAULT));
    EXPECT_EQ(serviceNames(phone), (std::vector<std::wstring>{L"Small"}));
    EXPECT_EQ(world().count(Api::WSALookupServiceNextW), 2u);  // no retry above 64 KiB
    EXPECT_TRUE(noHandlesOpen());
}

TEST_F(ServicesTest, WithoutWinsockTheBeginFailsLikeAnyOther) {
    world().addDevice(device(kPhone, "Phone", 0x5A020C, {record("A", 1)}));
    baselib::WinsockClear();
    EXPECT_FALSE(phone.DiscoverServices());
    EXPECT_EQ(baselib::getError(), errorText(WSANOTINITIALISED));
}

}  // namespace
