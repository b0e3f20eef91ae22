// A 48-bit Bluetooth device address.
#pragma once

#include <corvale/platform/bluetooth_api.h>

#include <cstdint>
#include <string>

namespace Corvale {

class BTAddress {
public:
    // The null address.
    BTAddress();
    BTAddress(const BTAddress& other);
    // From the platform's 64-bit address; bits 48 to 63 are dropped.
    BTAddress(BTH_ADDR address);
    BTAddress& operator=(const BTAddress& other);
    ~BTAddress();

    // "XX:XX:XX:XX:XX:XX", most significant byte first, upper case.
    std::wstring asString() const;

    // The 48-bit value.
    BTH_ADDR value() const { return (static_cast<BTH_ADDR>(high) << 32) | low; }
    bool isNull() const { return low == 0 && high == 0; }
    bool operator==(const BTAddress& other) const { return low == other.low && high == other.high; }

private:
    static constexpr std::uint64_t ADDR_MASK = 0x0000FFFFFFFFFFFFULL;
    std::uint32_t low = 0;
    std::uint16_t high = 0;
};

}  // namespace Corvale
