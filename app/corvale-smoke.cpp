// corvale-smoke: checks this machine's Bluetooth from a console.
//
// Does what the tool does when it starts, and a little more, and says how
// each step went: the Winsock session, the local radios (with the services
// each publishes), an inquiry for the devices in range, and a service
// discovery on an address that no device has. A failure is shown with the
// engine's error text, the same text the tool's message boxes show.
//
// Exit code: 0 when every step worked, 1 when a Bluetooth step failed,
// 2 when the Winsock session could not start.
#include <corvale/Corvale.h>
#include <corvale/platform/bluetooth_api.h>

#include <cstdio>
#include <string>

namespace {

// Writes wide text to the console as the console takes it, or as UTF-8 when
// the output goes to a pipe or a file (a CI log, "> out.txt").
void say(const std::wstring& text) {
    const std::wstring line = text + L"\n";
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (out != INVALID_HANDLE_VALUE && out != nullptr && GetConsoleMode(out, &mode)) {
        DWORD written = 0;
        WriteConsoleW(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        return;
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()),
                                         nullptr, 0, nullptr, nullptr);
    if (size <= 0) return;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), bytes.data(), size,
                        nullptr, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

// The engine's error text without the line break the system's text ends
// with, so that it fits on the report's line.
std::wstring errorText() {
    std::wstring text = baselib::getError();
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    return text.empty() ? L"(the system gave no text for the failure)" : text;
}

void listServices(const Corvale::BTDevice& device, const wchar_t* indent) {
    for (const Corvale::BTService& s : device.Services()) {
        say(std::wstring(indent) + s.UUID().asString() + L"  port " + std::to_wstring(s.Port()) +
            L"  \"" + s.Name() + L"\"" + (s.Comment().empty() ? L"" : L"  (" + s.Comment() + L")"));
    }
}

void listDevice(const Corvale::BTDevice& device) {
    say(L"    " + device.Address().asString() + L"  \"" + device.Name() + L"\"  " +
        device.COD().asString());
}

}  // namespace

int main() {
    int exitCode = 0;
    say(L"Corvale smoke check: the Windows Bluetooth stack as the engine sees it");

    say(L"[1] WinsockStart (Winsock 2.0)");
    if (!baselib::WinsockStart()) {
        say(L"    FAILED: WSAStartup did not give a Winsock 2.0 session");
        return 2;
    }
    say(L"    ok");

    int failures = 0;
    try {
        say(L"[2] BTNetwork: local radios and their services");
        // The constructor discovers the radios as the tool does at start-up,
        // but keeps no result: a text left behind is its failure, or a
        // radio's failed service discovery. The refresh after it reports.
        Corvale::BTNetwork network;
        if (!baselib::getError().empty()) say(L"    at start-up: " + errorText());
        const bool local = network.DiscoverLocalDevices();
        say(L"    " + std::to_wstring(network.LocalDevices().size()) + L" radio(s)");
        for (const Corvale::BTDevice& radio : network.LocalDevices()) {
            listDevice(radio);
            say(L"      " + std::to_wstring(radio.Services().size()) + L" service(s)");
            listServices(radio, L"        ");
        }
        if (local) {
            say(L"    ok");
        } else {
            say(L"    FAILED: " + errorText());
            ++failures;
        }

        say(L"[3] Remote inquiry (fresh, not from the cache); this takes a few seconds");
        if (network.DiscoverRemoteDevices()) {
            say(L"    ok: " + std::to_wstring(network.RemoteDevices().size()) + L" device(s)");
            for (const Corvale::BTDevice& device : network.RemoteDevices()) listDevice(device);
        } else {
            say(L"    FAILED: " + errorText());
            ++failures;
        }

        // No device has this address (00-00-5E-00-53-xx is set aside for
        // documentation): on a working stack the discovery fails with the
        // system's text for it, or finds nothing.
        Corvale::BTDevice madeUp(Corvale::BTAddress(0x00005E005301ULL), L"made-up device");
        say(L"[4] Service discovery on " + madeUp.Address().asString() + L" (a made-up address)");
        if (madeUp.DiscoverServices()) {
            say(L"    ok: " + std::to_wstring(madeUp.Services().size()) + L" service(s)");
            listServices(madeUp, L"      ");
        } else {
            say(L"    FAILED: " + errorText());
            ++failures;
        }
    } catch (const wchar_t* thrown) {
        // The engine's one exception: a device reported with the null address.
        say(std::wstring(L"    FAILED with an exception: ") + thrown);
        ++failures;
    }

    baselib::WinsockClear();
    say(L"[5] WinsockClear: session " +
        std::wstring(baselib::isWinsockInitied() ? L"still up" : L"down"));

    if (failures > 0) exitCode = 1;
    say(L"Done: " + std::to_wstring(failures) + L" step(s) failed");
    return exitCode;
}
