#include "quick_backend.h"

#include <mutex>

namespace quickbackend {

namespace {
std::mutex gMutex;
std::function<std::unique_ptr<Corvale::Bluez::SdpTransport>()> gMake;
}  // namespace

void setTransport(std::function<std::unique_ptr<Corvale::Bluez::SdpTransport>()> make) {
    std::lock_guard<std::mutex> lock(gMutex);
    gMake = std::move(make);
}

}  // namespace quickbackend

namespace Corvale::Compat {

Backend& backend() {
    static Bluez::BluezBackend instance([] {
        Bluez::BackendOptions o;
        o.inquiryUnit = quickbackend::kUnit;
        o.callTimeout = std::chrono::seconds(3);
        o.sdp.connectTimeout = std::chrono::seconds(1);
        o.sdp.responseTimeout = std::chrono::seconds(1);
        o.transport = []() -> std::unique_ptr<Bluez::SdpTransport> {
            std::lock_guard<std::mutex> lock(quickbackend::gMutex);
            return quickbackend::gMake ? quickbackend::gMake() : Bluez::makeL2capTransport();
        };
        return o;
    }());
    return instance;
}

}  // namespace Corvale::Compat
