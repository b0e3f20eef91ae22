#include <corvale/BTUUID.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace Corvale {

namespace {
int hexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

GUID parse(const wchar_t* text) {
    if (text == nullptr || *text == 0) return UUID_NULL;
    unsigned char bytes[16] = {};
    std::size_t digits = 0;
    for (const wchar_t* p = text; *p; ++p) {
        const int v = hexValue(*p);
        if (v < 0) continue;
        // Digits past the 32nd are counted (they make the text invalid) but not stored.
        if (digits < 32) bytes[digits / 2] |= static_cast<unsigned char>(digits % 2 ? v : v << 4);
        ++digits;
    }
    if (digits != 32) return UUID_NULL;
    GUID g;
    g.Data1 = (ULONG(bytes[0]) << 24) | (ULONG(bytes[1]) << 16) | (ULONG(bytes[2]) << 8) | bytes[3];
    g.Data2 = static_cast<USHORT>((bytes[4] << 8) | bytes[5]);
    g.Data3 = static_cast<USHORT>((bytes[6] << 8) | bytes[7]);
    std::memcpy(g.Data4, bytes + 8, 8);
    return g;
}
}  // namespace

BTUUID::BTUUID() : uuid(UUID_NULL) {}

BTUUID::BTUUID(std::uint32_t shortForm) : uuid(Bluetooth_Base_UUID) {
    uuid.Data1 = shortForm;
}

BTUUID::BTUUID(const GUID& guid) : uuid(guid) {}

BTUUID::BTUUID(const std::wstring& text) : uuid(parse(text.c_str())) {}

BTUUID::BTUUID(const wchar_t* text) : uuid(parse(text)) {}

BTUUID::BTUUID(const BTUUID& other) = default;

BTUUID& BTUUID::operator=(const BTUUID& other) = default;

bool BTUUID::operator==(const BTUUID& other) const {
    return std::memcmp(&uuid, &other.uuid, sizeof uuid) == 0;
}

std::wstring BTUUID::asString() const {
    wchar_t text[64];
    std::swprintf(text, 64, L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(uuid.Data1), static_cast<unsigned>(uuid.Data2),
                  static_cast<unsigned>(uuid.Data3), uuid.Data4[0], uuid.Data4[1], uuid.Data4[2],
                  uuid.Data4[3], uuid.Data4[4], uuid.Data4[5], uuid.Data4[6], uuid.Data4[7]);
    return text;
}

BTUUID BTUUID::random(bool shortForm) {
    GUID g = shortForm ? Bluetooth_Base_UUID : UUID_NULL;
    unsigned char bytes[16];
    std::memcpy(bytes, &g, 16);
    const std::size_t count = shortForm ? 4 : 16;
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<unsigned char>(std::rand() & 0xFF);
    std::memcpy(&g, bytes, 16);
    return BTUUID(g);
}

}  // namespace Corvale
