// BTAddress and BTDevice: the address text, the 48-bit mask, the null-address
// rule of the constructors and deep copies.
#include <corvale/BTDevice.h>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <tuple>
#include <type_traits>
#include <utility>

using namespace Corvale;

// Plain values: copies are copies of the bytes, and constants can be made
// at compile time.
static_assert(std::is_trivially_copyable_v<BTAddress>);
static_assert(BTAddress(0xFFFF001122334455).value() == 0x001122334455);
static_assert(BTAddress::fromString(L"00:11:22:33:44:55") == BTAddress(0x001122334455));

// Only the low 48 bits of what the platform reports are the address; its
// text form parses back to it, and no other text parses.
TEST(Address, MasksTo48BitsPrintsAndParsesBack) {
    const std::pair<BTH_ADDR, const wchar_t*> cases[] = {
        {0x0010DCE96A1B, L"00:10:DC:E9:6A:1B"},
        {0x800000000A0B, L"80:00:00:00:0A:0B"},
        {0xFFFF001122334455, L"00:11:22:33:44:55"},
        {0x8000000000000000, L"00:00:00:00:00:00"}};
    for (auto [platform, text] : cases) {
        const BTAddress a(platform);
        EXPECT_EQ(a.value(), platform & 0xFFFFFFFFFFFF);
        EXPECT_EQ(a.isNull(), a.value() == 0);
        EXPECT_EQ(a.asString(), text);
        EXPECT_EQ(BTAddress::fromString(text), a);
    }
    EXPECT_EQ(BTAddress::fromString(L"5c:f3:70:12:8a:41"), BTAddress(0x5CF370128A41));
    for (const wchar_t* text :
         {L"", L"(00:10:DC:E9:6A:1B)", L"00:10:DC:E9:6A:1B ", L"00-10-DC-E9-6A-1B"})
        EXPECT_EQ(BTAddress::fromString(text), std::nullopt) << text;
    EXPECT_FALSE(BTAddress(0x001122334455) == BTAddress(0x011122334455));
}

// Every address-taking constructor and the copy constructor refuse a null
// address with this wide text; the default constructor and assignment do not.
TEST(Device, NullAddressThrowsTheWideText) {
    const BTClassOfDevice phone(0x5A020C);
    BTDevice named;
    named.Name() = L"unnamed radio";
    const std::function<void()> makers[] = {
        [] { BTDevice d{BTAddress(0)}; }, [] { BTDevice d(BTAddress(1ULL << 48), L"Headset"); },
        [&] { BTDevice d(BTAddress(0), phone); },
        [&] { BTDevice d(BTAddress(0), phone, L"Phone"); }, [&] { BTDevice d(named); }};
    for (const auto& make : makers) {
        try {
            make();
            ADD_FAILURE() << "no throw";
        } catch (const wchar_t* text) {
            EXPECT_STREQ(text, L"Device address is null.");
        }
    }
    BTDevice x(BTAddress(0x0010DCE96A1B), phone, L"Phone");
    x = BTDevice();
    EXPECT_TRUE(x.Address().isNull() && x.Name().empty() && x.COD().value() == 0);
}

// Each constructor keeps what it was given (a name as the platform reported
// it, NULs included), and so do copies.
TEST(Device, ConstructorsAndCopies) {
    const BTAddress a(0x0010DCE96A1B);
    const BTClassOfDevice phone(0x5A020C);
    const std::wstring nul(L"a\0b", 3);
    for (auto [device, cod, name] : {std::make_tuple(BTDevice(a), 0u, std::wstring()),
                                     std::make_tuple(BTDevice(a, nul), 0u, nul),
                                     std::make_tuple(BTDevice(a, phone), 0x5A020Cu, std::wstring()),
                                     std::make_tuple(BTDevice(a, phone, nul), 0x5A020Cu, nul)}) {
        BTDevice copy(device), assigned;
        assigned = device;
        for (const BTDevice* d : {&device, &copy, &assigned}) {
            EXPECT_EQ(d->Address(), a);
            EXPECT_EQ(d->COD().value(), cod);
            EXPECT_EQ(d->Name(), name);
            EXPECT_TRUE(d->Services().empty());
        }
    }
}
