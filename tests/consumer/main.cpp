// Uses the installed engine: decodes a class word, parses a UUID, reads the
// service class of a small record and asks the platform for its radios. On
// the simulated world it scripts one radio and checks that the engine lists
// it and leaves no handle open; on BlueZ it prints what the machine answers.
#include <corvale/Corvale.h>
#include <corvale/version.h>

#ifdef CONSUMER_SIM
#include <corvale/sim/World.h>
#endif

#include <cstdio>
#include <string_view>

int main() {
    // The header and the package config carry the same version.
    if (std::string_view(CORVALE_VERSION) != PACKAGE_VERSION) {
        std::printf("version.h says %s, the package %s\n", CORVALE_VERSION, PACKAGE_VERSION);
        return 1;
    }

    const Corvale::BTClassOfDevice cod(0x5A020C);
    const Corvale::BTUUID spp(0x1101u);
    // ServiceClassIDList { UUID16 0x1101 }
    const BYTE record[] = {0x35, 0x08, 0x09, 0x00, 0x01, 0x35, 0x03, 0x19, 0x11, 0x01};
    const Corvale::BTUUID cls = Corvale::ServiceClassUUID(record, sizeof record);

    std::printf("%s %s\n%ls\n%ls\n", CORVALE_NAME, CORVALE_VERSION, cod.asString().c_str(),
                cls.asString().c_str());
    if (!(cls == spp)) return 1;
    if (cod.asString() !=
        L"Phone > Smart phone - [Networking | Capturing (scanner, microphone) | "
        L"Object transfer | Telephony]")
        return 1;

#ifdef CONSUMER_SIM
    auto& world = Corvale::Sim::World::instance();
    world.reset();
    world.addRadio({.address = Corvale::Sim::address("00:1A:7D:DA:71:13"),
                    .name = "Workstation",
                    .classOfDevice = 0x1C010C});
#endif

    baselib::WinsockStart();
    bool ok = true;
    {
        Corvale::BTNetwork network;
        const auto& radios = network.LocalDevices();
        std::printf("local radios: %zu\n", radios.size());
        if (radios.empty()) std::printf("%ls\n", baselib::getError().c_str());
#ifdef CONSUMER_SIM
        ok = radios.size() == 1 && radios.front().Name() == L"Workstation";
#endif
    }
    baselib::WinsockClear();
#ifdef CONSUMER_SIM
    ok = ok && world.openHandles() == Corvale::Compat::OpenHandles{};
#endif
    return ok ? 0 : 1;
}
