// The end-to-end probe that tools/bluez/e2e.sh runs under qemu against the real
// stack (kernel, virtual controllers, bluetoothd): the engine, unchanged, on the
// BlueZ platform. It prints what it finds and fails when it misses something.
//
//   e2e_probe publish   publishes the test service on every radio, says
//                       "published", withdraws it when stdin ends
//   e2e_probe present   both radios; an inquiry finds the peer radio (Alias
//                       "Corvale Peer") with its name and class, and its
//                       records include the test service
//   e2e_probe absent    the peer radio's records no longer hold it
#include <corvale/BTNetwork.h>
#include <corvale/baselib.h>
#include <corvale/compat/utf.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>

using namespace Corvale;

namespace {

const std::wstring kPeer = L"Corvale Peer";
// OBEX Object Push: while a profile of this class is registered, bluetoothd adds
// the Object Transfer service bit to the radio's class, which gives the radios a
// class the engine's validation keeps (major and minor class alone, as main.conf
// sets them, carry no service bit and read as 0).
const BTService kService(BTUUID(L"{00001105-0000-1000-8000-00805F9B34FB}"), L"Corvale E2E Chat",
                         L"Published from the other side", 11);

std::string u8(const std::wstring& w) {
    return Compat::toUtf8(w);
}

int fail(const char* why) {
    std::printf("E2E: FAILED: %s (last error: %s)\n", why, u8(baselib::getError()).c_str());
    return 1;
}

void show(const BTDevice& d, const char* what) {
    std::printf("E2E: %s %s \"%s\" class 0x%06X, %zu services\n", what,
                u8(d.Address().asString()).c_str(), u8(d.Name()).c_str(), d.COD().value(),
                d.Services().size());
    for (const BTService& s : d.Services())
        std::printf("E2E:     service \"%s\" comment \"%s\" uuid %s port %u\n",
                    u8(s.Name()).c_str(), u8(s.Comment()).c_str(), u8(s.UUID().asString()).c_str(),
                    s.Port());
}

bool holdsTestService(const BTDevice& d) {
    return std::any_of(d.Services().begin(), d.Services().end(), [](const BTService& s) {
        return s.Name() == kService.Name() && s.Comment() == kService.Comment() &&
               s.UUID() == kService.UUID() && s.Port() == kService.Port();
    });
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // e2e-guest.sh waits for "published"
    const std::string mode = argc > 1 ? argv[1] : "";
    if (!baselib::WinsockStart()) return fail("WinsockStart");
    BTNetwork network;
    const std::vector<BTDevice>& radios = network.LocalDevices();
    if (mode == "publish") {
        if (radios.empty() || !network.PublishService(kService, true)) return fail("publishing");
        std::printf("E2E: published on %zu radios\n", radios.size());
        for (std::string line; std::getline(std::cin, line);) {
        }
        if (!network.PublishService(kService, false)) return fail("withdrawing the service");
        std::printf("E2E: withdrawn\n");
        return 0;
    }
    std::printf("E2E: radios: %zu\n", radios.size());
    for (const BTDevice& r : radios) show(r, "radio");
    const auto peer = std::find_if(radios.begin(), radios.end(),
                                   [](const BTDevice& r) { return r.Name() == kPeer; });
    if (peer == radios.end()) return fail("no radio named Corvale Peer");
    if (mode == "absent") {
        // The radios' records were read afresh when they were listed above.
        if (peer->Services().empty()) return fail("bluetoothd's own records are gone too");
        if (holdsTestService(*peer)) return fail("the withdrawn record is still there");
        std::printf("E2E: the withdrawn record is gone\n");
        return 0;
    }
    if (mode != "present") return fail("usage: e2e_probe publish|present|absent");
    if (radios.size() < 2) return fail("expected both virtual radios");
    const BTAddress address = peer->Address();
    const std::uint32_t cls = peer->COD().value();
    const auto start = std::chrono::steady_clock::now();
    if (!network.DiscoverRemoteDevices()) return fail("DiscoverRemoteDevices");
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("E2E: inquiry: %zu devices in %.1f s\n", network.RemoteDevices().size(),
                took.count());
    BTDevice* found = nullptr;
    for (BTDevice& d : network.RemoteDevices()) {
        show(d, "found");
        if (d.Address() == address) found = &d;
    }
    if (found == nullptr) return fail("the inquiry did not find the peer radio");
    if (found->Name() != kPeer) return fail("the peer's name was not resolved");
    if (cls == 0 || found->COD().value() != cls)
        return fail("the peer's class is invalid or differs");
    if (!found->DiscoverServices()) return fail("DiscoverServices on the peer");
    show(*found, "peer");
    if (found->Services().size() < 2) return fail("expected bluetoothd's records and ours");
    if (!holdsTestService(*found)) return fail("the published record is not there");
    std::printf("E2E: the published record is there\n");
    return 0;
}
