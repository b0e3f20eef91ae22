// The command-line tool as its users meet it: run as a process on the demo
// neighbourhood (corvale-demo) or on a scene of the test's choosing
// (cli-scene), its output read back as text, as JSON (parsed back) and as
// XML (parsed by expat), its exit codes and messages as a shell sees them.
#include "run_program.h"
#include "scenes.h"
#include "terminal_text.h"
#include "xml_document.h"

#include <corvale/BTAddress.h>
#include <corvale/BTVendor.h>
#include <corvale/bt/utf8.h>
#include <corvale/compat/messages.h>
#include <corvale/compat/utf.h>
#include <corvale/sim/World.h>
#include <corvale/version.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using clitest::Outcome;
using clitest::runProgram;
using Json = nlohmann::json;
using Args = std::vector<std::string>;
namespace Sim = Corvale::Sim;

Outcome demo(const Args& args, const std::string& input = {}, bool errorIsTerminal = false) {
    return runProgram(CORVALE_DEMO_PROGRAM, args, input, errorIsTerminal);
}

// cli-scene: the scene's options, then the tool's arguments.
Outcome scene(Args sceneArgs, const Args& args) {
    sceneArgs.push_back("--");
    sceneArgs.insert(sceneArgs.end(), args.begin(), args.end());
    return runProgram(CLI_SCENE_PROGRAM, sceneArgs);
}

std::string describe(const Outcome& r) {
    return "exit " + std::to_string(r.exitCode) + "\n--- stdout\n" + r.out.substr(0, 3000) +
           "\n--- stderr\n" + r.err.substr(0, 3000);
}

std::string addressText(BTH_ADDR address) {
    return Corvale::Compat::toUtf8(Corvale::BTAddress(address).asString());
}

// The registered owner of the address's block as the JSON documents give it.
Json vendorJson(const std::string& address) {
    const auto vendor = Corvale::VendorName(
        *Corvale::BTAddress::fromString(std::wstring(address.begin(), address.end())));
    return vendor ? Json(std::string(*vendor)) : Json(nullptr);
}

// The same as a line of text output gives it.
std::string vendorText(const std::string& address) {
    const Json vendor = vendorJson(address);
    return vendor.is_null() ? "(unknown)" : vendor.get<std::string>();
}

// What the demo's world holds, as the tool should report it.
Sim::World& demoWorld() {
    Sim::World& world = Sim::World::instance();
    if (world.radios().empty()) Sim::loadDemoNeighbourhood(world);
    return world;
}

// The <record> elements of an XML document, or nothing when expat finds it
// not well-formed.
std::optional<std::size_t> xmlRecords(const std::string& text) {
    const auto nodes = xmltest::parse(text);
    if (!nodes) return std::nullopt;
    return std::count_if(nodes->begin(), nodes->end(),
                         [](const xmltest::Node& n) { return n.name == "record"; });
}

// ---------------------------------------------------------------- usage

// Usage errors exit with 2 and say on standard error what was wrong; help
// and version go to standard output with 0. Nothing else is written.
TEST(Cli, UsageErrorsHelpAndVersion) {
    const std::string version = std::string("corvale-demo ") + CORVALE_VERSION + "\n";
    const struct {
        Args args;
        std::vector<std::string> says;
        int exitCode = 2;
        std::string input = {};
    } cases[] = {
        {{}, {"A subcommand is required"}},
        {{"scan", "--length", "0"}, {"--length: Value 0 not in range 1 to 61"}},
        {{"scan", "--length", "62"}, {"--length: Value 62 not in range 1 to 61"}},
        {{"scan", "--length", "two"}, {"--length"}},
        {{"services"}, {"ADDRESS is required"}},
        {{"services", "5C:F3:70:12:8A"}, {"not a Bluetooth address (XX:XX:XX:XX:XX:XX): 5C:F3"}},
        {{"services", "00:00:00:00:00:00"}, {"the null address names no device"}},
        {{"services", "5C:F3:70:12:8A:41", "--json", "--xml"}, {"excludes"}},
        {{"radios", "--xml"}, {"--xml"}},
        {{"decode", "/nonexistent/record.bin"}, {"cannot open /nonexistent/record.bin: No such"}},
        {{"decode", "--hex"}, {"line 1, column 4: 'g' is not a hexadecimal digit"}, 2, "35 g0"},
        {{"decode", "-"},
         {"standard input holds more than 16 MiB"},
         2,
         std::string(16 << 20, 'x') + 'x'},
        {{"--version"}, {version}, 0},
        {{"--help"},
         {"Usage: corvale-demo", "radios", "scan", "services", "decode", "Exit code"},
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const Outcome r = demo(c.args, c.input);
        EXPECT_EQ(r.exitCode, c.exitCode) << describe(r);
        EXPECT_EQ(c.exitCode == 0 ? r.err : r.out, "");
        for (const std::string& s : c.says)
            EXPECT_NE((c.exitCode == 0 ? r.out : r.err).find(s), std::string::npos) << s;
    }
}

// ---------------------------------------------------------------- failures

// The engine's error text for a code, as the tool prints it on one line.
std::string errorLine(DWORD code) {
    std::string text = Corvale::Compat::toUtf8(Corvale::Compat::messageText(code));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return "corvale: (" + std::to_string(code) + ") " + text + "\n";
}

TEST(Cli, BluetoothFailuresExitWith1WithTheEnginesErrorText) {
    const std::string phone = "5C:F3:70:12:8A:41";
    const struct {
        Args scene;
        Args args;
        std::string err;
    } cases[] = {
        {{"--demo", "--fail", "BluetoothFindFirstRadio", "1", "259"}, {"radios"}, errorLine(259)},
        {{"--demo", "--fail", "BluetoothGetRadioInfo", "2", "31"},
         {"radios", "--json"},
         errorLine(31)},
        {{"--demo", "--fail", "WSALookupServiceBeginW", "1", "10050"}, {"scan"}, errorLine(10050)},
        // Part-way through the inquiry: nothing of it is printed.
        {{"--demo", "--fail", "WSALookupServiceNextW", "3", "10014"},
         {"scan", "--json"},
         errorLine(10014)},
        // No device has this address.
        {{"--demo"}, {"services", "AA:BB:CC:DD:EE:FF"}, errorLine(10108)},
        {{"--demo", "--fail", "WSALookupServiceNextW", "2", "10050"},
         {"services", phone, "--xml"},
         errorLine(10050)},
        {{"--demo", "--fail", "WSAStartup", "1", "10091"},
         {"scan"},
         "corvale: the Winsock 2 session did not start, so Bluetooth cannot be used\n"},
        // The engine's one exception.
        {{"--null-radio"}, {"radios"}, "corvale: Device address is null.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.scene) + testing::PrintToString(c.args));
        const Outcome r = scene(c.scene, c.args);
        EXPECT_EQ(r.exitCode, 1) << describe(r);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
    }
}

// --length in seconds reaches the platform in its unit of 1.28 s, rounded up
// (so the inquiry lasts at least as long as asked); without it, the
// platform's default. --cache lets the system answer from what it knows.
TEST(Cli, LookupsAskForTheLengthAndCacheGiven) {
    const std::pair<Args, const char*> cases[] = {
        {{"scan"}, "inquiry, length default, flush"},
        {{"scan", "--length", "1"}, "inquiry, length 1, flush"},
        // 2.34 units: rounded up, not to the nearest.
        {{"scan", "--length", "3", "--cache"}, "inquiry, length 3, cache"},
        {{"scan", "--length", "32"}, "inquiry, length 25, flush"},
        {{"scan", "--length", "61"}, "inquiry, length 48, flush"},
        {{"services", "5C:F3:70:12:8A:41"}, "search, length default, flush"},
        {{"services", "5C:F3:70:12:8A:41", "--cache"}, "search, length default, cache"},
    };
    for (const auto& [args, asked] : cases) {
        SCOPED_TRACE(testing::PrintToString(args));
        const Outcome r = scene({"--demo", "--show-lookups"}, args);
        EXPECT_EQ(r.exitCode, 0) << describe(r);
        EXPECT_EQ(r.err, std::string(asked) + "\n");
    }
}

// ---------------------------------------------------------------- the demo

TEST(Cli, DeviceListsReportEveryRadioAndDeviceInOrder) {
    std::vector<std::pair<std::string, std::string>> radios, devices;  // address, name
    for (const Sim::Radio& r : demoWorld().radios())
        radios.emplace_back(addressText(r.address), r.name);
    for (const Sim::Device& d : demoWorld().devices())
        devices.emplace_back(addressText(*d.address), d.name.value_or(""));
    const struct {
        const char* command;
        const char* key;
        const std::vector<std::pair<std::string, std::string>>& expected;
    } cases[] = {{"radios", "radios", radios}, {"scan", "devices", devices}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        const Outcome json = demo({c.command, "--json"});
        ASSERT_EQ(json.exitCode, 0) << describe(json);
        const Json doc = Json::parse(json.out);
        ASSERT_TRUE(doc.at(c.key).is_array()) << json.out;
        ASSERT_EQ(doc.at(c.key).size(), c.expected.size());
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            const Json& d = doc.at(c.key).at(i);
            EXPECT_EQ(d.at("address"), c.expected[i].first);
            EXPECT_EQ(d.at("name"), c.expected[i].second);
            // Every demo address is in a registered block.
            EXPECT_TRUE(d.at("vendor").is_string());
            EXPECT_EQ(d.at("vendor"), vendorJson(c.expected[i].first));
            EXPECT_TRUE(d.at("class").is_number_unsigned());
            EXPECT_TRUE(d.at("major").is_string() && d.at("minor").is_string());
            ASSERT_TRUE(d.at("services").is_array());
            for (const Json& s : d.at("services")) EXPECT_TRUE(s.is_string());
        }

        // The text: each one's address at the start of its block, its name
        // quoted after it, its class and vendor below, in the same order.
        const Outcome text = demo({c.command});
        ASSERT_EQ(text.exitCode, 0) << describe(text);
        std::size_t at = 0;
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            const auto& [address, name] = c.expected[i];
            const Json& d = doc.at(c.key).at(i);
            const std::string line =
                "\n" + address + "  " + (name.empty() ? "(no name)" : "\"" + name + "\"") +
                "\n    " + d.at("major").get<std::string>() + " / " +
                d.at("minor").get<std::string>() + "\n    Vendor: " + vendorText(address) + "\n";
            const std::size_t found = ("\n" + text.out).find(line, at);
            ASSERT_NE(found, std::string::npos) << line << text.out;
            at = found + 1;
        }
    }
}

// A file holding bytes, removed with the object.
struct TempFile {
    explicit TempFile(const std::vector<BYTE>& bytes) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    ~TempFile() { std::filesystem::remove(path); }
    static inline int count = 0;
    const std::string path =
        std::filesystem::temp_directory_path() /
        ("cli-test-" + std::to_string(::getpid()) + "-" + std::to_string(++count));
};

// The records of a device that a search for L2CAP finds: those whose bytes
// hold its 16-bit UUID (the demo encodes every UUID in its shortest form).
std::vector<Sim::Record> searchable(const Sim::Device& device) {
    const BYTE l2cap[] = {0x19, 0x01, 0x00};
    std::vector<Sim::Record> out;
    for (const Sim::Record& r : device.records)
        if (r.bytes &&
            std::search(r.bytes->begin(), r.bytes->end(), l2cap, l2cap + 3) != r.bytes->end())
            out.push_back(r);
    return out;
}

// Every device of the demo: its services in each form, each record as it
// was sent, and decode of the same bytes (raw from a file, raw from standard
// input, as hex text) giving the same record as the services document.
TEST(Cli, ServicesOfEveryDemoDeviceInEachForm) {
    for (const Sim::Device& device : demoWorld().devices()) {
        const std::string address = addressText(*device.address);
        const std::vector<Sim::Record> expected = searchable(device);
        SCOPED_TRACE(address);
        const Outcome json = demo({"services", address, "--json"});
        ASSERT_EQ(json.exitCode, 0) << describe(json);
        const Json doc = Json::parse(json.out);
        EXPECT_EQ(doc.at("address"), address);
        EXPECT_EQ(doc.at("vendor"), vendorJson(address));
        ASSERT_EQ(doc.at("services").size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const Sim::Record& sent = expected[i];
            const Json& s = doc.at("services").at(i);
            EXPECT_EQ(s.at("name"), sent.name.value_or(""));
            EXPECT_EQ(s.at("comment"), sent.comment.value_or(""));
            EXPECT_EQ(s.at("port"), sent.port.value_or(0));
            EXPECT_TRUE(s.at("record").at("malformed_at").is_null());
            // The class is the first UUID of the record's ServiceClassIDList.
            const Json& attributes = s.at("record").at("attributes");
            ASSERT_GE(attributes.size(), 2u);
            EXPECT_EQ(attributes.at(1).at("id"), 1);
            EXPECT_EQ(s.at("class"), attributes.at(1).at("value").at("value").at(0).at("value"));

            const TempFile file(*sent.bytes);
            std::string hex;
            for (BYTE b : *sent.bytes)
                hex += {"0123456789abcdef"[b >> 4], "0123456789abcdef"[b & 15]};
            const Outcome decodes[] = {
                demo({"decode", file.path, "--json"}),
                demo({"decode", "--json"}, std::string(sent.bytes->begin(), sent.bytes->end())),
                demo({"decode", "--hex", "-", "--json"}, hex),
            };
            for (const Outcome& d : decodes) {
                ASSERT_EQ(d.exitCode, 0) << describe(d);
                EXPECT_EQ(Json::parse(d.out), s.at("record"));
            }
        }

        const Outcome xml = demo({"services", address, "--xml"});
        ASSERT_EQ(xml.exitCode, 0) << describe(xml);
        EXPECT_EQ(xmlRecords(xml.out), expected.size()) << xml.out;

        const Outcome text = demo({"services", address});
        ASSERT_EQ(text.exitCode, 0) << describe(text);
        const std::string title = "Services of " + address + ": " +
                                  std::to_string(expected.size()) +
                                  "\nVendor: " + vendorText(address) + "\n";
        EXPECT_EQ(text.out.rfind(title, 0), 0u) << text.out;
        for (const Sim::Record& sent : expected) {
            const std::string head = (sent.name ? "\"" + *sent.name + "\"" : "(no name)") +
                                     "  port " + std::to_string(sent.port.value_or(0)) + "\n";
            EXPECT_NE(text.out.find("\n" + head), std::string::npos) << head << text.out;
        }
    }
}

// ---------------------------------------------------------------- hostile

TEST(Cli, HostileDeviceTextsNeverReachTheTerminalAndKeepDocumentsWhole) {
    const auto texts = clitest::hostileTexts();
    const Outcome scan = scene({"--hostile"}, {"scan"});
    ASSERT_EQ(scan.exitCode, 0) << describe(scan);
    EXPECT_EQ(termtest::steeringCharacter(scan.out), std::nullopt);
    // 02:00:00:00:00:xx, locally administered: in no registered block.
    EXPECT_NE(scan.out.find("\n    Vendor: (unknown)\n"), std::string::npos) << scan.out;

    const Outcome scanJson = scene({"--hostile"}, {"scan", "--json"});
    ASSERT_EQ(scanJson.exitCode, 0) << describe(scanJson);
    const Json devices = Json::parse(scanJson.out).at("devices");
    ASSERT_EQ(devices.size(), texts.size());

    for (std::size_t i = 0; i < texts.size(); ++i) {
        const auto& [what, sent] = texts[i];
        SCOPED_TRACE(what);
        // Well-formed text without NUL comes back in JSON exactly as sent.
        const bool exact = Corvale::Bt::isValidUtf8(sent) && sent.find('\0') == std::string::npos;
        if (exact) {
            EXPECT_EQ(devices.at(i).at("name"), sent);
        }
        EXPECT_TRUE(devices.at(i).at("vendor").is_null());

        const std::string address = addressText(clitest::hostileAddress(i + 1));
        const Outcome text = scene({"--hostile"}, {"services", address});
        ASSERT_EQ(text.exitCode, 0) << describe(text);
        EXPECT_EQ(termtest::steeringCharacter(text.out), std::nullopt) << text.out.substr(0, 2000);

        const Outcome json = scene({"--hostile"}, {"services", address, "--json"});
        ASSERT_EQ(json.exitCode, 0) << describe(json);
        const Json doc = Json::parse(json.out);
        EXPECT_TRUE(doc.at("vendor").is_null());
        ASSERT_EQ(doc.at("services").size(), 1u);
        const Json& service = doc.at("services").at(0);
        if (exact) {
            EXPECT_EQ(service.at("name"), sent);
            EXPECT_EQ(service.at("record").at("attributes").at(3).at("value").at("value"), sent);
        }

        const Outcome xml = scene({"--hostile"}, {"services", address, "--xml"});
        ASSERT_EQ(xml.exitCode, 0) << describe(xml);
        EXPECT_EQ(xmlRecords(xml.out), 1u);
    }
}

// ---------------------------------------------------------------- progress

TEST(Cli, ProgressLineOnlyWhenStandardErrorIsATerminal) {
    const struct {
        Args args;
        bool terminal;
        const char* progress;  // null: standard error stays empty
    } cases[] = {
        {{"scan"}, true, "\rInquiry: 0 s"},
        {{"scan", "--length", "3"}, true, "\rInquiry: 0 s of about 4 s"},
        {{"services", "5C:F3:70:12:8A:41"},
         true,
         "\rReading the services of 5C:F3:70:12:8A:41: 0 s"},
        {{"services", "5C:F3:70:12:8A:41"}, false, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args) + (c.terminal ? " on a terminal" : ""));
        const Outcome r = demo(c.args, {}, c.terminal);
        EXPECT_EQ(r.exitCode, 0) << describe(r);
        if (c.progress) {
            EXPECT_EQ(r.err.rfind(c.progress, 0), 0u) << r.err;
            // The line is wiped at the end: the terminal's line ends blank.
            EXPECT_EQ(r.err.back(), '\r');
        } else {
            EXPECT_EQ(r.err, "");
        }
        EXPECT_NE(r.out, "");
    }
}

}  // namespace
