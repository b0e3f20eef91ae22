// A backend without any Bluetooth stack behind it.
//
// Winsock starts (the name-space machinery exists), but there is no radio to
// enumerate and no Bluetooth name space to look anything up in. The codes are
// chosen for the words the user reads in the error box:
//   radios:          ERROR_SERVICE_DOES_NOT_EXIST  "The specified service does
//                    not exist as an installed service."
//   lookups and SDP: WSASERVICE_NOT_FOUND          "No such service is known.
//                    The service cannot be found in the specified name space."
// Nothing waits: every answer is immediate.
#include <corvale/compat/backend.h>

namespace Corvale::Compat {

namespace {
class NoStackBackend final : public Backend {
public:
    DWORD radios(std::vector<RadioInfo>& out) override {
        out.clear();
        return ERROR_SERVICE_DOES_NOT_EXIST;
    }
    DWORD inquire(const InquiryParams&, std::unique_ptr<Query<DeviceResult>>& out) override {
        out.reset();
        return WSASERVICE_NOT_FOUND;
    }
    DWORD searchServices(const ServiceSearchParams&,
                         std::unique_ptr<Query<ServiceResult>>& out) override {
        out.reset();
        return WSASERVICE_NOT_FOUND;
    }
    DWORD setService(const ServiceRegistration&) override { return WSASERVICE_NOT_FOUND; }
};
}  // namespace

Backend& backend() {
    static NoStackBackend instance;
    return instance;
}

}  // namespace Corvale::Compat
