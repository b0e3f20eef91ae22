// BTNetwork on the simulated world: local radios, remote inquiry with its
// hooks and switches, and service publication.
#include "sim_support.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace {
using namespace simtest;
using Corvale::BTAddress;
using Corvale::BTDevice;
using Corvale::BTNetwork;
using Corvale::BTService;
using Corvale::BTUUID;

constexpr BTH_ADDR kRadio1 = 0x001A7DDA7113, kRadio2 = 0x001BDC0F3EA9;
constexpr BTH_ADDR kA = 0x0000000000A1, kB = 0x0000000000B2, kC = 0x0000000000C3;

// Records the hooks as they fire, with how many platform calls had been made.
class Watched : public BTNetwork {
public:
    struct Event {
        char hook;  // 'N' new, 'D' delete
        std::wstring name;
        BTH_ADDR address;
        std::size_t callsSoFar;
    };
    mutable std::vector<Event> events;
    void OnNewDevice(const BTDevice& d) const override { record('N', d); }
    void OnDeleteDevice(const BTDevice& d) const override { record('D', d); }

private:
    void record(char hook, const BTDevice& d) const {
        events.push_back({hook, d.Name(), d.Address().value(), world().calls().size()});
    }
};

std::string hooks(const Watched& w) {
    std::string out;
    for (const auto& e : w.events) out += e.hook;
    return out;
}

class NetworkTest : public SimTest {
protected:
    void TearDown() override {
        BTNetwork::setInquiryCache(false);
        SimTest::TearDown();
    }
    void threeInRange() { world().setDevices({device(kA, "A"), device(kB, "B"), device(kC, "C")}); }
};

// ------------------------------------------------------------ local radios

TEST_F(NetworkTest, TwoRadiosInPlatformOrderEachWithItsServices) {
    world().addRadio(radio(kRadio1, "First", 0x1C0104, {record("OPP", 12)}));
    world().addRadio(radio(kRadio2, "Second", 0x020104, {record("A", 1), record("B", 2)}));
    BTNetwork network;
    ASSERT_EQ(network.LocalDevices().size(), 2u);
    EXPECT_EQ(names(network.LocalDevices()), (std::vector<std::wstring>{L"First", L"Second"}));
    EXPECT_EQ(network.LocalDevices()[0].Address().value(), kRadio1);
    EXPECT_EQ(network.LocalDevices()[0].COD().value(), 0x1C0104u);
    EXPECT_EQ(serviceNames(network.LocalDevices()[0]), (std::vector<std::wstring>{L"OPP"}));
    EXPECT_EQ(serviceNames(network.LocalDevices()[1]), (std::vector<std::wstring>{L"A", L"B"}));
    EXPECT_TRUE(network.RemoteDevices().empty());

    // What the enumeration asked: the find with its structure size, and each
    // radio's information with the radio information size.
    EXPECT_EQ(world().calls(Api::BluetoothFindFirstRadio).at(0).size,
              sizeof(BLUETOOTH_FIND_RADIO_PARAMS));
    for (const auto& c : world().calls(Api::BluetoothGetRadioInfo))
        EXPECT_EQ(c.size, sizeof(BLUETOOTH_RADIO_INFO));
    // Each radio's services were searched by its own address text.
    const auto begins = world().calls(Api::WSALookupServiceBeginW);
    ASSERT_EQ(begins.size(), 2u);
    EXPECT_EQ(begins[0].context, L"00:1A:7D:DA:71:13");
    EXPECT_EQ(begins[1].context, L"00:1B:DC:0F:3E:A9");
    EXPECT_TRUE(noHandlesOpen());
}

TEST_F(NetworkTest, NoRadioAtStartLeavesTheListEmpty) {
    BTNetwork network;
    EXPECT_TRUE(network.LocalDevices().empty());
    EXPECT_FALSE(network.DiscoverLocalDevices());
    EXPECT_EQ(baselib::getError(), errorText(ERROR_NO_MORE_ITEMS));
    EXPECT_EQ(baselib::getError().rfind(L"(259) ", 0), 0u);
}

TEST_F(NetworkTest, RefreshWithoutRadioKeepsTheOldRecords) {
    world().addRadio(radio(kRadio1, "First", 0x1C0104, {record("OPP", 12)}));
    BTNetwork network;
    ASSERT_EQ(network.LocalDevices().size(), 1u);
    world().reset();
    ASSERT_TRUE(baselib::isWinsockInitied());
    EXPECT_FALSE(network.DiscoverLocalDevices());
    ASSERT_EQ(network.LocalDevices().size(), 1u);
    EXPECT_EQ(network.LocalDevices()[0].Name(), L"First");
    EXPECT_EQ(serviceNames(network.LocalDevices()[0]), (std::vector<std::wstring>{L"OPP"}));
}

struct CodCase {
    ULONG raw;
    std::uint32_t kept;
};

class RadioClass : public NetworkTest, public ::testing::WithParamInterface<CodCase> {};

TEST_P(RadioClass, IsValidatedLikeEveryClassWord) {
    world().addRadio(radio(kRadio1, "R", GetParam().raw));
    BTNetwork network;
    ASSERT_EQ(network.LocalDevices().size(), 1u);
    EXPECT_EQ(network.LocalDevices()[0].COD().value(), GetParam().kept);
}

INSTANTIATE_TEST_SUITE_P(Cases, RadioClass,
                         ::testing::Values(CodCase{0x1C0104, 0x1C0104}, CodCase{0x1C0105, 0},
                                           CodCase{0x1C0106, 0}, CodCase{0x000104, 0},
                                           CodCase{0x002104, 0x002104}, CodCase{0xFFFFFFFF, 0}));

TEST_F(NetworkTest, WinsockDownAtConstructionTouchesNothing) {
    world().addRadio(radio(kRadio1, "First"));
    baselib::WinsockClear();
    world().clearLog();
    const std::wstring before = baselib::getError();
    BTNetwork network;
    EXPECT_TRUE(network.LocalDevices().empty());
    EXPECT_EQ(baselib::getError(), before);
    EXPECT_TRUE(world().calls().empty());
}

TEST_F(NetworkTest, RadioInfoFailureStopsWithTheRadiosBefore) {
    world().addRadio(radio(kRadio1, "First"));
    Radio broken = radio(kRadio2, "Second");
    broken.infoError = ERROR_GEN_FAILURE;
    world().addRadio(broken);
    world().addRadio(radio(0x0000000000D4, "Third"));
    BTNetwork network;
    EXPECT_EQ(names(network.LocalDevices()), (std::vector<std::wstring>{L"First"}));
    EXPECT_FALSE(network.DiscoverLocalDevices());
    EXPECT_EQ(baselib::getError(), errorText(ERROR_GEN_FAILURE));
    EXPECT_EQ(names(network.LocalDevices()), (std::vector<std::wstring>{L"First"}));
    EXPECT_EQ(world().count(Api::BluetoothFindRadioClose), 2u);
    EXPECT_TRUE(noHandlesOpen());
}

TEST_F(NetworkTest, ServiceFailureOnARadioIsNotALocalFailure) {
    world().addRadio(radio(kRadio1, "First", 0x1C0104, {record("A", 1), record("B", 2)}));
    world().addRadio(radio(kRadio2, "Second", 0x1C0104, {record("C", 3)}));
    world().failCall(Api::WSALookupServiceNextW, 2, WSAECONNRESET);
    BTNetwork network;
    ASSERT_EQ(network.LocalDevices().size(), 2u);
    EXPECT_EQ(serviceNames(network.LocalDevices()[0]), (std::vector<std::wstring>{L"A"}));
    EXPECT_EQ(serviceNames(network.LocalDevices()[1]), (std::vector<std::wstring>{L"C"}));
    EXPECT_EQ(baselib::getError(), errorText(WSAECONNRESET));
    EXPECT_TRUE(noHandlesOpen());
}

TEST_F(NetworkTest, NullRadioAddressThrowsAndReleasesEverything) {
    world().addRadio(radio(kRadio1, "First", 0x1C0104, {record("A", 1)}));
    world().addRadio(radio(0, "Null"));
    std::optional<Network> network;
    try {
        network.emplace();
        ADD_FAILURE() << "no exception";
    } catch (const wchar_t* text) {
        EXPECT_STREQ(text, L"Device address is null.");
    }
    EXPECT_EQ(world().count(Api::BluetoothFindRadioClose), 1u);
    EXPECT_TRUE(noHandlesOpen());
}

// ---------------------------------------------------------- remote inquiry

TEST_F(NetworkTest, InquiryAsksWithTheDesignedFlagsSizesAndNoBlob) {
    threeInRange();
    BTNetwork network;
    ASSERT_TRUE(network.DiscoverRemoteDevices());
    BTNetwork::setInquiryCache(true);
    EXPECT_TRUE(BTNetwork::getInquiryCache());
    ASSERT_TRUE(network.DiscoverRemoteDevices());

    const auto begins = world().calls(Api::WSALookupServiceBeginW);
    ASSERT_EQ(begins.size(), 2u);
    EXPECT_EQ(begins[0].flags, 0x1002u);
    EXPECT_EQ(begins[1].flags, 0x0002u);
    for (const auto& b : begins) {
        EXPECT_EQ(b.size, sizeof(WSAQUERYSETW));
        EXPECT_EQ(b.nameSpace, static_cast<DWORD>(NS_BTH));
        EXPECT_FALSE(b.hasBlob);  // the inquiry length stays 0
        EXPECT_TRUE(b.context.empty());
    }
    const auto nexts = world().calls(Api::WSALookupServiceNextW);
    ASSERT_EQ(nexts.size(), 8u);
    for (const auto& n : nexts) {
        EXPECT_EQ(n.flags, 0x0130u);
        EXPECT_EQ(n.size, 2048u);
    }
    EXPECT_EQ(world().count(Api::WSALookupServiceEnd), 2u);
}

TEST_F(NetworkTest, FirstInquiryReportsEachNewDeviceInOrder) {
    threeInRange();
    Watched network;
    ASSERT_TRUE(network.DiscoverRemoteDevices());
    EXPECT_EQ(hooks(network), "NNN");
    EXPECT_EQ(names(network.RemoteDevices()), (std::vector<std::wstring>{L"A", L"B", L"C"}));
    EXPECT_EQ(network.events[1].name, L"B");
}

TEST_F(NetworkTest, KnownDevicesKeepTheirRecordsInTheNewOrder) {
    threeInRange();
    Watched network;
    ASSERT_TRUE(network.DiscoverRemoteDevices());
    // The device window fills B's services; then B renames itself.
    world().setDevices(
        {device(kA, "A"), device(kB, "B", 0x5A020C, {record("SPP", 3)}), device(kC, "C")});
    ASSERT_TRUE(network.RemoteDevices()[1].DiscoverServices());
    world().setDevices({device(kC, "C"), device(kB, "B renamed", 0x240404), device(kA, "A")});
    network.events.clear();
    ASSERT_TRUE(network.DiscoverRemoteDevices());
    EXPECT_EQ(hooks(network), "");
    EXPECT_EQ(names(network.RemoteDevices()), (std::vector<std::wstring>{L"C", L"B", L"A"}));
    EXPECT_EQ(network.RemoteDevices()[1].COD().value(), 0x5A020Cu);
    EXPECT_EQ(serviceNames(network.RemoteDevices()[1]), (std::vector<std::wstring>{L"SPP"}));
}

TEST_F(NetworkTest, VanishedDeviceIsDeletedAfterTheLookupEnded) {
    threeInRange();
    Watched network;
    ASSERT_TRUE(network.DiscoverRemoteDevices());
    world().removeDevice(kB);
    network.events.clear();
    world().clearLog();
    ASSERT_TRUE(network.DiscoverRemoteDevices());
    ASSERT_EQ(hooks(network), "D");
    EXPECT_EQ(network.events[0].name, L"B");
    // Begin, three fetches, End: all made before the hook fired.
    const auto log = world().calls();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log.back().api, Api::WSALookupServiceEnd);
    EXPECT_EQ(network.events[0].callsSoFar, 5u);
    EXPECT_EQ(names(network.RemoteDevices()), (std::vector<std::wstring>{L"A", L"C"}));
}

TEST_F(NetworkTest, EmptyInquiryDeletesEveryone) {
    threeInRange();
    Watched network;
    ASSERT_TRUE(network.DiscoverRemoteDevices());
    world().clearDevices();
    network.events.clear();
    ASSERT_TRUE(network.DiscoverRemoteDevices());
    EXPECT_EQ(hooks(network), "DDD");
    EXPECT_EQ(network.events[0].name, L"A");
    EXPECT_EQ(network.events[2].name, L"C");
    EXPECT_TRUE(network.RemoteDevices().empty());
}

TEST_F(NetworkTest, DeviceReportedTwiceGivesTwoRecords) {
    world().setDevices({device(kA, "A")});
    Watched network;
    ASSERT_TRUE(network.DiscoverRemoteDevices());
    world().setDevices({device(kA, "A"), device(kA, "A again")});
    network.events.clear();
    ASSERT_TRUE(network.DiscoverRemoteDevices());
    EXPECT_EQ(hooks(network), "N");
    EXPECT_EQ(network.events[0].name, L"A again");
    EXPECT_EQ(names(network.RemoteDevices()), (std::vector<std::wstring>{L"A", L"A again"}));
}

TEST_F(NetworkTest, UnresolvedNameStaysEmptyWhileInRange) {
    Device nameless = device(kA, "");
    nameless.name = std::nullopt;
    world().setDevices({nameless});
    BTNetwork network;
    ASSERT_TRUE(network.DiscoverRemoteDevices());
    EXPECT_EQ(network.RemoteDevices()[0].Name(), L"");
    world().setDevices({device(kA, "Now resolved")});
    ASSERT_TRUE(network.DiscoverRemoteDevices());
    EXPECT_EQ(network.RemoteDevices()[0].Name(), L"");
}

TEST_F(NetworkTest, MissingOrInvalidClassGivesZero) {
    Device noClass = device(kA, "no class");
    noClass.classOfDevice = std::nullopt;
    world().setDevices(
        {noClass, device(kB, "format bits", 0x5A020D), device(kC, "format bits 2", 0x5A020E)});
    BTNetwork network;
    ASSERT_TRUE(network.DiscoverRemoteDevices());
    for (const auto& d : network.RemoteDevices()) EXPECT_EQ(d.COD().value(), 0u);
}

TEST_F(NetworkTest, PartWayFailureLeavesThePreviousListExactlyAsItWas) {
    world().setDevices({device(kA, "A", 0x5A020C, {record("SPP", 3)}), device(kB, "B")});
    Watched network;
    ASSERT_TRUE(network.DiscoverRemoteDevices());
    ASSERT_TRUE(network.RemoteDevices()[0].DiscoverServices());
    const std::vector<BTDevice> before = network.RemoteDevices();

    // The next inquiry matches A, finds C new, then fails.
    world().setDevices({device(kA, "A"), device(kC, "C"), device(kB, "B")});
    world().failCall(Api::WSALookupServiceNextW, world().count(Api::WSALookupServiceNextW) + 3,
                     WSAENETDOWN);
    network.events.clear();
    EXPECT_FALSE(network.DiscoverRemoteDevices());
    EXPECT_EQ(baselib::getError(), errorText(WSAENETDOWN));
    EXPECT_EQ(hooks(network), "N");  // C was new; nothing was deleted
    const auto& after = network.RemoteDevices();
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(after[i].Address(), before[i].Address());
        EXPECT_EQ(after[i].Name(), before[i].Name());
        EXPECT_EQ(serviceNames(after[i]), serviceNames(before[i]));
    }
    EXPECT_TRUE(noHandlesOpen());
}

TEST_F(NetworkTest, BeginFailureChangesNothing) {
    threeInRange();
    Watched network;
    ASSERT_TRUE(network.DiscoverRemoteDevices());
    network.events.clear();
    world().failCall(Api::WSALookupServiceBeginW, world().count(Api::WSALookupServiceBeginW) + 1,
                     WSAENETDOWN);
    EXPECT_FALSE(network.DiscoverRemoteDevices());
    EXPECT_EQ(baselib::getError(), errorText(WSAENETDOWN));
    EXPECT_EQ(hooks(network), "");
    EXPECT_EQ(network.RemoteDevices().size(), 3u);
}

TEST_F(NetworkTest, OtherEndOfDataCodeIsAFailure) {
    threeInRange();
    BTNetwork network;
    world().failCall(Api::WSALookupServiceNextW, 2, WSAENOMORE);
    EXPECT_FALSE(network.DiscoverRemoteDevices());
    EXPECT_EQ(baselib::getError(), errorText(WSAENOMORE));
    EXPECT_TRUE(network.RemoteDevices().empty());
}

struct NullCase {
    const char* what;
    bool absent;  // no socket address at all, else the null address
};

class NullAddress : public NetworkTest, public ::testing::WithParamInterface<NullCase> {};

TEST_P(NullAddress, ThrowsEndsTheLookupAndKeepsTheList) {
    world().setDevices({device(kA, "A")});
    Watched network;
    ASSERT_TRUE(network.DiscoverRemoteDevices());
    Device bad = device(0, "bad");
    if (GetParam().absent) bad.address = std::nullopt;
    world().setDevices({device(kA, "A"), device(kB, "B"), bad, device(kC, "C")});
    network.events.clear();
    try {
        network.DiscoverRemoteDevices();
        ADD_FAILURE() << "no exception";
    } catch (const wchar_t* text) {
        EXPECT_STREQ(text, L"Device address is null.");
    }
    EXPECT_EQ(hooks(network), "N");
    EXPECT_EQ(names(network.RemoteDevices()), (std::vector<std::wstring>{L"A"}));
    EXPECT_EQ(world().count(Api::WSALookupServiceEnd), 2u);
    EXPECT_TRUE(noHandlesOpen());
}

INSTANTIATE_TEST_SUITE_P(Cases, NullAddress,
                         ::testing::Values(NullCase{"null address", false},
                                           NullCase{"no address", true}));

TEST_F(NetworkTest, LongResultIsFetchedAgainIntoALargerBlock) {
    world().setDevices({device(kA, std::string(1500, 'n')), device(kB, "B")});
    BTNetwork network;
    ASSERT_TRUE(network.DiscoverRemoteDevices()) << baselib::getError().c_str();
    EXPECT_EQ(network.RemoteDevices()[0].Name(), std::wstring(1500, L'n'));
    EXPECT_EQ(network.RemoteDevices()[1].Name(), L"B");
}

// ------------------------------------------------------------- publication

BTService serialService(std::uint32_t port) {
    return BTService(BTUUID(0x1101u), L"Corvale serial", L"Console", port);
}

TEST_F(NetworkTest, PublishingWithoutRadiosSucceedsWithoutACall) {
    BTNetwork network;
    EXPECT_TRUE(network.PublishService(serialService(4), true));
    EXPECT_EQ(world().count(Api::WSASetServiceW), 0u);
}

TEST_F(NetworkTest, PublishedServiceIsSeenByDiscoveryAndWithdrawn) {
    world().addRadio(radio(kRadio1, "First"));
    world().addRadio(radio(kRadio2, "Second", 0x1C0104, {record("Taken", 1)}));
    BTNetwork network;
    ASSERT_TRUE(network.PublishService(serialService(0), true));

    const auto sets = world().calls(Api::WSASetServiceW);
    ASSERT_EQ(sets.size(), 2u);
    for (const auto& s : sets) {
        EXPECT_EQ(s.flags, static_cast<DWORD>(RNRSERVICE_REGISTER));
        EXPECT_EQ(s.size, sizeof(WSAQUERYSETW));
        ASSERT_TRUE(s.classId.has_value());
        EXPECT_EQ(BTUUID(*s.classId), BTUUID(0x1101u));
    }
    // Port 0 went out as "any": each radio chose its lowest free channel.
    const auto radios = world().radios();
    ASSERT_EQ(radios[0].records.size(), 1u);
    EXPECT_EQ(radios[0].records[0].port, 1u);
    EXPECT_EQ(radios[1].records.back().port, 2u);

    ASSERT_TRUE(network.DiscoverLocalDevices());
    ASSERT_EQ(network.LocalDevices()[0].Services().size(), 1u);
    const BTService& seen = network.LocalDevices()[0].Services()[0];
    EXPECT_EQ(seen.Name(), L"Corvale serial");
    EXPECT_EQ(seen.Comment(), L"Console");
    EXPECT_EQ(seen.UUID(), BTUUID(0x1101u));
    EXPECT_EQ(seen.Port(), 1u);

    ASSERT_TRUE(network.PublishService(serialService(0), false));
    EXPECT_EQ(world().calls(Api::WSASetServiceW).back().flags,
              static_cast<DWORD>(RNRSERVICE_DELETE));
    ASSERT_TRUE(network.DiscoverLocalDevices());
    EXPECT_TRUE(network.LocalDevices()[0].Services().empty());
    EXPECT_EQ(serviceNames(network.LocalDevices()[1]), (std::vector<std::wstring>{L"Taken"}));
}

TEST_F(NetworkTest, SecondRadioRefusingKeepsTheFirstRegistration) {
    world().addRadio(radio(kRadio1, "First"));
    world().addRadio(radio(kRadio2, "Second"));
    world().addRadio(radio(0x0000000000D4, "Third"));
    BTNetwork network;
    world().failCall(Api::WSASetServiceW, 2, WSAEACCES);
    EXPECT_FALSE(network.PublishService(serialService(7), true));
    EXPECT_EQ(baselib::getError(), errorText(WSAEACCES));
    EXPECT_EQ(world().count(Api::WSASetServiceW), 2u);  // the third was not tried
    const auto radios = world().radios();
    ASSERT_EQ(radios[0].records.size(), 1u);
    EXPECT_EQ(radios[0].records[0].port, 7u);
    EXPECT_TRUE(radios[1].records.empty());
    EXPECT_TRUE(radios[2].records.empty());
}

}  // namespace
