// BTClassOfDevice: the validity rule, the field getters and setters, and every
// text the class gives. Expected texts are written out here from the tables of
// the Class of Device layout, never taken from the class itself.
#include <corvale/BTClassOfDevice.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using Corvale::BTClassOfDevice;

namespace {

// Bit 13 (limited discoverable mode) makes any raw word valid without adding a
// service class beyond "Limited discovery".
constexpr std::uint32_t kLimited = 0x002000;

std::uint32_t rawWord(std::uint32_t major, std::uint32_t minor) {
    return kLimited | (major << 8) | (minor << 2);
}

// ---------------------------------------------------------------------------
// Validity rule of the raw-value constructor.

struct RawCase {
    std::uint32_t raw;
    bool kept;  // stored unchanged, else stored as 0
    const char* why;
};

class ValidityRule : public ::testing::TestWithParam<RawCase> {};

TEST_P(ValidityRule, KeepsOrRejectsTheRawWord) {
    const RawCase& c = GetParam();
    const BTClassOfDevice cod(c.raw);
    EXPECT_EQ(cod.value(), c.kept ? c.raw : 0u) << c.why;
    EXPECT_EQ(cod.isValid(), c.kept) << c.why;
}

INSTANTIATE_TEST_SUITE_P(
    Raw, ValidityRule,
    ::testing::Values(
        RawCase{0x000000, false, "zero"},
        RawCase{0x000104, false, "desktop computer without any service bit"},
        RawCase{0x002105, false, "format bits 01"}, RawCase{0x002106, false, "format bits 10"},
        RawCase{0x002107, false, "format bits 11"},
        RawCase{0xFFFFFFFD, false, "every bit but format 01"},
        RawCase{0x00C100, false, "only the reserved service bits 14 and 15"},
        RawCase{0x004000, false, "reserved bit 14 alone"},
        RawCase{0x008000, false, "reserved bit 15 alone"},
        RawCase{0xFF000104, false, "bits 24-31 are not service classes"},
        RawCase{0xFF00DFFC, false, "everything outside 0xFF2000, format 00"},
        RawCase{0x002000, true, "limited discoverable mode alone"},
        RawCase{0x010000, true, "positioning alone"}, RawCase{0x020000, true, "networking alone"},
        RawCase{0x040000, true, "rendering alone"}, RawCase{0x080000, true, "capturing alone"},
        RawCase{0x100000, true, "object transfer alone"}, RawCase{0x200000, true, "audio alone"},
        RawCase{0x400000, true, "telephony alone"}, RawCase{0x800000, true, "information alone"},
        RawCase{0x00E100, true, "reserved bits ride along with bit 13"},
        RawCase{0x5A020C, true, "smart phone"},
        RawCase{0xFF5A020C, true, "bits 24-31 are stored unchanged"},
        RawCase{0xFFFFFFFC, true, "every bit but the format bits"}));

TEST(ClassOfDevice, DefaultAndRejectedValuesReadAsZero) {
    for (const BTClassOfDevice& cod :
         {BTClassOfDevice(), BTClassOfDevice(0x000104), BTClassOfDevice(0x002105)}) {
        EXPECT_FALSE(cod.isValid());
        EXPECT_EQ(cod.getMajor(), 0u);
        EXPECT_EQ(cod.getMinor(), 0u);
        EXPECT_EQ(cod.getServices(), 0u);
        EXPECT_EQ(cod.strMajor(), L"Miscellaneous");
        EXPECT_EQ(cod.strMinor(), L"(none)");
        EXPECT_EQ(cod.strServices(), L"(none)");
        EXPECT_EQ(cod.asString(), L"Miscellaneous > (none) - [(none)]");
    }
}

// ---------------------------------------------------------------------------
// Getters.

struct FieldCase {
    std::uint32_t raw;
    std::uint32_t major, minor, services;
};

class Getters : public ::testing::TestWithParam<FieldCase> {};

TEST_P(Getters, ExtractTheFields) {
    const FieldCase& c = GetParam();
    const BTClassOfDevice cod(c.raw);
    EXPECT_EQ(cod.getMajor(), c.major);
    EXPECT_EQ(cod.getMinor(), c.minor);
    EXPECT_EQ(cod.getServices(), c.services);
}

INSTANTIATE_TEST_SUITE_P(
    Raw, Getters,
    ::testing::Values(FieldCase{0x5A020C, 2, 3, 0x2D0}, FieldCase{0xFF5A020C, 2, 3, 0x2D0},
                      FieldCase{0x003F00, 31, 0, 0x001}, FieldCase{0x0020FC, 0, 63, 0x001},
                      // The field comes whole, reserved bits included.
                      FieldCase{0x00E000, 0, 0, 0x007}, FieldCase{0xFFFFFFFC, 31, 63, 0x7FF}));

TEST(ClassOfDevice, BitsAboveTheClassChangeNoGetterOrText) {
    const BTClassOfDevice plain(0x5A020C), high(0xFF5A020C);
    EXPECT_EQ(high.getMajor(), plain.getMajor());
    EXPECT_EQ(high.getMinor(), plain.getMinor());
    EXPECT_EQ(high.getServices(), plain.getServices());
    EXPECT_EQ(high.strMajor(), plain.strMajor());
    EXPECT_EQ(high.strMinor(), plain.strMinor());
    EXPECT_EQ(high.strServices(), plain.strServices());
    EXPECT_EQ(high.strServices(L", "), plain.strServices(L", "));
    EXPECT_EQ(high.asString(), plain.asString());
}

// ---------------------------------------------------------------------------
// Major class text, and the majors whose minor text does not depend on m.

std::wstring expectedMajor(std::uint32_t major) {
    switch (major) {
        case 0:
            return L"Miscellaneous";
        case 1:
            return L"Computer";
        case 2:
            return L"Phone";
        case 3:
            return L"LAN";
        case 4:
            return L"Audio";
        case 5:
            return L"Peripheral";
        case 6:
            return L"Imaging";
        case 31:
            return L"Unclassified";
        default:
            return L"(reserved)";
    }
}

TEST(ClassOfDevice, MajorTextForEveryMajor) {
    for (std::uint32_t major = 0; major < 32; ++major) {
        const BTClassOfDevice cod(rawWord(major, 0));
        EXPECT_EQ(cod.getMajor(), major);
        EXPECT_EQ(cod.strMajor(), expectedMajor(major)) << "major " << major;
    }
}

TEST(ClassOfDevice, MinorTextIgnoresMinorForMiscLanUnclassifiedAndReserved) {
    for (std::uint32_t major = 0; major < 32; ++major) {
        if (major >= 1 && major <= 6 && major != 3) continue;
        const std::wstring expected = (major >= 7 && major <= 30) ? L"(reserved)" : L"(none)";
        for (std::uint32_t m = 0; m < 64; ++m)
            EXPECT_EQ(BTClassOfDevice(rawWord(major, m)).strMinor(), expected)
                << "major " << major << " minor " << m;
    }
}

// ---------------------------------------------------------------------------
// Numbered minor tables: computer, phone and audio.

struct MinorTable {
    std::uint32_t major;
    std::vector<std::wstring> rows;  // m = 0, 1, ...; every later m is "(unknown)"
};

class NumberedMinor : public ::testing::TestWithParam<MinorTable> {};

TEST_P(NumberedMinor, EveryMinorValue) {
    const MinorTable& t = GetParam();
    for (std::uint32_t m = 0; m < 64; ++m) {
        const std::wstring expected = m < t.rows.size() ? t.rows[m] : L"(unknown)";
        EXPECT_EQ(BTClassOfDevice(rawWord(t.major, m)).strMinor(), expected)
            << "major " << t.major << " minor " << m;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tables, NumberedMinor,
    ::testing::Values(MinorTable{1,
                                 {L"Unclassified", L"Desktop", L"Server", L"Notebook", L"Handheld",
                                  L"Palm", L"Wearable"}},
                      MinorTable{2,
                                 {L"Unclassified", L"Cellular", L"Cordless", L"Smart phone",
                                  L"Wired modem", L"ISDN access"}},
                      MinorTable{
                          4,
                          {L"Unclassified", L"Headset", L"Hands-free", L"Headset hands-free",
                           L"Microphone", L"Loud speaker", L"Headphones", L"Portable audio",
                           L"Car audio", L"Set-top box", L"Hi-fi audio", L"VCR", L"Video camera",
                           L"Camcorder", L"Video monitor", L"Video display and loud speaker",
                           L"Video conferencing", L"Reserved", L"Gaming / Toy"}}));

// The last named row and the first "(unknown)" of each column, spelled out.
struct MinorCase {
    std::uint32_t raw;
    const wchar_t* major;
    const wchar_t* minor;
};

class MinorBoundary : public ::testing::TestWithParam<MinorCase> {};

TEST_P(MinorBoundary, Texts) {
    const MinorCase& c = GetParam();
    const BTClassOfDevice cod(c.raw);
    EXPECT_EQ(cod.strMajor(), c.major);
    EXPECT_EQ(cod.strMinor(), c.minor);
}

INSTANTIATE_TEST_SUITE_P(
    Raw, MinorBoundary,
    ::testing::Values(
        MinorCase{0x002118, L"Computer", L"Wearable"},
        MinorCase{0x00211C, L"Computer", L"(unknown)"},
        MinorCase{0x200144, L"Computer", L"(unknown)"},
        MinorCase{0x002214, L"Phone", L"ISDN access"}, MinorCase{0x002218, L"Phone", L"(unknown)"},
        MinorCase{0x5A020C, L"Phone", L"Smart phone"},
        MinorCase{0x002448, L"Audio", L"Gaming / Toy"}, MinorCase{0x00244C, L"Audio", L"(unknown)"},
        MinorCase{0x0024FC, L"Audio", L"(unknown)"},
        MinorCase{0x20097C, L"(reserved)", L"(reserved)"},
        MinorCase{0x003F00, L"Unclassified", L"(none)"}, MinorCase{0x0023FC, L"LAN", L"(none)"},
        MinorCase{0x002540, L"Peripheral", L"Keyboard / Unclassified"},
        MinorCase{0x002588, L"Peripheral", L"Pointing / Gamepad"},
        MinorCase{0x0406C0, L"Imaging", L"Scanner / Printer"},
        MinorCase{0x00260C, L"Imaging", L"(unknown)"}));

// ---------------------------------------------------------------------------
// Peripheral: prefix from bits 4-5 of m, kind from bits 0-3.

TEST(ClassOfDevice, PeripheralEveryPrefixAndKind) {
    const std::wstring prefixes[] = {L"", L"Keyboard / ", L"Pointing / ",
                                     L"Keyboard & Pointing / "};
    const std::wstring kinds[] = {L"Unclassified", L"Joystick", L"Gamepad", L"Remote control",
                                  L"Sensing device"};
    for (std::uint32_t p = 0; p < 4; ++p) {
        for (std::uint32_t k = 0; k < 16; ++k) {
            const std::wstring kind = k < 5 ? kinds[k] : L"(unknown)";
            EXPECT_EQ(BTClassOfDevice(rawWord(5, (p << 4) | k)).strMinor(), prefixes[p] + kind)
                << "prefix " << p << " kind " << k;
        }
    }
}

TEST(ClassOfDevice, PeripheralExamples) {
    const struct {
        std::uint32_t m;
        const wchar_t* text;
    } cases[] = {{0x00, L"Unclassified"},
                 {0x10, L"Keyboard / Unclassified"},
                 {0x22, L"Pointing / Gamepad"},
                 {0x3F, L"Keyboard & Pointing / (unknown)"},
                 {0x34, L"Keyboard & Pointing / Sensing device"},
                 {0x05, L"(unknown)"}};
    for (const auto& c : cases)
        EXPECT_EQ(BTClassOfDevice(rawWord(5, c.m)).strMinor(), c.text) << "m " << c.m;
}

// ---------------------------------------------------------------------------
// Imaging: flags of bits 2-5 of m joined with " / ", bits 0-1 ignored.

struct ImagingCase {
    std::uint32_t flags;  // bits 2-5 of m
    const wchar_t* text;
};

class Imaging : public ::testing::TestWithParam<ImagingCase> {};

TEST_P(Imaging, FlagsJoinInFixedOrderWhateverTheLowBits) {
    const ImagingCase& c = GetParam();
    for (std::uint32_t low = 0; low < 4; ++low)
        EXPECT_EQ(BTClassOfDevice(rawWord(6, c.flags | low)).strMinor(), c.text)
            << "m " << (c.flags | low);
}

INSTANTIATE_TEST_SUITE_P(
    Flags, Imaging,
    ::testing::Values(
        ImagingCase{0x00, L"(unknown)"}, ImagingCase{0x04, L"Display"},
        ImagingCase{0x08, L"Camera"}, ImagingCase{0x0C, L"Display / Camera"},
        ImagingCase{0x10, L"Scanner"}, ImagingCase{0x14, L"Display / Scanner"},
        ImagingCase{0x18, L"Camera / Scanner"}, ImagingCase{0x1C, L"Display / Camera / Scanner"},
        ImagingCase{0x20, L"Printer"}, ImagingCase{0x24, L"Display / Printer"},
        ImagingCase{0x28, L"Camera / Printer"}, ImagingCase{0x2C, L"Display / Camera / Printer"},
        ImagingCase{0x30, L"Scanner / Printer"}, ImagingCase{0x34, L"Display / Scanner / Printer"},
        ImagingCase{0x38, L"Camera / Scanner / Printer"},
        ImagingCase{0x3C, L"Display / Camera / Scanner / Printer"}));

// ---------------------------------------------------------------------------
// Service-class list.

struct ServicesCase {
    std::uint32_t raw;
    const wchar_t* separator;  // null: the default
    const wchar_t* text;
};

class ServiceList : public ::testing::TestWithParam<ServicesCase> {};

TEST_P(ServiceList, Text) {
    const ServicesCase& c = GetParam();
    EXPECT_EQ(BTClassOfDevice(c.raw).strServices(c.separator), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    SingleBits, ServiceList,
    ::testing::Values(ServicesCase{0x002100, nullptr, L"Limited discovery"},
                      ServicesCase{0x010100, nullptr, L"Positioning (localisation)"},
                      ServicesCase{0x020100, nullptr, L"Networking"},
                      ServicesCase{0x040100, nullptr, L"Rendering (printing, speakers)"},
                      ServicesCase{0x080100, nullptr, L"Capturing (scanner, microphone)"},
                      ServicesCase{0x100100, nullptr, L"Object transfer"},
                      ServicesCase{0x200100, nullptr, L"Audio"},
                      ServicesCase{0x400100, nullptr, L"Telephony"},
                      ServicesCase{0x800100, nullptr, L"Information"},
                      // A lone item never carries a separator.
                      ServicesCase{0x800100, L", ", L"Information"},
                      // The reserved bits add nothing.
                      ServicesCase{0x00E100, nullptr, L"Limited discovery"},
                      ServicesCase{0x000104, nullptr, L"(none)"},
                      ServicesCase{0x000000, L", ", L"(none)"}));

INSTANTIATE_TEST_SUITE_P(
    Separators, ServiceList,
    ::testing::Values(
        ServicesCase{0x5A020C, nullptr,
                     L"Networking | Capturing (scanner, microphone) | Object transfer | Telephony"},
        ServicesCase{0x5A020C, L" | ",
                     L"Networking | Capturing (scanner, microphone) | Object transfer | Telephony"},
        ServicesCase{0x5A020C, L", ",
                     L"Networking, Capturing (scanner, microphone), Object transfer, Telephony"},
        ServicesCase{0x5A020C, L"",
                     L"NetworkingCapturing (scanner, microphone)Object transferTelephony"},
        ServicesCase{0x5A020C, L"\r\n",
                     L"Networking\r\nCapturing (scanner, microphone)\r\nObject transfer\r\n"
                     L"Telephony"},
        // Nothing is trimmed: blanks of the separator stay as given.
        ServicesCase{0x022100, L"  ", L"Limited discovery  Networking"}));

INSTANTIATE_TEST_SUITE_P(
    FixedOrder, ServiceList,
    ::testing::Values(
        ServicesCase{0xFFE000, nullptr,
                     L"Limited discovery | Positioning (localisation) | Networking | "
                     L"Rendering (printing, speakers) | Capturing (scanner, microphone) | "
                     L"Object transfer | Audio | Telephony | Information"},
        ServicesCase{0xFFFFFFFC, L";",
                     L"Limited discovery;Positioning (localisation);Networking;"
                     L"Rendering (printing, speakers);Capturing (scanner, microphone);"
                     L"Object transfer;Audio;Telephony;Information"},
        ServicesCase{0x802000, L"+", L"Limited discovery+Information"},
        ServicesCase{0x210000, L"+", L"Positioning (localisation)+Audio"}));

TEST(ClassOfDevice, ServiceListOfANonZeroWordWithoutServicesIsNone) {
    BTClassOfDevice cod(0x5A020C);
    cod.setServices(0);
    ASSERT_NE(cod.value(), 0u);
    EXPECT_EQ(cod.strServices(), L"(none)");
    EXPECT_EQ(cod.strServices(L", "), L"(none)");
}

// ---------------------------------------------------------------------------
// Whole class in one line.

struct LineCase {
    std::uint32_t raw;
    const wchar_t* text;
};

class OneLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(OneLine, AsString) {
    EXPECT_EQ(BTClassOfDevice(GetParam().raw).asString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Raw, OneLine,
    ::testing::Values(
        LineCase{0x5A020C,
                 L"Phone > Smart phone - [Networking | Capturing (scanner, microphone) | "
                 L"Object transfer | Telephony]"},
        LineCase{0xFF5A020C,
                 L"Phone > Smart phone - [Networking | Capturing (scanner, microphone) | "
                 L"Object transfer | Telephony]"},
        LineCase{0x000000, L"Miscellaneous > (none) - [(none)]"},
        LineCase{0x200144, L"Computer > (unknown) - [Audio]"},
        LineCase{0x20097C, L"(reserved) > (reserved) - [Audio]"},
        LineCase{0x003F00, L"Unclassified > (none) - [Limited discovery]"},
        LineCase{0x0406C0, L"Imaging > Scanner / Printer - [Rendering (printing, speakers)]"},
        LineCase{0x002588, L"Peripheral > Pointing / Gamepad - [Limited discovery]"}));

// ---------------------------------------------------------------------------
// Setters.

enum class Setter { Services, Major, Minor };

struct SetterCase {
    std::uint32_t start;  // built with the raw constructor
    Setter setter;
    std::uint32_t argument;
    std::uint32_t word;  // the whole word afterwards
};

class Setters : public ::testing::TestWithParam<SetterCase> {};

TEST_P(Setters, ReplaceOnlyTheirField) {
    const SetterCase& c = GetParam();
    BTClassOfDevice cod(c.start);
    ASSERT_EQ(cod.value(), c.start) << "start word must be a valid one";
    switch (c.setter) {
        case Setter::Services:
            cod.setServices(c.argument);
            break;
        case Setter::Major:
            cod.setMajor(c.argument);
            break;
        case Setter::Minor:
            cod.setMinor(c.argument);
            break;
    }
    EXPECT_EQ(cod.value(), c.word);
}

INSTANTIATE_TEST_SUITE_P(Words, Setters,
                         ::testing::Values(
                             // setServices: bits 13-23 from s & 0x7F9, every other bit kept.
                             SetterCase{0x000000, Setter::Services, 0x7FF, 0xFF2000},
                             SetterCase{0x000000, Setter::Services, 0xFFFFFFFF, 0xFF2000},
                             SetterCase{0x000000, Setter::Services, 0x006, 0x000000},
                             SetterCase{0x00E100, Setter::Services, 0x001, 0x002100},
                             SetterCase{0xFF5A020C, Setter::Services, 0x001, 0xFF00220C},
                             SetterCase{0xFFFFFFFC, Setter::Services, 0x000, 0xFF001FFC},
                             // setMajor: bits 8-12 from the low 5 bits of m.
                             SetterCase{0x000000, Setter::Major, 0xFFFFFFFF, 0x001F00},
                             SetterCase{0x000000, Setter::Major, 0x25, 0x000500},
                             SetterCase{0xFFFFFFFC, Setter::Major, 2, 0xFFFFE2FC},
                             SetterCase{0xFF5A020C, Setter::Major, 0, 0xFF5A000C},
                             // setMinor: bits 2-7 from the low 6 bits of m.
                             SetterCase{0x000000, Setter::Minor, 0xFFFFFFFF, 0x0000FC},
                             SetterCase{0x000000, Setter::Minor, 0x41, 0x000004},
                             SetterCase{0xFFFFFFFC, Setter::Minor, 0, 0xFFFFFF00},
                             SetterCase{0xFF5A020C, Setter::Minor, 0x3F, 0xFF5A02FC}));

TEST(ClassOfDevice, SetServicesNeverReportsTheReservedBits) {
    BTClassOfDevice cod;
    cod.setServices(0x7FF);
    EXPECT_EQ(cod.getServices(), 0x7F9u);
    EXPECT_FALSE(cod.hasServices(0x002));
    EXPECT_FALSE(cod.hasServices(0x004));
}

TEST(ClassOfDevice, SettersDoNotValidateAgain) {
    BTClassOfDevice cod;
    cod.setMajor(1);
    cod.setMinor(1);
    // No service bit, yet the word is kept: only the raw constructor validates.
    EXPECT_EQ(cod.value(), 0x000104u);
    EXPECT_TRUE(cod.isValid());
    EXPECT_EQ(cod.strMajor(), L"Computer");
    EXPECT_EQ(cod.strMinor(), L"Desktop");
    EXPECT_EQ(cod.strServices(), L"(none)");
}

// ---------------------------------------------------------------------------
// hasServices.

struct MaskCase {
    std::uint32_t raw;
    std::uint32_t mask;
    bool has;
};

class HasServices : public ::testing::TestWithParam<MaskCase> {};

TEST_P(HasServices, EveryBitOfTheMaskMustBeSet) {
    const MaskCase& c = GetParam();
    EXPECT_EQ(BTClassOfDevice(c.raw).hasServices(c.mask), c.has)
        << std::hex << "raw 0x" << c.raw << " mask 0x" << c.mask;
}

INSTANTIATE_TEST_SUITE_P(
    Masks, HasServices,
    ::testing::Values(MaskCase{0x000000, 0x000, true}, MaskCase{0x000000, 0x001, false},
                      MaskCase{0x5A020C, 0x000, true}, MaskCase{0x5A020C, 0x010, true},
                      MaskCase{0x5A020C, 0x2D0, true}, MaskCase{0x5A020C, 0x2D1, false},
                      MaskCase{0x5A020C, 0x001, false}, MaskCase{0x5A020C, 0x7FF, false},
                      MaskCase{0x00E100, 0x006, true},
                      // A bit above bit 10 never matches, whatever the word.
                      MaskCase{0x5A020C, 0x800, false}, MaskCase{0xFFFFFFFC, 0x800, false},
                      MaskCase{0xFFFFFFFC, 0xFFF, false}, MaskCase{0xFFFFFFFC, 0x1000, false},
                      MaskCase{0xFFFFFFFC, 0x80000000, false}, MaskCase{0xFFFFFFFC, 0x7FF, true},
                      MaskCase{0xFFFFFFFC, 0x000, true}));

TEST(ClassOfDevice, CopyAndAssignmentKeepTheWord) {
    const BTClassOfDevice original(0xFF5A020C);
    const BTClassOfDevice copy(original);
    EXPECT_EQ(copy.value(), 0xFF5A020Cu);
    BTClassOfDevice assigned;
    assigned = original;
    EXPECT_EQ(assigned.value(), 0xFF5A020Cu);
    BTClassOfDevice& self = assigned;
    assigned = self;
    EXPECT_EQ(assigned.value(), 0xFF5A020Cu);
}

}  // namespace
