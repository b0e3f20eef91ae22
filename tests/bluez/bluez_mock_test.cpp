// The BlueZ backend, and the engine unchanged on it, against a mock bluetoothd:
// python-dbusmock with bluez_corvale_template.py, on a dbus-daemon this program
// starts as its system bus. Every test gets a mock of its own.
#include <corvale/BTNetwork.h>
#include <corvale/baselib.h>
#include <corvale/bluez/bluez_backend.h>
#include <corvale/compat/messages.h>

#include "bluez_objects.h"
#include "dbus.h"
#include "errors.h"
#include "quick_backend.h"
#include "sdp_peer.h"

#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <csignal>
#include <cstring>
#include <mutex>
#include <regex>
#include <set>
#include <tuple>

extern char** environ;

using namespace Corvale;
using namespace Corvale::Bluez;
using namespace Corvale::Compat;
using namespace sdpwire;
using namespace std::chrono_literals;

namespace {

std::string gBus;  // the private bus's address
constexpr const char* kAdapter = "org.bluez.Adapter1";
const Bytes kHeadset = rfcommRecord(0x10001, 0x1112, 2, "Headset", "Voice gateway");
const Bytes kSerial = rfcommRecord(0x10002, 0x1101, 5, "Serial Port", "COM");

// One argument of a logged call: a string or object path, or an a{sv}.
struct Arg {
    std::string text;
    Dbus::Properties dict;
};
using Call = std::vector<Arg>;

class MockBluez {
public:
    MockBluez() {
        Dbus::Failure f;
        if (Dbus::Connection::openSystem(10s, bus_, f) < 0) throw std::runtime_error("no bus");
    }
    ~MockBluez() { stop(); }
    void start() {
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", gBus.c_str(), 1);
        const char* argv[] = {
            "/usr/bin/python3",     "-m",   "dbusmock", "-l", "/dev/null", "--system", "-t",
            CORVALE_BLUEZ_TEMPLATE, nullptr};
        // Up once org.bluez has an owner; the match is there before the spawn.
        bool up = false;
        Dbus::Slot slot;
        bus_->addMatch(
            "type='signal',sender='org.freedesktop.DBus',member='NameOwnerChanged',"
            "arg0='org.bluez'",
            [](sd_bus_message* m, void* up, sd_bus_error*) {
                const char *name, *before, *after = nullptr;
                if (sd_bus_message_read(m, "sss", &name, &before, &after) > 0 && after && *after)
                    *static_cast<bool*>(up) = true;
                return 0;
            },
            &up, slot);
        if (::posix_spawn(&pid_, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ) == 0)
            bus_->runUntil(std::chrono::steady_clock::now() + 30s, [&] { return up; });
        if (!onBus()) throw std::runtime_error("the mock bluetoothd did not come up");
    }
    void stop() {
        if (pid_ > 0) ::kill(pid_, SIGTERM), ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    bool onBus() {
        Dbus::Message reply;
        int has = 0;
        call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
             "NameHasOwner", reply, "s", "org.bluez");
        return sd_bus_message_read(reply.get(), "b", &has) > 0 && has;
    }
    // A method of the template's org.bluez.Mock; its string answer, if any.
    template <typename... A>
    std::string operator()(const char* method, const char* types, A... args) {
        Dbus::Message reply;
        call("org.bluez", "/", "org.bluez.Mock", method, reply, types, args...);
        const char* s = nullptr;
        return sd_bus_message_read(reply.get(), "s", &s) > 0 ? s : "";
    }
    // dbusmock's log of the calls of `method` on the object at `path`.
    std::vector<Call> calls(const char* path, const char* method) {
        Dbus::Message reply;
        call("org.bluez", path, "org.freedesktop.DBus.Mock", "GetMethodCalls", reply, "s", method);
        std::vector<Call> out;
        sd_bus_message* m = reply.get();
        sd_bus_message_enter_container(m, 'a', "(tav)");
        while (sd_bus_message_enter_container(m, 'r', "tav") > 0) {
            sd_bus_message_skip(m, "t");
            sd_bus_message_enter_container(m, 'a', "v");
            Call& c = out.emplace_back();
            const char* type = nullptr;
            while (sd_bus_message_peek_type(m, nullptr, &type) > 0 && type != nullptr) {
                Arg& arg = c.emplace_back();
                const char* s = nullptr;
                sd_bus_message_enter_container(m, 'v', type);
                if (std::strcmp(type, "a{sv}") == 0)
                    Dbus::readProperties(m, arg.dict);
                else if (std::strchr("so", *type) && sd_bus_message_read_basic(m, *type, &s) > 0)
                    arg.text = s;
                else
                    sd_bus_message_skip(m, type);
                sd_bus_message_exit_container(m);
            }
            sd_bus_message_exit_container(m);
            sd_bus_message_exit_container(m);
        }
        return out;
    }

private:
    template <typename... A>
    void call(const char* to, const char* path, const char* interface, const char* method,
              Dbus::Message& reply, const char* types, A... args) {
        Dbus::Failure f;
        const auto append = [&](sd_bus_message* m) {
            return sd_bus_message_append(m, types, args...);
        };
        if (bus_->call(to, path, interface, method, append, reply, f) < 0)
            throw std::runtime_error(std::string(method) + ": " + f.name + " " + f.message);
    }

    pid_t pid_ = -1;
    std::unique_ptr<Dbus::Connection> bus_;
};

class MockTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(baselib::WinsockStart());
        mock.start();
    }
    void TearDown() override {
        BTNetwork::setInquiryCache(false);
        quickbackend::setTransport({});
    }
    // The engine's service searches: each gets a scripted peer of its own, the
    // n-th answering with lists[n] (the last one once they run out).
    void answer(std::vector<Bytes> lists) {
        quickbackend::setTransport([this, lists] {
            std::lock_guard<std::mutex> lock(mutex);
            const Bytes& l = lists[std::min(peers.size(), lists.size() - 1)];
            peers.push_back(std::make_unique<ScriptedPeer>(Script{response(l)}));
            return makePacketTransport(peers.back()->takeClient());
        });
    }
    void radio(const char* hci, const char* address, const char* alias, std::uint32_t cls,
               bool on = true) {
        mock("AddRadio", "sssub", hci, address, alias, cls, int(on));
    }

    MockBluez mock;
    std::mutex mutex;
    std::vector<std::unique_ptr<ScriptedPeer>> peers;
};
using BackendOnMock = MockTest;
using EngineOnMock = MockTest;

BackendOptions quick(std::chrono::milliseconds unit = 40ms) {
    BackendOptions o;
    o.inquiryUnit = unit;
    o.callTimeout = 1500ms;
    return o;
}

DWORD inquire(BluezBackend& b, bool flush, std::vector<DeviceResult>& out, UCHAR length = 0) {
    std::unique_ptr<Query<DeviceResult>> q;
    InquiryParams p;
    p.flushCache = flush;
    p.length = length;
    out.clear();
    const DWORD r = b.inquire(p, q);
    for (DeviceResult d; r == 0 && q->next(d) == 0;) out.push_back(d);
    return r;
}

std::wstring text(DWORD code) {
    return L"(" + std::to_wstring(code) + L") " + messageText(code);
}

}  // namespace

TEST_F(EngineOnMock, RadiosInNaturalPathOrderEachWithItsOwnRecords) {
    radio("hci10", "00:1A:7D:DA:71:10", "ten", 0x5A020C);
    radio("hci2", "00:1A:7D:DA:71:02", "two", 0x24010C);
    radio("hci0", "00:1A:7D:DA:71:00", "zero (off)", 0x0C010C, false);
    answer({sequence({}), sequence({kHeadset}), sequence({kSerial, kHeadset})});
    BTNetwork network;
    // Each radio as "address name class [service comment port class]...", numbers in decimal.
    std::wstring seen;
    for (const BTDevice& r : network.LocalDevices()) {
        seen += r.Address().asString() + L" " + r.Name() + L" " + std::to_wstring(r.COD().value());
        for (const BTService& s : r.Services())
            seen += L" [" + s.Name() + L" " + s.Comment() + L" " + std::to_wstring(s.Port()) +
                    L" " + std::to_wstring(s.UUID().guid().Data1) + L"]";
        seen += L"; ";
    }
    // A radio that is off is still a radio.
    EXPECT_EQ(seen,
              L"00:1A:7D:DA:71:00 zero (off) 786700; 00:1A:7D:DA:71:02 two 2359564 "
              L"[Headset Voice gateway 2 4370]; 00:1A:7D:DA:71:10 ten 5898764 "
              L"[Serial Port COM 5 4353] [Headset Voice gateway 2 4370]; ");
    // No restriction given: the pattern is the L2CAP UUID.
    const Bytes& request = peers.at(0)->requests().at(0);
    EXPECT_EQ(Bytes(request.begin() + 5, request.begin() + 10), (Bytes{0x35, 3, 0x19, 1, 0}));
}

TEST_F(BackendOnMock, InquiryAndCacheOnTheFirstPoweredRadioTouchingNothing) {
    radio("hci0", "00:1A:7D:DA:71:00", "off", 0x0C010C, false);
    radio("hci1", "00:1A:7D:DA:71:01", "on", 0x0C010C);
    mock("AddKnown", "sssi", "hci0", "00:0D:18:A1:00:0C", "Another radio's", 0x200404);
    mock("AddKnown", "sssi", "hci1", "00:0D:18:A1:00:0B", "Keyboard", 0x002540);
    mock("AddKnown", "sssi", "hci1", "00:0D:18:A1:00:0A", "", -1);  // out of range
    mock("AddInRange", "sssi", "hci1", "00:0D:18:A1:00:01", "Phone", 0x5A020C);
    mock("AddInRange", "sssi", "hci1", "00:0D:18:A1:00:02", "", 0x240404);   // name unresolved
    mock("AddInRange", "sssi", "hci1", "00:0D:18:A1:00:03", "Old tag", -1);  // no class word
    mock("AddInRange", "sssi", "hci1", "00:0D:18:A1:00:0B", "Keyboard", 0x002540);
    using Seen =
        std::vector<std::tuple<BTH_ADDR, std::optional<std::string>, std::optional<ULONG>>>;
    const auto seen = [](const std::vector<DeviceResult>& devices) {
        Seen out;
        for (const DeviceResult& d : devices) out.emplace_back(*d.address, d.name, d.classOfDevice);
        return out;
    };
    BluezBackend b(quick());
    std::vector<DeviceResult> devices;
    ASSERT_EQ(inquire(b, false, devices), ERROR_SUCCESS);
    EXPECT_EQ(seen(devices),
              (Seen{{0x000D18A1000A, {}, {}}, {0x000D18A1000B, "Keyboard", 0x2540}}));
    ASSERT_EQ(inquire(b, true, devices), ERROR_SUCCESS);
    EXPECT_EQ(seen(devices), (Seen{{0x000D18A10001, "Phone", 0x5A020C},
                                   {0x000D18A10002, {}, 0x240404},
                                   {0x000D18A10003, "Old tag", {}},
                                   {0x000D18A1000B, "Keyboard", 0x2540}}));
    EXPECT_EQ(inquire(b, true, devices, 0x31), static_cast<DWORD>(WSAEINVAL));

    // One BR/EDR discovery, started and stopped, and nothing removed, paired or connected.
    const std::vector<Call> filter = mock.calls("/org/bluez/hci1", "SetDiscoveryFilter");
    ASSERT_EQ(filter.size(), 1u);
    EXPECT_EQ(filter[0].at(0).dict.at("Transport").text, "bredr");
    EXPECT_EQ(mock.calls("/org/bluez/hci1", "StartDiscovery").size(), 1u);
    EXPECT_EQ(mock.calls("/org/bluez/hci1", "StopDiscovery").size(), 1u);
    EXPECT_TRUE(mock.calls("/org/bluez/hci0", "StartDiscovery").empty());
    EXPECT_TRUE(mock.calls("/org/bluez/hci1", "RemoveDevice").empty());
    for (const char* method : {"Pair", "Connect"})
        for (const char* d :
             {"/org/bluez/hci1/dev_00_0D_18_A1_00_01", "/org/bluez/hci1/dev_00_0D_18_A1_00_0B"})
            EXPECT_TRUE(mock.calls(d, method).empty()) << d << " " << method;

    // The engine with the cache switch off and on.
    answer({sequence({})});
    BTNetwork network;
    ASSERT_TRUE(network.DiscoverRemoteDevices()) << baselib::getError().c_str();
    ASSERT_EQ(network.RemoteDevices().size(), 4u);
    EXPECT_EQ(network.RemoteDevices()[0].Name(), L"Phone");
    EXPECT_EQ(network.RemoteDevices()[0].COD().value(), 0x5A020Cu);
    BTNetwork::setInquiryCache(true);
    ASSERT_TRUE(network.DiscoverRemoteDevices());
    EXPECT_EQ(network.RemoteDevices().size(), 5u) << "BlueZ now holds every device heard";
    EXPECT_EQ(mock.calls("/org/bluez/hci1", "StartDiscovery").size(), 2u);
}

TEST_F(BackendOnMock, AFloodOfMadeUpDevicesKeepsTheFirstHeardWithOnlyWhatWeRead) {
    radio("hci0", "00:1A:7D:DA:71:00", "radio", 0x0C010C);
    constexpr unsigned kFlood = 1500;
    mock("FloodDuringDiscovery", "u", kFlood);
    BluezBackend b(quick());
    std::vector<DeviceResult> devices;
    ASSERT_EQ(inquire(b, true, devices), ERROR_SUCCESS);
    ASSERT_EQ(devices.size(), Heard::kMaxDevices);
    for (std::size_t i = 0; i < devices.size(); ++i) {
        ASSERT_EQ(*devices[i].address, 0x000D18000000u + i) << i;
        ASSERT_EQ(devices[i].name, "flood " + std::to_string(i)) << i;
    }

    // What is kept of a device: the properties that are read, each of a size
    // that BlueZ sends, under a path of such a size.
    const auto textValue = [](std::string t) {
        Dbus::Value v;
        v.type = 's', v.text = std::move(t);
        return v;
    };
    Heard heard;
    heard.adapterPath = "/org/bluez/hci0";
    const Dbus::Properties props{{"Address", textValue("00:0D:18:00:00:01")},
                                 {"Name", textValue(std::string(Heard::kMaxText, 'n'))},
                                 {"Alias", textValue(std::string(Heard::kMaxText + 1, 'a'))},
                                 {"Icon", textValue("phone")},
                                 {"RSSI", Dbus::Value{'n', {}, 0, -60, false}}};
    heard.note("/org/bluez/hci0/" + std::string(Heard::kMaxPath, 'd'), props, true);
    heard.note("/org/bluez/hci0/dev_1", props, true);
    ASSERT_EQ(heard.order, std::vector<std::string>{"/org/bluez/hci0/dev_1"});
    std::vector<std::string> kept;
    for (const auto& [name, value] : heard.latest.at("/org/bluez/hci0/dev_1")) kept.push_back(name);
    EXPECT_EQ(kept, (std::vector<std::string>{"Address", "Name"}));
}

TEST_F(BackendOnMock, ASearchOnOneOfOurOwnRadiosHasTightBounds) {
    radio("hci0", "00:1A:7D:DA:71:00", "radio", 0x0C010C);
    radio("hci1", "00:1A:7D:DA:71:01", "off", 0x0C010C, false);
    Recording::Waits waits;
    BackendOptions o = quick();
    o.transport = [&] {
        peers.push_back(std::make_unique<ScriptedPeer>(Script{response(sequence({kSerial}))}));
        return std::make_unique<Recording>(makePacketTransport(peers.back()->takeClient()), waits);
    };
    BluezBackend b(o);
    const std::pair<BTH_ADDR, std::chrono::milliseconds> cases[] = {
        {0x001A7DDA7100, 2s}, {0x001A7DDA7101, 2s}, {0x000D18A10001, 15s}};
    for (const auto& [device, connect] : cases) {
        waits.clear();
        ServiceSearchParams p;
        p.device = device;
        std::unique_ptr<Query<ServiceResult>> q;
        ASSERT_EQ(b.searchServices(p, q), ERROR_SUCCESS) << device;
        ServiceResult r;
        EXPECT_EQ(q->next(r), ERROR_SUCCESS);
        EXPECT_EQ(r.port, 5u);
        ASSERT_EQ(waits.size(), 3u);
        EXPECT_EQ(waits[0], connect) << device;
        EXPECT_EQ(waits[2], connect == 2s ? 1s : 5s) << device;
    }
}

TEST_F(BackendOnMock, BluetoothdLeavingInTheMiddleOfAnInquiryEndsIt) {
    radio("hci0", "00:1A:7D:DA:71:00", "radio", 0x0C010C);
    mock("VanishDuringDiscovery", "u", 200u);
    // An inquiry of 8 minutes, longer than the test may take: only noticing
    // that bluetoothd has gone ends it in time.
    BluezBackend b(quick(10s));
    std::vector<DeviceResult> devices;
    EXPECT_EQ(inquire(b, true, devices, 0x30), static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));
    EXPECT_FALSE(mock.onBus());
}

TEST_F(EngineOnMock, FailuresGiveTheirCodesAndTheEngineTheirTexts) {
    const DWORD kBad = ERROR_INVALID_DATA, kNoService = ERROR_SERVICE_NOT_ACTIVE;
    const std::string raise = "raise dbus.exceptions.DBusException('', name='org.";
    struct Case {
        const char* what;
        int radio;           // hci0: -1 none, 0 off, 1 on
        const char* retype;  // a property of hci0 given another type
        std::string reply;   // a body of Python for GetManagedObjects, answering `type`
        const char* type;
        DWORD radios, cached, flushed;
    } cases[] = {
        {"no bluetoothd", -1, nullptr, "", "", kNoService, kNoService, kNoService},
        {"no system bus", -1, nullptr, "", "", kNoService, kNoService, kNoService},
        {"no adapter", -1, nullptr, "", "", ERROR_NO_MORE_ITEMS, WSASERVICE_NOT_FOUND,
         WSASERVICE_NOT_FOUND},
        {"adapter off", 0, nullptr, "", "", 0, WSAENETDOWN, WSAENETDOWN},
        {"Address a number", 1, "Address", "", "", kBad, kBad, kBad},
        {"Alias a number", 1, "Alias", "", "", kBad, kBad, kBad},
        {"Class a string", 1, "Class", "", "", kBad, kBad, kBad},
        {"Powered a string", 1, "Powered", "", "", kBad, kBad, kBad},
        {"objects a string", 1, nullptr, "ret = 'x'", "s", kBad, kBad, kBad},
        {"objects of another shape", 1, nullptr,
         "ret = {'x': {'y': dbus.String('z', variant_level=1)}}", "a{sa{sv}}", kBad, kBad, kBad},
        {"access denied", 1, nullptr, raise + "freedesktop.DBus.Error.AccessDenied')",
         "a{oa{sa{sv}}}", ERROR_ACCESS_DENIED, WSAEACCES, WSAEACCES},
        {"bluetoothd fails", 1, nullptr, raise + "bluez.Error.Failed')", "a{oa{sa{sv}}}",
         ERROR_GEN_FAILURE, ERROR_GEN_FAILURE, ERROR_GEN_FAILURE},
        {"bluetoothd too slow", 1, nullptr, "import time; time.sleep(4); ret = {}", "a{oa{sa{sv}}}",
         ERROR_TIMEOUT, WSAETIMEDOUT, WSAETIMEDOUT},
    };
    answer({sequence({})});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        mock.stop();
        mock.start();
        if (c.radio >= 0) radio("hci0", "00:1A:7D:DA:71:00", "radio", 0x0C010C, c.radio > 0);
        if (c.retype) mock("Retype", "sss", "/org/bluez/hci0", kAdapter, c.retype);
        if (!c.reply.empty())
            mock("Replace", "ssssss", "/", "org.freedesktop.DBus.ObjectManager",
                 "GetManagedObjects", "", c.type, c.reply.c_str());
        if (c.radios == kNoService) mock.stop();
        if (c.what == std::string("no system bus"))
            ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
        BluezBackend b(quick());
        std::vector<RadioInfo> radios;
        std::vector<DeviceResult> devices;
        EXPECT_EQ(b.radios(radios), c.radios);
        EXPECT_EQ(radios.empty(), c.radios != 0);
        EXPECT_EQ(inquire(b, false, devices), c.cached);
        EXPECT_EQ(inquire(b, true, devices), c.flushed);
        // The engine shows the same causes as their texts.
        BTNetwork network;
        EXPECT_EQ(network.DiscoverLocalDevices() ? L"" : baselib::getError(),
                  c.radios ? text(c.radios) : L"");
        EXPECT_FALSE(network.DiscoverRemoteDevices());
        EXPECT_EQ(baselib::getError(), text(c.flushed));
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", gBus.c_str(), 1);
    }
}

TEST_F(EngineOnMock, ADeviceOrRadioWithoutAUsableAddressHidesNoOther) {
    radio("hci0", "00:00:00:00:00:00", "null", 0x0C010C);
    radio("hci1", "00:1A:7D:DA:71:01", "radio", 0x0C010C);
    const struct {
        const char* address;
        const char* spoil;  // how its Device1 is spoiled afterwards
    } devices[] = {
        {"00:0D:18:A1:00:01", ""},        {"00:00:00:00:00:00", ""},
        {"00:0D:18:A1:00:02", "short"},   {"00:0D:18:A1:00:03", "missing"},
        {"00:0D:18:A1:00:04", "Address"}, {"00:0D:18:A1:00:05", "Name"},
        {"00:0D:18:A1:00:06", ""},
    };
    const char* kDevice = "org.bluez.Device1";
    for (const auto& d : devices) {
        const std::string path = mock("AddKnown", "sssi", "hci1", d.address, "Dev", 0x2540);
        mock("AddInRange", "sssi", "hci1", d.address, "Dev", 0x2540);
        const std::string spoil = d.spoil;
        if (spoil == "short")
            mock("SetText", "ssss", path.c_str(), kDevice, "Address", "00:0D:18:A1:00");
        else if (spoil == "missing")
            mock("Unset", "sss", path.c_str(), kDevice, "Address");
        else if (!spoil.empty())
            mock("Retype", "sss", path.c_str(), kDevice, d.spoil);
    }
    BluezBackend b(quick());
    std::vector<DeviceResult> found;
    for (bool flush : {false, true}) {
        ASSERT_EQ(inquire(b, flush, found), ERROR_SUCCESS) << flush;
        ASSERT_EQ(found.size(), 2u) << flush;
        EXPECT_EQ(found[0].address, 0x000D18A10001u);
        EXPECT_EQ(found[1].address, 0x000D18A10006u);
    }
    // The engine would throw "Device address is null." for the null radio.
    answer({sequence({})});
    BTNetwork network;
    EXPECT_EQ(network.LocalDevices().size(), 1u);
    for (bool cache : {false, true}) {
        BTNetwork::setInquiryCache(cache);
        ASSERT_TRUE(network.DiscoverRemoteDevices()) << baselib::getError().c_str();
        EXPECT_EQ(network.RemoteDevices().size(), 2u);
    }
}

TEST_F(EngineOnMock, PublicationRegistersOneRecordForEveryRadioAndWithdrawsIt) {
    radio("hci0", "00:1A:7D:DA:71:00", "radio", 0x0C010C);
    radio("hci1", "00:1A:7D:DA:71:01", "other", 0x0C010C);
    answer({sequence({})});
    BTNetwork network;
    ASSERT_EQ(network.LocalDevices().size(), 2u);
    const BTUUID uuid(L"{6A1E9D42-3C5B-4F0E-9A11-5D2B7C804419}");
    ASSERT_TRUE(network.PublishService(BTService(uuid, L"Chat & <co>", L"\"Talk\" 'me'", 9), true))
        << baselib::getError().c_str();
    std::vector<Call> registered = mock.calls("/org/bluez", "RegisterProfile");
    ASSERT_EQ(registered.size(), 1u) << "BlueZ publishes a profile on every radio";
    ASSERT_EQ(registered[0].size(), 3u);
    EXPECT_EQ(registered[0][0].text.rfind("/org/corvale/profile", 0), 0u);
    EXPECT_EQ(registered[0][1].text, "6a1e9d42-3c5b-4f0e-9a11-5d2b7c804419");
    const Dbus::Properties& options = registered[0][2].dict;
    EXPECT_EQ(options.at("Name").text, "Chat & <co>");
    EXPECT_EQ(options.count("Channel"), 0u) << "the caller's socket owns the channel";
    // Indentation and line breaks aside, BlueZ's record form.
    EXPECT_EQ(
        std::regex_replace(options.at("ServiceRecord").text, std::regex(">\\s+<"), "><"),
        "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><record><attribute id=\"0x0001\"><sequence>"
        "<uuid value=\"6a1e9d42-3c5b-4f0e-9a11-5d2b7c804419\" /></sequence></attribute>"
        "<attribute id=\"0x0004\"><sequence><sequence><uuid value=\"0x0100\" /></sequence>"
        "<sequence><uuid value=\"0x0003\" /><uint8 value=\"0x09\" /></sequence></sequence>"
        "</attribute><attribute id=\"0x0005\"><sequence><uuid value=\"0x1002\" /></sequence>"
        "</attribute><attribute id=\"0x0100\"><text value=\"Chat &amp; &lt;co&gt;\" />"
        "</attribute><attribute id=\"0x0101\"><text value=\"&quot;Talk&quot; &apos;me&apos;\" />"
        "</attribute></record>\n");

    // New texts replace the record whole; withdrawn from every radio, it goes.
    const BTService renamed(uuid, L"a\x01z", L"c", 9);
    ASSERT_TRUE(network.PublishService(renamed, true)) << baselib::getError().c_str();
    registered = mock.calls("/org/bluez", "RegisterProfile");
    ASSERT_EQ(registered.size(), 2u);
    EXPECT_NE(registered[1][2]
                  .dict.at("ServiceRecord")
                  .text.find("<text encoding=\"hex\" value=\"61017a\" />"),
              std::string::npos);
    ASSERT_TRUE(network.PublishService(renamed, false)) << baselib::getError().c_str();
    const std::vector<Call> gone = mock.calls("/org/bluez", "UnregisterProfile");
    ASSERT_EQ(gone.size(), 2u);
    EXPECT_EQ(gone[0][0].text, registered[0][0].text);
    EXPECT_EQ(gone[1][0].text, registered[1][0].text);
    EXPECT_FALSE(network.PublishService(renamed, false));
    EXPECT_EQ(baselib::getError(), text(WSASERVICE_NOT_FOUND));
}

TEST_F(BackendOnMock, PublicationRefusesWhatItCannotPublish) {
    radio("hci0", "00:1A:7D:DA:71:00", "radio", 0x0C010C);
    BluezBackend b(quick());
    const auto reg = [](BTH_ADDR radio, bool publish, ULONG port = 7,
                        ULONG protocol = BTHPROTO_RFCOMM) {
        ServiceRegistration r;
        r.publish = publish, r.radio = radio, r.port = port, r.protocol = protocol;
        r.serviceClassId = Corvale::Bt::onBase<GUID>(0x1101);
        return r;
    };
    EXPECT_EQ(b.setService(reg(0x0000DEADBEEF, true)), static_cast<DWORD>(WSAEADDRNOTAVAIL));
    for (ULONG channel : {0u, 31u})
        EXPECT_EQ(b.setService(reg(0x001A7DDA7100, true, channel)), static_cast<DWORD>(WSAEINVAL));
    EXPECT_EQ(b.setService(reg(0x001A7DDA7100, true, 7, BTHPROTO_L2CAP)),
              static_cast<DWORD>(WSAEINVAL));
    EXPECT_EQ(b.setService(reg(0x001A7DDA7100, false)), static_cast<DWORD>(WSASERVICE_NOT_FOUND));
    EXPECT_TRUE(mock.calls("/org/bluez", "RegisterProfile").empty());
    mock("Replace", "ssssss", "/org/bluez", "org.bluez.ProfileManager1", "RegisterProfile",
         "osa{sv}", "",
         "raise dbus.exceptions.DBusException('no', name='org.bluez.Error.NotAuthorized')");
    EXPECT_EQ(b.setService(reg(0x001A7DDA7100, true)), static_cast<DWORD>(WSAEACCES));
    EXPECT_EQ(b.publishedCount(), 0u);
}

TEST(BackendBus, AFloodOfSignalsCannotHoldAWaitPastItsDeadline) {
    std::unique_ptr<Dbus::Connection> listener;
    Dbus::Failure f;
    ASSERT_EQ(Dbus::Connection::openSystem(10s, listener, f), 0);
    int heard = 0;
    Dbus::Slot slot;
    const auto count = [](sd_bus_message*, void* n, sd_bus_error*) {
        return ++*static_cast<int*>(n), 0;
    };
    ASSERT_GE(
        listener->addMatch("type='signal',interface='org.corvale.Flood'", count, &heard, slot), 0);
    // A second connection sends the listener more signals than it can take
    // in one go; a call from each side makes sure that they all stand in the
    // listener's queue before it waits.
    sd_bus* flooder = nullptr;
    ASSERT_GE(sd_bus_open_system(&flooder), 0);
    constexpr int kFlood = 2000;
    for (int i = 0; i < kFlood; ++i) {
        Dbus::Message m;
        ASSERT_GE(sd_bus_message_new_signal(flooder, m.out(), "/", "org.corvale.Flood", "Wave"), 0);
        ASSERT_GE(sd_bus_message_set_destination(m.get(), listener->uniqueName().c_str()), 0);
        ASSERT_GE(sd_bus_send(flooder, m.get(), nullptr), 0);
    }
    Dbus::Message reply;
    ASSERT_GE(sd_bus_call_method(flooder, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                 "org.freedesktop.DBus", "GetId", nullptr, reply.out(), ""),
              0);
    ASSERT_EQ(listener->call("org.freedesktop.DBus", "/org/freedesktop/DBus",
                             "org.freedesktop.DBus", "GetId", {}, reply, f),
              0);
    EXPECT_EQ(listener->runUntil(std::chrono::steady_clock::now(), {}), 0);
    EXPECT_LE(heard, 1) << "the wait went on past its deadline while signals kept coming";
    // What has arrived can still be taken in, as much as the caller allows.
    const int before = heard;
    EXPECT_EQ(listener->drain(10), 0);
    EXPECT_LE(heard, before + 10);
    EXPECT_EQ(listener->drain(2 * kFlood), 0);
    EXPECT_EQ(heard, kFlood);
    sd_bus_flush_close_unref(flooder);
}

// Every code a failure can map to, and the backend's own refusals, has a
// text for the engine to show.
TEST(BluezCodes, EveryCodeTheBackendGivesHasItsText) {
    std::set<DWORD> codes = {WSAEADDRNOTAVAIL};
    for (int c = 0; c <= static_cast<int>(Cause::Other); ++c)
        codes.insert({radioCode(Cause(c)), lookupCode(Cause(c))});
    for (int error = 0; error < 200; ++error) codes.insert(socketCode(error));
    for (DWORD code : codes) {
        const std::wstring s = messageText(code) ? messageText(code) : L"";
        EXPECT_TRUE(s.size() >= 3 && s.ends_with(L"\r\n")) << code;
    }
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // --fork: the daemon is ready once the parent has printed its address and pid.
    FILE* p =
        ::popen("dbus-daemon --session --fork --nopidfile --print-address=1 --print-pid=1", "r");
    char address[512] = "", pid[32] = "";
    const bool up = p && std::fgets(address, sizeof address, p) && std::fgets(pid, sizeof pid, p);
    if (p) ::pclose(p);
    if (!up) return 1;
    gBus.assign(address, std::strcspn(address, "\n"));
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", gBus.c_str(), 1);
    const int rc = RUN_ALL_TESTS();
    ::kill(std::atoi(pid), SIGTERM);
    return rc;
}
