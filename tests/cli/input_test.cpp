// decode --hex: a record's bytes written as the usual dump tools print them
// (the dumps below are those tools' own output for one 89-byte input whose
// characters include hex-like words, a bar and a run of zeros), and the
// inputs that must be refused rather than guessed at.
#include "input.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using CorvaleCli::parseHex;
using Bytes = std::vector<unsigned char>;

Bytes sample() {
    Bytes b{0x35, 0x4E, 0x09, 0x01, 0x00, 0x25, 0x19};
    const std::string text = "ab cd 12 Serial | port 0x35 \\";
    b.insert(b.end(), text.begin(), text.end());
    b.insert(b.end(), 48, 0x00);
    b.insert(b.end(), {0x09, 0x00, 0x04, 0x0A, 0x0D});
    return b;
}

TEST(HexInput, ReadsWhatDumpToolsPrint) {
    const struct {
        const char* tool;
        const char* text;
    } dumps[] = {
        {"xxd",
         "00000000: 354e 0901 0025 1961 6220 6364 2031 3220  5N...%.ab cd 12 \n"
         "00000010: 5365 7269 616c 207c 2070 6f72 7420 3078  Serial | port 0x\n"
         "00000020: 3335 205c 0000 0000 0000 0000 0000 0000  35 \\............\n"
         "00000030: 0000 0000 0000 0000 0000 0000 0000 0000  ................\n"
         "00000040: 0000 0000 0000 0000 0000 0000 0000 0000  ................\n"
         "00000050: 0000 0000 0900 040a 0d                   .........\n"},
        {"xxd -p",
         "354e090100251961622063642031322053657269616c207c20706f727420\n"
         "30783335205c000000000000000000000000000000000000000000000000\n"
         "0000000000000000000000000000000000000000000000000900040a0d\n"},
        {"hexdump -C",
         "00000000  35 4e 09 01 00 25 19 61  62 20 63 64 20 31 32 20  |5N...%.ab cd 12 |\n"
         "00000010  53 65 72 69 61 6c 20 7c  20 70 6f 72 74 20 30 78  |Serial | port 0x|\n"
         "00000020  33 35 20 5c 00 00 00 00  00 00 00 00 00 00 00 00  |35 \\............|\n"
         "00000030  00 00 00 00 00 00 00 00  00 00 00 00 00 00 00 00  |................|\n"
         "*\n"
         "00000050  00 00 00 00 09 00 04 0a  0d                       |.........|\n"
         "00000059\n"},
        {"od -A x -t x1",
         "000000 35 4e 09 01 00 25 19 61 62 20 63 64 20 31 32 20\n"
         "000010 53 65 72 69 61 6c 20 7c 20 70 6f 72 74 20 30 78\n"
         "000020 33 35 20 5c 00 00 00 00 00 00 00 00 00 00 00 00\n"
         "000030 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n"
         "*\n"
         "000050 00 00 00 00 09 00 04 0a 0d\n"
         "000059\n"},
        {"btmon",
         "        35 4e 09 01 00 25 19 61 62 20 63 64 20 31 32 20  5N...%.ab cd 12 \n"
         "        53 65 72 69 61 6c 20 7c 20 70 6f 72 74 20 30 78  Serial | port 0x\n"
         "        33 35 20 5c 00 00 00 00 00 00 00 00 00 00 00 00  35 \\............\n"
         "        00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00  ................\n"
         "        00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00  ................\n"
         "        00 00 00 00 09 00 04 0a 0d                       .........       \n"},
    };
    for (const auto& d : dumps) {
        SCOPED_TRACE(d.tool);
        std::string error;
        const auto bytes = parseHex(d.text, error);
        ASSERT_TRUE(bytes) << error;
        EXPECT_EQ(*bytes, sample());
    }
}

// Short forms, and what is refused (with the place of the first character
// not understood) rather than guessed at.
TEST(HexInput, ShortFormsAndWhatIsRefused) {
    const struct {
        const char* text;
        Bytes bytes;
        const char* error = nullptr;  // the start of the message
    } cases[] = {
        {"", {}},
        {" \n\t\r\n", {}},
        {"0x5", {0x05}},
        {"0X0a0B", {0x0A, 0x0B}},
        // A C array pasted from a Windows editor.
        {"0x35, 0x4E,\r\n\t0x9, 0x0100", {0x35, 0x4E, 0x09, 0x01, 0x00}},
        // Four digits before pairs start a dump (Wireshark's offsets); alone,
        // or where they do not continue the bytes, they are data.
        {"0000 35", {0x35}},
        {"0000", {0x00, 0x00}},
        {"35 0000 09", {0x35, 0x00, 0x00, 0x09}},
        // After two spaces, the bytes' own characters are a character column;
        // anything else, or after one space, is data.
        {"61 62  ab", {0x61, 0x62}},
        {"61 62 ab", {0x61, 0x62, 0xAB}},
        {"61 62  ac", {0x61, 0x62, 0xAC}},
        {"35 4e  5M", {}, "line 1, column 9: 'M' is not a hexadecimal digit"},
        {"35 0g 01", {}, "line 1, column 5: 'g' is not a hexadecimal digit"},
        {"35\n  3 09", {}, "line 2, column 3: an odd number of hexadecimal digits"},
        {"35 03 0x", {}, "line 1, column 7: \"0x\" without digits"},
        {"35:03", {}, "line 1, column 3: ':' is not a hexadecimal digit"},
        {"12:", {}, "line 1, column 1: \"12:\" is not an offset"},
        // A dump cut at its start, with lines left out, or a repeat not ended.
        {"00000010  35 4e", {}, "line 1, column 1: offset 00000010 does not follow the 0 bytes"},
        {"00000000: 354e\n00000004: 0901", {}, "line 2, column 1: offset 4, but 2 bytes came"},
        {"000000 35 4e\n*\n000003 09", {}, "line 3, column 1: offset 000003 does not end the"},
        {"000000 35 4e\n*\n09", {}, "line 3, column 1: a hexdump's \"*\" must be followed"},
        {"000000 35 4e\n*\n", {}, "the \"*\" of a hexdump (a repeated line) is not followed"},
        // A repeat past the input bound.
        {"00000000  00 00\n*\n40000000", {}, "line 3, column 1: the repeat goes past 16 MiB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string error;
        const auto bytes = parseHex(c.text, error);
        if (c.error) {
            EXPECT_FALSE(bytes);
            EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
        } else {
            ASSERT_TRUE(bytes) << error;
            EXPECT_EQ(*bytes, c.bytes);
        }
    }
}

}  // namespace
