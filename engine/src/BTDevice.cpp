#include <corvale/BTDevice.h>

#include <algorithm>

namespace Corvale {

bool BTDevice::InquiryCache = false;

BTDevice::BTDevice() = default;

BTDevice::BTDevice(const BTAddress& deviceAddress) : address(deviceAddress) {
    checkAddress();
}

BTDevice::BTDevice(const BTAddress& deviceAddress, const std::wstring& deviceName)
    : address(deviceAddress), name(deviceName) {
    checkAddress();
}

BTDevice::BTDevice(const BTAddress& deviceAddress, const BTClassOfDevice& deviceClass)
    : address(deviceAddress), cod(deviceClass) {
    checkAddress();
}

BTDevice::BTDevice(const BTAddress& deviceAddress, const BTClassOfDevice& deviceClass,
                   const std::wstring& deviceName)
    : address(deviceAddress), cod(deviceClass), name(deviceName) {
    checkAddress();
}

BTDevice::BTDevice(const BTDevice& other)
    : address(other.address), cod(other.cod), name(other.name), services(other.services) {
    checkAddress();
}

BTDevice& BTDevice::operator=(const BTDevice& other) {
    if (this != &other) {
        address = other.address;
        cod = other.cod;
        name = other.name;
        services = other.services;
    }
    return *this;
}

BTDevice::~BTDevice() = default;

void BTDevice::checkAddress() const {
    if (address.isNull()) throw L"Device address is null.";
}

bool BTDevice::hasService(const BTUUID& uuid) const {
    return std::any_of(services.begin(), services.end(),
                       [&](const BTService& s) { return s.UUID() == uuid; });
}

bool BTDevice::getInquiryCache() {
    return InquiryCache;
}

void BTDevice::setInquiryCache(bool value) {
    InquiryCache = value;
}

}  // namespace Corvale
