// Summarize: the lines a person reads first about a record, from the name
// tables and the record's numbers only.
#include <corvale/BTNames.h>
#include <corvale/BTRecord.h>
#include <corvale/bt/uuid.h>

#include <cstdio>

namespace Corvale {

namespace {

constexpr std::uint32_t kL2cap = 0x0100, kRfcomm = 0x0003, kBnep = 0x000F, kAvctp = 0x0017,
                        kAvdtp = 0x0019, kDeviceIdClass = 0x1200;

std::string hex(std::uint64_t value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*llX", digits, static_cast<unsigned long long>(value));
    return text;
}

// A table name, else the short form in hex, else the whole UUID text.
std::string uuidLabel(const BTUUID& uuid) {
    if (const auto name = UuidName(uuid)) return std::string(*name);
    if (const auto form = uuid.shortForm()) return hex(*form, *form <= 0xFFFF ? 4 : 8);
    return Bt::uuidText(Bt::uuidBytes(uuid.guid()));
}

// A version word 0xMMmm as "M.m".
std::string version(std::uint64_t word) {
    return std::to_string(word >> 8 & 0xFF) + "." + std::to_string(word & 0xFF);
}

bool isUint(const BTElement& e) {
    return e.isUnsigned();
}

// One protocol descriptor: "L2CAP (PSM 3)", "RFCOMM (channel 12)",
// "AVDTP (version 1.3)", "OBEX"; other parameters as numbers or types.
std::string protocol(const BTRecord& record, const BTElement& descriptor) {
    const std::span<const BTElement> items = record.Children(descriptor);
    if (items.empty() || !items[0].isUuid()) return "?";
    const BTUUID uuid = items[0].uuid();
    std::string text = uuidLabel(uuid);
    const std::uint32_t form = uuid.shortForm().value_or(0xFFFFFFFF);
    std::string parameters;
    for (std::size_t i = 1; i < items.size(); ++i) {
        const BTElement& p = items[i];
        std::string one;
        if (i == 1 && form == kL2cap && isUint(p)) {
            one = "PSM " + std::to_string(p.number);
        } else if (i == 1 && form == kRfcomm && isUint(p)) {
            one = "channel " + std::to_string(p.number);
        } else if (i == 1 && (form == kBnep || form == kAvctp || form == kAvdtp) &&
                   p.type == BTElementType::Uint16) {
            one = "version " + version(p.number);
        } else if (isUint(p)) {
            one = std::to_string(p.number);
        } else if (p.isSigned()) {
            one = std::to_string(p.asSigned());
        } else if (p.isUuid()) {
            one = uuidLabel(p.uuid());
        } else if (p.isContainer()) {
            // A list of numbers (BNEP's network packet types, say) in hex.
            for (const BTElement& item : record.Children(p)) {
                if (!one.empty()) one += ' ';
                one += isUint(item) ? hex(item.number, 2 * static_cast<int>(item.size - 1))
                                    : std::string(TypeName(item.type));
            }
            if (i == 2 && form == kBnep) one.insert(0, "network types ");
        } else {
            one = std::string(TypeName(p.type));
        }
        parameters += (parameters.empty() ? "" : ", ") + one;
    }
    if (!parameters.empty()) text += " (" + parameters + ")";
    return text;
}

// The PSM a protocol has by assignment, which a record need not give in the
// L2CAP descriptor below it; 0 for none.
std::uint64_t fixedPsm(const BTRecord& record, const BTElement& descriptor) {
    const std::span<const BTElement> items = record.Children(descriptor);
    if (items.empty() || !items[0].isUuid()) return 0;
    switch (items[0].uuid().shortForm().value_or(0)) {
        case 0x0001:  // SDP
            return 1;
        case kRfcomm:
            return 3;
        case 0x0005:  // TCS-BIN
            return 5;
        case kBnep:
            return 15;
        case kAvctp:
            return 23;
        case kAvdtp:
            return 25;
        case 0x0007:  // ATT
            return 31;
        default:
            return 0;
    }
}

// A ProtocolDescriptorList: one stack, or an alternative of stacks.
void stacks(const BTRecord& record, const BTElement& list, std::vector<std::string>& out) {
    if (list.type == BTElementType::Alternative) {
        for (const BTElement& e : record.Children(list))
            if (e.type == BTElementType::Sequence) stacks(record, e, out);
        return;
    }
    if (list.type != BTElementType::Sequence) return;
    std::string line;
    const std::span<const BTElement> descriptors = record.Children(list);
    for (std::size_t i = 0; i < descriptors.size(); ++i) {
        const BTElement& d = descriptors[i];
        if (d.type != BTElementType::Sequence) continue;
        std::string text = protocol(record, d);
        // L2CAP without its PSM, below a protocol that has a fixed one.
        if (text == "L2CAP" && i + 1 < descriptors.size())
            if (const std::uint64_t psm = fixedPsm(record, descriptors[i + 1]))
                text += " (PSM " + std::to_string(psm) + ")";
        line += (line.empty() ? "" : " > ") + text;
    }
    if (!line.empty()) out.push_back(std::move(line));
}

const BTElement* value(const BTRecord& record, std::uint16_t id, BTElementType type) {
    const BTAttribute* a = record.Find(id);
    if (a == nullptr || record.Value(*a).type != type) return nullptr;
    return &record.Value(*a);
}

std::optional<std::string> deviceId(const BTRecord& record, const std::vector<BTUUID>& classes) {
    bool isDeviceId = false;
    for (const BTUUID& c : classes) isDeviceId = isDeviceId || c == BTUUID(kDeviceIdClass);
    if (!isDeviceId) return std::nullopt;
    std::string text;
    const auto add = [&text](const std::string& part) {
        text += (text.empty() ? "" : ", ") + part;
    };
    if (const BTElement* vendor = value(record, 0x0201, BTElementType::Uint16)) {
        std::string part = "vendor " + hex(vendor->number, 4);
        if (const BTElement* source = value(record, 0x0205, BTElementType::Uint16))
            part += source->number == 1   ? " (Bluetooth SIG)"
                    : source->number == 2 ? " (USB-IF)"
                                          : " (source " + std::to_string(source->number) + ")";
        add(part);
    }
    if (const BTElement* product = value(record, 0x0202, BTElementType::Uint16))
        add("product " + hex(product->number, 4));
    if (const BTElement* v = value(record, 0x0203, BTElementType::Uint16)) {
        // 0xJJMN: major JJ, minor M, sub-minor N.
        char text16[64];
        std::snprintf(text16, sizeof text16, "%llx.%llx.%llx",
                      static_cast<unsigned long long>(v->number >> 8),
                      static_cast<unsigned long long>(v->number >> 4 & 0xF),
                      static_cast<unsigned long long>(v->number & 0xF));
        add(std::string("version ") + text16);
    }
    if (text.empty()) return std::nullopt;
    return text;
}

}  // namespace

BTRecordSummary Summarize(const BTRecord& record) {
    BTRecordSummary summary;
    const std::vector<BTUUID> classes = record.Classes();
    for (const BTUUID& c : classes) summary.classes.push_back(uuidLabel(c));

    if (const BTAttribute* main = record.Find(0x0004))
        stacks(record, record.Value(*main), summary.protocols);
    if (const BTElement* more = value(record, 0x000D, BTElementType::Sequence))
        for (const BTElement& list : record.Children(*more))
            stacks(record, list, summary.protocols);

    if (const BTElement* profiles = value(record, 0x0009, BTElementType::Sequence)) {
        for (const BTElement& p : record.Children(*profiles)) {
            const std::span<const BTElement> items = record.Children(p);
            if (items.empty() || !items[0].isUuid()) continue;
            std::string line = uuidLabel(items[0].uuid());
            if (items.size() > 1 && items[1].type == BTElementType::Uint16)
                line.append(" ").append(version(items[1].number));
            summary.profiles.push_back(std::move(line));
        }
    }
    summary.deviceId = deviceId(record, classes);
    return summary;
}

}  // namespace Corvale
