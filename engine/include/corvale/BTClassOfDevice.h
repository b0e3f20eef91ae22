// The Class of Device of a Bluetooth device: one 32-bit word with the minor
// class in bits 2-7, the major class in bits 8-12 and the service classes in
// bits 13-23, validated when built from a raw value, with fixed English texts.
#pragma once

#include <cstdint>
#include <string>

namespace Corvale {

class BTClassOfDevice {
public:
    BTClassOfDevice() = default;
    // Keeps raw unchanged, or 0 when the format bits (0-1) are not 0 or no bit
    // of 0xFF2000 (limited discoverable mode and the eight service classes) is set.
    BTClassOfDevice(std::uint32_t raw);
    BTClassOfDevice(const BTClassOfDevice&) = default;
    BTClassOfDevice& operator=(const BTClassOfDevice&) = default;
    ~BTClassOfDevice() = default;

    bool isValid() const { return word != 0; }
    std::uint32_t value() const { return word; }

    std::uint32_t getServices() const;
    void setServices(std::uint32_t s);
    bool hasServices(std::uint32_t mask) const;
    std::uint32_t getMajor() const;
    void setMajor(std::uint32_t m);
    std::uint32_t getMinor() const;
    void setMinor(std::uint32_t m);

    std::wstring strMajor() const;
    std::wstring strMinor() const;
    // The service classes joined by separator, " | " when it is null; "(none)" if none.
    std::wstring strServices(const wchar_t* separator = nullptr) const;
    // "major > minor - [services]".
    std::wstring asString() const;

    bool operator==(const BTClassOfDevice&) const = default;

private:
    std::uint32_t word = 0;
};

}  // namespace Corvale
