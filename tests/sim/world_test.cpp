// The simulated world's own promises: the scene of its header works as
// written, it takes the time it is told to, and a worker thread may run the
// engine while another thread reads and changes the world.
#include "sim_support.h"

#include <chrono>
#include <thread>

namespace {
using namespace simtest;
using namespace std::chrono_literals;
using Corvale::BTNetwork;

TEST_F(SimTest, TheHeadersExampleSceneRunsAsWritten) {
    using namespace Corvale::Sim;
    const std::vector<BYTE> sdpRecordBytes = {0x35, 0x03, 0x19, 0x01, 0x00};
    // From World.h, as written there (only the timing is shorter here).
    World& world = World::instance();
    world.reset();
    world.addRadio({.address = address("00:1A:7D:DA:71:13"),
                    .name = "Workstation",
                    .classOfDevice = 0x1C010C});
    world.addDevice({.address = address("5C:F3:70:12:8A:41"),
                     .name = "Mara's phone",
                     .classOfDevice = 0x5A020C,
                     .records = {Record{.name = "Serial Port",
                                        .comment = "Debug console",
                                        .port = 3,
                                        .bytes = sdpRecordBytes}}});
    world.addDevice({.address = address("C4:7C:8D:00:12:9E")});  // no name, no class
    world.failCall(Api::BluetoothGetRadioInfo, 2, ERROR_GEN_FAILURE);
    world.setInquiryDuration(std::chrono::milliseconds(1));

    BTNetwork network;
    ASSERT_EQ(network.LocalDevices().size(), 1u);
    ASSERT_TRUE(network.DiscoverRemoteDevices());
    auto begins = world.calls(Api::WSALookupServiceBeginW);
    EXPECT_EQ(begins.at(1).flags, static_cast<DWORD>(LUP_CONTAINERS | LUP_FLUSHCACHE));
    ASSERT_EQ(network.RemoteDevices().size(), 2u);
    ASSERT_TRUE(network.RemoteDevices()[0].DiscoverServices());
    EXPECT_EQ(serviceNames(network.RemoteDevices()[0]), std::vector<std::wstring>{L"Serial Port"});
    EXPECT_EQ(network.RemoteDevices()[1].Name(), L"");
    // The second use of BluetoothGetRadioInfo fails.
    EXPECT_FALSE(network.DiscoverLocalDevices());
    EXPECT_EQ(baselib::getError(), errorText(ERROR_GEN_FAILURE));
}

TEST(WorldAddress, AcceptsOnlyTheAddressText) {
    EXPECT_EQ(Corvale::Sim::address("00:1a:7D:DA:71:13"), 0x001A7DDA7113u);
    for (const char* bad :
         {"", "00:1A:7D:DA:71", "00:1A:7D:DA:71:1G", "00-1A-7D-DA-71-13", "00:1A:7D:DA:71:130"})
        EXPECT_THROW(Corvale::Sim::address(bad), std::invalid_argument) << bad;
}

// Not a measurement: only that the inquiry does not end before the world's
// inquiry has had its time, and that the default takes none of it.
TEST_F(SimTest, InquiryTakesTheDurationItIsGiven) {
    world().addDevice(device(0xA1, "A"));
    world().setInquiryDuration(60ms);
    BTNetwork network;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(network.DiscoverRemoteDevices());
    EXPECT_GE(std::chrono::steady_clock::now() - start, 60ms);
}

TEST_F(SimTest, ServiceSearchTakesTheDurationItIsGiven) {
    world().addDevice(device(0xA1, "A", 0x5A020C, {record("x", 1)}));
    world().setSdpDuration(40ms);
    Corvale::BTDevice d{Corvale::BTAddress(0xA1)};
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(d.DiscoverServices());
    EXPECT_GE(std::chrono::steady_clock::now() - start, 40ms);
}

// A worker runs inquiries and service searches (as the windows' workers do)
// while this thread changes the scene and reads the log.
TEST_F(SimTest, WorkerThreadAndSceneChangesDoNotInterfere) {
    for (BTH_ADDR i = 1; i <= 20; ++i)
        world().addDevice(device(0x100 + i, "dev", 0x5A020C, {record("svc", 1)}));
    world().setInquiryDuration(2ms);
    bool ok = true;
    std::thread worker([&] {
        BTNetwork network;
        for (int round = 0; round < 20; ++round) {
            ok = network.DiscoverRemoteDevices() && ok;
            for (auto& d : network.RemoteDevices()) d.DiscoverServices();
        }
    });
    for (int i = 0; i < 200; ++i) {
        world().addDevice(device(0x1000 + i, "late"));
        world().removeDevice(0x1000 + i - 1);
        (void)world().calls(Api::WSALookupServiceNextW);
        (void)world().openHandles();
    }
    worker.join();
    EXPECT_TRUE(ok);
    EXPECT_TRUE(noHandlesOpen());
}

}  // namespace
