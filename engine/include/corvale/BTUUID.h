// A 128-bit UUID as SDP uses them, held in the platform's GUID layout.
#pragma once

#include <corvale/bt/uuid.h>
#include <corvale/platform/bluetooth_types.h>

#include <cstdint>
#include <optional>
#include <string>

namespace Corvale {

inline constexpr GUID UUID_NULL = {0x00000000, 0x0000, 0x0000, {0, 0, 0, 0, 0, 0, 0, 0}};
inline constexpr GUID Bluetooth_Base_UUID = Bt::onBase<GUID>(0x00000000);
inline constexpr GUID L2CAP_PROTOCOL_UUID = Bt::onBase<GUID>(0x00000100);

class BTUUID {
public:
    // UUID_NULL.
    constexpr BTUUID() : uuid(UUID_NULL) {}
    // A 16- or 32-bit SDP short form on Bluetooth_Base_UUID.
    constexpr explicit BTUUID(std::uint32_t form) : uuid(Bt::onBase<GUID>(form)) {}
    constexpr explicit BTUUID(const GUID& value) : uuid(value) {}
    // 32 hexadecimal digits in text order; every other character is skipped.
    // Any other count of digits, an empty text or a null pointer: UUID_NULL.
    explicit BTUUID(const std::wstring& text);
    explicit BTUUID(const wchar_t* text);
    BTUUID(const BTUUID& other) = default;
    BTUUID& operator=(const BTUUID& other) = default;

    // Equal when all 16 stored bytes are equal.
    constexpr bool operator==(const BTUUID& other) const { return Bt::sameGuid(uuid, other.uuid); }

    // The 16- or 32-bit short form when the UUID lies on Bluetooth_Base_UUID
    // (it fits 16 bits when it is at most 0xFFFF); none otherwise.
    constexpr std::optional<std::uint32_t> shortForm() const { return Bt::shortForm(uuid); }

    // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", 38 characters, upper case.
    std::wstring asString() const;

    // Pseudo-random from rand() (never seeded by the engine). With onBase,
    // only the four bytes of Data1 are random, on Bluetooth_Base_UUID.
    static BTUUID random(bool onBase);

    constexpr const GUID& guid() const { return uuid; }

private:
    GUID uuid;
};

}  // namespace Corvale
