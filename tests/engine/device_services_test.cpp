// The service list of a BTDevice once service discovery has filled it, on
// the simulated world: hasService, and copies that carry the list.
#include <corvale/BTDevice.h>
#include <corvale/baselib.h>
#include <corvale/sim/World.h>

#include <gtest/gtest.h>

#include <vector>

using Corvale::BTAddress;
using Corvale::BTDevice;
using Corvale::BTService;
using Corvale::BTUUID;
using Corvale::Sim::Device;
using Corvale::Sim::Record;
using Corvale::Sim::World;

namespace {

constexpr BTH_ADDR kPhone = 0x5CF370128A41;

// A minimal SDP record: ServiceClassIDList (0x0001) holding one 16-bit UUID,
// and a ProtocolDescriptorList (0x0004) naming L2CAP, so the search's
// restriction matches it.
std::vector<BYTE> recordOfClass(USHORT uuid16) {
    return {0x35,         0x12,        // sequence of 18 bytes
            0x09,         0x00, 0x01,  // attribute 0x0001
            0x35,         0x03, 0x19, BYTE(uuid16 >> 8),
            BYTE(uuid16),              // { UUID16 }
            0x09,         0x00, 0x04,  // attribute 0x0004
            0x35,         0x05, 0x35, 0x03,
            0x19,         0x01, 0x00};  // { { L2CAP } }
}

Record record(const char* name, const char* comment, ULONG port, USHORT uuid16) {
    Record r;
    r.name = name;
    r.comment = comment;
    r.port = port;
    r.bytes = recordOfClass(uuid16);
    return r;
}

class DeviceServices : public ::testing::Test {
protected:
    void SetUp() override {
        World& world = World::instance();
        world.reset();
        Device phone;
        phone.address = kPhone;
        phone.name = "Phone";
        phone.classOfDevice = 0x5A020C;
        phone.records = {record("Serial Port", "Debug console", 3, 0x1101),
                         record("Audio Source", "", 25, 0x110A),
                         record("Serial Port", "Debug console", 3, 0x1101)};
        world.addDevice(phone);
        ASSERT_TRUE(baselib::WinsockStart());
        ASSERT_TRUE(device.DiscoverServices()) << baselib::getError();
        ASSERT_EQ(device.Services().size(), 3u);
    }
    void TearDown() override { baselib::WinsockClear(); }

    BTDevice device{BTAddress(kPhone), Corvale::BTClassOfDevice(0x5A020C), L"Phone"};
};

void expectSameServices(const std::vector<BTService>& a, const std::vector<BTService>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].UUID(), b[i].UUID()) << i;
        EXPECT_EQ(a[i].Name(), b[i].Name()) << i;
        EXPECT_EQ(a[i].Comment(), b[i].Comment()) << i;
        EXPECT_EQ(a[i].Port(), b[i].Port()) << i;
    }
}

TEST_F(DeviceServices, HasServiceLooksForAnEqualUuid) {
    const struct {
        BTUUID uuid;
        bool has;
    } cases[] = {{BTUUID(0x1101u), true},
                 {BTUUID(L"{0000110A-0000-1000-8000-00805F9B34FB}"), true},
                 {BTUUID(0x1105u), false},
                 {BTUUID(), false},
                 {BTUUID(Corvale::L2CAP_PROTOCOL_UUID), false}};
    for (const auto& c : cases) EXPECT_EQ(device.hasService(c.uuid), c.has) << c.uuid.asString();
}

TEST_F(DeviceServices, CopyCarriesTheServicesInOrder) {
    const BTDevice copy(device);
    expectSameServices(copy.Services(), device.Services());
    EXPECT_EQ(copy.Services()[0].Name(), L"Serial Port");
    EXPECT_EQ(copy.Services()[1].UUID(), BTUUID(0x110Au));
    EXPECT_EQ(copy.Services()[1].Port(), 25u);
    EXPECT_TRUE(copy.hasService(BTUUID(0x110Au)));
}

TEST_F(DeviceServices, AssignmentCarriesTheServices) {
    BTDevice assigned;
    assigned = device;
    expectSameServices(assigned.Services(), device.Services());
    // And assigning an empty record empties the list again.
    assigned = BTDevice();
    EXPECT_TRUE(assigned.Services().empty());
    EXPECT_EQ(device.Services().size(), 3u);
}

TEST_F(DeviceServices, CopiesOwnTheirLists) {
    BTDevice copy(device);
    // Rediscovering on the original, after the device lost a service, leaves
    // the copy's list as it was.
    World::instance().clearDevices();
    Device phone;
    phone.address = kPhone;
    phone.records = {record("Audio Source", "", 25, 0x110A)};
    World::instance().addDevice(phone);
    ASSERT_TRUE(device.DiscoverServices()) << baselib::getError();
    ASSERT_EQ(device.Services().size(), 1u);
    ASSERT_EQ(copy.Services().size(), 3u);
    EXPECT_TRUE(copy.hasService(BTUUID(0x1101u)));
    EXPECT_FALSE(device.hasService(BTUUID(0x1101u)));
    copy.Name() = L"Renamed";
    EXPECT_EQ(device.Name(), L"Phone");
}

}  // namespace
