// A backend with no radio and no device in range.
#include <corvale/compat/backend.h>

namespace Corvale::Compat {

namespace {
class NoRadioBackend final : public Backend {
public:
    DWORD radios(std::vector<RadioInfo>& out) override {
        out.clear();
        return ERROR_NO_MORE_ITEMS;
    }
    DWORD inquire(const InquiryParams&, std::unique_ptr<Query<DeviceResult>>&) override {
        return WSASERVICE_NOT_FOUND;
    }
    DWORD searchServices(const ServiceSearchParams&,
                         std::unique_ptr<Query<ServiceResult>>&) override {
        return WSASERVICE_NOT_FOUND;
    }
    DWORD setService(const ServiceRegistration&) override { return WSASERVICE_NOT_FOUND; }
};
}  // namespace

Backend& backend() {
    static NoRadioBackend instance;
    return instance;
}

}  // namespace Corvale::Compat
