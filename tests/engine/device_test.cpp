// BTAddress and BTDevice: the address text, the 48-bit mask, the null-address
// rule of the constructors, deep copies and the process-wide cache switch.
#include <corvale/BTDevice.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cwchar>
#include <functional>
#include <string>

using Corvale::BTAddress;
using Corvale::BTClassOfDevice;
using Corvale::BTDevice;
using Corvale::BTUUID;

namespace {

constexpr const wchar_t* kNullAddressText = L"Device address is null.";

// ---------------------------------------------------------------------------
// BTAddress.

struct AddressCase {
    std::uint64_t platform;  // as the platform reports it
    std::uint64_t value;     // the 48 bits kept
    const wchar_t* text;
};

class AddressText : public ::testing::TestWithParam<AddressCase> {};

TEST_P(AddressText, MasksAndPrints) {
    const AddressCase& c = GetParam();
    const BTAddress a(static_cast<BTH_ADDR>(c.platform));
    EXPECT_EQ(a.value(), c.value);
    EXPECT_EQ(a.isNull(), c.value == 0);
    EXPECT_EQ(a.asString(), c.text);
    EXPECT_EQ(a.asString().size(), 17u);
}

INSTANTIATE_TEST_SUITE_P(
    Values, AddressText,
    ::testing::Values(AddressCase{0x0, 0x0, L"00:00:00:00:00:00"},
                      AddressCase{0x0010DCE96A1B, 0x0010DCE96A1B, L"00:10:DC:E9:6A:1B"},
                      AddressCase{0x00000A0B0C, 0x00000A0B0C, L"00:00:00:0A:0B:0C"},
                      AddressCase{0xABCDEF012345, 0xABCDEF012345, L"AB:CD:EF:01:23:45"},
                      AddressCase{0x800000000001, 0x800000000001, L"80:00:00:00:00:01"},
                      AddressCase{0x000100000000, 0x000100000000, L"00:01:00:00:00:00"},
                      AddressCase{0x0000FFFFFFFF, 0x0000FFFFFFFF, L"00:00:FF:FF:FF:FF"},
                      // Bits 48 to 63 are dropped.
                      AddressCase{0xFFFF001122334455, 0x001122334455, L"00:11:22:33:44:55"},
                      AddressCase{0xFFFFFFFFFFFFFFFF, 0xFFFFFFFFFFFF, L"FF:FF:FF:FF:FF:FF"},
                      AddressCase{0x0001000000000000, 0x0, L"00:00:00:00:00:00"},
                      AddressCase{0x8000000000000000, 0x0, L"00:00:00:00:00:00"}));

TEST(Address, DefaultIsNull) {
    const BTAddress a;
    EXPECT_TRUE(a.isNull());
    EXPECT_EQ(a.value(), 0u);
    EXPECT_EQ(a.asString(), L"00:00:00:00:00:00");
}

TEST(Address, SameDeviceWhenThe48BitsAreEqual) {
    EXPECT_EQ(BTAddress(0xFFFF001122334455), BTAddress(0x001122334455));
    EXPECT_FALSE(BTAddress(0x001122334455) == BTAddress(0x011122334455));
    EXPECT_FALSE(BTAddress(0x001122334455) == BTAddress(0x001122334454));
}

TEST(Address, CopyAndAssignment) {
    const BTAddress original(0x0010DCE96A1B);
    const BTAddress copy(original);
    EXPECT_EQ(copy.asString(), L"00:10:DC:E9:6A:1B");
    BTAddress assigned;
    assigned = original;
    EXPECT_EQ(assigned.value(), 0x0010DCE96A1Bu);
    BTAddress& self = assigned;
    assigned = self;
    EXPECT_EQ(assigned.value(), 0x0010DCE96A1Bu);
}

// ---------------------------------------------------------------------------
// BTDevice constructors.

// One of the address-taking constructors of BTDevice.
struct Constructor {
    const char* name;
    std::function<BTDevice(const BTAddress&)> make;
    std::uint32_t cod;     // the class word it must hold
    const wchar_t* label;  // the name it must hold
};

const Constructor kConstructors[] = {
    {"address", [](const BTAddress& a) { return BTDevice(a); }, 0, L""},
    {"address, name", [](const BTAddress& a) { return BTDevice(a, std::wstring(L"Headset")); }, 0,
     L"Headset"},
    {"address, class", [](const BTAddress& a) { return BTDevice(a, BTClassOfDevice(0x5A020C)); },
     0x5A020C, L""},
    {"address, class, name",
     [](const BTAddress& a) {
         return BTDevice(a, BTClassOfDevice(0x5A020C), std::wstring(L"Phone \u00e9"));
     },
     0x5A020C, L"Phone \u00e9"},
};

class DeviceConstructor : public ::testing::TestWithParam<Constructor> {};

// Runs f and returns the wide text it threw as const wchar_t*, or nullptr
// when it threw nothing. Anything else thrown fails the test.
const wchar_t* thrownText(const std::function<void()>& f) {
    try {
        f();
    } catch (const wchar_t* text) {
        return text;
    }
    return nullptr;
}

TEST_P(DeviceConstructor, NullAddressThrowsTheWideText) {
    const Constructor& c = GetParam();
    for (std::uint64_t null : {std::uint64_t{0}, std::uint64_t{0xFFFF000000000000}}) {
        const wchar_t* text = thrownText([&] { (void)c.make(BTAddress(null)); });
        ASSERT_NE(text, nullptr) << c.name;
        EXPECT_STREQ(text, kNullAddressText) << c.name;
    }
}

TEST_P(DeviceConstructor, KeepsWhatItWasGiven) {
    const Constructor& c = GetParam();
    const BTDevice d = c.make(BTAddress(0x0010DCE96A1B));
    EXPECT_EQ(d.Address().value(), 0x0010DCE96A1Bu);
    EXPECT_EQ(d.COD().value(), c.cod);
    EXPECT_EQ(d.Name(), c.label);
    EXPECT_TRUE(d.Services().empty());
    EXPECT_FALSE(d.hasService(BTUUID()));
    EXPECT_FALSE(d.hasService(BTUUID(0x1101u)));
}

INSTANTIATE_TEST_SUITE_P(All, DeviceConstructor, ::testing::ValuesIn(kConstructors),
                         [](const ::testing::TestParamInfo<Constructor>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p; ++p)
                                 if (std::isalpha(static_cast<unsigned char>(*p))) name += *p;
                             return name;
                         });

TEST(Device, DefaultConstructorAcceptsTheNullAddress) {
    const BTDevice d;
    EXPECT_TRUE(d.Address().isNull());
    EXPECT_EQ(d.COD().value(), 0u);
    EXPECT_TRUE(d.Name().empty());
    EXPECT_TRUE(d.Services().empty());
    EXPECT_FALSE(d.hasService(BTUUID()));
}

TEST(Device, CopyOfANullRecordThrows) {
    const BTDevice empty;
    const wchar_t* text = thrownText([&] { BTDevice copy(empty); });
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, kNullAddressText);

    // Even with a name and class filled in, the copy tests the address.
    BTDevice named;
    named.Name() = L"unnamed radio";
    named.COD() = BTClassOfDevice(0x5A020C);
    text = thrownText([&] { BTDevice copy(named); });
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, kNullAddressText);
}

TEST(Device, AssigningANullRecordDoesNotThrow) {
    BTDevice x(BTAddress(0x0010DCE96A1B), BTClassOfDevice(0x5A020C), L"Phone");
    EXPECT_EQ(thrownText([&] { x = BTDevice(); }), nullptr);
    EXPECT_TRUE(x.Address().isNull());
    EXPECT_EQ(x.COD().value(), 0u);
    EXPECT_TRUE(x.Name().empty());
    EXPECT_TRUE(x.Services().empty());
}

TEST(Device, SelfAssignmentChangesNothing) {
    BTDevice x(BTAddress(0x0010DCE96A1B), BTClassOfDevice(0x5A020C), L"Phone");
    BTDevice& self = x;
    x = self;
    EXPECT_EQ(x.Address().value(), 0x0010DCE96A1Bu);
    EXPECT_EQ(x.COD().value(), 0x5A020Cu);
    EXPECT_EQ(x.Name(), L"Phone");
}

TEST(Device, CopiesAreIndependent) {
    const BTDevice original(BTAddress(0x0010DCE96A1B), BTClassOfDevice(0x5A020C), L"Phone");
    BTDevice copy(original);
    EXPECT_EQ(copy.Address(), original.Address());
    EXPECT_EQ(copy.COD(), original.COD());
    EXPECT_EQ(copy.Name(), L"Phone");

    copy.Name() += L" 2";
    copy.COD().setMajor(1);
    EXPECT_EQ(original.Name(), L"Phone");
    EXPECT_EQ(original.COD().value(), 0x5A020Cu);

    BTDevice assigned;
    assigned = original;
    assigned.Name().clear();
    EXPECT_EQ(original.Name(), L"Phone");
    EXPECT_EQ(assigned.Address(), original.Address());
}

TEST(Device, NameMayHoldAnyText) {
    // The name is the platform's text as reported, embedded NULs included.
    const std::wstring name(L"a\0b", 3);
    const BTDevice d(BTAddress(1), name);
    EXPECT_EQ(d.Name(), name);
    EXPECT_EQ(d.Name().size(), 3u);
}

// ---------------------------------------------------------------------------
// The process-wide cache switch of service discovery.

TEST(Device, InquiryCacheSwitchIsSharedByAllRecords) {
    BTDevice::setInquiryCache(true);
    EXPECT_TRUE(BTDevice::getInquiryCache());
    BTDevice::setInquiryCache(false);
    EXPECT_FALSE(BTDevice::getInquiryCache());
    BTDevice::setInquiryCache(true);
    const BTDevice a(BTAddress(1)), b(BTAddress(2));
    EXPECT_TRUE(a.getInquiryCache());
    EXPECT_TRUE(b.getInquiryCache());
    BTDevice::setInquiryCache(false);
    EXPECT_FALSE(a.getInquiryCache());
}

}  // namespace
