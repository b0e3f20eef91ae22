// The engine's operations, unchanged, on the BlueZ platform against a mock
// bluetoothd: what the user of quillmere on Linux gets.
#include <corvale/BTNetwork.h>
#include <corvale/baselib.h>
#include <corvale/compat/messages.h>

#include "mock_bluez.h"
#include "quick_backend.h"
#include "scripted_peer.h"
#include "sdp_wire.h"

#include <gtest/gtest.h>

#include <mutex>

using namespace Corvale;
using mockbluez::Call;
using sdpwire::Bytes;

namespace {

// Every search gets a peer of its own that answers with `lists`.
class Peers {
public:
    explicit Peers(std::vector<Bytes> answers) : answers_(std::move(answers)) {
        quickbackend::setTransport([this] {
            std::lock_guard<std::mutex> lock(mutex_);
            const Bytes& lists = answers_[std::min(peers_.size(), answers_.size() - 1)];
            peers_.push_back(std::make_unique<sdpwire::ScriptedPeer>(std::vector<sdpwire::Step>{
                {sdpwire::Step::Kind::Reply, sdpwire::response(0, lists)}}));
            return Bluez::makePacketTransport(peers_.back()->takeClient());
        });
    }
    ~Peers() { quickbackend::setTransport({}); }
    std::size_t count() {
        std::lock_guard<std::mutex> lock(mutex_);
        return peers_.size();
    }

private:
    std::mutex mutex_;
    std::vector<Bytes> answers_;
    std::vector<std::unique_ptr<sdpwire::ScriptedPeer>> peers_;
};

std::wstring text(DWORD code) {
    return L"(" + std::to_wstring(code) + L") " + Compat::messageText(code);
}

class EngineOnMock : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(baselib::WinsockStart());
        BTNetwork::setInquiryCache(false);
        BTDevice::setInquiryCache(false);
        mock.start();
    }
    void TearDown() override {
        BTNetwork::setInquiryCache(false);
        BTDevice::setInquiryCache(false);
    }
    mockbluez::MockBluez mock;
};

const Bytes kHeadset = sdpwire::rfcommRecord(0x10001, 0x1112, 2, "Headset", "Voice gateway");
const Bytes kSerial = sdpwire::rfcommRecord(0x10002, 0x1101, 5, "Serial Port", "COM");

}  // namespace

TEST_F(EngineOnMock, TheNetworkListsEveryRadioWithItsOwnServices) {
    mock.addRadio("hci1", "00:1A:7D:DA:71:01", "Second radio", 0x0C010C, true);
    mock.addRadio("hci0", "00:1A:7D:DA:71:00", "First radio", 0x5A020C, true);
    Peers peers({sdpwire::seq({kHeadset}), sdpwire::seq({kSerial, kHeadset})});
    BTNetwork network;
    auto& radios = network.LocalDevices();
    ASSERT_EQ(radios.size(), 2u);
    EXPECT_EQ(radios[0].Address().asString(), L"00:1A:7D:DA:71:00");
    EXPECT_EQ(radios[0].Name(), L"First radio");
    EXPECT_EQ(radios[0].COD().value(), 0x5A020Cu);
    EXPECT_EQ(radios[1].Name(), L"Second radio");
    EXPECT_EQ(peers.count(), 2u) << "one service search per radio";
    ASSERT_EQ(radios[0].Services().size(), 1u);
    EXPECT_EQ(radios[0].Services()[0].Name(), L"Headset");
    EXPECT_EQ(radios[0].Services()[0].Comment(), L"Voice gateway");
    EXPECT_EQ(radios[0].Services()[0].Port(), 2u);
    EXPECT_EQ(radios[0].Services()[0].UUID().guid().Data1, 0x1112u);
    ASSERT_EQ(radios[1].Services().size(), 2u);
    EXPECT_EQ(radios[1].Services()[0].Name(), L"Serial Port");
    EXPECT_EQ(radios[1].Services()[0].UUID().guid().Data1, 0x1101u);
    EXPECT_EQ(radios[1].Services()[0].Port(), 5u);
}

TEST_F(EngineOnMock, AnInquiryFindsTheDevicesInRange) {
    mock.addRadio("hci0", "00:1A:7D:DA:71:00", "radio", 0x0C010C, true);
    mock.addInRange("hci0", "00:0D:18:A1:00:01", "Phone", 0x5A020C);
    mock.addInRange("hci0", "00:0D:18:A1:00:02", "", 0x240404);
    mock.addKnown("hci0", "00:0D:18:A1:00:09", "Paired, away", 0x200404);
    BTNetwork network;
    ASSERT_TRUE(network.DiscoverRemoteDevices()) << baselib::getError().c_str();
    auto& devices = network.RemoteDevices();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].Address().asString(), L"00:0D:18:A1:00:01");
    EXPECT_EQ(devices[0].Name(), L"Phone");
    EXPECT_EQ(devices[0].COD().value(), 0x5A020Cu);
    EXPECT_EQ(devices[1].Name(), L"") << "a name not resolved is the empty text";
    EXPECT_EQ(devices[1].COD().value(), 0x240404u);
    EXPECT_EQ(mock.calls("/org/bluez/hci0", "StartDiscovery").size(), 1u);

    // With the cache switch on the answer comes from what BlueZ holds, at once.
    BTNetwork::setInquiryCache(true);
    ASSERT_TRUE(network.DiscoverRemoteDevices());
    auto& cached = network.RemoteDevices();
    ASSERT_EQ(cached.size(), 3u);
    EXPECT_EQ(cached[0].Address().asString(), L"00:0D:18:A1:00:01");
    EXPECT_EQ(cached[1].Address().asString(), L"00:0D:18:A1:00:02");
    EXPECT_EQ(cached[2].Name(), L"Paired, away");
    EXPECT_EQ(mock.calls("/org/bluez/hci0", "StartDiscovery").size(), 1u);
}

TEST_F(EngineOnMock, DiscoverServicesOfARemoteDevice) {
    mock.addRadio("hci0", "00:1A:7D:DA:71:00", "radio", 0x0C010C, true);
    mock.addInRange("hci0", "00:0D:18:A1:00:01", "Phone", 0x5A020C);
    BTNetwork network;
    ASSERT_TRUE(network.DiscoverRemoteDevices());
    Peers peers({sdpwire::seq({kSerial, kHeadset})});
    BTDevice& phone = network.RemoteDevices().at(0);
    ASSERT_TRUE(phone.DiscoverServices()) << baselib::getError().c_str();
    ASSERT_EQ(phone.Services().size(), 2u);
    EXPECT_EQ(phone.Services()[0].Name(), L"Serial Port");
    EXPECT_EQ(phone.Services()[1].Name(), L"Headset");
    EXPECT_EQ(phone.Services()[1].Port(), 2u);
}

TEST_F(EngineOnMock, PublishServiceRegistersOneRecordAndWithdrawsIt) {
    mock.addRadio("hci0", "00:1A:7D:DA:71:00", "radio", 0x0C010C, true);
    mock.addRadio("hci1", "00:1A:7D:DA:71:01", "other", 0x0C010C, true);
    Peers peers({sdpwire::seq({})});
    BTNetwork network;
    ASSERT_EQ(network.LocalDevices().size(), 2u);
    const BTService chat(BTUUID(L"{6A1E9D42-3C5B-4F0E-9A11-5D2B7C804419}"), L"Corvale Chat",
                         L"Talk to me", 9);
    ASSERT_TRUE(network.PublishService(chat, true)) << baselib::getError().c_str();
    const std::vector<Call> calls = mock.calls("/org/bluez", "RegisterProfile");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0][1].text, "6a1e9d42-3c5b-4f0e-9a11-5d2b7c804419");
    const std::string& xml = calls[0][2].dict.at("ServiceRecord").text;
    for (const char* part :
         {"<uuid value=\"6a1e9d42-3c5b-4f0e-9a11-5d2b7c804419\" />", "<uint8 value=\"0x09\" />",
          "<text value=\"Corvale Chat\" />", "<text value=\"Talk to me\" />"})
        EXPECT_NE(xml.find(part), std::string::npos) << part << " in\n" << xml;

    ASSERT_TRUE(network.PublishService(chat, false)) << baselib::getError().c_str();
    const std::vector<Call> gone = mock.calls("/org/bluez", "UnregisterProfile");
    ASSERT_EQ(gone.size(), 1u);
    EXPECT_EQ(gone[0][0].text, calls[0][0].text);
    // Withdrawn twice: the second time there is nothing to withdraw.
    EXPECT_FALSE(network.PublishService(chat, false));
    EXPECT_EQ(baselib::getError(), text(WSASERVICE_NOT_FOUND));
}

TEST_F(EngineOnMock, FailuresReachTheUserAsTheirTexts) {
    struct Case {
        const char* what;
        std::function<void(mockbluez::MockBluez&)> arrange;
        DWORD local;   // DiscoverLocalDevices
        DWORD remote;  // DiscoverRemoteDevices
    } cases[] = {
        {"no bluetoothd", [](auto& m) { m.stop(); }, ERROR_SERVICE_NOT_ACTIVE,
         ERROR_SERVICE_NOT_ACTIVE},
        {"no adapter", [](auto&) {}, ERROR_NO_MORE_ITEMS, WSASERVICE_NOT_FOUND},
        {"adapter off",
         [](auto& m) { m.addRadio("hci0", "00:1A:7D:DA:71:00", "radio", 0x0C010C, false); }, 0,
         WSAENETDOWN},
        {"malformed reply",
         [](auto& m) {
             m.addRadio("hci0", "00:1A:7D:DA:71:00", "radio", 0x0C010C, true);
             m.retype("/org/bluez/hci0", "org.bluez.Adapter1", "Address");
         },
         ERROR_INVALID_DATA, ERROR_INVALID_DATA},
    };
    Peers peers({sdpwire::seq({})});
    for (const Case& c : cases) {
        mock.stop();
        mock.start();
        c.arrange(mock);
        BTNetwork network;
        if (c.local == 0) {
            EXPECT_TRUE(network.DiscoverLocalDevices()) << c.what;
        } else {
            EXPECT_FALSE(network.DiscoverLocalDevices()) << c.what;
            EXPECT_EQ(baselib::getError(), text(c.local)) << c.what;
        }
        EXPECT_FALSE(network.DiscoverRemoteDevices()) << c.what;
        EXPECT_EQ(baselib::getError(), text(c.remote)) << c.what;
    }
}

TEST(BluezCodes, EveryCodeTheBackendGivesHasItsText) {
    // The codes of the table in bluez_backend.h.
    const DWORD codes[] = {
        ERROR_SERVICE_NOT_ACTIVE,
        ERROR_NO_MORE_ITEMS,
        ERROR_NOT_READY,
        ERROR_ACCESS_DENIED,
        ERROR_TIMEOUT,
        ERROR_INVALID_DATA,
        ERROR_NOT_SUPPORTED,
        ERROR_INVALID_PARAMETER,
        ERROR_RETRY,
        ERROR_NOT_ENOUGH_MEMORY,
        ERROR_GEN_FAILURE,
        WSASERVICE_NOT_FOUND,
        WSAENETDOWN,
        WSAEADDRNOTAVAIL,
        WSAETIMEDOUT,
        WSAEACCES,
        WSAENOBUFS,
        WSAEHOSTDOWN,
        WSAEHOSTUNREACH,
        WSAECONNREFUSED,
        WSAECONNRESET,
        WSAECONNABORTED,
        WSAENETUNREACH,
        WSAEAFNOSUPPORT,
        WSAEOPNOTSUPP,
        WSAEINVAL,
    };
    for (DWORD code : codes) {
        const wchar_t* t = Compat::messageText(code);
        ASSERT_NE(t, nullptr) << code;
        const std::wstring s(t);
        EXPECT_GE(s.size(), 3u) << code;
        EXPECT_EQ(s.substr(s.size() - 2), L"\r\n") << code;
    }
}
