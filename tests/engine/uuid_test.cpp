// BTUUID and BTService: text parsing, short forms, the text form, equality,
// random values and the GUID byte layout in memory.
#include <corvale/BTService.h>
#include <corvale/BTUUID.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <string>

using Corvale::BTService;
using Corvale::BTUUID;

namespace {

using Bytes = std::array<unsigned char, 16>;

Bytes memoryOf(const GUID& g) {
    static_assert(sizeof(GUID) == 16);
    Bytes b;
    std::memcpy(b.data(), &g, 16);
    return b;
}

constexpr Bytes kBaseBytes = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10,
                              0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB};

const wchar_t* const kNullText = L"{00000000-0000-0000-0000-000000000000}";
const wchar_t* const kSerialPortText = L"{00001101-0000-1000-8000-00805F9B34FB}";

// ---------------------------------------------------------------------------
// Memory layout.

TEST(Guid, BaseUuidMemoryBytes) {
    EXPECT_EQ(memoryOf(Corvale::Bluetooth_Base_UUID), kBaseBytes);
}

TEST(Guid, BTUUIDHoldsOneGuidAndNothingElse) {
    EXPECT_EQ(sizeof(BTUUID), 16u);
}

TEST(Guid, ShortFormLandsInData1LeastSignificantByteFirst) {
    Bytes expected = kBaseBytes;
    expected[0] = 0x01;
    expected[1] = 0x11;
    EXPECT_EQ(memoryOf(BTUUID(0x1101u).guid()), expected);
}

TEST(Guid, ParsedTextFillsTheFieldsMostSignificantFirst) {
    const BTUUID u(L"{12345678-9ABC-DEF0-1122-334455667788}");
    EXPECT_EQ(u.guid().Data1, 0x12345678u);
    EXPECT_EQ(u.guid().Data2, 0x9ABCu);
    EXPECT_EQ(u.guid().Data3, 0xDEF0u);
    const Bytes expected = {0x78, 0x56, 0x34, 0x12, 0xBC, 0x9A, 0xF0, 0xDE,
                            0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    EXPECT_EQ(memoryOf(u.guid()), expected);
}

// ---------------------------------------------------------------------------
// Constants, defaults and short forms.

TEST(Uuid, DefaultIsNull) {
    EXPECT_EQ(BTUUID().asString(), kNullText);
    EXPECT_EQ(memoryOf(BTUUID().guid()), Bytes{});
}

TEST(Uuid, ConstantsPrintAsTheirValues) {
    EXPECT_EQ(BTUUID(Corvale::UUID_NULL).asString(), kNullText);
    EXPECT_EQ(BTUUID(Corvale::Bluetooth_Base_UUID).asString(),
              L"{00000000-0000-1000-8000-00805F9B34FB}");
    EXPECT_EQ(BTUUID(Corvale::L2CAP_PROTOCOL_UUID).asString(),
              L"{00000100-0000-1000-8000-00805F9B34FB}");
}

struct ShortCase {
    std::uint32_t shortForm;
    const wchar_t* text;
};

class ShortForm : public ::testing::TestWithParam<ShortCase> {};

TEST_P(ShortForm, ExpandsOnTheBaseUuid) {
    EXPECT_EQ(BTUUID(GetParam().shortForm).asString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ShortForm,
    ::testing::Values(ShortCase{0x1101, L"{00001101-0000-1000-8000-00805F9B34FB}"},
                      ShortCase{0x0100, L"{00000100-0000-1000-8000-00805F9B34FB}"},
                      ShortCase{0x0001, L"{00000001-0000-1000-8000-00805F9B34FB}"},
                      ShortCase{0xFFFF, L"{0000FFFF-0000-1000-8000-00805F9B34FB}"},
                      ShortCase{0x00010000, L"{00010000-0000-1000-8000-00805F9B34FB}"},
                      ShortCase{0x12345678, L"{12345678-0000-1000-8000-00805F9B34FB}"},
                      ShortCase{0xFFFFFFFF, L"{FFFFFFFF-0000-1000-8000-00805F9B34FB}"},
                      // Short form 0 is the base itself, not the null UUID.
                      ShortCase{0x0000, L"{00000000-0000-1000-8000-00805F9B34FB}"}));

TEST(Uuid, ShortFormsEqualTheirConstants) {
    EXPECT_EQ(BTUUID(0x0100u), BTUUID(Corvale::L2CAP_PROTOCOL_UUID));
    EXPECT_EQ(BTUUID(0x0000u), BTUUID(Corvale::Bluetooth_Base_UUID));
    EXPECT_FALSE(BTUUID(0x0000u) == BTUUID());
    // A 16-bit value passed zero-extended gives the same as the 32-bit form.
    const std::uint16_t sixteen = 0x1101;
    EXPECT_EQ(BTUUID(static_cast<std::uint32_t>(sixteen)), BTUUID(0x00001101u));
}

// ---------------------------------------------------------------------------
// Text to BTUUID. Every case runs through both text constructors.

struct ParseCase {
    const wchar_t* text;
    const wchar_t* expected;  // asString of the result
    const char* why;
};

class Parse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(Parse, PointerConstructor) {
    const ParseCase& c = GetParam();
    EXPECT_EQ(BTUUID(c.text).asString(), c.expected) << c.why;
}

TEST_P(Parse, StringConstructor) {
    const ParseCase& c = GetParam();
    EXPECT_EQ(BTUUID(std::wstring(c.text)).asString(), c.expected) << c.why;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Parse,
    ::testing::Values(
        ParseCase{L"{00001101-0000-1000-8000-00805F9B34FB}", kSerialPortText, "own text form"},
        ParseCase{L"0000110100001000800000805f9b34fb", kSerialPortText, "lower case, bare"},
        ParseCase{L"0000110100001000800000805F9B34FB", kSerialPortText, "upper case, bare"},
        ParseCase{L"00001101-0000-1000-8000-00805f9B34Fb", kSerialPortText, "mixed case"},
        ParseCase{L"  0000 1101 0000 1000 8000 0080 5F9B 34FB  ", kSerialPortText, "blanks"},
        ParseCase{L"(0000:1101)[0000_1000]<8000.0080/5F9B;34FB>!", kSerialPortText,
                  "any punctuation"},
        ParseCase{L"0\t0\n0\r0\x1101", L"{00000000-0000-0000-0000-000000000000}",
                  "4 digits and control characters"},
        ParseCase{L"gG0000110100001000800000805F9B34FBzZ-xX", kSerialPortText,
                  "letters beyond F are skipped"},
        ParseCase{L"x0000110100001000800000805F9B34FB", kSerialPortText, "the x alone is skipped"},
        ParseCase{L"0x0000110100001000800000805F9B34FB", kNullText,
                  "the 0 of a 0x prefix counts: 33 digits"},
        ParseCase{L"{0000110-0000-1000-8000-00805F9B34FB}", kNullText, "31 digits"},
        ParseCase{L"{000001101-0000-1000-8000-00805F9B34FB}", kNullText, "33 digits"},
        ParseCase{L"00001101000010008000008050F9B34FB00001101000010008000008050F9B34FB", kNullText,
                  "many more than 32 digits"},
        ParseCase{L"", kNullText, "empty"}, ParseCase{L"{--}", kNullText, "no digits"},
        ParseCase{L"1", kNullText, "one digit"},
        // Digits of other scripts and full-width forms are not hexadecimal digits here.
        ParseCase{L"\uFF10\uFF10000110100001000800000805F9B34FB", kNullText,
                  "full-width zeros do not count"},
        ParseCase{L"\u0660000110100001000800000805F9B34FB", kNullText,
                  "an Arabic-Indic zero does not count"},
        ParseCase{L"{ABCDEF01-2345-6789-ABCD-EF0123456789}",
                  L"{ABCDEF01-2345-6789-ABCD-EF0123456789}", "every digit value"},
        ParseCase{L"abcdef0123456789abcdef0123456789", L"{ABCDEF01-2345-6789-ABCD-EF0123456789}",
                  "lower-case digit values"},
        ParseCase{L"{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}",
                  L"{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}", "all ones"}));

TEST(Uuid, NullPointerGivesNull) {
    const wchar_t* none = nullptr;
    EXPECT_EQ(BTUUID(none), BTUUID());
    EXPECT_EQ(BTUUID(none).asString(), kNullText);
}

TEST(Uuid, TextUpperLowerBareAndShortFormAllAgree) {
    const BTUUID shortForm(0x1101u);
    EXPECT_EQ(BTUUID(kSerialPortText), shortForm);
    EXPECT_EQ(BTUUID(L"0000110100001000800000805f9b34fb"), shortForm);
    EXPECT_EQ(BTUUID(std::wstring(L"00001101-0000-1000-8000-00805F9B34FB")), shortForm);
}

// ---------------------------------------------------------------------------
// Text form and round trips.

GUID guidOf(std::uint32_t d1, std::uint16_t d2, std::uint16_t d3, Bytes d4) {
    GUID g{};
    g.Data1 = d1;
    g.Data2 = d2;
    g.Data3 = d3;
    std::memcpy(g.Data4, d4.data(), 8);
    return g;
}

TEST(Uuid, TextFormPadsEveryFieldAndUsesUpperCase) {
    const BTUUID u(guidOf(0xA, 0xB, 0xC, {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xFF}));
    EXPECT_EQ(u.asString(), L"{0000000A-000B-000C-0001-0203040506FF}");
    const BTUUID v(guidOf(0xDEADBEEF, 0xCAFE, 0xF00D, {0xAB, 0xCD, 0xEF, 0xA0, 0, 0, 0, 0x0E}));
    EXPECT_EQ(v.asString(), L"{DEADBEEF-CAFE-F00D-ABCD-EFA00000000E}");
}

std::wstring withoutPunctuation(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text)
        if (std::iswxdigit(c)) out += static_cast<wchar_t>(std::towlower(c));
    return out;
}

TEST(Uuid, TextFormRoundTrips) {
    std::srand(12345);
    std::vector<BTUUID> values = {BTUUID(), BTUUID(0x1101u), BTUUID(0xFFFFFFFFu),
                                  BTUUID(Corvale::L2CAP_PROTOCOL_UUID),
                                  BTUUID(guidOf(0x01020304, 0x0506, 0x0708,
                                                {0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10}))};
    for (int i = 0; i < 200; ++i) values.push_back(BTUUID::random(i % 2 == 0));
    for (const BTUUID& u : values) {
        const std::wstring text = u.asString();
        ASSERT_EQ(text.size(), 38u) << text;
        EXPECT_EQ(text.front(), L'{');
        EXPECT_EQ(text.back(), L'}');
        for (std::size_t pos : {9u, 14u, 19u, 24u}) EXPECT_EQ(text[pos], L'-') << text;
        for (wchar_t c : text)
            EXPECT_FALSE(c >= L'a' && c <= L'f') << "lower-case digit in " << text;
        EXPECT_EQ(BTUUID(text), u) << text;
        EXPECT_EQ(BTUUID(text.c_str()), u) << text;
        EXPECT_EQ(BTUUID(withoutPunctuation(text)), u) << text;
    }
}

// ---------------------------------------------------------------------------
// Equality: all 16 bytes take part.

TEST(Uuid, EveryByteTakesPartInEquality) {
    const GUID base = Corvale::Bluetooth_Base_UUID;
    const BTUUID reference(base);
    for (std::size_t i = 0; i < 16; ++i) {
        Bytes b = memoryOf(base);
        b[i] ^= 0x01;
        GUID changed;
        std::memcpy(&changed, b.data(), 16);
        EXPECT_FALSE(BTUUID(changed) == reference) << "byte " << i;
        EXPECT_FALSE(reference == BTUUID(changed)) << "byte " << i;
    }
    EXPECT_EQ(BTUUID(base), reference);
}

TEST(Uuid, CopyAndAssignmentCopyTheValue) {
    const BTUUID original(L"{12345678-9ABC-DEF0-1122-334455667788}");
    const BTUUID copy(original);
    EXPECT_EQ(copy, original);
    BTUUID assigned;
    assigned = original;
    EXPECT_EQ(assigned, original);
    BTUUID& self = assigned;
    assigned = self;
    EXPECT_EQ(assigned.asString(), L"{12345678-9ABC-DEF0-1122-334455667788}");
}

// ---------------------------------------------------------------------------
// random: each byte is the low 8 bits of one rand() call, in memory order.

TEST(Uuid, RandomShortFormReplacesOnlyTheFourBytesOfData1) {
    std::srand(2024);
    Bytes expected = kBaseBytes;
    for (int i = 0; i < 4; ++i) expected[i] = static_cast<unsigned char>(std::rand() & 0xFF);
    std::srand(2024);
    EXPECT_EQ(memoryOf(BTUUID::random(true).guid()), expected);
}

TEST(Uuid, RandomFullFillsAllSixteenBytes) {
    std::srand(77);
    Bytes expected;
    for (auto& b : expected) b = static_cast<unsigned char>(std::rand() & 0xFF);
    std::srand(77);
    EXPECT_EQ(memoryOf(BTUUID::random(false).guid()), expected);
}

TEST(Uuid, RandomShortFormsKeepTheBase) {
    std::srand(99);
    int distinct = 0;
    BTUUID previous;
    for (int i = 0; i < 100; ++i) {
        const BTUUID u = BTUUID::random(true);
        const Bytes b = memoryOf(u.guid());
        EXPECT_TRUE(std::equal(b.begin() + 4, b.end(), kBaseBytes.begin() + 4)) << u.asString();
        EXPECT_EQ(u.asString().substr(9), L"-0000-1000-8000-00805F9B34FB}");
        if (!(u == previous)) ++distinct;
        previous = u;
    }
    EXPECT_GT(distinct, 90);
}

// ---------------------------------------------------------------------------
// BTService.

TEST(Service, DefaultIsEmpty) {
    const BTService s;
    EXPECT_EQ(s.UUID(), BTUUID());
    EXPECT_TRUE(s.Name().empty());
    EXPECT_TRUE(s.Comment().empty());
    EXPECT_EQ(s.Port(), 0u);
}

TEST(Service, ConstructorsLeaveUntakenTextsEmpty) {
    const BTUUID uuid(0x1101u);
    const struct {
        BTService service;
        const wchar_t* name;
        const wchar_t* comment;
        std::uint32_t port;
    } cases[] = {
        {BTService(uuid, 3), L"", L"", 3},
        {BTService(uuid, L"Serial Port", 0xFFFFFFFF), L"Serial Port", L"", 0xFFFFFFFF},
        {BTService(uuid, L"Serial Port", L"COM link", 1), L"Serial Port", L"COM link", 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.service.UUID(), uuid);
        EXPECT_EQ(c.service.Name(), c.name);
        EXPECT_EQ(c.service.Comment(), c.comment);
        EXPECT_EQ(c.service.Port(), c.port);
    }
}

TEST(Service, CopyAndAssignmentCopyAllFourFields) {
    const BTService original(BTUUID(0x110Au), L"Audio Source", L"A2DP", 25);
    BTService copy(original);
    BTService assigned;
    assigned = original;
    BTService& self = assigned;
    assigned = self;
    for (const BTService* s : {&copy, &assigned}) {
        EXPECT_EQ(s->UUID(), BTUUID(0x110Au));
        EXPECT_EQ(s->Name(), L"Audio Source");
        EXPECT_EQ(s->Comment(), L"A2DP");
        EXPECT_EQ(s->Port(), 25u);
    }
}

}  // namespace
