// A 48-bit Bluetooth device address.
#pragma once

#include <corvale/bt/address.h>
#include <corvale/platform/bluetooth_types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Corvale {

class BTAddress {
public:
    // The null address.
    constexpr BTAddress() = default;
    BTAddress(const BTAddress& other) = default;
    // From the platform's 64-bit address; bits 48 to 63 are dropped.
    constexpr BTAddress(BTH_ADDR address)
        : low(static_cast<std::uint32_t>(address & ADDR_MASK)),
          high(static_cast<std::uint16_t>((address & ADDR_MASK) >> 32)) {}
    BTAddress& operator=(const BTAddress& other) = default;
    ~BTAddress() = default;

    // The address of the text form "XX:XX:XX:XX:XX:XX" (digits in either
    // case); none for any other text.
    static constexpr std::optional<BTAddress> fromString(std::wstring_view text) {
        const std::optional<std::uint64_t> value = Bt::parseAddress(text);
        if (!value) return std::nullopt;
        return BTAddress(*value);
    }

    // "XX:XX:XX:XX:XX:XX", most significant byte first, upper case.
    std::wstring asString() const;

    // The 48-bit value.
    constexpr BTH_ADDR value() const { return (static_cast<BTH_ADDR>(high) << 32) | low; }
    constexpr bool isNull() const { return low == 0 && high == 0; }
    constexpr bool operator==(const BTAddress& other) const {
        return low == other.low && high == other.high;
    }

private:
    static constexpr std::uint64_t ADDR_MASK = Bt::kAddressMask;
    std::uint32_t low = 0;
    std::uint16_t high = 0;
};

}  // namespace Corvale
