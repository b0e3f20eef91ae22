#include "cli.h"

#include "input.h"
#include "terminal.h"

#include <corvale/BTNames.h>
#include <corvale/BTRecord.h>
#include <corvale/Corvale.h>
#include <corvale/bt/utf8.h>
#include <corvale/inspect/Documents.h>
#include <corvale/inspect/Json.h>
#include <corvale/inspect/Text.h>
#include <corvale/inspect/Xml.h>
#include <corvale/version.h>

#include <CLI/CLI.hpp>

#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace CorvaleCli {

namespace {

using namespace Corvale;

enum class Format { Text, Json, Xml };

struct Options {
    bool json = false, xml = false, cache = false, hex = false;
    unsigned lengthSeconds = 0;  // 0: the platform's default inquiry
    std::string address, input = "-";

    Format format() const { return json ? Format::Json : xml ? Format::Xml : Format::Text; }
};

// The inquiry length in the platform's unit of 1.28 s, rounded up, so the
// inquiry runs at least as long as asked: 1 s gives 1 unit, 61 s 48.
std::uint32_t inquiryUnits(unsigned seconds) {
    return (seconds * 100 + 127) / 128;
}

std::string utf8(const std::wstring& text) {
    return Bt::toUtf8(text);
}

// Text a device sent, for a line of text output: quoted and escaped so that
// it reads unambiguously and cannot steer the terminal.
std::string deviceText(const std::wstring& text) {
    return "\"" + Inspect::escapedText(utf8(text)) + "\"";
}

// The engine's error text (a system message, not a device's) on one line.
int bluetoothFailed(const std::string& program) {
    std::wstring text = baselib::getError();
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    std::cerr << program << ": "
              << (text.empty() ? std::string("the Bluetooth operation failed, and the system "
                                             "gave no text for it")
                               : utf8(text))
              << '\n';
    return kFailed;
}

// The Winsock session of the run: every name-space lookup needs it.
class Session {
public:
    Session() : up_(baselib::WinsockStart()) {}
    ~Session() { baselib::WinsockClear(); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    bool up() const { return up_; }

private:
    bool up_;
};

int noSession(const std::string& program) {
    std::cerr << program << ": the Winsock 2 session did not start, so Bluetooth cannot be used\n";
    return kFailed;
}

// The registered owner of the address's block, for a line of text output.
std::string vendorText(const BTAddress& address) {
    const auto vendor = VendorName(address);
    return vendor ? std::string(*vendor) : "(unknown)";
}

void printDevices(const std::vector<BTDevice>& devices, const char* none) {
    if (devices.empty()) std::cout << none << '\n';
    for (const BTDevice& d : devices) {
        const BTClassOfDevice& cod = d.COD();
        std::cout << utf8(d.Address().asString()) << "  "
                  << (d.Name().empty() ? std::string("(no name)") : deviceText(d.Name())) << '\n'
                  << "    " << utf8(cod.strMajor()) << " / " << utf8(cod.strMinor()) << '\n'
                  << "    Vendor: " << vendorText(d.Address()) << '\n';
        const std::wstring services = cod.strServices(L", ");
        if (!services.empty()) std::cout << "    Services: " << utf8(services) << '\n';
    }
}

// Every line of text indented by `by` spaces.
std::string indented(const std::string& text, std::size_t by) {
    std::string out;
    const std::string pad(by, ' ');
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        out += (line.empty() ? "" : pad) + line + '\n';
    return out;
}

void printServices(const BTDevice& device) {
    const auto& services = device.Services();
    std::cout << "Services of " << utf8(device.Address().asString()) << ": " << services.size()
              << '\n'
              << "Vendor: " << vendorText(device.Address()) << '\n';
    for (const BTService& s : services) {
        std::cout << '\n'
                  << (s.Name().empty() ? std::string("(no name)") : deviceText(s.Name()))
                  << "  port " << s.Port() << '\n';
        if (!s.Comment().empty()) std::cout << "    Comment: " << deviceText(s.Comment()) << '\n';
        std::cout << "    Class: " << Inspect::uuidJsonText(s.UUID());
        if (const auto name = UuidName(s.UUID())) std::cout << " " << *name;
        std::cout << '\n';
        if (s.Record().empty()) {
            std::cout << "    (the lookup gave no record)\n";
            continue;
        }
        std::cout << indented(Inspect::recordText(BTRecord::Decode(s.Record())), 4);
    }
}

// The records of a device's services in BlueZ's XML form, one <record> each,
// under one root so that the whole is one well-formed document.
std::string servicesXml(const BTDevice& device) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<records address=\"" +
                      utf8(device.Address().asString()) + "\">\n";
    for (const BTService& s : device.Services()) {
        if (s.Record().empty()) continue;
        std::string xml = Inspect::recordXml(BTRecord::Decode(s.Record()));
        // One declaration for the whole document.
        if (xml.rfind("<?xml", 0) == 0) xml.erase(0, xml.find("?>") + 2);
        while (!xml.empty() && (xml.front() == '\n' || xml.front() == '\r')) xml.erase(0, 1);
        out += xml;
        if (!out.empty() && out.back() != '\n') out += '\n';
    }
    return out + "</records>\n";
}

int radios(const std::string& program, const Options& o) {
    // Built before the session starts, the network reads no radio yet: the
    // one reading below is the one whose failure is reported.
    BTNetwork network;
    Session session;
    if (!session.up()) return noSession(program);
    if (!network.DiscoverLocalDevices()) return bluetoothFailed(program);
    if (o.format() == Format::Json)
        std::cout << Inspect::jsonText(Inspect::radiosJson(network.LocalDevices()));
    else
        printDevices(network.LocalDevices(), "No radio.");
    return kSuccess;
}

int scan(const std::string& program, const Options& o) {
    BTNetwork network;  // before the session: no radio is read, none is needed
    Session session;
    if (!session.up()) return noSession(program);
    BTNetwork::setInquiryCache(o.cache);
    std::optional<std::chrono::seconds> expected;
    if (o.lengthSeconds != 0) {
        const std::uint32_t units = inquiryUnits(o.lengthSeconds);
        BTNetwork::setInquiryTimeout(units);
        expected = std::chrono::seconds((units * 128 + 99) / 100);
    }
    if (!withProgress("Inquiry", o.cache ? std::nullopt : expected,
                      [&] { return network.DiscoverRemoteDevices(); }))
        return bluetoothFailed(program);
    if (o.format() == Format::Json)
        std::cout << Inspect::jsonText(Inspect::devicesJson(network.RemoteDevices()));
    else
        printDevices(network.RemoteDevices(), "No device in range.");
    return kSuccess;
}

int services(const std::string& program, const Options& o, const BTAddress& address) {
    Session session;
    if (!session.up()) return noSession(program);
    BTDevice::setInquiryCache(o.cache);
    BTDevice device(address);
    if (!withProgress("Reading the services of " + utf8(address.asString()), std::nullopt,
                      [&] { return device.DiscoverServices(); }))
        return bluetoothFailed(program);
    switch (o.format()) {
        case Format::Json:
            std::cout << Inspect::jsonText(Inspect::servicesJson(device));
            break;
        case Format::Xml:
            std::cout << servicesXml(device);
            break;
        case Format::Text:
            printServices(device);
            break;
    }
    return kSuccess;
}

int decode(const std::string& program, const Options& o) {
    std::string error;
    std::optional<std::string> input = readInput(o.input, error);
    std::vector<std::uint8_t> bytes;
    if (input && o.hex) {
        if (auto parsed = parseHex(*input, error))
            bytes.assign(parsed->begin(), parsed->end());
        else
            input.reset();
    } else if (input) {
        bytes.assign(input->begin(), input->end());
    }
    if (!input) {
        std::cerr << program << " decode: " << error << '\n';
        return kUsage;
    }
    const BTRecord record = BTRecord::Decode(bytes);
    switch (o.format()) {
        case Format::Json:
            std::cout << Inspect::jsonText(Inspect::recordJson(record));
            break;
        case Format::Xml:
            std::cout << Inspect::recordXml(record);
            break;
        case Format::Text:
            std::cout << Inspect::recordText(record);
            break;
    }
    return kSuccess;
}

void addFormats(CLI::App& command, Options& o, bool xml) {
    CLI::Option* json =
        command.add_flag("--json", o.json, "Print JSON (the README gives its form)");
    if (xml) command.add_flag("--xml", o.xml, "Print BlueZ's service-record XML")->excludes(json);
}

}  // namespace

int run(const std::string& program, int argc, const char* const* argv) {
    Options o;
    std::optional<BTAddress> address;

    CLI::App app("Bluetooth inspection: radios, devices in range, services and their SDP records",
                 program);
    app.set_version_flag("--version", program + " " + CORVALE_VERSION);
    app.require_subcommand(1);
    app.footer("Exit code: 0 on success, 1 when a Bluetooth operation failed, 2 on a usage error.");

    CLI::App* radiosCommand = app.add_subcommand("radios", "List this machine's Bluetooth radios");
    addFormats(*radiosCommand, o, false);

    CLI::App* scanCommand =
        app.add_subcommand("scan", "Run an inquiry and list the devices in range");
    scanCommand->add_flag("--cache", o.cache,
                          "Let the system answer from the devices it knows, without an inquiry");
    scanCommand
        ->add_option("--length", o.lengthSeconds,
                     "How long the inquiry runs, 1 to 61 seconds (in steps of 1.28 s, "
                     "rounded up); by default the system's length")
        ->check(CLI::Range(1u, 61u));
    addFormats(*scanCommand, o, false);

    CLI::App* servicesCommand =
        app.add_subcommand("services", "List a device's services with their SDP records");
    servicesCommand->add_option("ADDRESS", o.address, "The device's address, XX:XX:XX:XX:XX:XX")
        ->required()
        ->check(CLI::Validator(
            [&address](std::string& text) -> std::string {
                std::wstring wide(text.begin(), text.end());
                address = BTAddress::fromString(wide);
                if (!address) return "not a Bluetooth address (XX:XX:XX:XX:XX:XX): " + text;
                if (address->isNull()) return "the null address names no device";
                return {};
            },
            "XX:XX:XX:XX:XX:XX"));
    servicesCommand->add_flag("--cache", o.cache,
                              "Let the system answer from the records it read before");
    addFormats(*servicesCommand, o, true);

    CLI::App* decodeCommand = app.add_subcommand(
        "decode", "Decode an SDP service record's bytes captured elsewhere (e.g. by btmon)");
    decodeCommand->add_flag("--hex", o.hex,
                            "The input is hexadecimal text (as btmon, xxd or hexdump -C print "
                            "it) instead of raw bytes");
    decodeCommand->add_option("FILE", o.input, "The record's file; - or none: standard input");
    addFormats(*decodeCommand, o, true);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? kSuccess : kUsage;
    }

    try {
        int status = kSuccess;
        if (*radiosCommand)
            status = radios(program, o);
        else if (*scanCommand)
            status = scan(program, o);
        else if (*servicesCommand)
            status = services(program, o, *address);
        else
            status = decode(program, o);
        std::cout.flush();
        if (!std::cout) {
            std::cerr << program << ": the output could not be written\n";
            return kFailed;
        }
        return status;
    } catch (const wchar_t* what) {
        // The engine's one exception: a radio reported with the null address.
        std::cerr << program << ": " << utf8(what) << '\n';
        return kFailed;
    } catch (const std::bad_alloc&) {
        std::cerr << program << ": out of memory\n";
        return kFailed;
    } catch (const std::exception& e) {
        std::cerr << program << ": " << e.what() << '\n';
        return kFailed;
    }
}

}  // namespace CorvaleCli
