#include <corvale/BTDevice.h>

#include <algorithm>

namespace Corvale {

bool BTDevice::InquiryCache = false;

BTDevice::BTDevice() = default;

BTDevice::BTDevice(const BTAddress& address) : address(address) {
    checkAddress();
}

BTDevice::BTDevice(const BTAddress& address, const std::wstring& name)
    : address(address), name(name) {
    checkAddress();
}

BTDevice::BTDevice(const BTAddress& address, const BTClassOfDevice& cod)
    : address(address), cod(cod) {
    checkAddress();
}

BTDevice::BTDevice(const BTAddress& address, const BTClassOfDevice& cod, const std::wstring& name)
    : address(address), cod(cod), name(name) {
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
