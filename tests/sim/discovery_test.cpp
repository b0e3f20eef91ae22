// The engine's discovery operations on the simulated world: what they ask the
// platform for, and what they make of the answers.
#include "sim_support.h"

#include <cstring>
#include <optional>

namespace {
using namespace simtest;

// The whole call log of reading the local radio (its services searched by
// its address text) and of an inquiry, with the two cache switches set each
// way: they are independent.
TEST_F(SimTest, OperationsAskWithTheirFlagsSizesAndContext) {
    world().addRadio(radio(kR1, "R1", {record("OPP", 12)}));
    world().addDevice(device(kPhone, "Phone", 0x5A020C, {record("SPP", 3)}));
    const struct {
        bool networkCache, deviceCache;
        DWORD inquiry, search;
    } cases[] = {{false, true, 0x1002, 0x0000}, {true, false, 0x0002, 0x1000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.networkCache ? "inquiry cache on" : "inquiry cache off");
        BTNetwork::setInquiryCache(c.networkCache);
        BTDevice::setInquiryCache(c.deviceCache);
        world().clearLog();
        BTNetwork network;
        ASSERT_TRUE(network.DiscoverRemoteDevices());
        const std::wstring radio = L"00:1A:7D:DA:71:13";
        const DWORD set = sizeof(WSAQUERYSETW);
        const struct {
            Api api;
            DWORD flags, size;
            std::wstring context;  // a service search's, with L2CAP as its restriction
        } expected[] = {
            {Api::BluetoothFindFirstRadio, 0, sizeof(BLUETOOTH_FIND_RADIO_PARAMS), L""},
            {Api::BluetoothGetRadioInfo, 0, sizeof(BLUETOOTH_RADIO_INFO), L""},
            {Api::WSALookupServiceBeginW, c.search, set, radio},
            {Api::WSALookupServiceNextW, 0x03B0, 4096, L""},  // OPP
            {Api::WSALookupServiceNextW, 0x03B0, 4096, L""},  // the end
            {Api::WSALookupServiceEnd, 0, 0, L""},
            {Api::BluetoothFindNextRadio, 0, 0, L""},
            {Api::BluetoothFindRadioClose, 0, 0, L""},
            {Api::WSALookupServiceBeginW, c.inquiry, set, L""},
            {Api::WSALookupServiceNextW, 0x0130, 2048, L""},  // the phone
            {Api::WSALookupServiceNextW, 0x0130, 2048, L""},  // the end
            {Api::WSALookupServiceEnd, 0, 0, L""},
        };
        const auto log = world().calls();
        ASSERT_EQ(log.size(), std::size(expected));
        for (std::size_t i = 0; i < log.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(log[i].api, expected[i].api);
            EXPECT_EQ(log[i].flags, expected[i].flags);
            EXPECT_EQ(log[i].size, expected[i].size);
            EXPECT_EQ(log[i].context, expected[i].context);
            EXPECT_FALSE(log[i].hasBlob);  // the inquiry length is 0: no blob
            EXPECT_EQ(BTUUID(log[i].classId.value_or(GUID{})),
                      expected[i].context.empty() ? BTUUID() : BTUUID(0x0100u));
        }
    }
    // Without a Winsock session the constructor asks the platform nothing.
    baselib::WinsockClear();
    world().clearLog();
    BTNetwork offline;
    EXPECT_TRUE(offline.LocalDevices().empty());
    EXPECT_TRUE(world().calls().empty());
}

// A single result over the fixed block is fetched once more into a block of
// the size the platform reported, up to 2 MiB: a record as large as the
// platforms deliver is listed with the others; above that the platform's
// failure stands and the records after it are not read.
TEST_F(SimTest, OneResultOverTheFixedBlockIsFetchedAgainUpTo2MiB) {
    constexpr std::size_t kMiB = 1 << 20;
    const struct {
        const char* what;
        bool inquiry;
        std::size_t size;  // bytes of the large record, or of the large name as wide text
        bool ok;
        std::vector<DWORD> sizes;  // of each fetch; 0: the retry with the size reported
    } cases[] = {{"HID record of 6,000 bytes", false, 6000, true, {4096, 4096, 0, 4096, 4096}},
                 {"record of 150,000 bytes", false, 150000, true, {4096, 4096, 0, 4096, 4096}},
                 {"record of 2 MiB", false, 2 * kMiB, false, {4096, 4096}},
                 {"name of 6,000 bytes", true, 6000, true, {2048, 0, 2048, 2048}},
                 {"name of 1 MiB", true, kMiB, true, {2048, 0, 2048, 2048}},
                 {"name of 2 MiB", true, 2 * kMiB, false, {2048}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = c.inquiry ? std::string(c.size / sizeof(wchar_t), 'n') : "A";
        world().setDevices(
            {device(kA, name, 0x5A020C,
                    {record("Small", 1),
                     record("Big", 17, classRecord(0x1124, c.inquiry ? 100 : c.size)),
                     record("After", 2)}),
             device(kB, "B")});
        BTNetwork network;
        BTDevice a{BTAddress(kA), L"A"};
        world().clearLog();
        baselib::setError(ERROR_CANCELLED);
        EXPECT_EQ(c.inquiry ? network.DiscoverRemoteDevices() : a.DiscoverServices(), c.ok);
        EXPECT_EQ(baselib::getError(), errorText(c.ok ? ERROR_CANCELLED : WSAEFAULT));
        EXPECT_EQ(
            c.inquiry ? picture(network.RemoteDevices()) : picture({a}),
            c.inquiry ? (c.ok ? name + " B" : "") : (c.ok ? "A[Small Big After]" : "A[Small]"));
        const std::size_t payload = c.inquiry ? c.size + sizeof(wchar_t) : c.size;
        std::vector<DWORD> sizes;
        for (const auto& call : world().calls(Api::WSALookupServiceNextW))
            sizes.push_back(call.size > payload && call.size < payload + 512 ? 0 : call.size);
        EXPECT_EQ(sizes, c.sizes);
    }
}

// A radio with the null address makes the engine throw "Device address is
// null.", and leaves no handle open and the remote list as it was (the asan
// build sees any leak).
TEST_F(SimTest, NullAddressRadioThrowsAndReleasesEverything) {
    world().addRadio(radio(kR1, "R1", {record("a", 1)}));
    world().setDevices({device(kA, "A")});
    Network network;
    ASSERT_TRUE(network.DiscoverRemoteDevices());
    network.hooks.clear();
    world().addRadio(radio(0, "Null"));
    try {
        network.DiscoverLocalDevices();
        ADD_FAILURE() << "no exception";
    } catch (const wchar_t* text) {
        EXPECT_STREQ(text, L"Device address is null.");
    }
    EXPECT_TRUE(noHandlesOpen());
    EXPECT_EQ(network.hooks, "");
    EXPECT_EQ(picture(network.RemoteDevices()), "A");
}

// No device has the null address: an inquiry result without an address, or
// with one whose 48 bits are all zero, is passed over where the platform
// hands it out, and the devices around it are listed.
TEST_F(SimTest, InquiryPassesOverResultsWithoutAnAddress) {
    world().setDevices(
        {device(kA, "A"), Device{.address = 0, .name = "null"}, Device{.name = "none"},
         Device{.address = 0xFFFF000000000000, .name = "high"}, device(kB, "B"), Device{}});
    Network network;
    ASSERT_TRUE(network.DiscoverRemoteDevices()) << baselib::getError();
    EXPECT_EQ(network.hooks, "+A+B");
    EXPECT_EQ(picture(network.RemoteDevices()), "A B");
    EXPECT_TRUE(noHandlesOpen());
}

// The inquiry length reaches the platform as BTH_QUERY_DEVICE's length byte
// when it is one the field can hold; 0 and larger values ask for the
// platform's default inquiry, without a blob. The setting holds for every
// later inquiry until it is set again.
TEST_F(SimTest, InquiryLengthIsHandedToThePlatformWhenTheFieldCanHoldIt) {
    const struct {
        std::uint32_t units;
        std::optional<UCHAR> length;
    } cases[] = {{0, std::nullopt}, {1, 1}, {255, 255}, {256, std::nullopt}, {0x101, std::nullopt}};
    Network network;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.units);
        BTNetwork::setInquiryTimeout(c.units);
        world().clearLog();
        for (int round = 0; round < 2; ++round) ASSERT_TRUE(network.DiscoverRemoteDevices());
        const auto begins = world().calls(Api::WSALookupServiceBeginW);
        ASSERT_EQ(begins.size(), 2u);
        for (const auto& call : begins) {
            EXPECT_EQ(call.hasBlob, c.length.has_value());
            EXPECT_EQ(call.inquiryLength, c.length);
        }
    }
}

// Round after round: a device seen before keeps its record (name, class and
// the services its window read) wherever it comes now; a new one is announced
// as it comes; one gone is deleted, in the old order, once the lookup ended.
TEST_F(SimTest, InquiryKeepsKnownRecordsAndAnnouncesChanges) {
    const struct {
        std::vector<Device> scene;
        const char* hooks;
        const char* list;
    } rounds[] = {
        {{device(kA, "A"), device(kB, "B", 0x5A020C, {record("spp", 3)}), device(kC, "C")},
         "+A+B+C",
         "A B C"},
        {{device(kC, "C"), device(kB, "B renamed", 0x240404), device(kA, "A")}, "", "C B[spp] A"},
        {{device(kC, "C"), device(kA, "A")}, "-B", "C A"},
        // Reported twice: the second report is a device of its own.
        {{device(kA, "A"), device(kA, "A again")}, "+A again-C", "A A again"},
        {{}, "-A-A again", ""},
    };
    Network network;
    for (const auto& r : rounds) {
        SCOPED_TRACE(r.list);
        world().setDevices(r.scene);
        network.hooks.clear();
        ASSERT_TRUE(network.DiscoverRemoteDevices());
        EXPECT_EQ(network.hooks, r.hooks);
        EXPECT_EQ(picture(network.RemoteDevices()), r.list);
        for (auto& d : network.RemoteDevices()) {
            if (d.Name() != L"B") continue;
            EXPECT_EQ(d.COD().value(), 0x5A020Cu);
            EXPECT_TRUE(!d.Services().empty() || d.DiscoverServices());  // its window reads them
        }
    }
}

// Copies carry the list in order and own it: rediscovering on the original
// after the device lost a service leaves the copy's list as it was.
TEST_F(SimTest, CopiesOwnTheirServiceLists) {
    const Record serial = record("Serial Port", 3, classRecord(0x1101)),
                 audio = record("Audio Source", 25, classRecord(0x110A));
    world().setDevices({device(kPhone, "Phone", 0x5A020C, {serial, audio})});
    BTDevice phone{BTAddress(kPhone), L"Phone"};
    ASSERT_TRUE(phone.DiscoverServices()) << baselib::getError();
    BTDevice copy(phone), assigned;
    assigned = phone;
    world().setDevices({device(kPhone, "Phone", 0x5A020C, {audio})});
    ASSERT_TRUE(phone.DiscoverServices()) << baselib::getError();
    EXPECT_FALSE(phone.hasService(BTUUID(0x1101u)));
    for (const BTDevice* d : {&copy, &assigned}) {
        EXPECT_EQ(picture({*d}), "Phone[Serial Port Audio Source]");
        EXPECT_TRUE(d->hasService(BTUUID(0x1101u)) && d->hasService(BTUUID(0x110Au)));
        EXPECT_FALSE(d->hasService(BTUUID(L2CAP_PROTOCOL_UUID)));
    }
}

TEST_F(SimTest, PublishedServiceGoesToEachRadioOnAFreeChannelAndIsWithdrawn) {
    const BTService serial(BTUUID(0x1101u), L"Corvale serial", L"Console", 0);
    BTNetwork none;
    EXPECT_FALSE(none.DiscoverLocalDevices());
    EXPECT_EQ(baselib::getError(), errorText(ERROR_NO_MORE_ITEMS));
    EXPECT_TRUE(none.PublishService(serial, true));  // no radio: nothing to do
    EXPECT_EQ(world().count(Api::WSASetServiceW), 0u);

    world().addRadio(radio(kR1, "First"));
    world().addRadio(radio(kR2, "Second", {record("Taken", 1)}));
    BTNetwork network;
    ASSERT_TRUE(network.PublishService(serial, true));
    for (const auto& s : world().calls(Api::WSASetServiceW)) {
        EXPECT_EQ(s.flags, static_cast<DWORD>(RNRSERVICE_REGISTER));
        EXPECT_EQ(s.size, sizeof(WSAQUERYSETW));
        EXPECT_EQ(BTUUID(s.classId.value()), BTUUID(0x1101u));
    }
    // Port 0 went out as "any": each radio took its lowest free channel.
    ASSERT_TRUE(network.DiscoverLocalDevices());
    EXPECT_EQ(picture(network.LocalDevices()),
              "First[Corvale serial] Second[Taken Corvale serial]");
    EXPECT_EQ(network.LocalDevices()[0].Services()[0].Comment(), L"Console");
    EXPECT_EQ(network.LocalDevices()[0].Services()[0].Port(), 1u);
    EXPECT_EQ(network.LocalDevices()[1].Services()[1].Port(), 2u);

    ASSERT_TRUE(network.PublishService(serial, false));
    EXPECT_EQ(world().calls(Api::WSASetServiceW).back().flags,
              static_cast<DWORD>(RNRSERVICE_DELETE));
    ASSERT_TRUE(network.DiscoverLocalDevices());
    EXPECT_EQ(picture(network.LocalDevices()), "First Second[Taken]");
}

// The demo neighbourhood as the programs read it: every radio and device of
// the world is listed and answers, and every record's class is one the engine
// can read.
TEST_F(SimTest, DemoNeighbourhoodAnswersWithRealProfiles) {
    Corvale::Sim::loadDemoNeighbourhood(world());
    BTNetwork network;
    ASSERT_TRUE(network.DiscoverRemoteDevices());
    EXPECT_EQ(network.LocalDevices().size(), world().radios().size());
    EXPECT_EQ(network.RemoteDevices().size(), world().devices().size());
    for (auto* list : {&network.LocalDevices(), &network.RemoteDevices()}) {
        for (auto& d : *list) {
            EXPECT_TRUE(list == &network.LocalDevices() || d.DiscoverServices());
            EXPECT_FALSE(d.Services().empty());
            for (const auto& s : d.Services()) EXPECT_NE(s.UUID(), BTUUID()) << d.Name();
        }
    }
}

}  // namespace
