// corvale-probe: the engine on the simulated demo neighbourhood, in a console.
// Starts the Winsock session, lists the local radios with their services, runs
// one remote inquiry and lists every device found with its class and its
// services. What devices send is untrusted, so control and direction
// characters in their texts are shown escaped instead of reaching the terminal.
#include <corvale/Corvale.h>
#include <corvale/compat/utf.h>
#include <corvale/sim/World.h>

#include <cstdio>
#include <iostream>
#include <string>

namespace {
using namespace Corvale;

bool unsafe(wchar_t c) {
    const auto u = static_cast<std::uint32_t>(c);
    return u < 0x20 || (u >= 0x7F && u < 0xA0) || (u >= 0x200B && u <= 0x200F) ||
           (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069) || u == 0xFEFF;
}

// Engine text for the console: UTF-8, shown up to the first NUL as the
// windows show it, with anything that could steer the terminal escaped.
std::string shown(const std::wstring& text) {
    std::wstring safe;
    for (wchar_t c : text) {
        if (c == L'\0') break;
        if (unsafe(c)) {
            char escape[16];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
            for (const char* p = escape; *p; ++p) safe += static_cast<wchar_t>(*p);
        } else {
            safe += c;
        }
    }
    return Compat::toUtf8(safe);
}

// The engine's error text on one line: the system's line ending dropped.
std::string errorLine() {
    std::wstring text = baselib::getError();
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    return shown(text) + "\n";
}

void printServices(const BTDevice& device, const char* indent) {
    if (device.Services().empty()) std::cout << indent << "(no services)\n";
    for (const BTService& s : device.Services()) {
        std::cout << indent << shown(s.Name()) << "  " << shown(s.UUID().asString()) << "  port "
                  << s.Port();
        if (!s.Comment().empty()) std::cout << "  - " << shown(s.Comment());
        std::cout << '\n';
    }
}

void printDevice(const BTDevice& device) {
    const BTClassOfDevice& cod = device.COD();
    std::cout << shown(device.Address().asString()) << "  "
              << (device.Name().empty() ? std::string("(no name)") : shown(device.Name()))
              << "\n    class: " << shown(cod.strMajor()) << " / " << shown(cod.strMinor()) << "  ["
              << shown(cod.strServices(L", ")) << "]\n";
}
}  // namespace

int main() {
    Sim::World& world = Sim::World::instance();
    Sim::loadDemoNeighbourhood(world);
    world.setLogging(false);

    if (!baselib::WinsockStart()) {
        std::cerr << "corvale-probe: the Winsock session did not start\n";
        return 1;
    }
    int status = 0;
    {
        BTNetwork network;
        std::cout << "Local radios: " << network.LocalDevices().size() << "\n\n";
        for (const BTDevice& radio : network.LocalDevices()) {
            printDevice(radio);
            printServices(radio, "    - ");
            std::cout << '\n';
        }

        std::cout << "Inquiry...\n";
        if (!network.DiscoverRemoteDevices()) {
            std::cout << "Inquiry failed: " << errorLine();
            status = 1;
        } else {
            std::cout << "Devices in range: " << network.RemoteDevices().size() << "\n\n";
            for (BTDevice& device : network.RemoteDevices()) {
                printDevice(device);
                if (device.DiscoverServices())
                    printServices(device, "    - ");
                else
                    std::cout << "    services failed: " << errorLine();
                std::cout << '\n';
            }
        }
    }
    baselib::WinsockClear();
    return status;
}
