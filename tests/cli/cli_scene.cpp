// The command-line tool on a simulated scene that a test picks, so that its
// failures and its handling of hostile devices can be seen from outside, as a
// process with a real exit code:
//
//   cli-scene [SCENE...] -- ARGUMENTS OF corvale
//
// SCENE: --demo (the demo neighbourhood), --hostile (devices whose names and
// records carry hostile texts, see scenes.h), --null-radio (a radio with the
// null address), --fail API NTH CODE (the NTH use of API fails with CODE),
// --fail-from API NTH CODE (every use from the NTH on). --show-inquiry-length:
// after the tool, say on standard error what length each inquiry asked for.
#include "cli.h"
#include "scenes.h"

#include <corvale/sim/World.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace Corvale;

Compat::Api apiNamed(const std::string& name) {
    for (int i = 0; i <= static_cast<int>(Compat::Api::BluetoothGetRadioInfo); ++i) {
        const auto api = static_cast<Compat::Api>(i);
        if (name == Compat::apiName(api)) return api;
    }
    std::fprintf(stderr, "cli-scene: no API named %s\n", name.c_str());
    std::exit(100);
}

}  // namespace

int main(int argc, char** argv) {
    Sim::World& world = Sim::World::instance();
    world.reset();
    bool showLength = false;
    int i = 1;
    for (; i < argc && std::string(argv[i]) != "--"; ++i) {
        const std::string option = argv[i];
        if (option == "--demo") {
            Sim::loadDemoNeighbourhood(world);
        } else if (option == "--hostile") {
            clitest::loadHostileScene(world);
        } else if (option == "--show-inquiry-length") {
            showLength = true;
        } else if (option == "--null-radio") {
            world.addRadio({.address = 0, .name = "null", .classOfDevice = 0x1C0104});
        } else if ((option == "--fail" || option == "--fail-from") && i + 3 < argc) {
            const Compat::Api api = apiNamed(argv[i + 1]);
            const auto nth = static_cast<unsigned>(std::stoul(argv[i + 2]));
            const auto code = static_cast<DWORD>(std::stoul(argv[i + 3]));
            if (option == "--fail")
                world.failCall(api, nth, code);
            else
                world.failFrom(api, nth, code);
            i += 3;
        } else {
            std::fprintf(stderr, "cli-scene: unknown scene option %s\n", option.c_str());
            return 100;
        }
    }
    if (i == argc) {
        std::fprintf(stderr, "cli-scene: no \"--\" before the tool's arguments\n");
        return 100;
    }
    // The tool sees its own arguments only, behind its own name.
    argv[i] = const_cast<char*>("corvale");
    const int status = CorvaleCli::run("corvale", argc - i, argv + i);
    if (showLength) {
        for (const Sim::Call& call : world.calls(Compat::Api::WSALookupServiceBeginW)) {
            if (call.inquiryLength)
                std::fprintf(stderr, "inquiry length %u\n", unsigned{*call.inquiryLength});
            else if (call.flags & LUP_CONTAINERS)
                std::fprintf(stderr, "inquiry length default\n");
        }
    }
    return status;
}
