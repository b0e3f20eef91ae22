// The entry of corvale (the system's Bluetooth) and corvale-demo (the
// simulated demo neighbourhood, CORVALE_DEMO). The commands are in cli.cpp.
#include "cli.h"
#include "terminal.h"

#include <string>
#include <vector>

#ifdef CORVALE_DEMO
#include <corvale/sim/World.h>

#include <chrono>
#endif

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#endif

namespace {

#ifdef CORVALE_DEMO
constexpr const char* kProgram = "corvale-demo";
#else
constexpr const char* kProgram = "corvale";
#endif

#ifdef _WIN32
// The arguments as the user typed them: the wide command line, as UTF-8
// (argv would hold them in the ANSI code page, losing what it cannot show).
std::vector<std::string> arguments() {
    std::vector<std::string> out;
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr) return out;
    for (int i = 0; i < argc; ++i) {
        const int n = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(static_cast<std::size_t>(n > 1 ? n - 1 : 0), '\0');
        if (n > 1) WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, arg.data(), n, nullptr, nullptr);
        out.push_back(std::move(arg));
    }
    LocalFree(argv);
    return out;
}
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef CORVALE_DEMO
    {
        Corvale::Sim::World& world = Corvale::Sim::World::instance();
        Corvale::Sim::loadDemoNeighbourhood(world);
        world.setLogging(false);
        // Long enough to show the progress line, short enough for scripts.
        world.setInquiryDuration(std::chrono::milliseconds(500));
        world.setSdpDuration(std::chrono::milliseconds(100));
    }
#endif
    CorvaleCli::prepareStreams();
#ifdef _WIN32
    const std::vector<std::string> args = arguments();
    if (!args.empty()) {
        std::vector<const char*> pointers;
        for (const std::string& a : args) pointers.push_back(a.c_str());
        return CorvaleCli::run(kProgram, static_cast<int>(pointers.size()), pointers.data());
    }
#endif
    return CorvaleCli::run(kProgram, argc, argv);
}
