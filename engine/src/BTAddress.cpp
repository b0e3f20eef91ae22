#include <corvale/BTAddress.h>

#include <cwchar>

namespace Corvale {

BTAddress::BTAddress() = default;
BTAddress::BTAddress(const BTAddress& other) = default;

BTAddress::BTAddress(BTH_ADDR address) {
    const std::uint64_t value = static_cast<std::uint64_t>(address) & ADDR_MASK;
    low = static_cast<std::uint32_t>(value);
    high = static_cast<std::uint16_t>(value >> 32);
}

BTAddress& BTAddress::operator=(const BTAddress& other) = default;
BTAddress::~BTAddress() = default;

std::wstring BTAddress::asString() const {
    wchar_t text[32];
    std::swprintf(text, sizeof text / sizeof text[0], L"%02X:%02X:%02X:%02X:%02X:%02X",
                  (high >> 8) & 0xFFu, high & 0xFFu, (low >> 24) & 0xFFu, (low >> 16) & 0xFFu,
                  (low >> 8) & 0xFFu, low & 0xFFu);
    return text;
}

}  // namespace Corvale
