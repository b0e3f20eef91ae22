// A 128-bit UUID as SDP uses them, held in the platform's GUID layout.
#pragma once

#include <corvale/platform/bluetooth_api.h>

#include <cstdint>
#include <string>

namespace Corvale {

inline constexpr GUID UUID_NULL = {0x00000000, 0x0000, 0x0000, {0, 0, 0, 0, 0, 0, 0, 0}};
inline constexpr GUID Bluetooth_Base_UUID = {
    0x00000000, 0x0000, 0x1000, {0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB}};
inline constexpr GUID L2CAP_PROTOCOL_UUID = {
    0x00000100, 0x0000, 0x1000, {0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB}};

class BTUUID {
public:
    // UUID_NULL.
    BTUUID();
    // A 16- or 32-bit SDP short form on Bluetooth_Base_UUID.
    explicit BTUUID(std::uint32_t shortForm);
    explicit BTUUID(const GUID& guid);
    // 32 hexadecimal digits in text order; every other character is skipped.
    // Any other count of digits, an empty text or a null pointer: UUID_NULL.
    explicit BTUUID(const std::wstring& text);
    explicit BTUUID(const wchar_t* text);
    BTUUID(const BTUUID& other);
    BTUUID& operator=(const BTUUID& other);

    // Equal when all 16 stored bytes are equal.
    bool operator==(const BTUUID& other) const;

    // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", 38 characters, upper case.
    std::wstring asString() const;

    // Pseudo-random from rand() (never seeded by the engine). With shortForm,
    // only the four bytes of Data1 are random, on Bluetooth_Base_UUID.
    static BTUUID random(bool shortForm);

    const GUID& guid() const { return uuid; }

private:
    GUID uuid;
};

}  // namespace Corvale
