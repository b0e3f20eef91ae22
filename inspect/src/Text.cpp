#include <corvale/BTNames.h>
#include <corvale/bt/utf8.h>
#include <corvale/bt/uuid.h>
#include <corvale/inspect/Text.h>

#include <cstdio>

namespace Corvale::Inspect {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

// "0x" and `digits` upper-case hex digits.
std::string hex(std::uint64_t value, int digits) {
    std::string text = "0x";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) text += kHex[value >> shift & 0xF];
    return text;
}

std::string hexBytes(const std::uint8_t* bytes, std::size_t n, const char* separator = "") {
    std::string text;
    text.reserve(n * 3);
    for (std::size_t i = 0; i < n; ++i) {
        if (i != 0) text += separator;
        text += kHex[bytes[i] >> 4];
        text += kHex[bytes[i] & 0xF];
    }
    return text;
}

// Characters that would steer a terminal or reorder a line, or that cannot
// be seen: C0, DEL and C1 controls, direction marks, embeddings, overrides and
// isolates, zero-width and invisible formatting characters, line and
// paragraph separators, tag characters and the non-characters U+FFFE/U+FFFF.
bool mustEscape(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0xAD || c == 0x061C || c == 0x180E ||
           (c >= 0x200B && c <= 0x200F) || (c >= 0x2028 && c <= 0x202E) ||
           (c >= 0x2060 && c <= 0x206F) || c == 0xFEFF || (c >= 0xFFF9 && c <= 0xFFFB) ||
           c == 0xFFFE || c == 0xFFFF || (c >= 0xE0000 && c <= 0xE007F);
}

// A text is shown quoted when it is valid UTF-8 whose only control
// characters are line ends, tabs and NULs (a name often ends with one); any
// other bytes (a HID report descriptor, say) are shown as hex.
bool printable(std::string_view bytes) {
    for (std::size_t at = 0; at < bytes.size();) {
        const Bt::Utf8Step step = Bt::decodeUtf8(bytes, at);
        if (!step.valid) return false;
        const char32_t c = step.codePoint;
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != 0) || (c >= 0x7F && c < 0xA0))
            return false;
        at += step.length;
    }
    return true;
}

std::string count(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string uuidValue(const BTElement& e) {
    std::string text;
    switch (e.type) {
        case BTElementType::Uuid16:
            text = hex(e.number, 4);
            break;
        case BTElementType::Uuid32:
            text = hex(e.number, 8);
            break;
        default:
            text = Bt::uuidText(e.wide);
            break;
    }
    if (const auto name = UuidName(e.uuid())) text.append(" ").append(*name);
    return text;
}

std::string line(const BTRecord& record, const BTElement& e) {
    const std::string type(TypeName(e.type));
    if (e.isContainer()) return type + " (" + valueText(record, e) + ")";
    if (e.type == BTElementType::Nil) return type;
    return type + " " + valueText(record, e);
}

void tree(const BTRecord& record, const BTElement& e, std::size_t indent, std::string& out) {
    out.append(indent, ' ');
    out += line(record, e);
    out += '\n';
    for (const BTElement& child : record.Children(e)) tree(record, child, indent + 2, out);
}

std::string attributeLine(const BTRecord& record, const BTAttribute& a,
                          const std::optional<std::string>& name) {
    std::string text = hex(a.id, 4);
    if (name) text += " " + *name;
    return text + ": " + line(record, record.Value(a));
}

}  // namespace

std::string escapedText(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        const Bt::Utf8Step step = Bt::decodeUtf8(bytes, at);
        if (!step.valid) {
            for (std::size_t i = 0; i < step.length; ++i) {
                const auto b = static_cast<unsigned char>(bytes[at + i]);
                out += "\\x";
                out += kHex[b >> 4];
                out += kHex[b & 0xF];
            }
        } else {
            const char32_t c = step.codePoint;
            if (c == '"' || c == '\\') {
                out += '\\';
                out += static_cast<char>(c);
            } else if (c == '\n') {
                out += "\\n";
            } else if (c == '\r') {
                out += "\\r";
            } else if (c == '\t') {
                out += "\\t";
            } else if (c < 0x20 || c == 0x7F) {
                out += "\\x";
                out += kHex[c >> 4];
                out += kHex[c & 0xF];
            } else if (mustEscape(c)) {
                char escape[16];
                std::snprintf(escape, sizeof escape, "\\u{%04X}", static_cast<unsigned>(c));
                out += escape;
            } else {
                out.append(bytes.substr(at, step.length));
            }
        }
        at += step.length;
    }
    return out;
}

std::string valueText(const BTRecord& record, const BTElement& e) {
    switch (e.type) {
        case BTElementType::Nil:
            return "nil";
        case BTElementType::Uint8:
            return hex(e.number, 2) + " (" + std::to_string(e.number) + ")";
        case BTElementType::Uint16:
            return hex(e.number, 4) + " (" + std::to_string(e.number) + ")";
        case BTElementType::Uint32:
            return hex(e.number, 8) + " (" + std::to_string(e.number) + ")";
        case BTElementType::Uint64:
            return hex(e.number, 16) + " (" + std::to_string(e.number) + ")";
        case BTElementType::Int8:
        case BTElementType::Int16:
        case BTElementType::Int32:
        case BTElementType::Int64:
            return std::to_string(e.asSigned());
        case BTElementType::Uint128:
        case BTElementType::Int128:
            return "0x" + hexBytes(e.wide.data(), e.wide.size());
        case BTElementType::Uuid16:
        case BTElementType::Uuid32:
        case BTElementType::Uuid128:
            return uuidValue(e);
        case BTElementType::Text:
        case BTElementType::Url: {
            const std::string_view bytes = record.Text(e);
            std::string shown;
            if (printable(bytes)) {
                shown.append("\"").append(escapedText(bytes)).append("\"");
            } else {
                shown.append(count(bytes.size(), "byte", "bytes")).append(": ");
                shown.append(hexBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                      bytes.size(), " "));
            }
            return shown;
        }
        case BTElementType::Bool:
            return e.number ? "true" : "false";
        case BTElementType::Sequence:
        case BTElementType::Alternative:
            return e.count == 0 ? std::string("empty") : count(e.count, "element", "elements");
    }
    return {};
}

std::string stopText(const BTRecord& record) {
    const auto at = record.MalformedAt();
    if (!at) return {};
    std::string why;
    switch (record.Stop()) {
        case BTRecordStop::TooDeep:
            why =
                "containers nested deeper than " + std::to_string(BTRecord::kMaxDepth) + " levels";
            break;
        case BTRecordStop::TooManyElements:
            why = "more than " + std::to_string(BTRecord::kMaxElements) + " elements";
            break;
        default:
            why = record.Bytes().empty() ? "the record is empty" : "malformed data element";
            break;
    }
    return "Reading stopped at byte " + std::to_string(*at) + ": " + why;
}

std::vector<std::string> summaryLines(const BTRecord& record) {
    const BTRecordSummary s = Summarize(record);
    const auto joined = [](const std::vector<std::string>& parts) {
        std::string text;
        for (const std::string& p : parts) text += (text.empty() ? "" : ", ") + p;
        return text;
    };
    std::vector<std::string> lines;
    if (!s.classes.empty())
        lines.push_back((s.classes.size() == 1 ? "Service class: " : "Service classes: ") +
                        joined(s.classes));
    for (const std::string& stack : s.protocols) lines.push_back("Protocols: " + stack);
    if (!s.profiles.empty())
        lines.push_back((s.profiles.size() == 1 ? "Profile: " : "Profiles: ") + joined(s.profiles));
    if (s.deviceId) lines.push_back("Device ID: " + *s.deviceId);
    return lines;
}

std::string attributeText(const BTRecord& record, const BTAttribute& attribute) {
    std::string out = attributeLine(record, attribute, AttributeName(record, attribute.id));
    out += '\n';
    for (const BTElement& child : record.Children(record.Value(attribute)))
        tree(record, child, 2, out);
    return out;
}

std::string elementText(const BTRecord& record, const BTElement& element) {
    std::string out;
    tree(record, element, 0, out);
    return out;
}

std::string recordText(const BTRecord& record) {
    std::string out;
    for (const std::string& l : summaryLines(record)) out += l + "\n";
    const BTAttributeNamer name(record);
    for (const BTAttribute& a : record.Attributes()) {
        out += attributeLine(record, a, name(a.id));
        out += '\n';
        for (const BTElement& child : record.Children(record.Value(a))) tree(record, child, 2, out);
    }
    if (const std::string stop = stopText(record); !stop.empty()) out += stop + "\n";
    return out;
}

}  // namespace Corvale::Inspect
