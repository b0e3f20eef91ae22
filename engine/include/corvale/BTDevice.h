// One Bluetooth device or local radio, as a plain value record.
#pragma once

#include <corvale/BTAddress.h>
#include <corvale/BTClassOfDevice.h>
#include <corvale/BTService.h>

#include <string>
#include <vector>

namespace Corvale {

class BTDevice {
public:
    // The only way to hold the null address.
    BTDevice();
    // These throw L"Device address is null." (a const wchar_t*) for the null address.
    explicit BTDevice(const BTAddress& address);
    BTDevice(const BTAddress& address, const std::wstring& name);
    BTDevice(const BTAddress& address, const BTClassOfDevice& cod);
    BTDevice(const BTAddress& address, const BTClassOfDevice& cod, const std::wstring& name);
    BTDevice(const BTDevice& other);
    // Copies everything; does not test the address.
    BTDevice& operator=(const BTDevice& other);
    ~BTDevice();

    const BTAddress& Address() const { return address; }
    const BTClassOfDevice& COD() const { return cod; }
    BTClassOfDevice& COD() { return cod; }
    const std::wstring& Name() const { return name; }
    std::wstring& Name() { return name; }
    const std::vector<BTService>& Services() const { return services; }

    // Whether some service of the list has this UUID.
    bool hasService(const BTUUID& uuid) const;

    // Replaces the service list with one service per SDP record of the device
    // that holds the L2CAP protocol UUID. False on failure, with the reason in
    // baselib::getError(); the list then keeps what was read before it.
    bool DiscoverServices();

    // May service discovery be answered from the system's cache? Off at start.
    static bool getInquiryCache();
    static void setInquiryCache(bool value);

private:
    void checkAddress() const;

    BTAddress address;
    BTClassOfDevice cod;
    std::wstring name;
    std::vector<BTService> services;

    static bool InquiryCache;
};

}  // namespace Corvale
