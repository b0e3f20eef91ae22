// The demo neighbourhood: two local radios and the devices of an ordinary
// office in range. Every SDP record is a real encoding of the profile it
// stands for (service classes, protocol stacks, profile versions and the
// profile's own attributes as the Bluetooth profiles define them); the name,
// comment and port a search reports are those of the record: ServiceName
// (0x0100), ServiceDescription (0x0101) and the RFCOMM channel or L2CAP PSM.
#include <corvale/bt/sdp.h>
#include <corvale/sim/World.h>

#include <algorithm>

namespace Corvale::Sim {

namespace {
using namespace Bt::Sdp;

// Protocol UUIDs.
constexpr std::uint16_t kL2cap = 0x0100, kRfcomm = 0x0003, kObex = 0x0008, kBnep = 0x000F,
                        kHidp = 0x0011, kAvctp = 0x0017, kAvdtp = 0x0019;
// L2CAP PSMs.
constexpr std::uint16_t kPsmBnep = 0x000F, kPsmHidControl = 0x0011, kPsmHidInterrupt = 0x0013,
                        kPsmAvctp = 0x0017, kPsmAvdtp = 0x0019;

struct Profile {
    std::vector<std::uint16_t> classes{};
    std::vector<GUID> classes128{};
    std::optional<Bytes> protocols{};  // ProtocolDescriptorList
    std::optional<ULONG> port{};
    std::optional<Bytes> profiles{};  // BluetoothProfileDescriptorList
    std::optional<std::string> name{};
    std::optional<std::string> description{};
    std::vector<Attribute> extra{};
};

Record make(std::uint32_t handle, Profile p) {
    std::vector<Bytes> classes;
    for (std::uint16_t c : p.classes) classes.push_back(uuid16(c));
    for (const GUID& g : p.classes128) classes.push_back(uuid128(g));
    std::vector<Attribute> attrs;
    attrs.push_back({0x0000, uint32(handle)});
    attrs.push_back({0x0001, sequence(std::move(classes))});
    if (p.protocols) attrs.push_back({0x0004, *p.protocols});
    attrs.push_back({0x0005, sequence({uuid16(0x1002)})});
    if (p.name || p.description)
        attrs.push_back({0x0006, sequence({uint16(0x656E), uint16(0x006A), uint16(0x0100)})});
    if (p.profiles) attrs.push_back({0x0009, *p.profiles});
    if (p.name) attrs.push_back({0x0100, text(*p.name)});
    if (p.description) attrs.push_back({0x0101, text(*p.description)});
    for (Attribute& a : p.extra) attrs.push_back(std::move(a));
    // In ascending attribute order, as SDP wants them.
    std::stable_sort(attrs.begin(), attrs.end(),
                     [](const Attribute& a, const Attribute& b) { return a.id < b.id; });
    Record r;
    r.name = p.name;
    r.comment = p.description;
    r.port = p.port;
    r.bytes = record(attrs);
    return r;
}

Bytes rfcomm(std::uint8_t channel) {
    return sequence({sequence({uuid16(kL2cap)}), sequence({uuid16(kRfcomm), uint8(channel)})});
}
Bytes obex(std::uint8_t channel) {
    return sequence({sequence({uuid16(kL2cap)}), sequence({uuid16(kRfcomm), uint8(channel)}),
                     sequence({uuid16(kObex)})});
}
Bytes profile(std::uint16_t uuid, std::uint16_t version) {
    return sequence({sequence({uuid16(uuid), uint16(version)})});
}

Record spp(std::uint32_t h, std::uint8_t ch, std::string name, std::optional<std::string> desc) {
    return make(h, {.classes = {0x1101},
                    .protocols = rfcomm(ch),
                    .port = ch,
                    .profiles = profile(0x1101, 0x0102),
                    .name = std::move(name),
                    .description = std::move(desc)});
}

Record handsFree(std::uint32_t h, std::uint8_t ch) {
    return make(h, {.classes = {0x111E, 0x1203},
                    .protocols = rfcomm(ch),
                    .port = ch,
                    .profiles = profile(0x111E, 0x0108),
                    .name = "Hands-Free unit",
                    .extra = {{0x0311, uint16(0x003F)}}});
}

Record audioGateway(std::uint32_t h, std::uint8_t ch) {
    return make(h, {.classes = {0x111F, 0x1203},
                    .protocols = rfcomm(ch),
                    .port = ch,
                    .profiles = profile(0x111E, 0x0108),
                    .name = "Voice Gateway",
                    .extra = {{0x0301, uint8(0x01)}, {0x0311, uint16(0x002F)}}});
}

Record headset(std::uint32_t h, std::uint8_t ch) {
    return make(h, {.classes = {0x1108, 0x1131, 0x1203},
                    .protocols = rfcomm(ch),
                    .port = ch,
                    .profiles = profile(0x1108, 0x0102),
                    .name = "Headset",
                    .extra = {{0x0302, boolean(true)}}});
}

Record headsetGateway(std::uint32_t h, std::uint8_t ch) {
    return make(h, {.classes = {0x1112, 0x1203},
                    .protocols = rfcomm(ch),
                    .port = ch,
                    .profiles = profile(0x1108, 0x0102),
                    .name = "Headset Gateway"});
}

Record a2dp(std::uint32_t h, bool sink) {
    return make(h, {.classes = {static_cast<std::uint16_t>(sink ? 0x110B : 0x110A)},
                    .protocols = sequence({sequence({uuid16(kL2cap), uint16(kPsmAvdtp)}),
                                           sequence({uuid16(kAvdtp), uint16(0x0103)})}),
                    .port = kPsmAvdtp,
                    .profiles = profile(0x110D, 0x0103),
                    .name = sink ? "Audio Sink" : "Audio Source",
                    .extra = {{0x0311, uint16(sink ? 0x0001 : 0x0001)}}});
}

Record avrcp(std::uint32_t h, bool target) {
    Profile p{.protocols = sequence({sequence({uuid16(kL2cap), uint16(kPsmAvctp)}),
                                     sequence({uuid16(kAvctp), uint16(0x0104)})}),
              .port = kPsmAvctp,
              .profiles = profile(0x110E, 0x0106)};
    if (target) {
        p.classes = {0x110C};
        p.name = "AV Remote Control Target";
        p.extra = {{0x0311, uint16(0x0002)}};
    } else {
        p.classes = {0x110E, 0x110F};
        p.name = "AV Remote Control";
        p.extra = {{0x0311, uint16(0x0001)}};
    }
    return make(h, std::move(p));
}

Record objectPush(std::uint32_t h, std::uint8_t ch) {
    return make(
        h, {.classes = {0x1105},
            .protocols = obex(ch),
            .port = ch,
            .profiles = profile(0x1105, 0x0102),
            .name = "OBEX Object Push",
            .extra = {{0x0303, sequence({uint8(0x01), uint8(0x02), uint8(0x03), uint8(0xFF)})}}});
}

Record fileTransfer(std::uint32_t h, std::uint8_t ch) {
    return make(h, {.classes = {0x1106},
                    .protocols = obex(ch),
                    .port = ch,
                    .profiles = profile(0x1106, 0x0103),
                    .name = "OBEX File Transfer"});
}

Record phonebook(std::uint32_t h, std::uint8_t ch) {
    return make(h, {.classes = {0x112F},
                    .protocols = obex(ch),
                    .port = ch,
                    .profiles = profile(0x1130, 0x0102),
                    .name = "Phonebook Access PSE",
                    .extra = {{0x0314, uint8(0x03)}}});
}

Record directPrinting(std::uint32_t h, std::uint8_t ch) {
    return make(h, {.classes = {0x1118},
                    .protocols = obex(ch),
                    .port = ch,
                    .profiles = profile(0x1122, 0x0102),
                    .name = "Direct Printing",
                    .description = "Prints documents and images sent to it"});
}

Record pan(std::uint32_t h, bool accessPoint) {
    Profile p{.classes = {static_cast<std::uint16_t>(accessPoint ? 0x1116 : 0x1115)},
              .protocols = sequence({sequence({uuid16(kL2cap), uint16(kPsmBnep)}),
                                     sequence({uuid16(kBnep), uint16(0x0100),
                                               sequence({uint16(0x0800), uint16(0x0806)})})}),
              .port = kPsmBnep,
              .profiles = profile(accessPoint ? 0x1116 : 0x1115, 0x0100)};
    if (accessPoint) {
        p.name = "Network Access Point";
        p.description = "Personal Ad-hoc Network Service which provides access to a network";
        p.extra = {{0x030A, uint16(0x0000)}, {0x030B, uint16(0x0005)}, {0x030C, uint32(0)}};
    } else {
        p.name = "PAN User";
        p.description = "Personal Ad-hoc User Service";
        p.extra = {{0x030A, uint16(0x0000)}};
    }
    return make(h, std::move(p));
}

// A HID record; the report descriptor travels in HIDDescriptorList (0x0206).
Record hid(std::uint32_t h, std::string name, std::uint8_t subclass, const Bytes& descriptor) {
    return make(
        h, {.classes = {0x1124},
            .protocols = sequence(
                {sequence({uuid16(kL2cap), uint16(kPsmHidControl)}), sequence({uuid16(kHidp)})}),
            .port = kPsmHidControl,
            .profiles = profile(0x1124, 0x0101),
            .name = std::move(name),
            .description = "Wireless input device",
            .extra = {
                {0x000D, sequence({sequence({sequence({uuid16(kL2cap), uint16(kPsmHidInterrupt)}),
                                             sequence({uuid16(kHidp)})})})},
                {0x0102, text("Keystone Peripherals")},  // ProviderName
                {0x0201, uint16(0x0111)},                // HIDParserVersion
                {0x0202, uint8(subclass)},               // HIDDeviceSubclass
                {0x0203, uint8(0x00)},                   // HIDCountryCode
                {0x0204, boolean(true)},                 // HIDVirtualCable
                {0x0205, boolean(true)},                 // HIDReconnectInitiate
                {0x0206, sequence({sequence({uint8(0x22), octets(descriptor)})})},
                {0x0207, sequence({sequence({uint16(0x0409), uint16(0x0100)})})},
                {0x0209, boolean(true)},   // HIDBatteryPower
                {0x020A, boolean(true)},   // HIDRemoteWake
                {0x020B, uint16(0x0100)},  // HIDProfileVersion
                {0x020C, uint16(0x0C80)},  // HIDSupervisionTimeout
                {0x020D, boolean(false)},  // HIDNormallyConnectable
                {0x020E, boolean(true)},   // HIDBootDevice
            }});
}

// Device Identification: no L2CAP in it, so a search for L2CAP passes it by.
Record deviceId(std::uint32_t h, std::uint16_t vendor, std::uint16_t product) {
    return make(h, {.classes = {0x1200},
                    .extra = {{0x0200, uint16(0x0103)},
                              {0x0201, uint16(vendor)},
                              {0x0202, uint16(product)},
                              {0x0203, uint16(0x0110)},
                              {0x0204, boolean(true)},
                              {0x0205, uint16(0x0002)}}});
}

Record vendorService(std::uint32_t h, std::uint8_t ch, const GUID& uuid, std::string name,
                     std::string desc) {
    return make(h, {.classes128 = {uuid},
                    .protocols = rfcomm(ch),
                    .port = ch,
                    .name = std::move(name),
                    .description = std::move(desc)});
}

// A keyboard with a boot report, media keys and a vendor collection of
// lighting feature reports: a descriptor of several kilobytes, as such
// keyboards really send.
Bytes largeKeyboardDescriptor() {
    Bytes d = {
        0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x85, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15,
        0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01,
        0x95, 0x05, 0x75, 0x01, 0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0x95, 0x01, 0x75,
        0x03, 0x91, 0x01, 0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05, 0x07, 0x19, 0x00,
        0x29, 0x65, 0x81, 0x00, 0xC0,  // boot keyboard, report 1
        0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02, 0x15, 0x00, 0x26, 0xFF, 0x03, 0x19, 0x00,
        0x2A, 0xFF, 0x03, 0x75, 0x10, 0x95, 0x01, 0x81, 0x00, 0xC0,  // consumer keys, report
                                                                     // 2
        0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,                    // vendor collection
    };
    for (int id = 3; id <= 254; ++id) {
        const auto usage = static_cast<std::uint8_t>(id);
        const Bytes report = {0x85, usage, 0x0A, usage, 0x00, 0x15, 0x00, 0x26,  0xFF, 0x00, 0x75,
                              0x08, 0x96,  0x20, 0x00,  0xB1, 0x02, 0x0A, usage, 0x01, 0x91, 0x02};
        d.insert(d.end(), report.begin(), report.end());
    }
    d.push_back(0xC0);
    return d;
}

Bytes mouseDescriptor() {
    return {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09,
            0x19, 0x01, 0x29, 0x05, 0x15, 0x00, 0x25, 0x01, 0x95, 0x05, 0x75, 0x01, 0x81, 0x02,
            0x95, 0x01, 0x75, 0x03, 0x81, 0x01, 0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x16, 0x01,
            0x80, 0x26, 0xFF, 0x7F, 0x75, 0x10, 0x95, 0x02, 0x81, 0x06, 0x09, 0x38, 0x15, 0x81,
            0x25, 0x7F, 0x75, 0x08, 0x95, 0x01, 0x81, 0x06, 0xC0, 0xC0};
}

// Vendor services of the phone companion app and of the laptop's sync tool.
constexpr GUID kCompanionUuid = {
    0x8E1F0CF7, 0x508F, 0x4875, {0xB6, 0x2C, 0xFB, 0xB6, 0x7F, 0xD3, 0x48, 0x12}};
constexpr GUID kSyncUuid = {
    0x3B9A6D21, 0xC4E0, 0x4F5A, {0x9D, 0x17, 0x62, 0xA0, 0x5E, 0x8B, 0x11, 0xC4}};
constexpr GUID kBandUuid = {
    0x0C7A3E55, 0x1D42, 0x4B8E, {0xA6, 0x03, 0x5F, 0x21, 0xC9, 0x7E, 0x40, 0xD8}};
}  // namespace

void loadDemoNeighbourhood(World& world) {
    world.addRadio({.address = address("00:1A:7D:DA:71:13"),
                    .name = "WORKSTATION",
                    .classOfDevice = 0x120104,
                    .lmpSubversion = 0x2209,
                    .manufacturer = 0x000A,
                    .records = {objectPush(0x00010000, 12), pan(0x00010001, false)}});
    world.addRadio({.address = address("00:1B:DC:0F:3E:A9"),
                    .name = "WORKSTATION (USB)",
                    .classOfDevice = 0x020104,
                    .lmpSubversion = 0x0601,
                    .manufacturer = 0x0002,
                    .records = {spp(0x00010000, 5, "COM7", "Outgoing serial port")}});

    world.addDevice(
        {.address = address("5C:F3:70:12:8A:41"),
         .name = "Mara's phone",
         .classOfDevice = 0x5A020C,
         .records = {audioGateway(0x00010001, 10), headsetGateway(0x00010002, 12),
                     a2dp(0x00010003, false), avrcp(0x00010004, true), objectPush(0x00010005, 9),
                     phonebook(0x00010006, 19), pan(0x00010007, true),
                     vendorService(0x00010008, 22, kCompanionUuid, "Companion Link",
                                   "Watch and app synchronisation"),
                     deviceId(0x00010009, 0x0075, 0x0100)}});
    world.addDevice({.address = address("00:0D:44:B2:7A:10"),
                     .name = "Clearvoice HS-20",
                     .classOfDevice = 0x200404,
                     .records = {headset(0x00010000, 1), handsFree(0x00010001, 2)}});
    world.addDevice({.address = address("88:C6:26:4E:19:D2"),
                     .name = "L\xC3\xA9"
                             "a\xE2\x80\x99s Tideline headphones",
                     .classOfDevice = 0x240418,
                     .records = {a2dp(0x00010001, true), avrcp(0x00010002, true),
                                 avrcp(0x00010003, false), handsFree(0x00010004, 1)}});
    world.addDevice(
        {.address = address("DC:2C:26:01:B7:33"),
         .name = "Keystone K3 Keyboard",
         .classOfDevice = 0x002540,
         .records = {hid(0x00010000, "Keystone K3 Keyboard", 0x40, largeKeyboardDescriptor()),
                     deviceId(0x00010001, 0x0A5C, 0x4503)}});
    world.addDevice({.address = address("DC:2C:26:01:C9:0E"),
                     .name = "Glide M5 Mouse",
                     .classOfDevice = 0x002580,
                     .records = {hid(0x00010000, "Glide M5 Mouse", 0x80, mouseDescriptor())}});
    world.addDevice({.address = address("30:05:5C:8A:44:F0"),
                     .name = "Inkwell P400 (2nd floor)",
                     .classOfDevice = 0x040680,
                     .records = {spp(0x00010000, 1, "Serial Printing", "Raw print stream"),
                                 objectPush(0x00010001, 2), directPrinting(0x00010002, 3)}});
    world.addDevice(
        {.address = address("00:1E:AE:7C:52:08"),
         .name = "Roadline Car Kit",
         .classOfDevice = 0x240408,
         .records = {handsFree(0x00010000, 1), a2dp(0x00010001, true), avrcp(0x00010002, false)}});
    world.addDevice(
        {.address = address("F4:8C:50:A1:0B:6D"),
         .name = "ATLAS-LAPTOP",
         .classOfDevice = 0x3A010C,
         .records = {objectPush(0x00010000, 12), fileTransfer(0x00010001, 13),
                     pan(0x00010002, true), pan(0x00010003, false),
                     spp(0x00010004, 4, "Serial Port", std::nullopt), a2dp(0x00010005, true),
                     vendorService(0x00010006, 15, kSyncUuid, "Atlas Sync",
                                   "Folder synchronisation service")}});
    // A fitness band that does not answer name requests.
    world.addDevice(
        {.address = address("E8:0F:C8:73:2D:95"),
         .classOfDevice = 0x800704,
         .records = {vendorService(0x00010000, 3, kBandUuid, "Band UART", "Activity data")}});
    // A workshop sensor whose firmware sends the format bits set.
    world.addDevice({.address = address("00:06:66:4F:81:C2"),
                     .name = "SENSOR-81C2",
                     .classOfDevice = 0x001F03,
                     .records = {spp(0x00010000, 1, "Sensor data", std::nullopt)}});
}

}  // namespace Corvale::Sim
