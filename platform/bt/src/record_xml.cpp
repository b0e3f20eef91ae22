#include <corvale/bt/record_xml.h>
#include <corvale/bt/utf8.h>

#include <charconv>

namespace Corvale::Bt {

namespace {

using Type = Sdp::Type;

constexpr char kHexDigits[] = "0123456789abcdef";

void appendHex(std::string& out, std::uint8_t byte) {
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0xF];
}

// Whether XML carries the text as it is in an attribute value: well-formed
// UTF-8 of characters that XML 1.0 allows and that survive attribute value
// normalisation (a tab or a line break would come back as a space), without
// the C0 and C1 controls, which no reader expects in a name.
bool plainText(const std::string& s) {
    for (std::size_t at = 0; at < s.size();) {
        const Utf8Step step = decodeUtf8(s, at);
        const char32_t c = step.codePoint;
        if (!step.valid || c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0xFFFE || c == 0xFFFF)
            return false;
        at += step.length;
    }
    return true;
}

void appendEscaped(std::string& out, const std::string& s) {
    for (char c : s) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                out += c;
        }
    }
}

// A text or URL element: as it is when XML can carry it, else hex-encoded.
void appendText(std::string& out, const char* tag, const std::string& s) {
    out += '<';
    out += tag;
    if (plainText(s)) {
        out += " value=\"";
        appendEscaped(out, s);
    } else {
        out += " encoding=\"hex\" value=\"";
        for (char c : s) appendHex(out, static_cast<std::uint8_t>(c));
    }
    out += "\" />";
}

void appendLeaf(std::string& out, const char* tag, std::string_view value) {
    out += '<';
    out += tag;
    out += " value=\"";
    out += value;
    out += "\" />";
}

// "0x" and the low `bytes` bytes of the value, every digit written.
std::string hexNumber(std::uint64_t value, unsigned bytes) {
    std::string s = "0x";
    for (unsigned i = bytes; i-- > 0;) appendHex(s, static_cast<std::uint8_t>(value >> (8 * i)));
    return s;
}

std::string hexBytes(const UuidBytes& bytes) {
    std::string s;
    for (std::uint8_t b : bytes) appendHex(s, b);
    return s;
}

bool integerSize(unsigned size) {
    return size == 1 || size == 2 || size == 4 || size == 8 || size == 16;
}

void appendInteger(std::string& out, const RecordElement& e) {
    const bool isSigned = e.type == Type::Int;
    if (!integerSize(e.size)) {
        out += "<nil />";
        return;
    }
    const std::string tag = (isSigned ? "int" : "uint") + std::to_string(e.size * 8);
    if (e.size == 16) return appendLeaf(out, tag.c_str(), hexBytes(e.wide));
    if (!isSigned) return appendLeaf(out, tag.c_str(), hexNumber(e.number, e.size));
    // Sign-extend the two's complement value of `bits` bits.
    const unsigned bits = e.size * 8;
    std::uint64_t v = e.number;
    if (bits < 64) {
        v &= (std::uint64_t{1} << bits) - 1;
        if (v >> (bits - 1)) v |= ~std::uint64_t{0} << bits;
    }
    char buffer[24];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, static_cast<std::int64_t>(v)).ptr;
    appendLeaf(out, tag.c_str(), std::string_view(buffer, static_cast<std::size_t>(end - buffer)));
}

void appendUuid(std::string& out, const RecordElement& e) {
    switch (e.size) {
        case 2:
        case 4:
            return appendLeaf(out, "uuid", hexNumber(e.number, e.size));
        case 16:
            return appendLeaf(out, "uuid", uuidText(e.wide));
        default:
            out += "<nil />";
    }
}

// Levels count from the attribute's value, level 1; its markup is indented
// by two steps, one for <record> and one for <attribute>.
void write(std::string& out, const RecordElement& e, unsigned level) {
    // Nested deeper than any real record (and than the platform's SDP
    // decoder follows): the rest is left out rather than followed down.
    constexpr unsigned kMaxLevels = 32;
    const std::string indent(2 * (level + 1), ' ');
    out += indent;
    switch (e.type) {
        case Type::Nil:
            out += "<nil />";
            break;
        case Type::Uint:
        case Type::Int:
            appendInteger(out, e);
            break;
        case Type::Uuid:
            appendUuid(out, e);
            break;
        case Type::Text:
            appendText(out, "text", e.bytes);
            break;
        case Type::Url:
            appendText(out, "url", e.bytes);
            break;
        case Type::Boolean:
            appendLeaf(out, "boolean", e.number ? "true" : "false");
            break;
        case Type::Sequence:
        case Type::Alternative: {
            const char* tag = e.type == Type::Sequence ? "sequence" : "alternate";
            out += std::string("<") + tag + ">\n";
            if (level < kMaxLevels)
                for (const RecordElement& child : e.children) write(out, child, level + 1);
            out += indent + "</" + tag + ">";
            break;
        }
        default:  // a type descriptor that SDP reserves
            out += "<nil />";
    }
    out += "\n";
}

RecordElement make(Type type, unsigned size, std::uint64_t number) {
    RecordElement e;
    e.type = type, e.size = size, e.number = number;
    return e;
}

}  // namespace

std::string recordXml(const std::vector<RecordAttribute>& attributes) {
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<record>\n";
    for (const RecordAttribute& a : attributes) {
        x += "  <attribute id=\"" + hexNumber(a.id, 2) + "\">\n";
        write(x, a.value, 1);
        x += "  </attribute>\n";
    }
    return x + "</record>\n";
}

RecordElement RecordElement::nil() {
    return {};
}
RecordElement RecordElement::boolean(bool value) {
    return make(Type::Boolean, 1, value ? 1 : 0);
}
RecordElement RecordElement::unsignedInt(unsigned size, std::uint64_t value) {
    return make(Type::Uint, size, value);
}
RecordElement RecordElement::signedInt(unsigned size, std::int64_t value) {
    return make(Type::Int, size, static_cast<std::uint64_t>(value));
}
RecordElement RecordElement::int128(bool isSigned, const UuidBytes& value) {
    RecordElement e = make(isSigned ? Type::Int : Type::Uint, 16, 0);
    e.wide = value;
    return e;
}
RecordElement RecordElement::uuid16(std::uint16_t value) {
    return make(Type::Uuid, 2, value);
}
RecordElement RecordElement::uuid32(std::uint32_t value) {
    return make(Type::Uuid, 4, value);
}
RecordElement RecordElement::uuid128(const UuidBytes& value) {
    RecordElement e = make(Type::Uuid, 16, 0);
    e.wide = value;
    return e;
}
RecordElement RecordElement::text(std::string bytes) {
    RecordElement e = make(Type::Text, 0, 0);
    e.bytes = std::move(bytes);
    return e;
}
RecordElement RecordElement::url(std::string bytes) {
    RecordElement e = make(Type::Url, 0, 0);
    e.bytes = std::move(bytes);
    return e;
}
RecordElement RecordElement::sequence(std::vector<RecordElement> children) {
    RecordElement e = make(Type::Sequence, 0, 0);
    e.children = std::move(children);
    return e;
}
RecordElement RecordElement::alternative(std::vector<RecordElement> children) {
    RecordElement e = make(Type::Alternative, 0, 0);
    e.children = std::move(children);
    return e;
}

}  // namespace Corvale::Bt
