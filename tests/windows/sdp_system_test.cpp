// The platform's SDP parsers on one record, with the results Windows
// documents: the same source runs over the compat layer's decoder and on
// Windows, so a difference between the two (a code, a specific type, where a
// sequence's bytes start, the order of a 128-bit UUID's fields) fails on one
// of them. Wine 8 does not implement the parsers (see bluetooth_system_test):
// there these tests are skipped and say so.
#include "system_test_support.h"

#include <corvale/BTService.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A service record: a data element sequence of attribute ID / value pairs.
const std::vector<BYTE> kRecord = {
    0x35, 0x43,                                      // sequence, 67 bytes
    0x09, 0x00, 0x00, 0x0A, 0x00, 0x01, 0x00, 0x00,  // 0x0000: uint32 0x00010000
    0x09, 0x00, 0x01, 0x35, 0x19,                    // 0x0001: sequence, 25 bytes
    0x19, 0x11, 0x01,                                //   UUID16 0x1101
    0x1A, 0x12, 0x34, 0x56, 0x78,                    //   UUID32 0x12345678
    0x1C, 0x00, 0x00, 0x11, 0x05, 0x00, 0x00, 0x10,  //   UUID128
    0x00, 0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34,  //   00001105-0000-1000-
    0xFB,                                            //   8000-00805F9B34FB
    0x09, 0x00, 0x05, 0x08, 0x7F,                    // 0x0005: uint8 0x7F
    0x09, 0x00, 0x06, 0x10, 0xFF,                    // 0x0006: int8 -1
    0x09, 0x00, 0x08, 0x28, 0x01,                    // 0x0008: boolean true
    0x09, 0x00, 0x09, 0x09, 0x01, 0x02,              // 0x0009: uint16 0x0102
    0x09, 0x01, 0x00, 0x25, 0x03, 'C',  'O',  'M'};  // 0x0100: text "COM"

bool parsersMissing() {
    return CorvaleTest::wineMajor() > 0 && CorvaleTest::wineMajor() < 9;
}

#define SKIP_WITHOUT_PARSERS()                                          \
    if (parsersMissing())                                               \
    GTEST_SKIP() << "Wine " << CorvaleTest::wineVersion().value_or("?") \
                 << " does not implement the SDP parsers"

DWORD attribute(std::vector<BYTE>& record, USHORT id, SDP_ELEMENT_DATA& data) {
    return BluetoothSdpGetAttributeValue(record.data(), static_cast<ULONG>(record.size()), id,
                                         &data);
}

TEST(SdpRecord, IsWellFormed) {
    ASSERT_EQ(kRecord.size(), 2u + 0x43u);
}

struct Scalar {
    USHORT id;
    SDP_TYPE type;
    SDP_SPECIFICTYPE specificType;
    std::int64_t value;
};

class SdpScalar : public ::testing::TestWithParam<Scalar> {};

TEST_P(SdpScalar, TypeAndValue) {
    SKIP_WITHOUT_PARSERS();
    const Scalar& c = GetParam();
    std::vector<BYTE> record = kRecord;
    SDP_ELEMENT_DATA data{};
    ASSERT_EQ(attribute(record, c.id, data), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(data.type, c.type);
    EXPECT_EQ(data.specificType, c.specificType);
    std::int64_t value = 0;
    switch (c.specificType) {
        case SDP_ST_UINT8:
            value = data.data.uint8;
            break;
        case SDP_ST_UINT16:
            value = data.data.uint16;
            break;
        case SDP_ST_UINT32:
            value = data.data.uint32;
            break;
        case SDP_ST_INT8:
            value = data.data.int8;
            break;
        default:
            value = data.data.booleanVal;
            break;
    }
    EXPECT_EQ(value, c.value);
}

INSTANTIATE_TEST_SUITE_P(Attributes, SdpScalar,
                         ::testing::Values(Scalar{0x0000, SDP_TYPE_UINT, SDP_ST_UINT32, 0x00010000},
                                           Scalar{0x0005, SDP_TYPE_UINT, SDP_ST_UINT8, 0x7F},
                                           Scalar{0x0006, SDP_TYPE_INT, SDP_ST_INT8, -1},
                                           Scalar{0x0008, SDP_TYPE_BOOLEAN, SDP_ST_NONE, 1},
                                           Scalar{0x0009, SDP_TYPE_UINT, SDP_ST_UINT16, 0x0102}));

TEST(SdpRecord, TextPointsAtItsBytes) {
    SKIP_WITHOUT_PARSERS();
    std::vector<BYTE> record = kRecord;
    SDP_ELEMENT_DATA data{};
    ASSERT_EQ(attribute(record, 0x0100, data), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(data.type, SDP_TYPE_STRING);
    ASSERT_EQ(data.data.string.length, 3u);
    EXPECT_EQ(data.data.string.value, record.data() + record.size() - 3);
    EXPECT_EQ(std::memcmp(data.data.string.value, "COM", 3), 0);
}

// A sequence's bytes start at its own header, so they can be handed to
// BluetoothSdpGetContainerElementData, which gives the children in order and
// then ERROR_NO_MORE_ITEMS.
TEST(SdpRecord, SequenceAndItsChildren) {
    SKIP_WITHOUT_PARSERS();
    std::vector<BYTE> record = kRecord;
    SDP_ELEMENT_DATA list{};
    ASSERT_EQ(attribute(record, 0x0001, list), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(list.type, SDP_TYPE_SEQUENCE);
    EXPECT_EQ(list.data.sequence.value, record.data() + 13);
    EXPECT_EQ(list.data.sequence.length, 27u);

    HBLUETOOTH_CONTAINER_ELEMENT cursor = nullptr;
    SDP_ELEMENT_DATA child{};
    auto next = [&] {
        return BluetoothSdpGetContainerElementData(list.data.sequence.value,
                                                   list.data.sequence.length, &cursor, &child);
    };
    ASSERT_EQ(next(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(child.type, SDP_TYPE_UUID);
    EXPECT_EQ(child.specificType, SDP_ST_UUID16);
    EXPECT_EQ(child.data.uuid16, 0x1101u);

    ASSERT_EQ(next(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(child.specificType, SDP_ST_UUID32);
    EXPECT_EQ(child.data.uuid32, 0x12345678u);

    ASSERT_EQ(next(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(child.specificType, SDP_ST_UUID128);
    // The record's big-endian bytes give Data1, Data2 and Data3 as numbers.
    EXPECT_EQ(child.data.uuid128.Data1, 0x00001105u);
    EXPECT_EQ(child.data.uuid128.Data2, 0x0000u);
    EXPECT_EQ(child.data.uuid128.Data3, 0x1000u);
    const UCHAR data4[8] = {0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB};
    EXPECT_EQ(std::memcmp(child.data.uuid128.Data4, data4, 8), 0);

    EXPECT_EQ(next(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
}

TEST(SdpRecord, MissingAttributeAndCutRecord) {
    SKIP_WITHOUT_PARSERS();
    std::vector<BYTE> record = kRecord;
    SDP_ELEMENT_DATA data{};
    EXPECT_EQ(attribute(record, 0x0004, data), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    std::vector<BYTE> cut(kRecord.begin(), kRecord.end() - 2);
    EXPECT_EQ(attribute(cut, 0x0000, data), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// The engine's use of the parsers: the first class of the list, expanded.
TEST(SdpRecord, ServiceClassOfTheRecord) {
    SKIP_WITHOUT_PARSERS();
    EXPECT_EQ(Corvale::ServiceClassUUID(kRecord.data(), static_cast<ULONG>(kRecord.size())),
              Corvale::BTUUID(0x1101u));
}

}  // namespace
