// The compat layer's SDP calls on hand-built bytes: every type and size
// descriptor, what each fills in, and how damaged or hostile input is refused.
#include "sdp_test_support.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace sdptest;

namespace {

DWORD getElement(Bytes& b, SDP_ELEMENT_DATA& e) {
    return BluetoothSdpGetElementData(b.data(), static_cast<ULONG>(b.size()), &e);
}

DWORD getAttribute(Bytes& b, USHORT id, SDP_ELEMENT_DATA& e) {
    return BluetoothSdpGetAttributeValue(b.data(), static_cast<ULONG>(b.size()), id, &e);
}

// A copy of `b` on the heap with nothing after it, so that ASan sees any
// read past the end.
struct Exact {
    explicit Exact(const Bytes& b, std::size_t n) : bytes(new std::uint8_t[n ? n : 1]), size(n) {
        if (n) std::memcpy(bytes.get(), b.data(), n);
    }
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size;
};

// ------------------------------------------------------ one element each
struct ElementCase {
    const char* name;
    Bytes bytes;
    SDP_TYPE type;
    SDP_SPECIFICTYPE specificType;
    std::function<void(const SDP_ELEMENT_DATA&, const std::uint8_t* stream)> check;
};

void PrintTo(const ElementCase& c, std::ostream* os) {
    *os << c.name;
}

const Bytes kUuid = uuidBytes("123456789ABCDEF01122334455667788");

std::vector<ElementCase> elementCases() {
    const Bytes text300(300, 'x');
    return {
        {"nil", {0x00}, SDP_TYPE_NIL, SDP_ST_NONE, [](auto&, auto) {}},
        {"uint8",
         {0x08, 0xFE},
         SDP_TYPE_UINT,
         SDP_ST_UINT8,
         [](auto& e, auto) { EXPECT_EQ(e.data.uint8, 0xFE); }},
        {"uint16",
         {0x09, 0x12, 0x34},
         SDP_TYPE_UINT,
         SDP_ST_UINT16,
         [](auto& e, auto) { EXPECT_EQ(e.data.uint16, 0x1234); }},
        {"uint32",
         {0x0A, 0xDE, 0xAD, 0xBE, 0xEF},
         SDP_TYPE_UINT,
         SDP_ST_UINT32,
         [](auto& e, auto) { EXPECT_EQ(e.data.uint32, 0xDEADBEEFu); }},
        {"uint64",
         {0x0B, 1, 2, 3, 4, 5, 6, 7, 8},
         SDP_TYPE_UINT,
         SDP_ST_UINT64,
         [](auto& e, auto) { EXPECT_EQ(e.data.uint64, 0x0102030405060708ull); }},
        {"uint128",
         cat({{0x0C}, bigEndian(0x8899AABBCCDDEEFFull, 8), bigEndian(0x0011223344556677ull, 8)}),
         SDP_TYPE_UINT, SDP_ST_UINT128,
         [](auto& e, auto) {
             EXPECT_EQ(e.data.uint128.HighPart, 0x8899AABBCCDDEEFFull);
             EXPECT_EQ(e.data.uint128.LowPart, 0x0011223344556677ull);
         }},
        {"int8",
         {0x10, 0x80},
         SDP_TYPE_INT,
         SDP_ST_INT8,
         [](auto& e, auto) { EXPECT_EQ(static_cast<signed char>(e.data.int8), -128); }},
        {"int16",
         {0x11, 0x80, 0x01},
         SDP_TYPE_INT,
         SDP_ST_INT16,
         [](auto& e, auto) { EXPECT_EQ(e.data.int16, -32767); }},
        {"int32",
         {0x12, 0xFF, 0xFF, 0xFF, 0xFE},
         SDP_TYPE_INT,
         SDP_ST_INT32,
         [](auto& e, auto) { EXPECT_EQ(e.data.int32, -2); }},
        {"int64",
         {0x13, 0x80, 0, 0, 0, 0, 0, 0, 0},
         SDP_TYPE_INT,
         SDP_ST_INT64,
         [](auto& e, auto) { EXPECT_EQ(e.data.int64, INT64_MIN); }},
        {"int128", cat({{0x14}, bigEndian(~0ull - 1, 8), bigEndian(5, 8)}), SDP_TYPE_INT,
         SDP_ST_INT128,
         [](auto& e, auto) {
             EXPECT_EQ(e.data.int128.HighPart, -2);
             EXPECT_EQ(e.data.int128.LowPart, 5u);
         }},
        {"uuid16",
         {0x19, 0x11, 0x01},
         SDP_TYPE_UUID,
         SDP_ST_UUID16,
         [](auto& e, auto) { EXPECT_EQ(e.data.uuid16, 0x1101); }},
        {"uuid32",
         {0x1A, 0x00, 0x01, 0x11, 0x05},
         SDP_TYPE_UUID,
         SDP_ST_UUID32,
         [](auto& e, auto) { EXPECT_EQ(e.data.uuid32, 0x00011105u); }},
        {"uuid128", uuid128(kUuid), SDP_TYPE_UUID, SDP_ST_UUID128,
         [](auto& e, auto) {
             EXPECT_EQ(e.data.uuid128.Data1, 0x12345678u);
             EXPECT_EQ(e.data.uuid128.Data2, 0x9ABC);
             EXPECT_EQ(e.data.uuid128.Data3, 0xDEF0);
             const UCHAR tail[8] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
             EXPECT_EQ(std::memcmp(e.data.uuid128.Data4, tail, 8), 0);
             EXPECT_EQ(Corvale::BTUUID(e.data.uuid128).asString(),
                       L"{12345678-9ABC-DEF0-1122-334455667788}");
         }},
        {"string8", sized(4, 1, {'a', 'b', 'c'}), SDP_TYPE_STRING, SDP_ST_NONE,
         [](auto& e, auto s) {
             EXPECT_EQ(e.data.string.value, s + 2);
             EXPECT_EQ(e.data.string.length, 3u);
         }},
        {"string8 empty", sized(4, 1, {}), SDP_TYPE_STRING, SDP_ST_NONE,
         [](auto& e, auto) { EXPECT_EQ(e.data.string.length, 0u); }},
        {"string16", sized(4, 2, text300), SDP_TYPE_STRING, SDP_ST_NONE,
         [](auto& e, auto s) {
             EXPECT_EQ(e.data.string.value, s + 3);
             EXPECT_EQ(e.data.string.length, 300u);
         }},
        {"string32", sized(4, 4, {'h', 'i'}), SDP_TYPE_STRING, SDP_ST_NONE,
         [](auto& e, auto s) {
             EXPECT_EQ(e.data.string.value, s + 5);
             EXPECT_EQ(e.data.string.length, 2u);
         }},
        {"url8", sized(8, 1, {'h', 't', 't', 'p'}), SDP_TYPE_URL, SDP_ST_NONE,
         [](auto& e, auto s) {
             EXPECT_EQ(e.data.url.value, s + 2);
             EXPECT_EQ(e.data.url.length, 4u);
         }},
        {"url16", sized(8, 2, {'u'}), SDP_TYPE_URL, SDP_ST_NONE,
         [](auto& e, auto s) {
             EXPECT_EQ(e.data.url.value, s + 3);
             EXPECT_EQ(e.data.url.length, 1u);
         }},
        {"url32", sized(8, 4, {'u', 'v'}), SDP_TYPE_URL, SDP_ST_NONE,
         [](auto& e, auto s) {
             EXPECT_EQ(e.data.url.value, s + 5);
             EXPECT_EQ(e.data.url.length, 2u);
         }},
        {"bool true",
         {0x28, 0x01},
         SDP_TYPE_BOOLEAN,
         SDP_ST_NONE,
         [](auto& e, auto) { EXPECT_EQ(e.data.booleanVal, 1); }},
        {"bool false",
         {0x28, 0x00},
         SDP_TYPE_BOOLEAN,
         SDP_ST_NONE,
         [](auto& e, auto) { EXPECT_EQ(e.data.booleanVal, 0); }},
        {"sequence8", sized(6, 1, uuid16(0x1101)), SDP_TYPE_SEQUENCE, SDP_ST_NONE,
         [](auto& e, auto s) {
             EXPECT_EQ(e.data.sequence.value, s);
             EXPECT_EQ(e.data.sequence.length, 5u);
         }},
        {"sequence16", sized(6, 2, cat({u8(1), u8(2)})), SDP_TYPE_SEQUENCE, SDP_ST_NONE,
         [](auto& e, auto s) {
             EXPECT_EQ(e.data.sequence.value, s);
             EXPECT_EQ(e.data.sequence.length, 7u);
         }},
        {"sequence32 empty", sized(6, 4, {}), SDP_TYPE_SEQUENCE, SDP_ST_NONE,
         [](auto& e, auto s) {
             EXPECT_EQ(e.data.sequence.value, s);
             EXPECT_EQ(e.data.sequence.length, 5u);
         }},
        {"alternative8", sized(7, 1, cat({nil(), nil()})), SDP_TYPE_ALTERNATIVE, SDP_ST_NONE,
         [](auto& e, auto s) {
             EXPECT_EQ(e.data.alternative.value, s);
             EXPECT_EQ(e.data.alternative.length, 4u);
         }},
        {"alternative16", sized(7, 2, u16(7)), SDP_TYPE_ALTERNATIVE, SDP_ST_NONE,
         [](auto& e, auto s) {
             EXPECT_EQ(e.data.alternative.value, s);
             EXPECT_EQ(e.data.alternative.length, 6u);
         }},
        {"alternative32", sized(7, 4, sized(6, 4, {})), SDP_TYPE_ALTERNATIVE, SDP_ST_NONE,
         [](auto& e, auto s) {
             EXPECT_EQ(e.data.alternative.value, s);
             EXPECT_EQ(e.data.alternative.length, 10u);
         }},
    };
}

class ElementTest : public ::testing::TestWithParam<ElementCase> {};

TEST_P(ElementTest, DecodesTypeSizeAndValue) {
    const auto& c = GetParam();
    Exact exact(c.bytes, c.bytes.size());
    SDP_ELEMENT_DATA e;
    std::memset(&e, 0xA5, sizeof e);
    ASSERT_EQ(BluetoothSdpGetElementData(exact.bytes.get(), static_cast<ULONG>(exact.size), &e),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(e.type, c.type);
    EXPECT_EQ(e.specificType, c.specificType);
    c.check(e, exact.bytes.get());
}

TEST_P(ElementTest, ParsesOnlyTheFirstElementOfALongerStream) {
    const auto& c = GetParam();
    Bytes longer = cat({c.bytes, {0xFF, 0x35}});
    SDP_ELEMENT_DATA e{};
    ASSERT_EQ(getElement(longer, e), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(e.type, c.type);
    EXPECT_EQ(e.specificType, c.specificType);
    c.check(e, longer.data());
}

TEST_P(ElementTest, RefusesEveryTruncation) {
    const auto& c = GetParam();
    for (std::size_t cut = 0; cut < c.bytes.size(); ++cut) {
        Exact exact(c.bytes, cut);
        SDP_ELEMENT_DATA e;
        std::memset(&e, 0x5A, sizeof e);
        const SDP_ELEMENT_DATA before = e;
        EXPECT_EQ(BluetoothSdpGetElementData(exact.bytes.get(), static_cast<ULONG>(cut), &e),
                  static_cast<DWORD>(ERROR_INVALID_PARAMETER))
            << "cut at " << cut;
        EXPECT_EQ(std::memcmp(&e, &before, sizeof e), 0) << "output written on failure";
    }
}

TEST_P(ElementTest, IsFoundAsAnAttributeValue) {
    const auto& c = GetParam();
    Bytes rec = record({{0x0000, u32(0x10000)}, {0x4242, c.bytes}, {0xFFFF, nil()}});
    SDP_ELEMENT_DATA e{};
    ASSERT_EQ(getAttribute(rec, 0x4242, e), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(e.type, c.type);
    EXPECT_EQ(e.specificType, c.specificType);
    // The value follows the record header, the first pair (3 + 5) and the
    // second attribute ID (3).
    const std::size_t header = rec[0] == 0x35 ? 2 : rec[0] == 0x36 ? 3 : 5;
    c.check(e, rec.data() + header + 11);
}

INSTANTIATE_TEST_SUITE_P(EveryTypeAndSize, ElementTest, ::testing::ValuesIn(elementCases()),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             for (auto& ch : n)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return n;
                         });

// --------------------------------------------- all 256 descriptor bytes
// The allowed size indexes per type, from the Core Specification's table.
bool descriptorAllowed(int type, int index) {
    switch (type) {
        case 0:
            return index == 0;
        case 1:
        case 2:
            return index <= 4;
        case 3:
            return index == 1 || index == 2 || index == 4;
        case 4:
        case 6:
        case 7:
        case 8:
            return index >= 5;
        case 5:
            return index == 0;
        default:
            return false;
    }
}

TEST(SdpDescriptor, EveryDescriptorByteIsAcceptedExactlyWhenTheTypeAllowsTheSize) {
    for (int d = 0; d < 256; ++d) {
        // Enough zero bytes for any fixed size; a length prefix of zero.
        Bytes b(1 + 16, 0);
        b[0] = static_cast<std::uint8_t>(d);
        SDP_ELEMENT_DATA e{};
        const bool allowed = descriptorAllowed(d >> 3, d & 7);
        EXPECT_EQ(getElement(b, e),
                  static_cast<DWORD>(allowed ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER))
            << "descriptor 0x" << std::hex << d;
    }
}

// ------------------------------------------------- lengths that lie
struct LyingCase {
    const char* name;
    Bytes bytes;
};

void PrintTo(const LyingCase& c, std::ostream* os) {
    *os << c.name;
}

class LyingLengthTest : public ::testing::TestWithParam<LyingCase> {};

TEST_P(LyingLengthTest, IsRefusedAloneInARecordAndAsAClassList) {
    const auto& c = GetParam();
    Exact alone(c.bytes, c.bytes.size());
    SDP_ELEMENT_DATA e{};
    EXPECT_EQ(BluetoothSdpGetElementData(alone.bytes.get(), static_cast<ULONG>(alone.size), &e),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    // Inside a record whose own header is honest.
    Bytes rec = record({{0x0001, c.bytes}});
    Exact inRecord(rec, rec.size());
    EXPECT_EQ(BluetoothSdpGetAttributeValue(inRecord.bytes.get(), static_cast<ULONG>(rec.size()),
                                            0x0001, &e),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(Corvale::ServiceClassUUID(inRecord.bytes.get(), static_cast<ULONG>(rec.size())),
              Corvale::BTUUID());
}

INSTANTIATE_TEST_SUITE_P(
    PastTheEnd, LyingLengthTest,
    ::testing::Values(LyingCase{"string8", {0x25, 10, 'a', 'b', 'c'}},
                      LyingCase{"string16", {0x26, 0x01, 0x00, 'a'}},
                      LyingCase{"string32 absurd", {0x27, 0xFF, 0xFF, 0xFF, 0xFF, 'a'}},
                      LyingCase{"url32 just past", {0x47, 0, 0, 0, 3, 'a', 'b'}},
                      LyingCase{"sequence32 absurd",
                                {0x37, 0xFF, 0xFF, 0xFF, 0xFF, 0x19, 0x11, 0x01}},
                      LyingCase{"sequence8 child past its end", {0x35, 0x02, 0x19, 0x11, 0x01}},
                      LyingCase{"child length past parent", {0x35, 0x04, 0x25, 0x05, 'a', 'b'}},
                      LyingCase{"alternative16 one short", {0x3E, 0x00, 0x04, 0x19, 0x11, 0x01}},
                      LyingCase{"prefix itself cut", {0x37, 0x00, 0x00}},
                      LyingCase{"reserved type inside", {0x35, 0x02, 0x48, 0x00}},
                      LyingCase{"nil with size", {0x35, 0x02, 0x01, 0x00}},
                      LyingCase{"uuid with size index 0", {0x35, 0x02, 0x18, 0x01}}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (auto& ch : n)
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return n;
    });

// ------------------------------------------------------ records
TEST(SdpAttribute, FindsTopLevelAttributesOnly) {
    // 0x0002 appears only inside another value; it is not an attribute.
    Bytes rec = record({{0x0001, seq({uuid16(0x1101)})},
                        {0x0004, seq({u16(0x0002), u8(9)})},
                        {0xFFFF, boolean(true)}});
    SDP_ELEMENT_DATA e{};
    EXPECT_EQ(getAttribute(rec, 0x0002, e), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(getAttribute(rec, 0x1101, e), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    ASSERT_EQ(getAttribute(rec, 0xFFFF, e), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(e.type, SDP_TYPE_BOOLEAN);
    ASSERT_EQ(getAttribute(rec, 0x0004, e), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(e.type, SDP_TYPE_SEQUENCE);
    EXPECT_EQ(e.data.sequence.value, rec.data() + 2 + 3 + 5 + 3);
    EXPECT_EQ(e.data.sequence.length, 2u + 3u + 2u);
}

TEST(SdpAttribute, FirstOfTwoEqualIdsWins) {
    Bytes rec = record({{0x0100, text("first")}, {0x0100, text("second")}});
    SDP_ELEMENT_DATA e{};
    ASSERT_EQ(getAttribute(rec, 0x0100, e), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(e.data.string.value), e.data.string.length),
              "first");
}

TEST(SdpAttribute, EmptyRecordHasNoAttributes) {
    for (int prefix : {1, 2, 4}) {
        Bytes rec = sized(6, prefix, {});
        SDP_ELEMENT_DATA e{};
        EXPECT_EQ(getAttribute(rec, 0x0000, e), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    }
}

struct BadRecordCase {
    const char* name;
    Bytes bytes;
};

void PrintTo(const BadRecordCase& c, std::ostream* os) {
    *os << c.name;
}

class BadRecordTest : public ::testing::TestWithParam<BadRecordCase> {};

TEST_P(BadRecordTest, IsRefusedWhateverIsAskedFor) {
    const auto& c = GetParam();
    Exact exact(c.bytes, c.bytes.size());
    for (USHORT id : {0x0000, 0x0001, 0x0100, 0xFFFF}) {
        SDP_ELEMENT_DATA e{};
        EXPECT_EQ(BluetoothSdpGetAttributeValue(exact.bytes.get(), static_cast<ULONG>(exact.size),
                                                id, &e),
                  static_cast<DWORD>(ERROR_INVALID_PARAMETER))
            << "attribute " << id;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Malformed, BadRecordTest,
    ::testing::Values(
        BadRecordCase{"alternative at the top", varying(7, cat({u16(1), seq({uuid16(0x1101)})}))},
        BadRecordCase{"not a container", uuid16(0x1101)},
        BadRecordCase{"id without value", seq({u16(1), seq({}), u16(0x100)})},
        BadRecordCase{"id as uint8", seq({u8(1), seq({uuid16(0x1101)})})},
        BadRecordCase{"id as uint32", seq({u32(1), seq({uuid16(0x1101)})})},
        BadRecordCase{"id as uuid16", seq({uuid16(1), seq({uuid16(0x1101)})})},
        BadRecordCase{"trailing byte after the record", cat({record({{1, seq({})}}), {0x00}})},
        // Bytes past the record's own length are not part of it, even when
        // they look like an attribute.
        BadRecordCase{"attribute past the record's end",
                      cat({record({{0x0100, text("x")}}), u16(1), seq({uuid16(0x1101)})})},
        BadRecordCase{"damage after the asked attribute",
                      seq({u16(1), seq({uuid16(0x1101)}), u16(2), Bytes{0x25, 0x09}})},
        BadRecordCase{"absurd record length",
                      cat({{0x37, 0xFF, 0xFF, 0xFF, 0xF0}, u16(1), nil()})}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (auto& ch : n)
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return n;
    });

// The record's outline is checked whatever is asked for; the inside of a
// value only when that value is asked for.
TEST(SdpAttribute, DamageInsideOneValueOnlyRefusesThatValue) {
    // 0x0004's sequence says 3 bytes, but its child claims 9.
    Bytes rec = record({{0x0001, seq({uuid16(0x1101)})},
                        {0x0004, Bytes{0x35, 0x03, 0x25, 0x09, 'a'}},
                        {0x0005, nest(40, nil())}});
    SDP_ELEMENT_DATA e{};
    EXPECT_EQ(getAttribute(rec, 0x0001, e), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(getAttribute(rec, 0x0004, e), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(getAttribute(rec, 0x0005, e), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(getAttribute(rec, 0x0009, e), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Corvale::ServiceClassUUID(rec.data(), static_cast<ULONG>(rec.size())),
              Corvale::BTUUID(0x1101u));
}

TEST(SdpAttribute, NullAndEmptyArgumentsAreRefused) {
    Bytes rec = record({{1, seq({uuid16(0x1101)})}});
    SDP_ELEMENT_DATA e{};
    EXPECT_EQ(BluetoothSdpGetAttributeValue(nullptr, 10, 1, &e),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(BluetoothSdpGetAttributeValue(rec.data(), static_cast<ULONG>(rec.size()), 1, nullptr),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(BluetoothSdpGetAttributeValue(rec.data(), 0, 1, &e),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(BluetoothSdpGetElementData(nullptr, 3, &e),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(BluetoothSdpGetElementData(rec.data(), 0, &e),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(BluetoothSdpGetElementData(rec.data(), static_cast<ULONG>(rec.size()), nullptr),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// A record cut at every byte, with its outer header rewritten to the cut
// length so that only the inner lengths can give the damage away. Only cuts
// that fall between two attributes leave a record that reads.
TEST(SdpAttribute, RecordCutAtEveryByteUnderAnHonestHeader) {
    const std::vector<std::pair<std::uint16_t, Bytes>> attributes = {
        {0x0000, u32(0x00010001)},
        {0x0001, seq({uuid16(0x1101), uuid128(kUuid)})},
        {0x0004, seq({seq({uuid16(0x0100)}), seq({uuid16(0x0003), u8(4)})})},
        {0x0100, text("Serial Port")}};
    Bytes body;
    std::vector<std::size_t> boundaries = {0};
    for (const auto& [id, value] : attributes) {
        body = cat({body, u16(id), value});
        boundaries.push_back(body.size());
    }
    for (std::size_t cut = 0; cut <= body.size(); ++cut) {
        const Bytes rec = varying(6, Bytes(body.begin(), body.begin() + cut));
        Exact exact(rec, rec.size());
        SDP_ELEMENT_DATA e{};
        const DWORD rc =
            BluetoothSdpGetAttributeValue(exact.bytes.get(), static_cast<ULONG>(rec.size()), 1, &e);
        const bool onBoundary =
            std::find(boundaries.begin(), boundaries.end(), cut) != boundaries.end();
        const bool hasClasses = cut >= boundaries[2];
        const DWORD expected = !onBoundary  ? ERROR_INVALID_PARAMETER
                               : hasClasses ? ERROR_SUCCESS
                                            : ERROR_FILE_NOT_FOUND;
        EXPECT_EQ(rc, expected) << "cut at " << cut;
        const Corvale::BTUUID uuid =
            Corvale::ServiceClassUUID(exact.bytes.get(), static_cast<ULONG>(rec.size()));
        EXPECT_EQ(uuid, expected == ERROR_SUCCESS ? Corvale::BTUUID(0x1101u) : Corvale::BTUUID())
            << "cut at " << cut;
    }
}

TEST(SdpAttribute, RecordTruncatedAtEveryByteIsRefused) {
    const Bytes rec = record({{0x0001, seq({uuid16(0x1101)})}, {0x0100, text("Name")}});
    for (std::size_t cut = 0; cut < rec.size(); ++cut) {
        Exact exact(rec, cut);
        SDP_ELEMENT_DATA e{};
        EXPECT_NE(BluetoothSdpGetAttributeValue(exact.bytes.get(), static_cast<ULONG>(cut), 1, &e),
                  static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_EQ(Corvale::ServiceClassUUID(exact.bytes.get(), static_cast<ULONG>(cut)),
                  Corvale::BTUUID());
    }
}

// ---------------------------------------------------------- nesting
TEST(SdpNesting, ThirtyTwoLevelsReadAndThirtyThreeDoNot) {
    // The record is the first level; its value adds the rest.
    Bytes ok = record({{0x0001, nest(31, uuid16(0x1101))}});
    Bytes deep = record({{0x0001, nest(32, uuid16(0x1101))}});
    SDP_ELEMENT_DATA e{};
    EXPECT_EQ(getAttribute(ok, 0x0001, e), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(getAttribute(deep, 0x0001, e), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    // The same bound on a lone element and on a container's children.
    Bytes lone32 = nest(32, nil());
    Bytes lone33 = nest(33, nil());
    EXPECT_EQ(getElement(lone32, e), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(getElement(lone33, e), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    HBLUETOOTH_CONTAINER_ELEMENT cursor = nullptr;
    EXPECT_EQ(BluetoothSdpGetContainerElementData(lone32.data(), static_cast<ULONG>(lone32.size()),
                                                  &cursor, &e),
              static_cast<DWORD>(ERROR_SUCCESS));
    cursor = nullptr;
    EXPECT_EQ(BluetoothSdpGetContainerElementData(lone33.data(), static_cast<ULONG>(lone33.size()),
                                                  &cursor, &e),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(SdpNesting, TenThousandLevelsAreRefusedWithoutExhaustingTheStack) {
    Bytes deepList = nest(10000, uuid16(0x1101));
    Bytes rec = record({{0x0001, deepList}});
    SDP_ELEMENT_DATA e{};
    EXPECT_EQ(getAttribute(rec, 0x0001, e), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(Corvale::ServiceClassUUID(rec.data(), static_cast<ULONG>(rec.size())),
              Corvale::BTUUID());
    EXPECT_EQ(getElement(deepList, e), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// --------------------------------------------------- container walk
TEST(SdpContainer, WalksDirectChildrenInStoredOrderThenSaysNoMore) {
    for (int prefix : {1, 2, 4}) {
        for (int type : {6, 7}) {
            Bytes c =
                sized(type, prefix, cat({uuid16(0x1112), seq({uuid16(0x1203)}), text("x"), u8(7)}));
            HBLUETOOTH_CONTAINER_ELEMENT cursor = nullptr;
            SDP_ELEMENT_DATA e{};
            const ULONG n = static_cast<ULONG>(c.size());
            std::vector<SDP_TYPE> seen;
            while (BluetoothSdpGetContainerElementData(c.data(), n, &cursor, &e) == ERROR_SUCCESS)
                seen.push_back(e.type);
            EXPECT_EQ(seen, (std::vector<SDP_TYPE>{SDP_TYPE_UUID, SDP_TYPE_SEQUENCE,
                                                   SDP_TYPE_STRING, SDP_TYPE_UINT}))
                << "type " << type << " prefix " << prefix;
            // The end stays the end.
            EXPECT_EQ(BluetoothSdpGetContainerElementData(c.data(), n, &cursor, &e),
                      static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
        }
    }
}

TEST(SdpContainer, EmptyContainerHasNoChildren) {
    for (int prefix : {1, 2, 4}) {
        Bytes c = sized(6, prefix, {});
        HBLUETOOTH_CONTAINER_ELEMENT cursor = nullptr;
        SDP_ELEMENT_DATA e{};
        EXPECT_EQ(BluetoothSdpGetContainerElementData(c.data(), static_cast<ULONG>(c.size()),
                                                      &cursor, &e),
                  static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    }
}

TEST(SdpContainer, ACursorIsAValueThatCanBeReplayed) {
    Bytes c = seq({u8(1), u8(2), u8(3)});
    const ULONG n = static_cast<ULONG>(c.size());
    HBLUETOOTH_CONTAINER_ELEMENT cursor = nullptr;
    SDP_ELEMENT_DATA e{};
    ASSERT_EQ(BluetoothSdpGetContainerElementData(c.data(), n, &cursor, &e),
              static_cast<DWORD>(ERROR_SUCCESS));
    const HBLUETOOTH_CONTAINER_ELEMENT afterFirst = cursor;
    ASSERT_EQ(BluetoothSdpGetContainerElementData(c.data(), n, &cursor, &e),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(e.data.uint8, 2);
    cursor = afterFirst;
    ASSERT_EQ(BluetoothSdpGetContainerElementData(c.data(), n, &cursor, &e),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(e.data.uint8, 2);
}

TEST(SdpContainer, DamagedChildEndsTheWalkAfterTheGoodOnes) {
    // The container's header is honest; its third child claims more bytes
    // than the container holds.
    Bytes c = seq({uuid16(0x1101), uuid16(0x1102), Bytes{0x25, 0x7F, 'a'}});
    const ULONG n = static_cast<ULONG>(c.size());
    HBLUETOOTH_CONTAINER_ELEMENT cursor = nullptr;
    SDP_ELEMENT_DATA e{};
    EXPECT_EQ(BluetoothSdpGetContainerElementData(c.data(), n, &cursor, &e),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(BluetoothSdpGetContainerElementData(c.data(), n, &cursor, &e),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(e.data.uuid16, 0x1102);
    const HBLUETOOTH_CONTAINER_ELEMENT before = cursor;
    EXPECT_EQ(BluetoothSdpGetContainerElementData(c.data(), n, &cursor, &e),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(cursor, before) << "a failed call must not move the cursor";
}

TEST(SdpContainer, StreamMustBeExactlyOneContainer) {
    SDP_ELEMENT_DATA e{};
    const auto call = [&](Bytes b, ULONG n) {
        HBLUETOOTH_CONTAINER_ELEMENT cursor = nullptr;
        return BluetoothSdpGetContainerElementData(b.data(), n, &cursor, &e);
    };
    const Bytes c = seq({u8(1)});
    EXPECT_EQ(call(c, static_cast<ULONG>(c.size())), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(call(cat({c, {0}}), static_cast<ULONG>(c.size() + 1)),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(call(c, static_cast<ULONG>(c.size() - 1)),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(call(text("abc"), 5), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(call(uuid16(0x1101), 3), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(call(c, 0), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    HBLUETOOTH_CONTAINER_ELEMENT cursor = nullptr;
    Bytes b = c;
    EXPECT_EQ(BluetoothSdpGetContainerElementData(nullptr, 3, &cursor, &e),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(BluetoothSdpGetContainerElementData(b.data(), 3, nullptr, &e),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(BluetoothSdpGetContainerElementData(b.data(), 3, &cursor, nullptr),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// Cursors that were never handed out for this container: each is refused and
// leaves the output alone, and none leads to a read outside the buffer.
TEST(SdpContainer, GarbageCursorsAreRefused) {
    Bytes c = seq({uuid16(0x1101), uuid16(0x1102), uuid16(0x1103)});
    Exact exact(c, c.size());
    const ULONG n = static_cast<ULONG>(c.size());
    // A real cursor, for the same container bytes at another address.
    Bytes twin = c;
    HBLUETOOTH_CONTAINER_ELEMENT foreign = nullptr;
    SDP_ELEMENT_DATA e{};
    ASSERT_EQ(BluetoothSdpGetContainerElementData(twin.data(), n, &foreign, &e),
              static_cast<DWORD>(ERROR_SUCCESS));
    const auto handle = [](std::uintptr_t v) {
        return reinterpret_cast<HBLUETOOTH_CONTAINER_ELEMENT>(v);
    };
    std::vector<HBLUETOOTH_CONTAINER_ELEMENT> garbage = {
        handle(1),
        handle(2),
        handle(3),
        handle(6),
        handle(7),
        handle(n + 2),
        handle(0xFFFF),
        handle(0xFFFFFFFFu),
        handle(~std::uintptr_t{0}),
        handle(reinterpret_cast<std::uintptr_t>(c.data())),
        foreign};
    for (std::uintptr_t v = 0x100000001ull; v < 0x100000000ull + 32; ++v)
        garbage.push_back(handle(v));
    for (std::size_t i = 0; i < garbage.size(); ++i) {
        HBLUETOOTH_CONTAINER_ELEMENT cursor = garbage[i];
        SDP_ELEMENT_DATA out;
        std::memset(&out, 0x77, sizeof out);
        const SDP_ELEMENT_DATA before = out;
        EXPECT_EQ(BluetoothSdpGetContainerElementData(exact.bytes.get(), n, &cursor, &out),
                  static_cast<DWORD>(ERROR_INVALID_PARAMETER))
            << "garbage cursor #" << i;
        EXPECT_EQ(cursor, garbage[i]);
        EXPECT_EQ(std::memcmp(&out, &before, sizeof out), 0);
    }
    // A cursor handed out for a longer container at the same address, used
    // after the container was rewritten to a shorter length.
    Bytes sameAddress = seq({uuid16(0x1101), uuid16(0x1102), uuid16(0x1103), uuid16(0x1104)});
    HBLUETOOTH_CONTAINER_ELEMENT first = nullptr;
    ASSERT_EQ(BluetoothSdpGetContainerElementData(
                  sameAddress.data(), static_cast<ULONG>(sameAddress.size()), &first, &e),
              static_cast<DWORD>(ERROR_SUCCESS));
    sameAddress[1] = static_cast<std::uint8_t>(c.size() - 2);  // now a 3-child sequence
    EXPECT_EQ(BluetoothSdpGetContainerElementData(sameAddress.data(), n, &first, &e),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
