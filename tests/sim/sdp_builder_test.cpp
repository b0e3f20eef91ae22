// The simulated world's SDP encoder, byte for byte against the data element
// layout of the Bluetooth Core Specification, and its record scanner against
// malformed input.
#include "sdp_builder.h"

#include <gtest/gtest.h>

namespace {
using namespace Corvale::Sim::sdp;

struct EncodeCase {
    const char* what;
    Element element;
    Bytes expected;
};

class Encoding : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(Encoding, IsByteExact) {
    EXPECT_EQ(GetParam().element.bytes, GetParam().expected) << GetParam().what;
}

Bytes textOf(std::size_t header, std::size_t length, std::initializer_list<std::uint8_t> size) {
    Bytes b;
    b.reserve(1 + size.size() + length);
    b.push_back(static_cast<std::uint8_t>(header));
    for (std::uint8_t s : size) b.push_back(s);
    b.resize(b.size() + length, 'a');
    return b;
}

const GUID kVendor = {0x8E1F0CF7, 0x508F, 0x4875, {0xB6, 0x2C, 0xFB, 0xB6, 0x7F, 0xD3, 0x48, 0x12}};

INSTANTIATE_TEST_SUITE_P(
    Cases, Encoding,
    ::testing::Values(
        EncodeCase{"nil", nil(), {0x00}}, EncodeCase{"uint8", uint8(0x12), {0x08, 0x12}},
        EncodeCase{"uint16", uint16(0x1234), {0x09, 0x12, 0x34}},
        EncodeCase{"uint32", uint32(0x12345678), {0x0A, 0x12, 0x34, 0x56, 0x78}},
        EncodeCase{"uint64",
                   uint64(0x0102030405060708),
                   {0x0B, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08}},
        EncodeCase{"int8", int8(-1), {0x10, 0xFF}},
        EncodeCase{"int16", int16(-2), {0x11, 0xFF, 0xFE}},
        EncodeCase{"boolean", boolean(true), {0x28, 0x01}},
        EncodeCase{"uuid16", uuid16(0x1101), {0x19, 0x11, 0x01}},
        EncodeCase{"uuid32", uuid32(0x00011101), {0x1A, 0x00, 0x01, 0x11, 0x01}},
        EncodeCase{"uuid128",
                   uuid128(kVendor),
                   {0x1C, 0x8E, 0x1F, 0x0C, 0xF7, 0x50, 0x8F, 0x48, 0x75, 0xB6, 0x2C, 0xFB, 0xB6,
                    0x7F, 0xD3, 0x48, 0x12}},
        EncodeCase{"base UUID shortened", uuid(baseUuid(0x1124)), {0x19, 0x11, 0x24}},
        EncodeCase{"32-bit on base stays 128", uuid(baseUuid(0x00012345)),
                   uuid128(baseUuid(0x00012345)).bytes},
        EncodeCase{"text", text("ab"), {0x25, 0x02, 'a', 'b'}},
        EncodeCase{"text 255", text(std::string(255, 'a')), textOf(0x25, 255, {0xFF})},
        EncodeCase{"text 256", text(std::string(256, 'a')), textOf(0x26, 256, {0x01, 0x00})},
        EncodeCase{"text 65536", text(std::string(65536, 'a')),
                   textOf(0x27, 65536, {0x00, 0x01, 0x00, 0x00})},
        EncodeCase{"url", url("x"), {0x45, 0x01, 'x'}},
        EncodeCase{
            "sequence", sequence({uint8(1), uint8(2)}), {0x35, 0x04, 0x08, 0x01, 0x08, 0x02}},
        EncodeCase{"alternative", alternative({uuid16(0x0100)}), {0x3D, 0x03, 0x19, 0x01, 0x00}},
        EncodeCase{"empty sequence", sequence({}), {0x35, 0x00}}));

TEST(SdpRecord, AttributesAreSortedAndPaired) {
    const Bytes r = record({{0x0100, text("a")}, {0x0001, sequence({uuid16(0x1101)})}});
    const Bytes expected = {0x35, 0x0E, 0x09, 0x00, 0x01, 0x35, 0x03, 0x19,
                            0x11, 0x01, 0x09, 0x01, 0x00, 0x25, 0x01, 'a'};
    EXPECT_EQ(r, expected);
}

TEST(SdpRecord, PublishedSerialRecordIsByteExact) {
    const Bytes r = publishedRecord(0x00010000, baseUuid(0x1101), "COM", "", 5);
    const Bytes expected = {
        0x35, 0x3F,                                            // the record
        0x09, 0x00, 0x00, 0x0A, 0x00, 0x01, 0x00, 0x00,        // ServiceRecordHandle
        0x09, 0x00, 0x01, 0x35, 0x03, 0x19, 0x11, 0x01,        // ServiceClassIDList
        0x09, 0x00, 0x04, 0x35, 0x0C, 0x35, 0x03, 0x19, 0x01,  // ProtocolDescriptorList
        0x00, 0x35, 0x05, 0x19, 0x00, 0x03, 0x08, 0x05,        //   L2CAP, RFCOMM 5
        0x09, 0x00, 0x05, 0x35, 0x03, 0x19, 0x10, 0x02,        // BrowseGroupList
        0x09, 0x00, 0x06, 0x35, 0x09, 0x09, 0x65, 0x6E, 0x09,  // LanguageBase...
        0x00, 0x6A, 0x09, 0x01, 0x00,                          //   en, UTF-8, 0x0100
        0x09, 0x01, 0x00, 0x25, 0x03, 'C',  'O',  'M'};        // ServiceName
    EXPECT_EQ(r, Bytes(expected.begin(), expected.end()));
    EXPECT_EQ(r.size(), 2u + 0x3Fu);
}

TEST(SdpScan, FindsUuidsAtAnyDepthAndInEveryForm) {
    const GUID l2cap = baseUuid(0x0100);
    EXPECT_TRUE(mayMatch(sequence({sequence({uuid16(0x0100)})}).bytes, l2cap));
    EXPECT_TRUE(mayMatch(sequence({uuid32(0x0100)}).bytes, l2cap));
    EXPECT_TRUE(mayMatch(sequence({uuid128(l2cap)}).bytes, l2cap));
    EXPECT_TRUE(mayMatch(sequence({alternative({uuid16(0x0100)})}).bytes, l2cap));
    EXPECT_FALSE(mayMatch(sequence({uuid16(0x1200), uint16(0x0100)}).bytes, l2cap));
    EXPECT_FALSE(mayMatch(sequence({text("\x19\x01\x00")}).bytes, l2cap));
}

TEST(SdpScan, EveryPrefixOfARecordIsPassedOnNotRuledOut) {
    const Bytes r = publishedRecord(1, baseUuid(0x1101), "Name", "Comment", 3);
    const GUID other = baseUuid(0x1234);
    EXPECT_FALSE(mayMatch(r, other));
    for (std::size_t n = 0; n < r.size(); ++n) {
        const Bytes prefix(r.begin(), r.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_TRUE(mayMatch(prefix, other)) << n;
        (void)serviceClass(prefix);
    }
    Bytes trailing = r;
    trailing.push_back(0x00);
    EXPECT_TRUE(mayMatch(trailing, other));
}

TEST(SdpScan, DeepNestingIsBoundedNotRecursedWithoutEnd) {
    Bytes deep;
    for (int i = 0; i < 100000; ++i) deep.insert(deep.end(), {0x35, 0x00});
    EXPECT_TRUE(mayMatch(deep, baseUuid(0x0100)));  // trailing elements: malformed
    Element nested = uuid16(0x0100);
    for (int i = 0; i < 40; ++i) nested = sequence({nested});
    EXPECT_TRUE(mayMatch(nested.bytes, baseUuid(0x1234)));  // too deep: passed on
}

TEST(SdpScan, ServiceClassIsTheFirstUuidOfTheList) {
    const Bytes r = record({{0x0001, sequence({uuid128(kVendor), uuid16(0x1101)})}});
    const auto c = serviceClass(r);
    ASSERT_TRUE(c.has_value());
    EXPECT_TRUE(sameGuid(*c, kVendor));
    EXPECT_FALSE(serviceClass(record({{0x0100, text("no class")}})).has_value());
    EXPECT_FALSE(serviceClass(Bytes{0x35, 0x05, 0x09, 0x00, 0x01, 0x35, 0x00}).has_value());
}

}  // namespace
