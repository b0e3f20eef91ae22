// Uses the installed engine: decodes a class word, parses a UUID, reads the
// service class of a small record and asks the platform for its radios.
#include <corvale/Corvale.h>

#include <cstdio>

int main() {
    const Corvale::BTClassOfDevice cod(0x5A020C);
    const Corvale::BTUUID spp(0x1101u);
    // ServiceClassIDList { UUID16 0x1101 }
    const BYTE record[] = {0x35, 0x08, 0x09, 0x00, 0x01, 0x35, 0x03, 0x19, 0x11, 0x01};
    const Corvale::BTUUID cls = Corvale::ServiceClassUUID(record, sizeof record);

    std::printf("%ls\n%ls\n", cod.asString().c_str(), cls.asString().c_str());
    if (!(cls == spp)) return 1;
    if (cod.asString() !=
        L"Phone > Smart phone - [Networking | Capturing (scanner, microphone) | "
        L"Object transfer | Telephony]")
        return 1;

    baselib::WinsockStart();
    Corvale::BTNetwork network;
    std::printf("local radios: %zu\n", network.LocalDevices().size());
    baselib::WinsockClear();
    return 0;
}
