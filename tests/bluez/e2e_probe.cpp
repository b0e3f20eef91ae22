// The end-to-end probe: the engine, unchanged, on the BlueZ platform, driven
// against the real stack (kernel, virtual controllers, bluetoothd). It prints
// what it finds and fails when it does not find what it should.
//
//   e2e_probe publish    registers the test service on every radio, says
//                        "published", withdraws it when stdin ends
//   e2e_probe present    radios, an inquiry, and the peer's services: the
//                        peer radio (Alias "Corvale Peer") is found with its
//                        name and class, its records include the test service
//   e2e_probe absent     the peer radio's records no longer hold it
#include <corvale/BTNetwork.h>
#include <corvale/baselib.h>
#include <corvale/compat/utf.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>

using namespace Corvale;

namespace {

const wchar_t* const kPeerName = L"Corvale Peer";
const wchar_t* const kServiceName = L"Corvale E2E Chat";
const wchar_t* const kServiceComment = L"Published from the other side";
// OBEX Object Push: bluetoothd adds the Object Transfer service bit to the
// radio's class while a profile of this class is registered, which gives the
// radios a class that the engine's validation keeps (major and minor class
// alone, as main.conf sets them, carry no service bit and read as 0).
const wchar_t* const kServiceUuid = L"{00001105-0000-1000-8000-00805F9B34FB}";
constexpr std::uint32_t kServicePort = 11;

std::string u8(const std::wstring& w) {
    return Corvale::Compat::toUtf8(w);
}

void say(const std::string& line) {
    std::cout << "E2E: " << line << std::endl;
}

int failed(const std::string& why) {
    std::cout << "E2E: FAILED: " << why;
    if (!baselib::getError().empty())
        std::cout << " (last error: " << u8(baselib::getError()) << ")";
    std::cout << std::endl;
    return 1;
}

std::string hex(std::uint32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%06X", v);
    return b;
}

void show(const BTDevice& d, const char* what) {
    say(std::string(what) + " " + u8(d.Address().asString()) + " \"" + u8(d.Name()) + "\" class " +
        hex(d.COD().value()) + ", " + std::to_string(d.Services().size()) + " services");
    for (const BTService& s : d.Services())
        say("    service \"" + u8(s.Name()) + "\" comment \"" + u8(s.Comment()) + "\" uuid " +
            u8(s.UUID().asString()) + " port " + std::to_string(s.Port()));
}

bool holdsTestService(const BTDevice& d) {
    for (const BTService& s : d.Services())
        if (s.Name() == kServiceName && s.Comment() == kServiceComment &&
            s.UUID() == BTUUID(kServiceUuid) && s.Port() == kServicePort)
            return true;
    return false;
}

const BTDevice* peerRadio(BTNetwork& network) {
    for (const BTDevice& r : network.LocalDevices())
        if (r.Name() == kPeerName) return &r;
    return nullptr;
}

int publish() {
    BTNetwork network;
    if (network.LocalDevices().empty()) return failed("no radio to publish on");
    const BTService service(BTUUID(kServiceUuid), kServiceName, kServiceComment, kServicePort);
    if (!network.PublishService(service, true)) return failed("PublishService");
    say("published on " + std::to_string(network.LocalDevices().size()) + " radios");
    // Held until the other side has looked; withdrawn when stdin ends.
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    if (!network.PublishService(service, false)) return failed("withdrawing the service");
    say("withdrawn");
    return 0;
}

int present() {
    BTNetwork network;
    say("radios: " + std::to_string(network.LocalDevices().size()));
    for (const BTDevice& r : network.LocalDevices()) show(r, "radio");
    if (network.LocalDevices().size() < 2) return failed("expected both virtual radios");
    const BTDevice* peer = peerRadio(network);
    if (peer == nullptr) return failed("no radio named Corvale Peer");
    const BTAddress peerAddress = peer->Address();
    const std::uint32_t peerClass = peer->COD().value();

    const auto start = std::chrono::steady_clock::now();
    if (!network.DiscoverRemoteDevices()) return failed("DiscoverRemoteDevices");
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
    say("inquiry: " + std::to_string(network.RemoteDevices().size()) + " devices in " +
        std::to_string(seconds.count()) + " s");
    BTDevice* found = nullptr;
    for (BTDevice& d : network.RemoteDevices()) {
        show(d, "found");
        if (d.Address() == peerAddress) found = &d;
    }
    if (found == nullptr) return failed("the inquiry did not find the peer radio");
    if (found->Name() != kPeerName) return failed("the peer's name was not resolved");
    if (peerClass == 0) return failed("the peer radio has no valid class");
    if (found->COD().value() != peerClass) return failed("the peer's class differs");

    if (!found->DiscoverServices()) return failed("DiscoverServices on the peer");
    show(*found, "peer");
    if (found->Services().size() < 2) return failed("expected bluetoothd's records and ours");
    if (!holdsTestService(*found)) return failed("the published record is not there");
    say("the published record is there");
    return 0;
}

int absent() {
    BTNetwork network;
    const BTDevice* peer = peerRadio(network);
    if (peer == nullptr) return failed("no radio named Corvale Peer");
    BTDevice device(peer->Address(), peer->COD(), peer->Name());
    if (!device.DiscoverServices()) return failed("DiscoverServices on the peer");
    show(device, "peer");
    if (device.Services().empty()) return failed("bluetoothd's own records are gone too");
    if (holdsTestService(device)) return failed("the withdrawn record is still there");
    say("the withdrawn record is gone");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (!baselib::WinsockStart()) return failed("WinsockStart");
    const std::string mode = argc > 1 ? argv[1] : "";
    int rc = 2;
    if (mode == "publish")
        rc = publish();
    else if (mode == "present")
        rc = present();
    else if (mode == "absent")
        rc = absent();
    else
        std::cerr << "usage: e2e_probe publish|present|absent\n";
    baselib::WinsockClear();
    return rc;
}
