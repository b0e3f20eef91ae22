// The BlueZ backend against a mock bluetoothd on a private bus.
#include <corvale/bluez/bluez_backend.h>

#include "mock_bluez.h"
#include "scripted_peer.h"
#include "sdp_wire.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

using namespace Corvale::Bluez;
using namespace Corvale::Compat;
using mockbluez::Call;
using sdpwire::Bytes;

namespace {

constexpr std::chrono::milliseconds kUnit{40};

BackendOptions quick() {
    BackendOptions o;
    o.inquiryUnit = kUnit;
    o.callTimeout = std::chrono::milliseconds(1500);
    return o;
}

const GUID kSerialPort{
    0x00001101, 0x0000, 0x1000, {0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB}};
const GUID kCustom{0x6A1E9D42, 0x3C5B, 0x4F0E, {0x9A, 0x11, 0x5D, 0x2B, 0x7C, 0x80, 0x44, 0x19}};

std::vector<DeviceResult> drain(Query<DeviceResult>& q) {
    std::vector<DeviceResult> out;
    DeviceResult d;
    while (q.next(d) == 0) out.push_back(d);
    EXPECT_EQ(q.next(d), static_cast<DWORD>(WSA_E_NO_MORE));
    return out;
}

DWORD inquire(BluezBackend& b, bool flush, std::vector<DeviceResult>& out, UCHAR length = 0) {
    std::unique_ptr<Query<DeviceResult>> q;
    InquiryParams p;
    p.flushCache = flush;
    p.length = length;
    const DWORD r = b.inquire(p, q);
    if (r == 0) out = drain(*q);
    return r;
}

ServiceRegistration registration(BTH_ADDR radio, bool publish, ULONG port = 7) {
    ServiceRegistration r;
    r.publish = publish;
    r.radio = radio;
    r.serviceClassId = kCustom;
    r.name = "Corvale Chat";
    r.comment = "Talk & <listen>";
    r.port = port;
    r.socketType = SOCK_STREAM;
    r.protocol = BTHPROTO_RFCOMM;
    return r;
}

class BackendOnMock : public ::testing::Test {
protected:
    void SetUp() override { mock.start(); }
    mockbluez::MockBluez mock;
};

}  // namespace

TEST_F(BackendOnMock, RadiosAreEveryAdapterInNaturalPathOrder) {
    mock.addRadio("hci10", "00:1A:7D:DA:71:10", "ten", 0x0C010C, true);
    mock.addRadio("hci2", "00:1A:7D:DA:71:02", "two", 0x5A020C, true);
    mock.addRadio("hci0", "00:1A:7D:DA:71:00", "zero (off)", 0x000104, false);
    BluezBackend b(quick());
    std::vector<RadioInfo> radios;
    ASSERT_EQ(b.radios(radios), ERROR_SUCCESS);
    ASSERT_EQ(radios.size(), 3u);
    EXPECT_EQ(radios[0].address, 0x001A7DDA7100u);
    EXPECT_EQ(radios[0].name, "zero (off)") << "a radio that is off is still a radio";
    EXPECT_EQ(radios[0].classOfDevice, 0x000104u);
    EXPECT_EQ(radios[1].address, 0x001A7DDA7102u);
    EXPECT_EQ(radios[1].name, "two");
    EXPECT_EQ(radios[1].classOfDevice, 0x5A020Cu);
    EXPECT_EQ(radios[2].address, 0x001A7DDA7110u);
    EXPECT_EQ(radios[2].name, "ten");
}

TEST_F(BackendOnMock, NoAdapterIsNoMoreItemsForRadiosAndServiceNotFoundForLookups) {
    BluezBackend b(quick());
    std::vector<RadioInfo> radios;
    EXPECT_EQ(b.radios(radios), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    std::vector<DeviceResult> devices;
    EXPECT_EQ(inquire(b, true, devices), static_cast<DWORD>(WSASERVICE_NOT_FOUND));
    EXPECT_EQ(inquire(b, false, devices), static_cast<DWORD>(WSASERVICE_NOT_FOUND));
    std::unique_ptr<Query<ServiceResult>> q;
    ServiceSearchParams s;
    s.device = 0x001122334455;
    EXPECT_EQ(b.searchServices(s, q), static_cast<DWORD>(WSASERVICE_NOT_FOUND));
}

TEST_F(BackendOnMock, WithoutBluetoothdEveryCallSaysTheServiceIsNotStarted) {
    mock.stop();
    BluezBackend b(quick());
    std::vector<RadioInfo> radios;
    EXPECT_EQ(b.radios(radios), static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));
    std::vector<DeviceResult> devices;
    EXPECT_EQ(inquire(b, true, devices), static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));
    EXPECT_EQ(b.setService(registration(0x001A7DDA7100, true)),
              static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));
}

TEST_F(BackendOnMock, WithoutASystemBusEveryCallSaysTheServiceIsNotStarted) {
    const std::string saved = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/corvale-test-bus", 1);
    BluezBackend b(quick());
    std::vector<RadioInfo> radios;
    const DWORD radiosCode = b.radios(radios);
    std::vector<DeviceResult> devices;
    const DWORD inquiryCode = inquire(b, true, devices);
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", saved.c_str(), 1);
    EXPECT_EQ(radiosCode, static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));
    EXPECT_EQ(inquiryCode, static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));
}

TEST_F(BackendOnMock, RepliesOfTheWrongShapeAreErrors) {
    struct Case {
        const char* what;
        std::function<void(mockbluez::MockBluez&)> spoil;
        DWORD radios;
        DWORD lookup;
    } cases[] = {
        {"Address is a number",
         [](auto& m) { m.retype("/org/bluez/hci0", "org.bluez.Adapter1", "Address"); },
         ERROR_INVALID_DATA, ERROR_INVALID_DATA},
        {"Alias is a number",
         [](auto& m) { m.retype("/org/bluez/hci0", "org.bluez.Adapter1", "Alias"); },
         ERROR_INVALID_DATA, ERROR_INVALID_DATA},
        {"Class is a string",
         [](auto& m) { m.retype("/org/bluez/hci0", "org.bluez.Adapter1", "Class"); },
         ERROR_INVALID_DATA, ERROR_INVALID_DATA},
        {"Powered is a string",
         [](auto& m) { m.retype("/org/bluez/hci0", "org.bluez.Adapter1", "Powered"); },
         ERROR_INVALID_DATA, ERROR_INVALID_DATA},
        {"GetManagedObjects answers a string",
         [](auto& m) {
             m.replace("/", "org.freedesktop.DBus.ObjectManager", "GetManagedObjects", "", "s",
                       "ret = 'no objects'");
         },
         ERROR_INVALID_DATA, ERROR_INVALID_DATA},
        {"GetManagedObjects answers a dictionary of another shape",
         [](auto& m) {
             m.replace("/", "org.freedesktop.DBus.ObjectManager", "GetManagedObjects", "",
                       "a{sa{sv}}", "ret = {'x': {'y': dbus.String('z', variant_level=1)}}");
         },
         ERROR_INVALID_DATA, ERROR_INVALID_DATA},
        {"access denied",
         [](auto& m) {
             m.replace("/", "org.freedesktop.DBus.ObjectManager", "GetManagedObjects", "",
                       "a{oa{sa{sv}}}",
                       "raise dbus.exceptions.DBusException('no', "
                       "name='org.freedesktop.DBus.Error.AccessDenied')");
         },
         ERROR_ACCESS_DENIED, WSAEACCES},
        {"bluetoothd fails",
         [](auto& m) {
             m.replace("/", "org.freedesktop.DBus.ObjectManager", "GetManagedObjects", "",
                       "a{oa{sa{sv}}}",
                       "raise dbus.exceptions.DBusException('no', name='org.bluez.Error.Failed')");
         },
         ERROR_GEN_FAILURE, ERROR_GEN_FAILURE},
        {"bluetoothd does not answer in time",
         [](auto& m) {
             m.replace("/", "org.freedesktop.DBus.ObjectManager", "GetManagedObjects", "",
                       "a{oa{sa{sv}}}", "import time; time.sleep(3); ret = {}");
         },
         ERROR_TIMEOUT, WSAETIMEDOUT},
    };
    for (const Case& c : cases) {
        mock.stop();
        mock.start();
        mock.addRadio("hci0", "00:1A:7D:DA:71:00", "radio", 0x0C010C, true);
        c.spoil(mock);
        BluezBackend b(quick());
        std::vector<RadioInfo> radios;
        EXPECT_EQ(b.radios(radios), c.radios) << c.what;
        EXPECT_TRUE(radios.empty()) << c.what;
        std::vector<DeviceResult> devices;
        EXPECT_EQ(inquire(b, false, devices), c.lookup) << c.what;
    }
}

TEST_F(BackendOnMock, AnInquiryReportsTheDevicesHeardDuringIt) {
    mock.addRadio("hci0", "00:1A:7D:DA:71:00", "radio", 0x0C010C, true);
    mock.addInRange("hci0", "00:0D:18:A1:00:01", "Phone", 0x5A020C);
    mock.addInRange("hci0", "00:0D:18:A1:00:02", "", 0x240404);   // name not resolved
    mock.addInRange("hci0", "00:0D:18:A1:00:03", "Old tag", -1);  // no class word
    mock.addKnown("hci0", "00:0D:18:A1:00:09", "Paired, out of range", 0x200404);
    BluezBackend b(quick());
    std::vector<DeviceResult> devices;
    ASSERT_EQ(inquire(b, true, devices), ERROR_SUCCESS);
    ASSERT_EQ(devices.size(), 3u) << "the known device out of range is not heard";
    EXPECT_EQ(devices[0].address, 0x000D18A10001u);
    EXPECT_EQ(devices[0].name, "Phone");
    EXPECT_EQ(devices[0].classOfDevice, 0x5A020Cu);
    EXPECT_EQ(devices[1].address, 0x000D18A10002u);
    EXPECT_FALSE(devices[1].name.has_value());
    EXPECT_EQ(devices[1].classOfDevice, 0x240404u);
    EXPECT_EQ(devices[2].name, "Old tag");
    EXPECT_FALSE(devices[2].classOfDevice.has_value());

    // A BR/EDR discovery, started and stopped once, and nothing else asked.
    const std::vector<Call> filter = mock.calls("/org/bluez/hci0", "SetDiscoveryFilter");
    ASSERT_EQ(filter.size(), 1u);
    ASSERT_EQ(filter[0].size(), 1u);
    const auto& transport = filter[0][0].dict.at("Transport");
    EXPECT_EQ(transport.type, 's');
    EXPECT_EQ(transport.text, "bredr");
    EXPECT_EQ(mock.calls("/org/bluez/hci0", "StartDiscovery").size(), 1u);
    EXPECT_EQ(mock.calls("/org/bluez/hci0", "StopDiscovery").size(), 1u);
    EXPECT_TRUE(mock.calls("/org/bluez/hci0", "RemoveDevice").empty());
    EXPECT_TRUE(mock.calls("/org/bluez/hci0", "Set").empty()) << "nothing is powered";
    for (const char* device :
         {"/org/bluez/hci0/dev_00_0D_18_A1_00_01", "/org/bluez/hci0/dev_00_0D_18_A1_00_09"}) {
        EXPECT_TRUE(mock.calls(device, "Pair").empty());
        EXPECT_TRUE(mock.calls(device, "Connect").empty());
    }
}

TEST_F(BackendOnMock, AKnownDeviceHeardAgainIsReportedOnce) {
    mock.addRadio("hci0", "00:1A:7D:DA:71:00", "radio", 0x0C010C, true);
    mock.addKnown("hci0", "00:0D:18:A1:00:05", "Keyboard", 0x002540);
    mock.addInRange("hci0", "00:0D:18:A1:00:05", "Keyboard", 0x002540);
    BluezBackend b(quick());
    std::vector<DeviceResult> devices;
    ASSERT_EQ(inquire(b, true, devices), ERROR_SUCCESS);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].address, 0x000D18A10005u);
    EXPECT_EQ(devices[0].name, "Keyboard");
}

TEST_F(BackendOnMock, TheInquiryRunsOnTheFirstPoweredAdapter) {
    mock.addRadio("hci0", "00:1A:7D:DA:71:00", "off", 0x0C010C, false);
    mock.addRadio("hci1", "00:1A:7D:DA:71:01", "on", 0x0C010C, true);
    mock.addInRange("hci1", "00:0D:18:A1:00:01", "Phone", 0x5A020C);
    BluezBackend b(quick());
    std::vector<DeviceResult> devices;
    ASSERT_EQ(inquire(b, true, devices), ERROR_SUCCESS);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_TRUE(mock.calls("/org/bluez/hci0", "StartDiscovery").empty());
    EXPECT_EQ(mock.calls("/org/bluez/hci1", "StartDiscovery").size(), 1u);
}

TEST_F(BackendOnMock, TheCacheAnswersAtOnceFromTheDevicesBluezHolds) {
    mock.addRadio("hci0", "00:1A:7D:DA:71:00", "radio", 0x0C010C, true);
    mock.addRadio("hci1", "00:1A:7D:DA:71:01", "other", 0x0C010C, true);
    mock.addKnown("hci0", "00:0D:18:A1:00:0B", "Second", 0x200404);
    mock.addKnown("hci0", "00:0D:18:A1:00:0A", "", -1);
    mock.addKnown("hci1", "00:0D:18:A1:00:0C", "Another radio's", 0x200404);
    mock.addInRange("hci0", "00:0D:18:A1:00:01", "Phone", 0x5A020C);
    BluezBackend b(quick());
    std::vector<DeviceResult> devices;
    ASSERT_EQ(inquire(b, false, devices), ERROR_SUCCESS);
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].address, 0x000D18A1000Au);
    EXPECT_FALSE(devices[0].name.has_value());
    EXPECT_FALSE(devices[0].classOfDevice.has_value());
    EXPECT_EQ(devices[1].name, "Second");
    EXPECT_TRUE(mock.calls("/org/bluez/hci0", "StartDiscovery").empty());
}

TEST_F(BackendOnMock, AnAdapterThatIsOffIsADeadNetwork) {
    mock.addRadio("hci0", "00:1A:7D:DA:71:00", "radio", 0x0C010C, false);
    mock.addKnown("hci0", "00:0D:18:A1:00:0A", "Known", 0x200404);
    BluezBackend b(quick());
    std::vector<DeviceResult> devices;
    EXPECT_EQ(inquire(b, true, devices), static_cast<DWORD>(WSAENETDOWN));
    EXPECT_EQ(inquire(b, false, devices), static_cast<DWORD>(WSAENETDOWN));
    std::unique_ptr<Query<ServiceResult>> q;
    ServiceSearchParams s;
    s.device = 0x000D18A1000A;
    EXPECT_EQ(b.searchServices(s, q), static_cast<DWORD>(WSAENETDOWN));
    EXPECT_TRUE(mock.calls("/org/bluez/hci0", "StartDiscovery").empty());
}

TEST_F(BackendOnMock, AnInquiryLongerThanHciAllowsIsRefused) {
    mock.addRadio("hci0", "00:1A:7D:DA:71:00", "radio", 0x0C010C, true);
    BluezBackend b(quick());
    std::vector<DeviceResult> devices;
    EXPECT_EQ(inquire(b, true, devices, 0x31), static_cast<DWORD>(WSAEINVAL));
    EXPECT_EQ(inquire(b, true, devices, 0x02), ERROR_SUCCESS);
}

TEST_F(BackendOnMock, BluetoothdLeavingInTheMiddleOfAnInquiryEndsIt) {
    mock.addRadio("hci0", "00:1A:7D:DA:71:00", "radio", 0x0C010C, true);
    mock.addInRange("hci0", "00:0D:18:A1:00:01", "Phone", 0x5A020C);
    mock.vanishDuringDiscovery(200);
    BackendOptions o = quick();
    o.inquiryUnit = std::chrono::seconds(1);  // 48 s for the longest inquiry
    BluezBackend b(o);
    std::vector<DeviceResult> devices;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(inquire(b, true, devices, 0x30), static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));
    // It ends when bluetoothd leaves, not when the inquiry would have.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(40));
    // And it was bluetoothd's leaving that ended it (the process is reaped soon after).
    bool gone = false;
    for (int i = 0; i < 100 && !gone; ++i) {
        gone = !mock.running();
        if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(gone);
}

TEST_F(BackendOnMock, ADeviceWithAPropertyOfTheWrongTypeIsAnError) {
    mock.addRadio("hci0", "00:1A:7D:DA:71:00", "radio", 0x0C010C, true);
    const std::string path = mock.addKnown("hci0", "00:0D:18:A1:00:05", "Keyboard", 0x002540);
    mock.addInRange("hci0", "00:0D:18:A1:00:05", "Keyboard", 0x002540);
    mock.retype(path, "org.bluez.Device1", "Name");
    BluezBackend b(quick());
    std::vector<DeviceResult> devices;
    EXPECT_EQ(inquire(b, false, devices), static_cast<DWORD>(ERROR_INVALID_DATA));
    EXPECT_EQ(inquire(b, true, devices), static_cast<DWORD>(ERROR_INVALID_DATA));
}

TEST_F(BackendOnMock, PublicationRegistersOneProfileForEveryRadio) {
    mock.addRadio("hci0", "00:1A:7D:DA:71:00", "radio", 0x0C010C, true);
    mock.addRadio("hci1", "00:1A:7D:DA:71:01", "other", 0x0C010C, true);
    BluezBackend b(quick());
    ASSERT_EQ(b.setService(registration(0x001A7DDA7100, true)), ERROR_SUCCESS);
    ASSERT_EQ(b.setService(registration(0x001A7DDA7101, true)), ERROR_SUCCESS);
    std::vector<Call> calls = mock.calls("/org/bluez", "RegisterProfile");
    ASSERT_EQ(calls.size(), 1u) << "BlueZ publishes a profile on every radio";
    ASSERT_EQ(calls[0].size(), 3u);
    EXPECT_EQ(calls[0][0].type, "o");
    const std::string path = calls[0][0].text;
    EXPECT_EQ(path.rfind("/org/corvale/profile", 0), 0u) << path;
    EXPECT_EQ(calls[0][1].text, "6a1e9d42-3c5b-4f0e-9a11-5d2b7c804419");
    const auto& options = calls[0][2].dict;
    EXPECT_EQ(options.at("ServiceRecord").text,
              recordXml(kCustom, "Corvale Chat", "Talk & <listen>", 7));
    EXPECT_EQ(options.at("Name").text, "Corvale Chat");
    EXPECT_EQ(options.count("Channel"), 0u) << "the caller's socket owns the channel";
    EXPECT_EQ(b.publishedCount(), 1u);

    // Withdrawn from one radio, the record stays for the other.
    ASSERT_EQ(b.setService(registration(0x001A7DDA7100, false)), ERROR_SUCCESS);
    EXPECT_TRUE(mock.calls("/org/bluez", "UnregisterProfile").empty());
    ASSERT_EQ(b.setService(registration(0x001A7DDA7101, false)), ERROR_SUCCESS);
    calls = mock.calls("/org/bluez", "UnregisterProfile");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0][0].text, path);
    EXPECT_EQ(b.publishedCount(), 0u);
    EXPECT_EQ(b.setService(registration(0x001A7DDA7101, false)),
              static_cast<DWORD>(WSASERVICE_NOT_FOUND));
}

TEST_F(BackendOnMock, NewTextsForAPublishedServiceReplaceItsRecord) {
    mock.addRadio("hci0", "00:1A:7D:DA:71:00", "radio", 0x0C010C, true);
    BluezBackend b(quick());
    ASSERT_EQ(b.setService(registration(0x001A7DDA7100, true)), ERROR_SUCCESS);
    ServiceRegistration renamed = registration(0x001A7DDA7100, true);
    renamed.name = "Corvale Chat 2";
    ASSERT_EQ(b.setService(renamed), ERROR_SUCCESS);
    const std::vector<Call> registered = mock.calls("/org/bluez", "RegisterProfile");
    const std::vector<Call> unregistered = mock.calls("/org/bluez", "UnregisterProfile");
    ASSERT_EQ(registered.size(), 2u);
    ASSERT_EQ(unregistered.size(), 1u);
    EXPECT_EQ(unregistered[0][0].text, registered[0][0].text);
    EXPECT_EQ(registered[1][2].dict.at("Name").text, "Corvale Chat 2");
    EXPECT_EQ(b.publishedCount(), 1u);
}

TEST_F(BackendOnMock, PublicationRefusals) {
    mock.addRadio("hci0", "00:1A:7D:DA:71:00", "radio", 0x0C010C, true);
    BluezBackend b(quick());
    struct Case {
        const char* what;
        ServiceRegistration reg;
        DWORD code;
    } cases[] = {
        {"a radio that is not here", registration(0x0000DEADBEEF, true), WSAEADDRNOTAVAIL},
        {"channel 31", registration(0x001A7DDA7100, true, 31), WSAEINVAL},
        {"channel 0", registration(0x001A7DDA7100, true, 0), WSAEINVAL},
        {"withdrawing what was never published", registration(0x001A7DDA7100, false),
         WSASERVICE_NOT_FOUND},
    };
    for (const Case& c : cases) EXPECT_EQ(b.setService(c.reg), c.code) << c.what;
    ServiceRegistration l2cap = registration(0x001A7DDA7100, true);
    l2cap.protocol = BTHPROTO_L2CAP;
    EXPECT_EQ(b.setService(l2cap), static_cast<DWORD>(WSAEINVAL));
    EXPECT_TRUE(mock.calls("/org/bluez", "RegisterProfile").empty());

    mock.replace("/org/bluez", "org.bluez.ProfileManager1", "RegisterProfile", "osa{sv}", "",
                 "raise dbus.exceptions.DBusException('no', name='org.bluez.Error.NotAuthorized')");
    EXPECT_EQ(b.setService(registration(0x001A7DDA7100, true)), static_cast<DWORD>(WSAEACCES));
    EXPECT_EQ(b.publishedCount(), 0u);
}

TEST_F(BackendOnMock, ARecordBluezCannotParseIsRefusedByIt) {
    // The mock parses the record as bluetoothd does; a name full of markup and
    // control characters must still arrive as well-formed XML.
    mock.addRadio("hci0", "00:1A:7D:DA:71:00", "radio", 0x0C010C, true);
    BluezBackend b(quick());
    ServiceRegistration r = registration(0x001A7DDA7100, true);
    r.name = "</text><x a=\"1\">&amp;\x01\x1b";
    r.comment = "quote \" and ' and > <";
    ASSERT_EQ(b.setService(r), ERROR_SUCCESS);
    EXPECT_EQ(mock.calls("/org/bluez", "RegisterProfile").size(), 1u);
}

TEST_F(BackendOnMock, ServiceSearchHandsUpEveryRecordFromTheTransport) {
    mock.addRadio("hci0", "00:1A:7D:DA:71:00", "radio", 0x0C010C, true);
    const Bytes headset = sdpwire::rfcommRecord(0x10001, 0x1112, 2, "Headset", "Voice gateway");
    const Bytes serial = sdpwire::rfcommRecord(0x10002, 0x1101, 5, "Serial Port", "COM");
    auto peer = std::make_shared<sdpwire::ScriptedPeer>(std::vector<sdpwire::Step>{
        {sdpwire::Step::Kind::Reply, sdpwire::response(0, sdpwire::seq({headset, serial}))}});
    BackendOptions o = quick();
    o.transport = [peer] { return makePacketTransport(peer->takeClient()); };
    BluezBackend b(o);
    std::unique_ptr<Query<ServiceResult>> q;
    ServiceSearchParams s;
    s.device = 0x000D18A10001;
    ASSERT_EQ(b.searchServices(s, q), ERROR_SUCCESS);
    std::vector<ServiceResult> results;
    ServiceResult r;
    while (q->next(r) == 0) results.push_back(r);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].name, "Headset");
    EXPECT_EQ(results[0].comment, "Voice gateway");
    EXPECT_EQ(results[0].port, 2u);
    EXPECT_EQ(results[0].record, headset);
    EXPECT_EQ(results[0].device, 0x000D18A10001u);
    EXPECT_EQ(results[1].record, serial);
    // No restriction given: the pattern is the L2CAP UUID.
    const auto& request = peer->requests().at(0);
    EXPECT_EQ(Bytes(request.begin() + 5, request.begin() + 10),
              (Bytes{0x35, 0x03, 0x19, 0x01, 0x00}));
}

TEST_F(BackendOnMock, AKernelWithoutBluetoothSocketsFailsAtOnce) {
    mock.addRadio("hci0", "00:1A:7D:DA:71:00", "radio", 0x0C010C, true);
    BluezBackend b(quick());  // the real L2CAP transport
    std::unique_ptr<Query<ServiceResult>> q;
    ServiceSearchParams s;
    s.device = 0x000D18A10001;
    const DWORD r = b.searchServices(s, q);
    if (r != WSAEAFNOSUPPORT)
        GTEST_SKIP() << "this kernel has Bluetooth sockets (code " << r << ")";
    EXPECT_EQ(q, nullptr);
}

TEST(RecordXml, IsBluezsRecordFormWithTheRegistrationsValues) {
    const std::string expected =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n"
        "<record>\n"
        "  <attribute id=\"0x0001\">\n"
        "    <sequence>\n"
        "      <uuid value=\"0x1101\" />\n"
        "    </sequence>\n"
        "  </attribute>\n"
        "  <attribute id=\"0x0004\">\n"
        "    <sequence>\n"
        "      <sequence>\n"
        "        <uuid value=\"0x0100\" />\n"
        "      </sequence>\n"
        "      <sequence>\n"
        "        <uuid value=\"0x0003\" />\n"
        "        <uint8 value=\"0x0c\" />\n"
        "      </sequence>\n"
        "    </sequence>\n"
        "  </attribute>\n"
        "  <attribute id=\"0x0005\">\n"
        "    <sequence>\n"
        "      <uuid value=\"0x1002\" />\n"
        "    </sequence>\n"
        "  </attribute>\n"
        "  <attribute id=\"0x0100\">\n"
        "    <text value=\"Serial &amp; &lt;more&gt;\" />\n"
        "  </attribute>\n"
        "  <attribute id=\"0x0101\">\n"
        "    <text value=\"&quot;COM&apos;\" />\n"
        "  </attribute>\n"
        "</record>\n";
    EXPECT_EQ(recordXml(kSerialPort, "Serial & <more>", "\"COM'", 12), expected);
}

TEST(RecordXml, Variants) {
    struct Case {
        const char* what;
        std::string xml;
        std::vector<std::string> present;
        std::vector<std::string> absent;
    } cases[] = {
        {"128-bit class",
         recordXml(kCustom, "n", "c", 3),
         {"<uuid value=\"6a1e9d42-3c5b-4f0e-9a11-5d2b7c804419\" />"},
         {}},
        {"32-bit class",
         recordXml(GUID{0x00123456, 0, 0x1000, {0x80, 0, 0, 0x80, 0x5F, 0x9B, 0x34, 0xFB}}, "n",
                   "c", 3),
         {"<uuid value=\"0x00123456\" />"},
         {}},
        {"any port: no RFCOMM",
         recordXml(kSerialPort, "n", "c", BT_PORT_ANY),
         {},
         {"0x0003", "uint8"}},
        {"no texts", recordXml(kSerialPort, "", "", 1), {}, {"id=\"0x0100\"", "id=\"0x0101\""}},
        {"control characters go hex",
         recordXml(kSerialPort, "a\x01z", "c", 1),
         {"<text encoding=\"hex\" value=\"61017a\" />"},
         {}},
        {"bytes that are not UTF-8 go hex",
         recordXml(kSerialPort, "\xff", "c", 1),
         {"<text encoding=\"hex\" value=\"ff\" />"},
         {}},
        {"UTF-8 stays text",
         recordXml(kSerialPort, "Caf\xC3\xA9", "c", 1),
         {"<text value=\"Caf\xC3\xA9\" />"},
         {}},
    };
    for (const Case& c : cases) {
        for (const std::string& s : c.present)
            EXPECT_NE(c.xml.find(s), std::string::npos) << c.what << ": " << s;
        for (const std::string& s : c.absent)
            EXPECT_EQ(c.xml.find(s), std::string::npos) << c.what << ": " << s;
    }
}
