#include <corvale/BTNames.h>
#include <corvale/bt/utf8.h>
#include <corvale/bt/uuid.h>
#include <corvale/inspect/Json.h>

namespace Corvale::Inspect {

namespace {

constexpr char kHex[] = "0123456789abcdef";

std::string hex(const std::uint8_t* bytes, std::size_t n) {
    std::string text;
    text.reserve(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        text += kHex[bytes[i] >> 4];
        text += kHex[bytes[i] & 0xF];
    }
    return text;
}

// "0x" and the 16 hex digits of a 64-bit value (two's complement for a
// signed one).
std::string hex64(std::uint64_t value) {
    std::string text = "0x";
    for (int shift = 60; shift >= 0; shift -= 4) text += kHex[value >> shift & 0xF];
    return text;
}

// The bytes as UTF-8, each ill-formed subpart as U+FFFD.
std::string wellFormed(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        const Bt::Utf8Step step = Bt::decodeUtf8(bytes, at);
        if (step.valid)
            out.append(bytes.substr(at, step.length));
        else
            Bt::appendUtf8(out, 0xFFFD);
        at += step.length;
    }
    return out;
}

}  // namespace

std::string uuidJsonText(const BTUUID& uuid) {
    return Bt::uuidText(Bt::uuidBytes(uuid.guid()));
}

Json elementJson(const BTRecord& record, const BTElement& e) {
    Json j = Json::object();
    j["type"] = std::string(TypeName(e.type));
    switch (e.type) {
        case BTElementType::Nil:
            j["value"] = nullptr;
            break;
        case BTElementType::Uint8:
        case BTElementType::Uint16:
        case BTElementType::Uint32:
            j["value"] = e.number;
            break;
        case BTElementType::Int8:
        case BTElementType::Int16:
        case BTElementType::Int32:
            j["value"] = e.asSigned();
            break;
        case BTElementType::Uint64:
        case BTElementType::Int64:
            j["value"] = hex64(e.number);
            break;
        case BTElementType::Uint128:
        case BTElementType::Int128:
            j["value"] = "0x" + hex(e.wide.data(), e.wide.size());
            break;
        case BTElementType::Uuid16:
        case BTElementType::Uuid32:
        case BTElementType::Uuid128: {
            const BTUUID uuid = e.uuid();
            j["value"] = uuidJsonText(uuid);
            if (const auto name = UuidName(uuid)) j["name"] = std::string(*name);
            break;
        }
        case BTElementType::Text:
        case BTElementType::Url: {
            const std::string_view bytes = record.Text(e);
            j["value"] = wellFormed(bytes);
            if (!Bt::isValidUtf8(bytes))
                j["hex"] = hex(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
            break;
        }
        case BTElementType::Bool:
            j["value"] = e.number != 0;
            break;
        case BTElementType::Sequence:
        case BTElementType::Alternative: {
            Json children = Json::array();
            for (const BTElement& child : record.Children(e))
                children.push_back(elementJson(record, child));
            j["value"] = std::move(children);
            break;
        }
    }
    return j;
}

namespace {

Json attribute(const BTRecord& record, const BTAttribute& a,
               const std::optional<std::string>& name) {
    Json j = Json::object();
    j["id"] = a.id;
    j["name"] = name ? Json(*name) : Json(nullptr);
    j["value"] = elementJson(record, record.Value(a));
    return j;
}

}  // namespace

Json attributeJson(const BTRecord& record, const BTAttribute& a) {
    return attribute(record, a, AttributeName(record, a.id));
}

Json recordJson(const BTRecord& record) {
    const BTAttributeNamer name(record);
    Json attributes = Json::array();
    for (const BTAttribute& a : record.Attributes())
        attributes.push_back(attribute(record, a, name(a.id)));
    Json j = Json::object();
    j["attributes"] = std::move(attributes);
    const auto at = record.MalformedAt();
    j["malformed_at"] = at ? Json(*at) : Json(nullptr);
    return j;
}

std::string jsonText(const Json& document, int indent) {
    // Every string in our documents is valid UTF-8; the replacing handler
    // only keeps a fault of ours from ending the program.
    std::string text =
        document.dump(indent < 0 ? -1 : indent, ' ', false, Json::error_handler_t::replace);
    if (indent >= 0) text += '\n';
    return text;
}

}  // namespace Corvale::Inspect
