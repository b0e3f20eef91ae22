// BTClassOfDevice: the validity rule, the fields and every text. Expected
// texts are written out here from the Class of Device tables, never taken from
// the class itself.
#include <corvale/BTClassOfDevice.h>

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

using Corvale::BTClassOfDevice;

// Only the raw constructor validates: format bits 00 and at least one service
// bit (13, 16-23; the reserved 14 and 15 do not count), else the word is 0.
TEST(ClassOfDevice, ValidityRule) {
    const std::pair<std::uint32_t, bool> cases[] = {
        {0x000000, false}, {0x000104, false}, {0x002105, false},   {0x002106, false},
        {0x002107, false}, {0x00C100, false}, {0xFF000104, false}, {0xFFFFFFFD, false},
        {0x002000, true},  {0x00E100, true},  {0x5A020C, true},    {0xFF5A020C, true},
        {0x010000, true},  {0x800000, true},  {0xFFFFFFFC, true}};
    for (auto [raw, kept] : cases) {
        EXPECT_EQ(BTClassOfDevice(raw).value(), kept ? raw : 0u) << raw;
        EXPECT_EQ(BTClassOfDevice(raw).isValid(), kept) << raw;
    }
}

// Worked examples and the corners of each field, as one line: the first and
// last row of each numbered minor table and the first past it, the
// peripheral kind's prefixes (bits 4-5) before its row (bits 0-3), the
// imaging flags (bits 2-5) in fixed order, majors with no minor and the
// reserved ones. Bits 24-31 are kept but change no field or text.
TEST(ClassOfDevice, ServicesAndWholeText) {
    const std::tuple<std::uint32_t, std::uint32_t, const wchar_t*> cases[] = {
        {0x5A020C, 0x2D0,
         L"Phone > Smart phone - [Networking | Capturing (scanner, microphone) | "
         L"Object transfer | Telephony]"},
        {0x002540, 0x001, L"Peripheral > Keyboard / Unclassified - [Limited discovery]"},
        {0x0406C0, 0x020, L"Imaging > Scanner / Printer - [Rendering (printing, speakers)]"},
        {0x000104, 0, L"Miscellaneous > (none) - [(none)]"},
        {0x0020FC, 0x001, L"Miscellaneous > (none) - [Limited discovery]"},
        {0x002100, 0x001, L"Computer > Unclassified - [Limited discovery]"},
        {0x002118, 0x001, L"Computer > Wearable - [Limited discovery]"},
        {0x00211C, 0x001, L"Computer > (unknown) - [Limited discovery]"},
        {0x002214, 0x001, L"Phone > ISDN access - [Limited discovery]"},
        {0x002448, 0x001, L"Audio > Gaming / Toy - [Limited discovery]"},
        {0x00244C, 0x001, L"Audio > (unknown) - [Limited discovery]"},
        {0x0025D0, 0x001,
         L"Peripheral > Keyboard & Pointing / Sensing device - [Limited discovery]"},
        {0x0025A0, 0x001, L"Peripheral > Pointing / (unknown) - [Limited discovery]"},
        {0x0026F0, 0x001, L"Imaging > Display / Camera / Scanner / Printer - [Limited discovery]"},
        {0x002610, 0x001, L"Imaging > Display - [Limited discovery]"},
        {0x00260C, 0x001, L"Imaging > (unknown) - [Limited discovery]"},
        {0x002700, 0x001, L"(reserved) > (reserved) - [Limited discovery]"},
        {0x003EFC, 0x001, L"(reserved) > (reserved) - [Limited discovery]"},
        // The reserved service bits come with the field but have no text.
        {0x00E3FC, 0x007, L"LAN > (none) - [Limited discovery]"},
        {0xFFFFFC, 0x7FF,
         L"Unclassified > (none) - [Limited discovery | Positioning (localisation) | "
         L"Networking | Rendering (printing, speakers) | Capturing (scanner, microphone) | "
         L"Object transfer | Audio | Telephony | Information]"}};
    for (auto [raw, services, text] : cases) {
        for (const BTClassOfDevice cod :
             {BTClassOfDevice(raw), BTClassOfDevice(raw | 0xFF000000)}) {
            EXPECT_EQ(cod.getServices(), services) << raw;
            EXPECT_EQ(cod.asString(), text);
        }
    }
}

// Separators stand only between items, taken as given.
TEST(ClassOfDevice, ServiceListSeparators) {
    const std::tuple<std::uint32_t, const wchar_t*, const wchar_t*> cases[] = {
        {0x5A020C, L", ",
         L"Networking, Capturing (scanner, microphone), Object transfer, Telephony"},
        {0x5A020C, L"", L"NetworkingCapturing (scanner, microphone)Object transferTelephony"},
        {0x800100, L", ", L"Information"}};
    for (auto [raw, separator, text] : cases)
        EXPECT_EQ(BTClassOfDevice(raw).strServices(separator), text);
    // A kept word whose services were cleared lists none.
    BTClassOfDevice cod(0x5A020C);
    cod.setServices(0);
    EXPECT_EQ(cod.strServices(L", "), L"(none)");
}

// Setters replace only their field, mask their argument, and never validate;
// hasServices needs every bit of the mask, and bits above bit 10 never are.
TEST(ClassOfDevice, SettersAndHasServices) {
    using Setter = void (BTClassOfDevice::*)(std::uint32_t);
    const Setter S = &BTClassOfDevice::setServices, J = &BTClassOfDevice::setMajor,
                 N = &BTClassOfDevice::setMinor;
    const std::tuple<std::uint32_t, Setter, std::uint32_t, std::uint32_t> cases[] = {
        {0, S, 0xFFFFFFFF, 0xFF2000}, {0xFFFFFFFC, S, 0, 0xFF001FFC},
        {0, J, 0x25, 0x000500},       {0xFFFFFFFC, J, 2, 0xFFFFE2FC},
        {0, N, 0x41, 0x000004},       {0xFFFFFFFC, N, 0, 0xFFFFFF00}};
    for (auto [start, setter, argument, word] : cases) {
        BTClassOfDevice cod(start);
        (cod.*setter)(argument);
        EXPECT_EQ(cod.value(), word) << start << " " << argument;
    }

    const BTClassOfDevice all(0xFFFFFC), phone(0x5A020C), reserved(0xE100);
    EXPECT_TRUE(phone.hasServices(0) && phone.hasServices(0x2D0) && all.hasServices(0x7FF));
    EXPECT_TRUE(reserved.hasServices(6) && !phone.hasServices(0x2D1));
    EXPECT_FALSE(all.hasServices(0x800) || all.hasServices(0x1000) ||
                 BTClassOfDevice().hasServices(1));
}
