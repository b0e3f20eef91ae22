// The command-line tool on a simulated scene that a test picks, so that its
// failures and its handling of hostile devices can be seen from outside, as a
// process with a real exit code:
//
//   cli-scene [SCENE...] -- ARGUMENTS OF corvale
//
// SCENE: --demo (the demo neighbourhood), --hostile (devices whose names and
// records carry hostile texts, see scenes.h), --null-radio (a radio with the
// null address), --fail API NTH CODE (the NTH use of API fails with CODE).
// --show-lookups: after the tool, say on standard error what each lookup
// asked for: "inquiry" or "search", its length, and whether it let the
// system answer from its cache.
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
    bool showLookups = false;
    int i = 1;
    for (; i < argc && std::string(argv[i]) != "--"; ++i) {
        const std::string option = argv[i];
        if (option == "--demo") {
            Sim::loadDemoNeighbourhood(world);
        } else if (option == "--hostile") {
            clitest::loadHostileScene(world);
        } else if (option == "--show-lookups") {
            showLookups = true;
        } else if (option == "--null-radio") {
            world.addRadio({.address = 0, .name = "null", .classOfDevice = 0x1C0104});
        } else if (option == "--fail" && i + 3 < argc) {
            world.failCall(apiNamed(argv[i + 1]), static_cast<unsigned>(std::stoul(argv[i + 2])),
                           static_cast<DWORD>(std::stoul(argv[i + 3])));
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
    for (const Sim::Call& call : showLookups ? world.calls(Compat::Api::WSALookupServiceBeginW)
                                             : std::vector<Sim::Call>{}) {
        const bool inquiry = call.flags & LUP_CONTAINERS;
        std::fprintf(stderr, "%s, length %s, %s\n", inquiry ? "inquiry" : "search",
                     call.inquiryLength ? std::to_string(*call.inquiryLength).c_str() : "default",
                     call.flags & LUP_FLUSHCACHE ? "flush" : "cache");
    }
    return status;
}
