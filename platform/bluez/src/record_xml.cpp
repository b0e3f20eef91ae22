#include "record_xml.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace Corvale::Bluez {

namespace {

using Type = RecordElement::Type;

constexpr UCHAR kBase4[8] = {0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB};

bool onBase(const GUID& g) {
    return g.Data2 == 0 && g.Data3 == 0x1000 && std::memcmp(g.Data4, kBase4, 8) == 0;
}

bool validUtf8(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t extra;
        char32_t cp, min;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1, cp = c & 0x1F, min = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2, cp = c & 0x0F, min = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3, cp = c & 0x07, min = 0x10000;
        } else {
            return false;
        }
        if (s.size() - i <= extra) return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

std::string hex(const std::string& bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        out += kHex[u >> 4];
        out += kHex[u & 15];
    }
    return out;
}

std::string escaped(const std::string& s) {
    std::string out;
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
    return out;
}

// A text element: as it is when XML can carry it, else hex-encoded.
std::string xmlText(const char* tag, const std::string& s) {
    const bool plain = validUtf8(s) && std::none_of(s.begin(), s.end(), [](char c) {
                           const auto u = static_cast<unsigned char>(c);
                           return u < 0x20 || u == 0x7F;
                       });
    if (!plain) return std::string("<") + tag + " encoding=\"hex\" value=\"" + hex(s) + "\" />";
    return std::string("<") + tag + " value=\"" + escaped(s) + "\" />";
}

std::string leaf(const char* tag, const std::string& value) {
    return std::string("<") + tag + " value=\"" + value + "\" />";
}

std::string format(const char* pattern, std::uint64_t value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return buffer;
}

std::string integer(const RecordElement& e) {
    const bool isSigned = e.type == Type::Signed;
    if (e.size == 16)
        return e.text.size() == 16 ? leaf(isSigned ? "int128" : "uint128", hex(e.text)) : "<nil />";
    const unsigned bits = e.size * 8;
    if (e.size != 1 && e.size != 2 && e.size != 4 && e.size != 8) return "<nil />";
    const std::string tag = (isSigned ? "int" : "uint") + std::to_string(bits);
    if (!isSigned) {
        const std::uint64_t v = bits == 64 ? e.number : e.number & ((1ull << bits) - 1);
        return leaf(tag.c_str(), format(bits == 8    ? "0x%02" PRIx64
                                        : bits == 16 ? "0x%04" PRIx64
                                        : bits == 32 ? "0x%08" PRIx64
                                                     : "0x%016" PRIx64,
                                        v));
    }
    // Sign-extend the two's complement value of `bits` bits.
    std::uint64_t v = e.number;
    if (bits < 64) {
        v &= (1ull << bits) - 1;
        if (v >> (bits - 1)) v |= ~0ull << bits;
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%" PRId64, static_cast<std::int64_t>(v));
    return leaf(tag.c_str(), buffer);
}

std::string uuid(const RecordElement& e) {
    switch (e.size) {
        case 2:
            return leaf("uuid", format("0x%04" PRIx64, e.uuid.Data1 & 0xFFFFu));
        case 4:
            return leaf("uuid", format("0x%08" PRIx64, e.uuid.Data1));
        case 16:
            return leaf("uuid", uuidText(e.uuid));
        default:
            return "<nil />";
    }
}

void write(std::string& out, const RecordElement& e, int depth) {
    // Nested deeper than any real record: the rest is left out rather than
    // followed down.
    constexpr int kMaxDepth = 32;
    const std::string indent(2 * static_cast<std::size_t>(depth), ' ');
    out += indent;
    switch (e.type) {
        case Type::Nil:
            out += "<nil />";
            break;
        case Type::Unsigned:
        case Type::Signed:
            out += integer(e);
            break;
        case Type::Uuid:
            out += uuid(e);
            break;
        case Type::Text:
            out += xmlText("text", e.text);
            break;
        case Type::Url:
            out += xmlText("url", e.text);
            break;
        case Type::Boolean:
            out += leaf("boolean", e.number ? "true" : "false");
            break;
        case Type::Sequence:
        case Type::Alternative: {
            const char* tag = e.type == Type::Sequence ? "sequence" : "alternate";
            out += std::string("<") + tag + ">\n";
            if (depth < kMaxDepth)
                for (const RecordElement& child : e.children) write(out, child, depth + 1);
            out += indent + "</" + tag + ">";
            break;
        }
    }
    out += "\n";
}

}  // namespace

std::string uuidText(const GUID& g) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                  static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                  g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buffer;
}

std::string recordXml(const std::vector<RecordAttribute>& attributes) {
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<record>\n";
    for (const RecordAttribute& a : attributes) {
        x += "  <attribute id=\"" + format("0x%04" PRIx64, a.id) + "\">\n";
        write(x, a.value, 2);
        x += "  </attribute>\n";
    }
    return x + "</record>\n";
}

RecordElement shortestUuid(const GUID& g) {
    RecordElement e;
    e.type = Type::Uuid;
    e.uuid = g;
    e.size = !onBase(g) ? 16 : g.Data1 <= 0xFFFF ? 2 : 4;
    return e;
}

RecordElement unsigned8(std::uint8_t value) {
    RecordElement e;
    e.type = Type::Unsigned;
    e.size = 1;
    e.number = value;
    return e;
}

RecordElement text(std::string value) {
    RecordElement e;
    e.type = Type::Text;
    e.text = std::move(value);
    return e;
}

RecordElement sequence(std::vector<RecordElement> children) {
    RecordElement e;
    e.type = Type::Sequence;
    e.children = std::move(children);
    return e;
}

}  // namespace Corvale::Bluez
