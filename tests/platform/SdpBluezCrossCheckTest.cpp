// Our SDP decoder and ServiceClassUUID checked against libbluetooth, an
// independent encoder and parser (see bluez_reference.h). For each record:
//  - our walk of the bytes equals libbluetooth's in-memory record;
//  - where libbluetooth can encode the record, its bytes equal ours;
//  - where libbluetooth can parse the bytes, its parse equals our walk;
//  - ServiceClassUUID agrees with libbluetooth's class list.
#include "bluez_reference.h"
#include "sdp_test_support.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace sdptest;
using Corvale::BTUUID;

namespace sdptest {
void PrintTo(const BluezReference& r, std::ostream* os) {
    *os << r.name;
}
}  // namespace sdptest

namespace {

// Our walk of a whole record: the record as a container of ID/value pairs,
// each value also looked up by its ID, which must give the same element.
Attributes walkRecord(Bytes& bytes) {
    Attributes out;
    const ULONG length = static_cast<ULONG>(bytes.size());
    SDP_ELEMENT_DATA rec{};
    EXPECT_EQ(BluetoothSdpGetElementData(bytes.data(), length, &rec),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(rec.type, SDP_TYPE_SEQUENCE);
    EXPECT_EQ(rec.data.sequence.length, length);
    HBLUETOOTH_CONTAINER_ELEMENT cursor = nullptr;
    SDP_ELEMENT_DATA id{}, value{};
    while (BluetoothSdpGetContainerElementData(bytes.data(), length, &cursor, &id) ==
           ERROR_SUCCESS) {
        EXPECT_EQ(id.specificType, SDP_ST_UINT16);
        EXPECT_EQ(BluetoothSdpGetContainerElementData(bytes.data(), length, &cursor, &value),
                  static_cast<DWORD>(ERROR_SUCCESS));
        out.emplace_back(id.data.uint16, fromDecoder(value));

        SDP_ELEMENT_DATA looked{};
        EXPECT_EQ(BluetoothSdpGetAttributeValue(bytes.data(), length, id.data.uint16, &looked),
                  static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_EQ(fromDecoder(looked), out.back().second)
            << "attribute 0x" << std::hex << id.data.uint16;
    }
    return out;
}

BTUUID toBTUUID(const ClassUuid& b) {
    GUID g;
    g.Data1 = ULONG(b[0]) << 24 | ULONG(b[1]) << 16 | ULONG(b[2]) << 8 | b[3];
    g.Data2 = static_cast<USHORT>(b[4] << 8 | b[5]);
    g.Data3 = static_cast<USHORT>(b[6] << 8 | b[7]);
    std::memcpy(g.Data4, b.data() + 8, 8);
    return BTUUID(g);
}

// The class the engine should report from libbluetooth's reading of the class
// list: each UUID counts once, at its last place, and the first one wins.
BTUUID firstClass(const std::optional<std::vector<ClassUuid>>& classes) {
    if (!classes) return BTUUID();
    std::vector<BTUUID> order;
    for (const auto& raw : *classes) {
        const BTUUID u = toBTUUID(raw);
        order.erase(std::remove(order.begin(), order.end(), u), order.end());
        order.push_back(u);
    }
    return order.empty() ? BTUUID() : order.front();
}

class CrossCheckTest : public ::testing::TestWithParam<BluezReference> {};

TEST_P(CrossCheckTest, DecoderAndServiceClassAgreeWithLibbluetooth) {
    const BluezReference& r = GetParam();
    Bytes bytes = r.bytes;
    ASSERT_GE(bytes.size(), r.minimumSize);

    // Our walk against what was encoded.
    const Attributes ours = walkRecord(bytes);
    EXPECT_EQ(ours, r.meant);

    // libbluetooth's encoding of the same attributes.
    if (r.encoded) {
        const std::size_t header = bytes[0] == 0x35 ? 2 : bytes[0] == 0x36 ? 3 : 5;
        EXPECT_EQ(*r.encoded, Bytes(bytes.begin() + header, bytes.end()));
    }

    // libbluetooth's parse of our bytes.
    if (r.parsed) {
        EXPECT_EQ(r.scanned, bytes.size());
        EXPECT_EQ(*r.parsed, ours);
    }

    // The class, through our decoder and through libbluetooth's class list.
    const BTUUID got = Corvale::ServiceClassUUID(bytes.data(), static_cast<ULONG>(bytes.size()));
    const BTUUID expected =
        r.classOverride ? toBTUUID(*r.classOverride) : firstClass(r.classesMeant);
    EXPECT_EQ(got.asString(), expected.asString());
    if (r.parsed && !r.classOverride) {
        EXPECT_EQ(got.asString(), firstClass(r.classesParsed).asString());
    }

    // An attribute that is not there.
    SDP_ELEMENT_DATA e{};
    EXPECT_EQ(
        BluetoothSdpGetAttributeValue(bytes.data(), static_cast<ULONG>(bytes.size()), 0x7777, &e),
        static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

INSTANTIATE_TEST_SUITE_P(Records, CrossCheckTest, ::testing::ValuesIn(bluezReferences()),
                         [](const auto& info) { return info.param.name; });

// The comparison itself must see a one-byte difference, or every check above
// could pass vacuously.
TEST(CrossCheckModel, OneChangedValueIsSeen) {
    const auto [a, b] = bluezNearTwins();
    EXPECT_NE(a, b);
    Bytes x = record({{0x0100, fixed(2, 0, {0xFF})}});
    Bytes y = record({{0x0100, fixed(1, 0, {0xFF})}});
    EXPECT_NE(walkRecord(x), walkRecord(y));
    Bytes s8 = record({{0x0100, sized(6, 1, {})}});
    Bytes s16 = record({{0x0100, sized(6, 2, {})}});
    EXPECT_NE(walkRecord(s8), walkRecord(s16));
}

}  // namespace
