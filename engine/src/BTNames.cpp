// The name tables: public assigned numbers of the Bluetooth SIG (service
// class, profile and protocol UUIDs; SDP attribute IDs) as our own tables.
#include <corvale/BTNames.h>

#include <algorithm>
#include <array>

namespace Corvale {

namespace {

struct Named {
    std::uint16_t number;
    std::string_view name;
};

// 16-bit UUIDs on the base UUID, sorted: protocols, service classes and
// profiles, browse groups.
constexpr Named kUuids[] = {
    {0x0001, "SDP"},
    {0x0002, "UDP"},
    {0x0003, "RFCOMM"},
    {0x0004, "TCP"},
    {0x0005, "TCS-BIN"},
    {0x0006, "TCS-AT"},
    {0x0007, "ATT"},
    {0x0008, "OBEX"},
    {0x0009, "IP"},
    {0x000A, "FTP"},
    {0x000C, "HTTP"},
    {0x000E, "WSP"},
    {0x000F, "BNEP"},
    {0x0010, "UPnP"},
    {0x0011, "HIDP"},
    {0x0012, "Hardcopy Control Channel"},
    {0x0014, "Hardcopy Data Channel"},
    {0x0016, "Hardcopy Notification"},
    {0x0017, "AVCTP"},
    {0x0019, "AVDTP"},
    {0x001B, "CMTP"},
    {0x001E, "MCAP Control Channel"},
    {0x001F, "MCAP Data Channel"},
    {0x0100, "L2CAP"},
    {0x1000, "Service Discovery Server"},
    {0x1001, "Browse Group Descriptor"},
    {0x1002, "Public Browse Root"},
    {0x1101, "Serial Port"},
    {0x1102, "LAN Access Using PPP"},
    {0x1103, "Dial-up Networking"},
    {0x1104, "IrMC Sync"},
    {0x1105, "OBEX Object Push"},
    {0x1106, "OBEX File Transfer"},
    {0x1107, "IrMC Sync Command"},
    {0x1108, "Headset"},
    {0x1109, "Cordless Telephony"},
    {0x110A, "Audio Source"},
    {0x110B, "Audio Sink"},
    {0x110C, "A/V Remote Control Target"},
    {0x110D, "Advanced Audio Distribution"},
    {0x110E, "A/V Remote Control"},
    {0x110F, "A/V Remote Control Controller"},
    {0x1110, "Intercom"},
    {0x1111, "Fax"},
    {0x1112, "Headset Audio Gateway"},
    {0x1113, "WAP"},
    {0x1114, "WAP Client"},
    {0x1115, "PAN User"},
    {0x1116, "Network Access Point"},
    {0x1117, "Group Ad-hoc Network"},
    {0x1118, "Direct Printing"},
    {0x1119, "Reference Printing"},
    {0x111A, "Basic Imaging"},
    {0x111B, "Imaging Responder"},
    {0x111C, "Imaging Automatic Archive"},
    {0x111D, "Imaging Referenced Objects"},
    {0x111E, "Hands-Free"},
    {0x111F, "Hands-Free Audio Gateway"},
    {0x1120, "Direct Printing Referenced Objects"},
    {0x1121, "Reflected UI"},
    {0x1122, "Basic Printing"},
    {0x1123, "Printing Status"},
    {0x1124, "Human Interface Device"},
    {0x1125, "Hardcopy Cable Replacement"},
    {0x1126, "HCR Print"},
    {0x1127, "HCR Scan"},
    {0x1128, "Common ISDN Access"},
    {0x112D, "SIM Access"},
    {0x112E, "Phonebook Access Client"},
    {0x112F, "Phonebook Access Server"},
    {0x1130, "Phonebook Access"},
    {0x1131, "Headset HS"},
    {0x1132, "Message Access Server"},
    {0x1133, "Message Notification Server"},
    {0x1134, "Message Access"},
    {0x1135, "GNSS"},
    {0x1136, "GNSS Server"},
    {0x1137, "3D Display"},
    {0x1138, "3D Glasses"},
    {0x1139, "3D Synchronization"},
    {0x113A, "Multi-Profile"},
    {0x113B, "Multi-Profile Service"},
    {0x113C, "Calendar, Task and Notes"},
    {0x113D, "CTN Access Service"},
    {0x113E, "CTN Notification Service"},
    {0x1200, "PnP Information"},
    {0x1201, "Generic Networking"},
    {0x1202, "Generic File Transfer"},
    {0x1203, "Generic Audio"},
    {0x1204, "Generic Telephony"},
    {0x1205, "UPnP Service"},
    {0x1206, "UPnP IP Service"},
    {0x1300, "ESDP UPnP IP PAN"},
    {0x1301, "ESDP UPnP IP LAP"},
    {0x1302, "ESDP UPnP L2CAP"},
    {0x1303, "Video Source"},
    {0x1304, "Video Sink"},
    {0x1305, "Video Distribution"},
    {0x1400, "Health Device"},
    {0x1401, "Health Device Source"},
    {0x1402, "Health Device Sink"},
    {0x1800, "Generic Access"},
    {0x1801, "Generic Attribute"},
    {0x180A, "Device Information"},
};

// Attributes every record may hold (Bluetooth Core Specification, Vol 3,
// Part B, 5.1).
constexpr std::string_view kUniversal[] = {
    "ServiceRecordHandle",
    "ServiceClassIDList",
    "ServiceRecordState",
    "ServiceID",
    "ProtocolDescriptorList",
    "BrowseGroupList",
    "LanguageBaseAttributeIDList",
    "ServiceInfoTimeToLive",
    "ServiceAvailability",
    "BluetoothProfileDescriptorList",
    "DocumentationURL",
    "ClientExecutableURL",
    "IconURL",
    "AdditionalProtocolDescriptorLists",
};

// At a language's base, and the next two IDs.
constexpr std::string_view kLanguageBased[] = {"ServiceName", "ServiceDescription", "ProviderName"};

// Attributes a service class defines for its records, by class; sorted by
// class, then ID.
struct ProfileAttribute {
    std::uint16_t serviceClass;
    std::uint16_t id;
    std::string_view name;
};

constexpr ProfileAttribute kProfileAttributes[] = {
    // Service Discovery Server; Browse Group Descriptor.
    {0x1000, 0x0200, "VersionNumberList"},
    {0x1000, 0x0201, "ServiceDatabaseState"},
    {0x1001, 0x0200, "GroupID"},
    // Dial-up Networking; IrMC Sync.
    {0x1103, 0x0305, "AudioFeedbackSupport"},
    {0x1104, 0x0301, "SupportedDataStoresList"},
    // Object Push; File Transfer.
    {0x1105, 0x0200, "GoepL2capPsm"},
    {0x1105, 0x0300, "SupportedFormatsList"},
    {0x1106, 0x0200, "GoepL2capPsm"},
    // Headset.
    {0x1108, 0x0302, "RemoteAudioVolumeControl"},
    // A2DP source and sink; AVRCP target, remote control and controller.
    {0x110A, 0x0311, "SupportedFeatures"},
    {0x110B, 0x0311, "SupportedFeatures"},
    {0x110C, 0x0311, "SupportedFeatures"},
    {0x110E, 0x0311, "SupportedFeatures"},
    {0x110F, 0x0311, "SupportedFeatures"},
    // Fax.
    {0x1111, 0x0302, "FaxClass1Support"},
    {0x1111, 0x0303, "FaxClass2.0Support"},
    {0x1111, 0x0304, "FaxClass2Support"},
    {0x1111, 0x0305, "AudioFeedbackSupport"},
    // PAN: PANU, NAP, GN.
    {0x1115, 0x030A, "SecurityDescription"},
    {0x1116, 0x030A, "SecurityDescription"},
    {0x1116, 0x030B, "NetAccessType"},
    {0x1116, 0x030C, "MaxNetAccessrate"},
    {0x1116, 0x030D, "IPv4Subnet"},
    {0x1116, 0x030E, "IPv6Subnet"},
    {0x1117, 0x030A, "SecurityDescription"},
    {0x1117, 0x030D, "IPv4Subnet"},
    {0x1117, 0x030E, "IPv6Subnet"},
    // Imaging responder.
    {0x111B, 0x0200, "GoepL2capPsm"},
    {0x111B, 0x0310, "SupportedCapabilities"},
    {0x111B, 0x0311, "SupportedFeatures"},
    {0x111B, 0x0312, "SupportedFunctions"},
    {0x111B, 0x0313, "TotalImagingDataCapacity"},
    // Hands-Free unit and audio gateway.
    {0x111E, 0x0311, "SupportedFeatures"},
    {0x111F, 0x0301, "Network"},
    {0x111F, 0x0311, "SupportedFeatures"},
    // HID.
    {0x1124, 0x0200, "HIDDeviceReleaseNumber"},
    {0x1124, 0x0201, "HIDParserVersion"},
    {0x1124, 0x0202, "HIDDeviceSubclass"},
    {0x1124, 0x0203, "HIDCountryCode"},
    {0x1124, 0x0204, "HIDVirtualCable"},
    {0x1124, 0x0205, "HIDReconnectInitiate"},
    {0x1124, 0x0206, "HIDDescriptorList"},
    {0x1124, 0x0207, "HIDLANGIDBaseList"},
    {0x1124, 0x0208, "HIDSDPDisable"},
    {0x1124, 0x0209, "HIDBatteryPower"},
    {0x1124, 0x020A, "HIDRemoteWake"},
    {0x1124, 0x020B, "HIDProfileVersion"},
    {0x1124, 0x020C, "HIDSupervisionTimeout"},
    {0x1124, 0x020D, "HIDNormallyConnectable"},
    {0x1124, 0x020E, "HIDBootDevice"},
    {0x1124, 0x020F, "HIDSSRHostMaxLatency"},
    {0x1124, 0x0210, "HIDSSRHostMinTimeout"},
    // Phonebook access server.
    {0x112F, 0x0200, "GoepL2capPsm"},
    {0x112F, 0x0314, "SupportedRepositories"},
    {0x112F, 0x0317, "PbapSupportedFeatures"},
    // Headset HS.
    {0x1131, 0x0302, "RemoteAudioVolumeControl"},
    // Message access server; message notification server.
    {0x1132, 0x0200, "GoepL2capPsm"},
    {0x1132, 0x0315, "MASInstanceID"},
    {0x1132, 0x0316, "SupportedMessageTypes"},
    {0x1132, 0x0317, "MapSupportedFeatures"},
    {0x1133, 0x0200, "GoepL2capPsm"},
    {0x1133, 0x0317, "MapSupportedFeatures"},
    // Multi-Profile.
    {0x113B, 0x0200, "MPSDScenarios"},
    {0x113B, 0x0201, "MPMDScenarios"},
    {0x113B, 0x0202, "SupportedProfilesAndProtocols"},
    // Device ID.
    {0x1200, 0x0200, "SpecificationID"},
    {0x1200, 0x0201, "VendorID"},
    {0x1200, 0x0202, "ProductID"},
    {0x1200, 0x0203, "Version"},
    {0x1200, 0x0204, "PrimaryRecord"},
    {0x1200, 0x0205, "VendorIDSource"},
    // Health device source and sink.
    {0x1401, 0x0200, "SupportedFeatures"},
    {0x1401, 0x0301, "DataExchangeSpecification"},
    {0x1401, 0x0302, "MCAPSupportedProcedures"},
    {0x1402, 0x0200, "SupportedFeatures"},
    {0x1402, 0x0301, "DataExchangeSpecification"},
    {0x1402, 0x0302, "MCAPSupportedProcedures"},
};

constexpr bool sortedTables() {
    for (std::size_t i = 1; i < std::size(kUuids); ++i)
        if (kUuids[i - 1].number >= kUuids[i].number) return false;
    for (std::size_t i = 1; i < std::size(kProfileAttributes); ++i) {
        const auto& a = kProfileAttributes[i - 1];
        const auto& b = kProfileAttributes[i];
        if (a.serviceClass > b.serviceClass || (a.serviceClass == b.serviceClass && a.id >= b.id))
            return false;
    }
    return true;
}
static_assert(sortedTables(), "the name tables are searched by halves");

std::optional<std::string_view> profileAttribute(std::uint16_t serviceClass, std::uint16_t id) {
    const auto it = std::lower_bound(
        std::begin(kProfileAttributes), std::end(kProfileAttributes),
        ProfileAttribute{serviceClass, id, {}},
        [](const ProfileAttribute& a, const ProfileAttribute& b) {
            return a.serviceClass != b.serviceClass ? a.serviceClass < b.serviceClass : a.id < b.id;
        });
    if (it == std::end(kProfileAttributes) || it->serviceClass != serviceClass || it->id != id)
        return std::nullopt;
    return it->name;
}

}  // namespace

std::optional<std::string_view> UuidName(const BTUUID& uuid) {
    const auto form = uuid.shortForm();
    if (!form || *form > 0xFFFF) return std::nullopt;
    const auto it = std::lower_bound(std::begin(kUuids), std::end(kUuids), *form,
                                     [](const Named& n, std::uint32_t v) { return n.number < v; });
    if (it == std::end(kUuids) || it->number != *form) return std::nullopt;
    return it->name;
}

BTAttributeNamer::BTAttributeNamer(const BTRecord& record) : languages(record.Languages()) {
    for (std::size_t i = 0; i < languages.size(); ++i)
        bases.emplace_back(languages[i].base, static_cast<std::uint32_t>(i));
    std::sort(bases.begin(), bases.end());
    for (const BTUUID& c : record.Classes()) {
        const auto form = c.shortForm();
        if (!form || *form > 0xFFFF) continue;
        const auto shortClass = static_cast<std::uint16_t>(*form);
        const auto defines = std::lower_bound(
            std::begin(kProfileAttributes), std::end(kProfileAttributes), shortClass,
            [](const ProfileAttribute& a, std::uint16_t v) { return a.serviceClass < v; });
        if (defines != std::end(kProfileAttributes) && defines->serviceClass == shortClass &&
            std::find(classes.begin(), classes.end(), shortClass) == classes.end())
            classes.push_back(shortClass);
    }
}

std::optional<std::string> BTAttributeNamer::operator()(std::uint16_t id) const {
    if (id < std::size(kUniversal)) return std::string(kUniversal[id]);

    // A language's three texts, at each base the record lists (the first
    // listed wins where two overlap); without a list, the primary language's
    // usual base 0x0100.
    const BTLanguageBase* language = nullptr;
    for (int offset = 0; offset < std::ssize(kLanguageBased) && offset <= id; ++offset) {
        const auto base = static_cast<std::uint16_t>(id - offset);
        const auto it = std::lower_bound(bases.begin(), bases.end(), std::pair{base, 0u});
        if (it != bases.end() && it->first == base &&
            (language == nullptr || &languages[it->second] < language))
            language = &languages[it->second];
    }
    if (language != nullptr)
        return std::string(kLanguageBased[id - language->base]) + " (" + language->code() + ")";
    if (languages.empty() && id >= 0x0100 && id <= 0x0102)
        return std::string(kLanguageBased[id - 0x0100]);

    for (std::uint16_t c : classes)
        if (const auto name = profileAttribute(c, id)) return std::string(*name);
    return std::nullopt;
}

std::optional<std::string> AttributeName(const BTRecord& record, std::uint16_t id) {
    return BTAttributeNamer(record)(id);
}

}  // namespace Corvale
