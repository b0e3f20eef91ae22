// BTUUID and BTService: text parsing, short forms, the text form, equality,
// random values and the GUID byte layout in memory.
#include <corvale/BTService.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <tuple>
#include <type_traits>

using namespace Corvale;
using Bytes = std::array<unsigned char, 16>;

static Bytes memoryOf(const BTUUID& u) {
    Bytes b;
    std::memcpy(b.data(), &u.guid(), 16);
    return b;
}

static constexpr Bytes kBase = {0,    0, 0, 0,    0,    0,    0,    0x10,
                                0x80, 0, 0, 0x80, 0x5F, 0x9B, 0x34, 0xFB};
static const wchar_t* const kSerial = L"{00001101-0000-1000-8000-00805F9B34FB}";

static_assert(std::is_trivially_copyable_v<BTUUID>);
static_assert(BTUUID(0x0100u) == BTUUID(L2CAP_PROTOCOL_UUID));

// Data1-3 are numbers, least significant byte first in memory; a short form
// replaces Data1 of the base, so 0 is the base itself, not the null UUID. A
// UUID on the base gives its short form back; any other gives none.
TEST(Uuid, MemoryLayoutAndShortForms) {
    Bytes serial = kBase;
    serial[0] = 0x01, serial[1] = 0x11;
    EXPECT_EQ(memoryOf(BTUUID(0x1101u)), serial);
    const GUID g = BTUUID(L"{12345678-9ABC-DEF0-1122-334455667788}").guid();
    EXPECT_TRUE(g.Data1 == 0x12345678 && g.Data2 == 0x9ABC && g.Data3 == 0xDEF0 &&
                g.Data4[0] == 0x11);
    EXPECT_EQ(BTUUID(0u).asString(), L"{00000000-0000-1000-8000-00805F9B34FB}");
    EXPECT_EQ(BTUUID(0xFFFFFFFFu).asString(), L"{FFFFFFFF-0000-1000-8000-00805F9B34FB}");
    for (std::uint32_t form : {0x0u, 0x1101u, 0x10000u, 0xFFFFFFFFu})
        EXPECT_EQ(BTUUID(form).shortForm(), form);
    EXPECT_EQ(BTUUID(kSerial).shortForm(), 0x1101u);
    EXPECT_EQ(BTUUID().shortForm(), std::nullopt);
    EXPECT_EQ(BTUUID(g).shortForm(), std::nullopt);
}

// Any character but an ASCII hex digit is skipped; exactly 32 digits make a
// UUID, any other count (the 0 of a 0x prefix counts) gives the null UUID.
TEST(Uuid, ParsingRules) {
    const wchar_t* const serials[] = {kSerial, L"0000110100001000800000805f9b34fb",
                                      L"00001101-0000-1000-8000-00805f9B34Fb",
                                      L"  (0000:1101)[0000_1000]<8000.0080/5F9B;34FB>! ",
                                      L"gG0000110100001000800000805F9B34FBzZx"};
    const wchar_t* const nulls[] = {L"0x0000110100001000800000805F9B34FB",
                                    L"{0000110-0000-1000-8000-00805F9B34FB}", L"",
                                    L"\uFF10\uFF10000110100001000800000805F9B34FB", nullptr};
    for (const wchar_t* text : serials) {
        EXPECT_EQ(BTUUID(text).asString(), kSerial) << text;
        EXPECT_EQ(BTUUID(std::wstring(text)).asString(), kSerial) << text;
    }
    for (const wchar_t* text : nulls) {
        EXPECT_EQ(BTUUID(text).asString(), L"{00000000-0000-0000-0000-000000000000}");
        EXPECT_EQ(BTUUID(std::wstring(text ? text : L"")), BTUUID());
    }
    EXPECT_EQ(BTUUID(L"abcdef0123456789ABCDEF0123456789").asString(),
              L"{ABCDEF01-2345-6789-ABCD-EF0123456789}");
}

// The text form is upper case and parses back to the same value, which
// differs from the base in any one changed bit of any byte. Random values
// come from rand() as the caller seeded it (the engine never seeds it), and a
// random short form stays on the base.
TEST(Uuid, TextFormRoundTripsAndEveryByteCounts) {
    std::srand(12345);
    const BTUUID first = BTUUID::random(false);
    std::srand(12345);
    EXPECT_EQ(BTUUID::random(false), first);
    for (int i = 0; i < 200; ++i) {
        const BTUUID u = BTUUID::random(i % 2 == 0);
        const std::wstring text = u.asString();
        EXPECT_EQ(text.find_first_of(L"abcdef"), std::wstring::npos) << text;
        EXPECT_EQ(BTUUID(text), u) << text;
        EXPECT_EQ(u.shortForm().has_value(), i % 2 == 0) << text;
    }
    for (std::size_t i = 0; i < 16; ++i) {
        Bytes b = kBase;
        b[i] ^= 0x01;
        GUID changed;
        std::memcpy(&changed, b.data(), 16);
        EXPECT_FALSE(BTUUID(changed) == BTUUID(Bluetooth_Base_UUID)) << i;
    }
}

// Copies of a UUID or a service carry every field; texts a constructor does
// not take stay empty.
TEST(Service, ConstructorsAndCopies) {
    auto fields = [](const BTService& s) {
        return std::make_tuple(s.UUID().asString(), s.Name(), s.Comment(), s.Port());
    };
    const BTService full(BTUUID(0x1101u), L"Serial Port", L"COM link", 1);
    BTService assigned;
    assigned = full;
    EXPECT_EQ(fields(assigned), std::make_tuple(kSerial, L"Serial Port", L"COM link", 1));
    EXPECT_EQ(fields(BTService(full)), fields(full));
    EXPECT_EQ(fields(BTService(full.UUID(), 3)), std::make_tuple(kSerial, L"", L"", 3));
    EXPECT_EQ(fields(BTService(full.UUID(), L"COM", 9)), std::make_tuple(kSerial, L"COM", L"", 9));
}
