#include <corvale/BTUUID.h>
#include <corvale/bt/hex.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace Corvale {

namespace {
GUID parse(const wchar_t* text) {
    if (text == nullptr || *text == 0) return UUID_NULL;
    unsigned char bytes[16] = {};
    std::size_t digits = 0;
    for (const wchar_t* p = text; *p; ++p) {
        const int v = Bt::hexDigit(*p);
        if (v < 0) continue;
        // Digits past the 32nd are counted (they make the text invalid) but not stored.
        if (digits < 32) bytes[digits / 2] |= static_cast<unsigned char>(digits % 2 ? v : v << 4);
        ++digits;
    }
    if (digits != 32) return UUID_NULL;
    return Bt::guidFromBytes<GUID>(bytes);
}
}  // namespace

BTUUID::BTUUID(const std::wstring& text) : uuid(parse(text.c_str())) {}

BTUUID::BTUUID(const wchar_t* text) : uuid(parse(text)) {}

std::wstring BTUUID::asString() const {
    wchar_t text[64];
    std::swprintf(text, 64, L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(uuid.Data1), static_cast<unsigned>(uuid.Data2),
                  static_cast<unsigned>(uuid.Data3), uuid.Data4[0], uuid.Data4[1], uuid.Data4[2],
                  uuid.Data4[3], uuid.Data4[4], uuid.Data4[5], uuid.Data4[6], uuid.Data4[7]);
    return text;
}

BTUUID BTUUID::random(bool onBase) {
    GUID g = onBase ? Bluetooth_Base_UUID : UUID_NULL;
    unsigned char bytes[16];
    std::memcpy(bytes, &g, 16);
    const std::size_t count = onBase ? 4 : 16;
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<unsigned char>(std::rand() & 0xFF);
    std::memcpy(&g, bytes, 16);
    return BTUUID(g);
}

}  // namespace Corvale
