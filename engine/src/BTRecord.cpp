#include <corvale/BTRecord.h>

#include <algorithm>

namespace Corvale {

std::string_view TypeName(BTElementType type) {
    static constexpr std::string_view kNames[] = {
        "nil",   "uint8", "uint16",   "uint32",      "uint64", "uint128", "int8",
        "int16", "int32", "int64",    "int128",      "uuid16", "uuid32",  "uuid128",
        "text",  "bool",  "sequence", "alternative", "url"};
    const auto i = static_cast<std::size_t>(type);
    return i < std::size(kNames) ? kNames[i] : std::string_view("nil");
}

BTUUID BTElement::uuid() const {
    switch (type) {
        case BTElementType::Uuid16:
        case BTElementType::Uuid32:
            return BTUUID(static_cast<std::uint32_t>(number));
        case BTElementType::Uuid128:
            return BTUUID(Bt::guidFromBytes<GUID>(wide.data()));
        default:
            return BTUUID();
    }
}

std::string BTLanguageBase::code() const {
    const char high = static_cast<char>(language >> 8), low = static_cast<char>(language & 0xFF);
    if (high >= 'a' && high <= 'z' && low >= 'a' && low <= 'z') return {high, low};
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text = "0x";
    for (int shift = 12; shift >= 0; shift -= 4) text += kDigits[(language >> shift) & 0xF];
    return text;
}

std::span<const BTElement> BTRecord::Children(const BTElement& element) const {
    if (!element.isContainer() || element.first > elements.size() ||
        element.count > elements.size() - element.first)
        return {};
    return std::span<const BTElement>(elements).subspan(element.first, element.count);
}

std::string_view BTRecord::Text(const BTElement& element) const {
    if (!element.isText() || element.first > bytes.size() ||
        element.count > bytes.size() - element.first)
        return {};
    return std::string_view(reinterpret_cast<const char*>(bytes.data()) + element.first,
                            element.count);
}

const BTAttribute* BTRecord::Find(std::uint16_t id) const {
    const auto it = std::find_if(attributes.begin(), attributes.end(),
                                 [id](const BTAttribute& a) { return a.id == id; });
    return it == attributes.end() ? nullptr : &*it;
}

std::vector<BTUUID> BTRecord::Classes() const {
    std::vector<BTUUID> classes;
    if (const BTAttribute* list = Find(0x0001))
        for (const BTElement& e : Children(Value(*list)))
            if (e.isUuid()) classes.push_back(e.uuid());
    return classes;
}

std::vector<BTLanguageBase> BTRecord::Languages() const {
    std::vector<BTLanguageBase> languages;
    const BTAttribute* list = Find(0x0006);
    if (list == nullptr) return languages;
    const std::span<const BTElement> items = Children(Value(*list));
    for (std::size_t i = 0; i + 3 <= items.size(); i += 3) {
        if (items[i].type != BTElementType::Uint16 || items[i + 1].type != BTElementType::Uint16 ||
            items[i + 2].type != BTElementType::Uint16)
            break;
        languages.push_back({static_cast<std::uint16_t>(items[i].number),
                             static_cast<std::uint16_t>(items[i + 1].number),
                             static_cast<std::uint16_t>(items[i + 2].number)});
    }
    return languages;
}

// Not yet: the decoder through the platform's SDP functions.
BTRecord BTRecord::Decode(std::span<const std::uint8_t> in) {
    BTRecord record;
    Decode(in, record);
    return record;
}

void BTRecord::Decode(std::span<const std::uint8_t> in, BTRecord& into) {
    into.bytes.assign(in.begin(), in.end());
    into.elements.clear();
    into.attributes.clear();
    into.malformedAt = 0;
    into.stop = BTRecordStop::Malformed;
}

// Not yet: the summaries.
BTRecordSummary Summarize(const BTRecord&) {
    return {};
}

}  // namespace Corvale
