#include <corvale/BTClassOfDevice.h>

namespace Corvale {

namespace {

// The service classes as getServices() numbers them, and their texts; bits 1
// and 2 are reserved and have none.
struct ServiceText {
    unsigned bit;
    const wchar_t* text;
};
constexpr ServiceText kServiceTexts[] = {
    {0, L"Limited discovery"},
    {3, L"Positioning (localisation)"},
    {4, L"Networking"},
    {5, L"Rendering (printing, speakers)"},
    {6, L"Capturing (scanner, microphone)"},
    {7, L"Object transfer"},
    {8, L"Audio"},
    {9, L"Telephony"},
    {10, L"Information"},
};

constexpr const wchar_t* kComputer[] = {L"Unclassified", L"Desktop", L"Server",  L"Notebook",
                                        L"Handheld",     L"Palm",    L"Wearable"};
constexpr const wchar_t* kPhone[] = {L"Unclassified", L"Cellular",    L"Cordless",
                                     L"Smart phone",  L"Wired modem", L"ISDN access"};
constexpr const wchar_t* kAudio[] = {
    L"Unclassified",       L"Headset",      L"Hands-free",    L"Headset hands-free",
    L"Microphone",         L"Loud speaker", L"Headphones",    L"Portable audio",
    L"Car audio",          L"Set-top box",  L"Hi-fi audio",   L"VCR",
    L"Video camera",       L"Camcorder",    L"Video monitor", L"Video display and loud speaker",
    L"Video conferencing", L"Reserved",     L"Gaming / Toy"};

template <std::size_t N>
std::wstring lookup(const wchar_t* const (&table)[N], std::uint32_t m) {
    return m < N ? table[m] : L"(unknown)";
}

// Separators stand only between items.
void join(std::wstring& text, const wchar_t* separator, const wchar_t* item) {
    if (!text.empty()) text += separator;
    text += item;
}

}  // namespace

BTClassOfDevice::BTClassOfDevice(std::uint32_t raw) {
    const bool formatOk = (raw & 0x3u) == 0;
    const bool anyService = (raw & 0xFF2000u) != 0;
    word = formatOk && anyService ? raw : 0;
}

std::uint32_t BTClassOfDevice::getServices() const {
    return (word >> 13) & 0x7FFu;
}

void BTClassOfDevice::setServices(std::uint32_t s) {
    word = ((s & 0x7F9u) << 13) | (word & 0xFF001FFFu);
}

bool BTClassOfDevice::hasServices(std::uint32_t mask) const {
    return (getServices() & mask) == mask;
}

std::uint32_t BTClassOfDevice::getMajor() const {
    return (word >> 8) & 0x1Fu;
}

void BTClassOfDevice::setMajor(std::uint32_t m) {
    word = (word & ~0x1F00u) | ((m & 0x1Fu) << 8);
}

std::uint32_t BTClassOfDevice::getMinor() const {
    return (word >> 2) & 0x3Fu;
}

void BTClassOfDevice::setMinor(std::uint32_t m) {
    word = (word & ~0xFCu) | ((m & 0x3Fu) << 2);
}

std::wstring BTClassOfDevice::strMajor() const {
    static constexpr const wchar_t* kMajor[] = {L"Miscellaneous", L"Computer",   L"Phone",  L"LAN",
                                                L"Audio",         L"Peripheral", L"Imaging"};
    const std::uint32_t major = getMajor();
    if (major < 7) return kMajor[major];
    if (major == 31) return L"Unclassified";
    return L"(reserved)";
}

std::wstring BTClassOfDevice::strMinor() const {
    const std::uint32_t m = getMinor();
    switch (getMajor()) {
        case 0:
        case 3:
        case 31:
            return L"(none)";
        case 1:
            return lookup(kComputer, m);
        case 2:
            return lookup(kPhone, m);
        case 4:
            return lookup(kAudio, m);
        case 5: {
            static constexpr const wchar_t* kPrefix[] = {L"", L"Keyboard / ", L"Pointing / ",
                                                         L"Keyboard & Pointing / "};
            static constexpr const wchar_t* kKind[] = {L"Unclassified", L"Joystick", L"Gamepad",
                                                       L"Remote control", L"Sensing device"};
            return std::wstring(kPrefix[(m >> 4) & 3u]) + lookup(kKind, m & 0xFu);
        }
        case 6: {
            static constexpr const wchar_t* kImaging[] = {L"Display", L"Camera", L"Scanner",
                                                          L"Printer"};
            std::wstring text;
            for (unsigned bit = 2; bit <= 5; ++bit)
                if (m & (1u << bit)) join(text, L" / ", kImaging[bit - 2]);
            return text.empty() ? L"(unknown)" : text;
        }
        default:
            return L"(reserved)";
    }
}

std::wstring BTClassOfDevice::strServices(const wchar_t* separator) const {
    if (separator == nullptr) separator = L" | ";
    std::wstring text;
    if (word != 0) {
        const std::uint32_t services = getServices();
        for (const auto& s : kServiceTexts)
            if (services & (1u << s.bit)) join(text, separator, s.text);
    }
    return text.empty() ? L"(none)" : text;
}

std::wstring BTClassOfDevice::asString() const {
    return strMajor() + L" > " + strMinor() + L" - [" + strServices() + L"]";
}

}  // namespace Corvale
