// Names and comments a stranger's radio can send, each one chosen to hurt a
// window that lays them out as markup or trusts their length. UTF-8, as the
// simulated world takes them. Shared by the window tests and the benchmark.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace HostileTexts {

inline std::string nestedTables(int levels) {
    std::string text;
    for (int i = 0; i < levels; ++i) text += "<table><tr><td>";
    return text + "x";
}

// (what it is, the text)
inline std::vector<std::pair<std::string, std::string>> all() {
    // About as long as a service search result can carry in both its name
    // and its comment; a record made in a test can hold a 64 KiB name.
    std::string longText;
    while (longText.size() < 8000) longText += "Wide words ";
    return {
        // Rich-text layout of nested tables doubles with each level: seconds at 13.
        {"nested tables", nestedTables(13)},
        // A 16000 x 16000 placeholder picture: about 2 GB once laid out.
        {"huge image", "<img width=16000 height=16000>"},
        // Markup that dresses the device's text up as the program's own.
        {"fake text", "<span style=\"font-size:40pt;color:red\">PAIRING REQUIRED</span> Audio"},
        {"local image", "<img src=\"/usr/share/pixmaps/debian-logo.png\"> Printer"},
        // A mnemonic marker in a button's text would hide the '&' and grab Alt+D.
        {"ampersand", "R&D phone"},
        {"8,000 characters", longText},
        // Right-to-left override, bell, escape, line breaks, a tab.
        {"bidi and control", "Phone \u202Eenohp\u202C\x01\x07\x1b[2J\r\nsecond\tline\u2028third"},
    };
}

}  // namespace HostileTexts
