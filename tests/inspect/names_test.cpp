// Names and summaries of decoded records: attribute names by the record's
// languages and service classes, UUID names in every width, and the lines a
// person reads first, on the demo neighbourhood and on records of odd shape.
#include "record_test_support.h"

#include <corvale/BTNames.h>
#include <corvale/inspect/Text.h>
#include <corvale/sim/World.h>

using namespace sdptest;
using Corvale::AttributeName;
using Corvale::BTUUID;
using Corvale::UuidName;

namespace {

Bytes classes(std::vector<std::uint16_t> list) {
    std::vector<Bytes> items;
    for (std::uint16_t c : list) items.push_back(uuid16(c));
    return sequence(items);
}

Bytes languages(std::vector<std::array<std::uint16_t, 3>> list) {
    std::vector<Bytes> items;
    for (const auto& [code, encoding, base] : list)
        items.insert(items.end(), {uint16(code), uint16(encoding), uint16(base)});
    return sequence(items);
}

// A record of these classes, with a language list when one is given.
BTRecord withClasses(std::vector<std::uint16_t> list,
                     std::optional<std::vector<std::array<std::uint16_t, 3>>> bases = {}) {
    std::vector<Attribute> attributes = {{0x0001, classes(std::move(list))}};
    if (bases) attributes.push_back({0x0006, languages(*bases)});
    return decode(record(attributes));
}

TEST(AttributeNames, UniversalLanguageAndProfileNamesFollowTheRecord) {
    constexpr std::uint16_t en = 0x656E, fr = 0x6672, utf8 = 106;
    const BTRecord spp = withClasses({0x1101}),
                   hfp = withClasses({0x111E, 0x1203}, {{{en, utf8, 0x0100}}}),
                   multi = withClasses(
                       {0x1101}, {{{en, utf8, 0x0100}, {fr, utf8, 0x0110}, {0x0000, 4, 0x0120}}}),
                   overlap = withClasses({0x1101}, {{{en, utf8, 0x0100}, {0x6465, utf8, 0x0101}}}),
                   hidFirst = withClasses({0x1124, 0x1200}),
                   didFirst = withClasses({0x1200, 0x1124}),
                   custom = decode(record({{0x0001, sequence({uuid128(1, 2)})}}));
    const struct {
        const char* what;
        const BTRecord& record;
        std::uint16_t id;
        std::optional<std::string> name;
    } cases[] = {
        {"universal, first", spp, 0x0000, "ServiceRecordHandle"},
        {"universal, last", spp, 0x000D, "AdditionalProtocolDescriptorLists"},
        {"past the universal ones", spp, 0x000E, std::nullopt},
        {"name without a language list", spp, 0x0100, "ServiceName"},
        {"provider without a language list", spp, 0x0102, "ProviderName"},
        {"past the language-based ones", spp, 0x0103, std::nullopt},
        {"SPP has no attributes of its own", spp, 0x0311, std::nullopt},
        {"listed language", hfp, 0x0100, "ServiceName (en)"},
        {"second language", multi, 0x0110, "ServiceName (fr)"},
        {"language code that is no letters", multi, 0x0121, "ServiceDescription (0x0000)"},
        {"overlapping bases: the first listed wins", overlap, 0x0101, "ServiceDescription (en)"},
        {"overlapping bases: past the first", overlap, 0x0103, "ProviderName (de)"},
        {"HFP", hfp, 0x0311, "SupportedFeatures"},
        {"HFP unit has no network attribute", hfp, 0x0301, std::nullopt},
        {"HFP gateway", withClasses({0x111F}), 0x0301, "Network"},
        {"FTP", withClasses({0x1106}), 0x0200, "GoepL2capPsm"},
        {"PANU has no access type", withClasses({0x1115}), 0x030B, std::nullopt},
        {"HID first", hidFirst, 0x0201, "HIDParserVersion"},
        {"Device ID first", didFirst, 0x0201, "VendorID"},
        {"the second class names what the first does not", didFirst, 0x0206, "HIDDescriptorList"},
        {"a 128-bit class names nothing", custom, 0x0311, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(AttributeName(c.record, c.id), c.name);
    }
}

TEST(UuidNames, EveryWidthOfAKnownUuidIsNamed) {
    GUID serial128 = BTUUID(0x1101u).guid(), other = serial128;
    other.Data3 = 0x1001;
    const struct {
        BTUUID uuid;
        std::optional<std::string_view> name;
    } cases[] = {
        {decode(record({{1, uuid16(0x1101)}})).Elements()[0].uuid(), "Serial Port"},
        {decode(record({{1, uuid32(0x1101)}})).Elements()[0].uuid(), "Serial Port"},
        {BTUUID(serial128), "Serial Port"},
        {BTUUID(0x0100u), "L2CAP"},
        {BTUUID(0xFFFFu), std::nullopt},
        {BTUUID(0x00011101u), std::nullopt},
        {BTUUID(other), std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(UuidName(c.uuid), c.name) << c.uuid.asString().size();
}

std::string summary(const BTRecord& r) {
    std::string text;
    for (const std::string& line : Corvale::Inspect::summaryLines(r)) text += line + "\n";
    return text;
}

TEST(RecordSummary, DemoNeighbourhoodReadsAsAPersonExpects) {
    auto& world = Corvale::Sim::World::instance();
    world.reset();
    Corvale::Sim::loadDemoNeighbourhood(world);
    const auto devices = world.devices();
    world.reset();
    const auto find = [&](const std::string& device, const std::string& service) {
        for (const auto& d : devices)
            if (d.name.value_or("") == device)
                for (const auto& r : d.records)
                    if (r.name.value_or("") == service && r.bytes) return decode(*r.bytes);
        ADD_FAILURE() << device << " / " << service << " is not in the demo neighbourhood";
        return BTRecord();
    };
    const struct {
        const char* device;
        const char* service;
        std::string lines;
    } cases[] = {
        {"Clearvoice HS-20", "Hands-Free unit",
         "Service classes: Hands-Free, Generic Audio\n"
         "Protocols: L2CAP (PSM 3) > RFCOMM (channel 2)\nProfile: Hands-Free 1.8\n"},
        {"Mara's phone", "Audio Source",
         "Service class: Audio Source\nProtocols: L2CAP (PSM 25) > AVDTP (version 1.3)\n"
         "Profile: Advanced Audio Distribution 1.3\n"},
        {"Mara's phone", "OBEX Object Push",
         "Service class: OBEX Object Push\nProtocols: L2CAP (PSM 3) > RFCOMM (channel 9) > OBEX\n"
         "Profile: OBEX Object Push 1.2\n"},
        {"Mara's phone", "Network Access Point",
         "Service class: Network Access Point\n"
         "Protocols: L2CAP (PSM 15) > BNEP (version 1.0, network types 0x0800 0x0806)\n"
         "Profile: Network Access Point 1.0\n"},
        {"Mara's phone", "",
         "Service class: PnP Information\n"
         "Device ID: vendor 0x0075 (USB-IF), product 0x0100, version 1.1.0\n"},
        {"Keystone K3 Keyboard", "Keystone K3 Keyboard",
         "Service class: Human Interface Device\nProtocols: L2CAP (PSM 17) > HIDP\n"
         "Protocols: L2CAP (PSM 19) > HIDP\nProfile: Human Interface Device 1.1\n"},
        {"Léa’s Tideline headphones", "AV Remote Control",
         "Service classes: A/V Remote Control, A/V Remote Control Controller\n"
         "Protocols: L2CAP (PSM 23) > AVCTP (version 1.4)\nProfile: A/V Remote Control 1.6\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.device) + " / " + c.service);
        EXPECT_EQ(summary(find(c.device, c.service)), c.lines);
    }
}

TEST(RecordSummary, RecordsOfOddShapeStillSummariseFromWhatIsThere) {
    const Bytes l2cap = sequence({uuid16(0x0100)}), rfcomm = sequence({uuid16(0x0003), uint8(5)});
    const struct {
        const char* what;
        std::vector<Attribute> attributes;
        std::string lines;
    } cases[] = {
        {"two stacks as an alternative",
         {{0x0004, alternative({sequence({l2cap, rfcomm}),
                                sequence({sequence({uuid16(0x0100), uint16(0x1001)})})})}},
         "Protocols: L2CAP (PSM 3) > RFCOMM (channel 5)\nProtocols: L2CAP (PSM 4097)\n"},
        {"descriptors that are no sequence, or start with no UUID",
         {{0x0004,
           sequence({uint8(1), sequence({uint8(2)}), sequence({uuid16(0x1234), text("x")})})}},
         "Protocols: ? > 0x1234 (text)\n"},
        {"a channel of the wrong type",
         {{0x0004, sequence({l2cap, sequence({uuid16(3), int8(-1)})})}},
         "Protocols: L2CAP (PSM 3) > RFCOMM (-1)\n"},
        {"an empty stack", {{0x0004, sequence({})}}, ""},
        {"a stack that is a number", {{0x0004, uint8(1)}}, ""},
        {"a profile without version, and one with a 128-bit UUID",
         {{0x0009,
           sequence({sequence({uuid16(0x1101)}), sequence({uuid128(1, 2), uint16(0x0203)})})}},
         "Profiles: Serial Port, 00000000-0000-0001-0000-000000000002 2.3\n"},
        {"Device ID without a vendor, from an unknown source",
         {{0x0001, sequence({uuid16(0x1200)})},
          {0x0202, uint16(0x0246)},
          {0x0203, uint16(0x0542)},
          {0x0205, uint16(3)}},
         "Service class: PnP Information\nDevice ID: product 0x0246, version 5.4.2\n"},
        {"Device ID from the Bluetooth SIG",
         {{0x0001, sequence({uuid16(0x1200)})}, {0x0201, uint16(0x000F)}, {0x0205, uint16(1)}},
         "Service class: PnP Information\nDevice ID: vendor 0x000F (Bluetooth SIG)\n"},
        {"Device ID numbers without the class", {{0x0201, uint16(0x000F)}}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(summary(decode(record(c.attributes))), c.lines);
    }
}

}  // namespace
