// One service found by SDP service discovery on a device.
#pragma once

#include <corvale/BTUUID.h>
#include <corvale/platform/bluetooth_types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Corvale {

class BTService {
public:
    BTService();
    BTService(const BTUUID& uuid, std::uint32_t port);
    BTService(const BTUUID& uuid, const std::wstring& name, std::uint32_t port);
    BTService(const BTUUID& uuid, const std::wstring& name, const std::wstring& comment,
              std::uint32_t port);
    // With the raw SDP record the lookup gave for the service, kept as received.
    BTService(const BTUUID& uuid, const std::wstring& name, const std::wstring& comment,
              std::uint32_t port, std::vector<std::uint8_t> record);
    BTService(const BTService& other);
    BTService& operator=(const BTService& other);
    ~BTService();

    const BTUUID& UUID() const { return uuid; }
    const std::wstring& Name() const { return name; }
    const std::wstring& Comment() const { return comment; }
    std::uint32_t Port() const { return port; }
    // The service's SDP record as received (decode it with BTRecord::Decode);
    // empty when the lookup gave none.
    const std::vector<std::uint8_t>& Record() const { return record; }

private:
    BTUUID uuid;
    std::wstring name;
    std::wstring comment;
    std::uint32_t port = 0;
    std::vector<std::uint8_t> record;
};

// The service-class UUID of a raw SDP service record: the first UUID at the top
// level of its ServiceClassIDList (attribute 0x0001), expanded to 128 bits,
// where a UUID that appears again counts at its last place. UUID_NULL when the
// record gives no class or cannot be read.
BTUUID ServiceClassUUID(const BYTE* record, ULONG length);

}  // namespace Corvale
