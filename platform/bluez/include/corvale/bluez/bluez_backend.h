// The Linux backend of the compat layer: BlueZ over D-Bus for radios, inquiry
// and publication, and our own SDP client over L2CAP for service discovery.
//
// What it touches: the system bus (sd-bus honours DBUS_SYSTEM_BUS_ADDRESS, as
// every D-Bus client does), the org.bluez service on it, and L2CAP sockets.
// It never removes, pairs, connects or powers anything: an inspection tool
// must leave the system as it found it.
//
// Which adapter: radios() lists every org.bluez.Adapter1 in the natural order
// of its object path (hci2 before hci10). An inquiry and a cache answer use
// the first adapter in that order that is powered. A service search needs a
// powered adapter and leaves the route to the kernel, which sends a
// connection to a local radio's own address out through another adapter: the
// radios of one machine read each other's records. A machine with a single
// radio cannot read that radio's own records this way (WSAEHOSTUNREACH, left
// in the error text while the radio is still listed). A search on one of our
// own radios has tight bounds of its own (BackendOptions::localSdp).
//
// Addresses: no real radio or device has the null address. An adapter with
// it, and a device whose address is null, missing or malformed (or whose
// properties have the wrong types), is left out of the answer; the others
// are reported.
//
// Inquiry: the devices heard, first heard first, up to 1,024 (whoever owns
// org.bluez may announce any number; what is kept of each is bounded too).
//
// Caches: "cache" for an inquiry means the devices BlueZ already holds; SDP
// records are never cached, a service search always asks the device.
//
// Error codes, by cause. Radio enumeration answers with Win32 codes, lookups
// and publication with the Winsock codes a Windows user sees for the same
// cause; every code has its text in the compat layer's message table.
//
// clang-format off
//   cause                                   radios                      lookups, publication
//   --------------------------------------  --------------------------  ---------------------
//   no system bus, org.bluez not on it,     ERROR_SERVICE_NOT_ACTIVE    ERROR_SERVICE_NOT_ACTIVE
//     or org.bluez left during the call
//   no adapter                              ERROR_NO_MORE_ITEMS         WSASERVICE_NOT_FOUND
//   no adapter is powered                   (listed as they are)        WSAENETDOWN
//   publication for an unknown radio        -                           WSAEADDRNOTAVAIL
//   D-Bus call or SDP answer too slow       ERROR_TIMEOUT               WSAETIMEDOUT
//   a service search past its overall       -                           WSAETIMEDOUT
//     deadline, or one that stops making
//     progress (see searchAttributes)
//   permission refused (D-Bus or socket)    ERROR_ACCESS_DENIED         WSAEACCES
//   malformed D-Bus reply or SDP response   ERROR_INVALID_DATA          ERROR_INVALID_DATA
//   SDP response larger than kMaxResponse   -                           WSAENOBUFS
//   device does not answer a page           -                           WSAEHOSTDOWN
//   no route to the device                  -                           WSAEHOSTUNREACH
//   device refuses / drops the connection   -                           WSAECONNREFUSED /
//                                                                       WSAECONNRESET
//   the device's SDP server reports an      -                           ERROR_NOT_SUPPORTED
//     error (ERROR_RETRY when it is out
//     of resources)
//   kernel without Bluetooth sockets        -                           WSAEAFNOSUPPORT
//   method unknown to this bluetoothd       ERROR_NOT_SUPPORTED         WSAEOPNOTSUPP
//   bluetoothd refuses the arguments        ERROR_INVALID_PARAMETER     WSAEINVAL
//   bluetoothd busy (InProgress)            ERROR_RETRY                 ERROR_RETRY
//   out of memory                           ERROR_NOT_ENOUGH_MEMORY     WSAENOBUFS
//   any other failure of bluetoothd         ERROR_GEN_FAILURE           ERROR_GEN_FAILURE
// clang-format on
#pragma once

#include <corvale/bluez/sdp_client.h>
#include <corvale/compat/backend.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace Corvale::Bluez {

namespace Dbus {
class Connection;
}
struct Adapter;

// The bounds of a search on one of this machine's own radios: 2 s to
// connect, 1 s a response, 3 s in all.
SdpLimits localSdpLimits();

struct BackendOptions {
    // One unit of BTH_QUERY_DEVICE.length; the default inquiry is 8 units
    // (10.24 s), as a classic inquiry lasts.
    std::chrono::milliseconds inquiryUnit{1280};
    // Bound on every D-Bus call (and on connecting to the bus).
    std::chrono::milliseconds callTimeout{5000};
    // A service search on a remote device: 15 s to connect (paging a device
    // takes up to a few seconds), 5 s a response, 30 s in all.
    SdpLimits sdp{};
    // A service search on one of this machine's own radios, reached through
    // another of them: a local radio answers in well under a second or not
    // at all, and the window waits for these at start-up.
    SdpLimits localSdp = localSdpLimits();
    // Makes the transport of one service search; the L2CAP one by default.
    std::function<std::unique_ptr<SdpTransport>()> transport;
};

class BluezBackend final : public Compat::Backend {
public:
    explicit BluezBackend(BackendOptions options = {});
    ~BluezBackend() override;
    BluezBackend(const BluezBackend&) = delete;
    BluezBackend& operator=(const BluezBackend&) = delete;

    DWORD radios(std::vector<Compat::RadioInfo>& out) override;
    DWORD inquire(const Compat::InquiryParams& params,
                  std::unique_ptr<Compat::Query<Compat::DeviceResult>>& out) override;
    DWORD searchServices(const Compat::ServiceSearchParams& params,
                         std::unique_ptr<Compat::Query<Compat::ServiceResult>>& out) override;
    DWORD setService(const Compat::ServiceRegistration& registration) override;

    // The number of profiles this backend holds registered with BlueZ.
    std::size_t publishedCount() const;

private:
    struct Published;
    enum class Context { Radio, Lookup };

    DWORD connection(Dbus::Connection*& out, Context context);
    // The bus (connected once) and the adapters on it in natural path order
    // (hci2 before hci10).
    DWORD adapters(Context context, Dbus::Connection*& bus, std::vector<Adapter>& out);
    // The same for a lookup, and the first powered adapter among them.
    DWORD poweredAdapter(Dbus::Connection*& bus, std::vector<Adapter>& all, const Adapter*& out);
    DWORD discover(Dbus::Connection& bus, const Adapter& adapter, std::chrono::milliseconds length,
                   std::vector<Compat::DeviceResult>& out);
    // The record published for the registration's service class and port.
    std::vector<Published>::iterator findPublished(const Compat::ServiceRegistration& registration);
    DWORD publish(Dbus::Connection& bus, const Compat::ServiceRegistration& registration);
    DWORD withdraw(Dbus::Connection& bus, const Compat::ServiceRegistration& registration);
    // Ends one registration with BlueZ; one that BlueZ no longer holds is gone already.
    static DWORD unregister(Dbus::Connection& bus, const std::string& path);

    BackendOptions options_;
    mutable std::mutex mutex_;
    std::unique_ptr<Dbus::Connection> bus_;
    std::vector<Published> published_;
    unsigned nextProfile_ = 0;
};

}  // namespace Corvale::Bluez
