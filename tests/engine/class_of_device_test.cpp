// BTClassOfDevice: the validity rule, the fields and every text. Expected
// texts are written out here from the Class of Device tables, never taken from
// the class itself.
#include <corvale/BTClassOfDevice.h>

#include <gtest/gtest.h>

#include <tuple>
#include <utility>
#include <vector>

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

// The design's worked examples and the corners of each field, as one line.
// Bits 24-31 are kept but change no field or text.
TEST(ClassOfDevice, ServicesAndWholeText) {
    const std::tuple<std::uint32_t, std::uint32_t, const wchar_t*> cases[] = {
        {0x5A020C, 0x2D0,
         L"Phone > Smart phone - [Networking | Capturing (scanner, microphone) | "
         L"Object transfer | Telephony]"},
        {0x002540, 0x001, L"Peripheral > Keyboard / Unclassified - [Limited discovery]"},
        {0x0406C0, 0x020, L"Imaging > Scanner / Printer - [Rendering (printing, speakers)]"},
        {0x000104, 0, L"Miscellaneous > (none) - [(none)]"},
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

// Every major with every minor value against the tables: numbered rows for
// computer, phone, audio and the peripheral kind (bits 0-3, behind a prefix
// from bits 4-5), imaging flags from bits 2-5 in fixed order.
TEST(ClassOfDevice, MajorAndMinorTextForEveryWord) {
    const std::wstring majors[] = {L"Miscellaneous", L"Computer",   L"Phone",  L"LAN",
                                   L"Audio",         L"Peripheral", L"Imaging"};
    const std::vector<std::wstring> rows[] = {
        {},
        {L"Unclassified", L"Desktop", L"Server", L"Notebook", L"Handheld", L"Palm", L"Wearable"},
        {L"Unclassified", L"Cellular", L"Cordless", L"Smart phone", L"Wired modem", L"ISDN access"},
        {},
        {L"Unclassified", L"Headset", L"Hands-free", L"Headset hands-free", L"Microphone",
         L"Loud speaker", L"Headphones", L"Portable audio", L"Car audio", L"Set-top box",
         L"Hi-fi audio", L"VCR", L"Video camera", L"Camcorder", L"Video monitor",
         L"Video display and loud speaker", L"Video conferencing", L"Reserved", L"Gaming / Toy"},
        {L"Unclassified", L"Joystick", L"Gamepad", L"Remote control", L"Sensing device"}};
    const std::wstring prefixes[] = {L"", L"Keyboard / ", L"Pointing / ",
                                     L"Keyboard & Pointing / "};
    const std::wstring imaging[] = {L"Display", L"Camera", L"Scanner", L"Printer"};
    for (std::uint32_t major = 0; major < 32; ++major) {
        for (std::uint32_t m = 0; m < 64; ++m) {
            const std::uint32_t k = major == 5 ? m & 0xF : m;
            std::wstring minor = major > 5                ? L"(reserved)"
                                 : k < rows[major].size() ? rows[major][k]
                                                          : L"(unknown)";
            if (major == 5) minor = prefixes[m >> 4] + minor;
            if (major == 0 || major == 3 || major == 31) minor = L"(none)";
            if (major == 6) {
                minor.clear();
                for (int f = 0; f < 4; ++f)
                    if (m & (4u << f)) minor += (minor.empty() ? L"" : L" / ") + imaging[f];
                if (minor.empty()) minor = L"(unknown)";
            }
            const BTClassOfDevice cod(0x002000 | major << 8 | m << 2);
            ASSERT_TRUE(cod.getMajor() == major && cod.getMinor() == m);
            ASSERT_EQ(cod.strMinor(), minor) << "major " << major << " minor " << m;
            ASSERT_EQ(cod.strMajor(), major < 7     ? majors[major]
                                      : major == 31 ? L"Unclassified"
                                                    : L"(reserved)");
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
        {0, S, 0xFFFFFFFF, 0xFF2000},     {0, S, 0x006, 0},       {0xFF5A020C, S, 1, 0xFF00220C},
        {0xFFFFFFFC, S, 0, 0xFF001FFC},   {0, J, 0x25, 0x000500}, {0xFFFFFFFC, J, 2, 0xFFFFE2FC},
        {0xFF5A020C, J, 0, 0xFF5A000C},   {0, N, 0x41, 0x000004}, {0xFFFFFFFC, N, 0, 0xFFFFFF00},
        {0xFF5A020C, N, 0x3F, 0xFF5A02FC}};
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
