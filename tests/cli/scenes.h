// The hostile scene of the command-line tests: devices whose names, search
// results and SDP records carry texts chosen to steer a terminal, break a
// document or pass for the program's own output. Shared by the scene
// program, which loads it, and the tests, which know what was sent.
#pragma once

#include <HostileTexts.h>
#include <corvale/bt/sdp.h>
#include <corvale/sim/World.h>

#include <string>
#include <utility>
#include <vector>

namespace clitest {

// The window tests' hostile texts and, beyond them, what only a terminal or
// a document cares about. UTF-8 as a device sends it, valid or not.
inline std::vector<std::pair<std::string, std::string>> hostileTexts() {
    auto texts = HostileTexts::all();
    texts.insert(texts.end(),
                 {
                     // Sets the terminal's title, then clears the screen.
                     {"terminal title", "\x1b]0;owned\x07\x1b[2J\x1b[H"},
                     // The C1 form of the control sequence introducer.
                     {"C1 CSI",
                      "a\xc2\x9b"
                      "31mred"},
                     {"NUL inside", std::string("before\0after", 12)},
                     {"ill-formed UTF-8", "\xff\xfe bad \xc3\x28 \xed\xa0\x80 end \xe2\x82"},
                     {"isolates and marks", "\u2066left\u2069 \u200f\u061c\ufeff x"},
                     {"document breakers", "</record>\"quoted\" <!-- ]]> \\x1B \\u202E"},
                     {"64 KiB", std::string(65536, 'A')},
                 });
    return texts;
}

// The device of hostile text i: 02:00:00:00:00:xx, i from 1.
inline BTH_ADDR hostileAddress(std::size_t i) {
    return 0x020000000000ull + i;
}

inline void loadHostileScene(Corvale::Sim::World& world) {
    using namespace Corvale::Bt::Sdp;
    world.addRadio({.address = 0x001A7DDA7113, .name = "Radio", .classOfDevice = 0x1C0104});
    std::size_t i = 0;
    for (const auto& [what, sent] : hostileTexts()) {
        // A serial port record that says the text as its name and description,
        // as the search result does.
        const Bytes bytes = record({
            {0x0000, uint32(0x10000 + static_cast<std::uint32_t>(i))},
            {0x0001, sequence({uuid16(0x1101)})},
            {0x0004, sequence({sequence({uuid16(0x0100)}), sequence({uuid16(0x0003), uint8(5)})})},
            {0x0100, text(sent, LengthField::Bits32)},
            {0x0101, text(sent, LengthField::Bits32)},
        });
        world.addDevice({.address = hostileAddress(++i),
                         .name = sent,
                         .classOfDevice = 0x5A020C,
                         .records = {{.name = sent, .comment = sent, .port = 5, .bytes = bytes}}});
    }
}

}  // namespace clitest
