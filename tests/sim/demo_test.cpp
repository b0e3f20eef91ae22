// The demo neighbourhood, read through the engine as the programs read it,
// and its records checked with the platform's own SDP decoder.
#include "sim_support.h"

#include <cstring>
#include <map>

namespace {
using namespace simtest;
using Corvale::BTNetwork;
using Corvale::BTUUID;

class DemoTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        Corvale::Sim::loadDemoNeighbourhood(world());
    }
};

TEST_F(DemoTest, RadiosAndTheirServicesAreListed) {
    BTNetwork network;
    ASSERT_EQ(network.LocalDevices().size(), 2u);
    EXPECT_EQ(network.LocalDevices()[0].Name(), L"WORKSTATION");
    EXPECT_EQ(serviceNames(network.LocalDevices()[0]),
              (std::vector<std::wstring>{L"OBEX Object Push", L"PAN User"}));
    EXPECT_EQ(serviceNames(network.LocalDevices()[1]), (std::vector<std::wstring>{L"COM7"}));
    EXPECT_EQ(network.LocalDevices()[1].Services()[0].Comment(), L"Outgoing serial port");
    EXPECT_EQ(network.LocalDevices()[1].Services()[0].Port(), 5u);
    EXPECT_EQ(network.LocalDevices()[1].Services()[0].UUID(), BTUUID(0x1101u));
}

TEST_F(DemoTest, InquiryFindsTheNeighbourhoodAndEveryDeviceAnswers) {
    BTNetwork network;
    ASSERT_TRUE(network.DiscoverRemoteDevices()) << baselib::getError().c_str();
    auto& list = network.RemoteDevices();
    ASSERT_EQ(list.size(), 10u);
    EXPECT_EQ(list[0].Name(), L"Mara's phone");
    EXPECT_EQ(list[2].Name(), L"L\u00E9a\u2019s Tideline headphones");
    EXPECT_EQ(list[8].Name(), L"");        // the band gives no name
    EXPECT_EQ(list[9].COD().value(), 0u);  // the sensor's class word is invalid
    for (auto& d : list) {
        EXPECT_NE(d.COD().value() == 0, d.Name() != L"SENSOR-81C2")
            << d.Address().asString().c_str();
        ASSERT_TRUE(d.DiscoverServices()) << baselib::getError().c_str();
        EXPECT_FALSE(d.Services().empty());
        for (const auto& s : d.Services()) EXPECT_NE(s.UUID(), BTUUID()) << s.Name().c_str();
    }
    EXPECT_TRUE(noHandlesOpen());
}

TEST_F(DemoTest, ProfilesArriveWithTheirClassNameAndPort) {
    BTNetwork network;
    ASSERT_TRUE(network.DiscoverRemoteDevices());
    std::map<std::wstring, const Corvale::BTService*> byName;
    for (auto& d : network.RemoteDevices()) {
        ASSERT_TRUE(d.DiscoverServices());
        for (const auto& s : d.Services()) byName.emplace(d.Name() + L"/" + s.Name(), &s);
    }
    struct Expect {
        const wchar_t* key;
        std::uint32_t uuid;
        std::uint32_t port;
    };
    const Expect expected[] = {
        {L"Mara's phone/Voice Gateway", 0x111F, 10},
        {L"Mara's phone/Audio Source", 0x110A, 0x19},
        {L"Mara's phone/AV Remote Control Target", 0x110C, 0x17},
        {L"Mara's phone/OBEX Object Push", 0x1105, 9},
        {L"Mara's phone/Phonebook Access PSE", 0x112F, 19},
        {L"Mara's phone/Network Access Point", 0x1116, 0x0F},
        {L"Clearvoice HS-20/Headset", 0x1108, 1},
        {L"Clearvoice HS-20/Hands-Free unit", 0x111E, 2},
        {L"Keystone K3 Keyboard/Keystone K3 Keyboard", 0x1124, 0x11},
        {L"Glide M5 Mouse/Glide M5 Mouse", 0x1124, 0x11},
        {L"Roadline Car Kit/AV Remote Control", 0x110E, 0x17},
        {L"ATLAS-LAPTOP/OBEX File Transfer", 0x1106, 13},
        {L"ATLAS-LAPTOP/Serial Port", 0x1101, 4},
        {L"Inkwell P400 (2nd floor)/Direct Printing", 0x1118, 3},
    };
    for (const Expect& e : expected) {
        auto it = byName.find(e.key);
        ASSERT_NE(it, byName.end()) << e.key;
        EXPECT_EQ(it->second->UUID(), BTUUID(e.uuid)) << e.key;
        EXPECT_EQ(it->second->Port(), e.port) << e.key;
    }
    // The vendor services carry their 128-bit class.
    auto companion = byName.find(L"Mara's phone/Companion Link");
    ASSERT_NE(companion, byName.end());
    EXPECT_EQ(companion->second->UUID().asString(), L"{8E1F0CF7-508F-4875-B62C-FBB67FD34812}");
    EXPECT_EQ(companion->second->Comment(), L"Watch and app synchronisation");
}

TEST_F(DemoTest, KeyboardRecordIsOverTheFixedBlockAndDeviceIdIsLeftOut) {
    const auto devices = world().devices();
    const auto keyboard = std::find_if(devices.begin(), devices.end(), [](const Device& d) {
        return d.name == "Keystone K3 Keyboard";
    });
    ASSERT_NE(keyboard, devices.end());
    ASSERT_EQ(keyboard->records.size(), 2u);
    EXPECT_GT(keyboard->records[0].bytes->size(), 4096u);

    Corvale::BTDevice d(Corvale::BTAddress(*keyboard->address));
    ASSERT_TRUE(d.DiscoverServices());
    EXPECT_EQ(serviceNames(d), (std::vector<std::wstring>{L"Keystone K3 Keyboard"}));
}

// Every record is well-formed for the platform's decoder, and the name and
// comment a search reports are the record's own ServiceName and
// ServiceDescription.
TEST_F(DemoTest, RecordsDecodeAndAgreeWithWhatTheSearchReports) {
    std::vector<Record> all;
    for (const auto& r : world().radios())
        all.insert(all.end(), r.records.begin(), r.records.end());
    for (const auto& d : world().devices())
        all.insert(all.end(), d.records.begin(), d.records.end());
    ASSERT_GT(all.size(), 30u);
    for (Record& r : all) {
        ASSERT_TRUE(r.bytes.has_value());
        SDP_ELEMENT_DATA whole{};
        ASSERT_EQ(BluetoothSdpGetElementData(r.bytes->data(), static_cast<ULONG>(r.bytes->size()),
                                             &whole),
                  static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_EQ(whole.type, SDP_TYPE_SEQUENCE);
        const struct {
            USHORT id;
            const std::optional<std::string>& text;
        } texts[] = {{0x0100, r.name}, {0x0101, r.comment}};
        for (const auto& t : texts) {
            SDP_ELEMENT_DATA e{};
            const DWORD rc = BluetoothSdpGetAttributeValue(
                r.bytes->data(), static_cast<ULONG>(r.bytes->size()), t.id, &e);
            if (!t.text) {
                EXPECT_NE(rc, static_cast<DWORD>(ERROR_SUCCESS));
                continue;
            }
            ASSERT_EQ(rc, static_cast<DWORD>(ERROR_SUCCESS)) << *t.text;
            ASSERT_EQ(e.type, SDP_TYPE_STRING);
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(e.data.string.value),
                                  e.data.string.length),
                      *t.text);
        }
    }
}

}  // namespace
