// ServiceClassUUID over records built by hand, through the compat layer's
// SDP calls: which class a record's ServiceClassIDList yields.
#include "sdp_test_support.h"

#include <cctype>
#include <string>

using namespace sdptest;
using Corvale::BTUUID;

namespace {

const Bytes kCustom = uuidBytes("123456789ABCDEF01122334455667788");
const GUID kCustomGuid = {
    0x12345678, 0x9ABC, 0xDEF0, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}};
// The 128-bit form of 0x1105 on the Bluetooth base UUID.
const Bytes kObexPush128 = uuidBytes("0000110500001000800000805F9B34FB");

struct ClassCase {
    const char* name;
    Bytes record;
    BTUUID expected;
};

void PrintTo(const ClassCase& c, std::ostream* os) {
    *os << c.name;
}

BTUUID shortForm(std::uint32_t v) {
    return BTUUID(v);
}

std::vector<ClassCase> classCases() {
    return {
        {"single 16-bit", record({{1, seq({uuid16(0x1101)})}}), shortForm(0x1101)},
        {"first of two wins", record({{1, seq({uuid16(0x1112), uuid16(0x1203)})}}),
         shortForm(0x1112)},
        {"A B A gives B", record({{1, seq({uuid16(0x1112), uuid16(0x1203), uuid16(0x1112)})}}),
         shortForm(0x1203)},
        {"A A gives A", record({{1, seq({uuid16(0x1112), uuid16(0x1112)})}}), shortForm(0x1112)},
        {"A B A B gives A", record({{1, seq({uuid16(1), uuid16(2), uuid16(1), uuid16(2)})}}),
         shortForm(1)},
        {"128-bit unchanged", record({{1, seq({uuid128(kCustom)})}}), BTUUID(kCustomGuid)},
        {"32-bit", record({{1, seq({uuid32(0x00011105)})}}), shortForm(0x00011105)},
        {"nested sequence first then UUID",
         record({{1, seq({seq({uuid16(0x1101)}), uuid16(0x1203)})}}), shortForm(0x1203)},
        {"only a nested sequence", record({{1, seq({seq({uuid16(0x1101)})})}}), BTUUID()},
        {"empty list", record({{1, seq({})}}), BTUUID()},
        {"no attribute 0x0001", record({{0, u32(0x10000)}, {0x100, text("Name")}}), BTUUID()},
        {"16 and 32 bit forms of one value are one UUID",
         record({{1, seq({uuid16(0x1105), uuid16(0x1106), uuid32(0x1105)})}}), shortForm(0x1106)},
        {"16 and 128 bit forms of one value are one UUID",
         record({{1, seq({uuid16(0x1105), uuid16(0x1106), uuid128(kObexPush128)})}}),
         shortForm(0x1106)},
        {"list is a single UUID, not a sequence", record({{1, uuid16(0x1101)}}), BTUUID()},
        {"list is a string", record({{1, text("0x1101")}}), BTUUID()},
        {"list is an integer", record({{1, u32(0x1101)}}), BTUUID()},
        {"list is nil", record({{1, nil()}}), BTUUID()},
        {"list is an alternative", record({{1, alt({uuid16(0x1101), uuid16(0x1102)})}}),
         shortForm(0x1101)},
        {"non-UUID children are skipped",
         record({{1, seq({u16(0x1101), text("x"), boolean(true), uuid16(0x110A)})}}),
         shortForm(0x110A)},
        {"list with a 32-bit length", record({{1, sized(6, 4, uuid16(0x1101))}}),
         shortForm(0x1101)},
        {"list with a 16-bit length", record({{1, sized(6, 2, uuid16(0x1101))}}),
         shortForm(0x1101)},
        {"attribute 0x0001 twice: the first counts",
         record({{1, seq({uuid16(0x1101)})}, {1, seq({uuid16(0x1102)})}}), shortForm(0x1101)},
        {"0x0001 inside another attribute is not the list",
         record({{4, seq({u16(1), seq({uuid16(0x1101)})})}}), BTUUID()},
        {"damaged record", cat({record({{1, seq({uuid16(0x1101)})}}), {0x00}}), BTUUID()},
    };
}

class ServiceClassTest : public ::testing::TestWithParam<ClassCase> {};

TEST_P(ServiceClassTest, GivesTheClassOfTheRecord) {
    const auto& c = GetParam();
    const BTUUID got =
        Corvale::ServiceClassUUID(c.record.data(), static_cast<ULONG>(c.record.size()));
    EXPECT_EQ(got.asString(), c.expected.asString());
}

INSTANTIATE_TEST_SUITE_P(EdgeCases, ServiceClassTest, ::testing::ValuesIn(classCases()),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             for (auto& ch : n)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return n;
                         });

TEST(ServiceClass, ShortFormExpandsOnTheBluetoothBase) {
    Bytes rec = record({{1, seq({uuid16(0x1101)})}});
    EXPECT_EQ(Corvale::ServiceClassUUID(rec.data(), static_cast<ULONG>(rec.size())).asString(),
              L"{00001101-0000-1000-8000-00805F9B34FB}");
}

TEST(ServiceClass, CustomUuidKeepsItsFields) {
    Bytes rec = record({{1, seq({uuid128(kCustom)})}});
    const GUID g = Corvale::ServiceClassUUID(rec.data(), static_cast<ULONG>(rec.size())).guid();
    EXPECT_EQ(g.Data1, 0x12345678u);
    EXPECT_EQ(g.Data2, 0x9ABC);
    EXPECT_EQ(g.Data3, 0xDEF0);
    EXPECT_EQ(g.Data4[0], 0x11);
    EXPECT_EQ(g.Data4[7], 0x88);
}

TEST(ServiceClass, NullRecordGivesNull) {
    EXPECT_EQ(Corvale::ServiceClassUUID(nullptr, 40), BTUUID());
}

}  // namespace
