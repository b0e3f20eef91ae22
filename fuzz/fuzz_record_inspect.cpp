// Feeds arbitrary bytes to the record decoder and every rendering of what it
// read, and checks what each promises: the tree lies inside the bytes with
// its containers' children in order and its bounds kept, reading stops within
// the record and nothing in the tree starts after the stop, the JSON dumps
// strictly and parses back with the same attributes and stop, the XML is
// well-formed for expat with one <attribute> per attribute, and the text tree
// is valid UTF-8 that carries no control or direction character but the line
// end. Any broken promise aborts, as do the sanitizers.
#include <corvale/BTNames.h>
#include <corvale/BTRecord.h>
#include <corvale/bt/utf8.h>
#include <corvale/inspect/Json.h>
#include <corvale/inspect/Text.h>
#include <corvale/inspect/Xml.h>

#include <expat.h>

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

namespace {

using namespace Corvale;

void require(bool condition) {
    if (!condition) std::abort();
}

std::size_t checkElement(const BTRecord& r, const BTElement& e, unsigned level) {
    const std::size_t n = r.Bytes().size();
    require(e.size > 0 && std::size_t{e.offset} + e.size <= n);
    if (r.MalformedAt()) require(e.offset < *r.MalformedAt());
    if (e.isText()) require(std::size_t{e.first} + e.count == std::size_t{e.offset} + e.size);
    std::size_t elements = 1;
    if (!e.isContainer()) return elements;
    require(level <= BTRecord::kMaxDepth);
    std::size_t at = e.offset + 1u + (1u << ((r.Bytes()[e.offset] & 7) - 5));
    for (const BTElement& c : r.Children(e)) {
        require(c.offset == at);
        elements += checkElement(r, c, level + 1);
        at = c.offset + std::size_t{c.size};
    }
    require(at <= std::size_t{e.offset} + e.size);
    if (!r.MalformedAt()) require(at == std::size_t{e.offset} + e.size);
    return elements;
}

void checkTree(const BTRecord& r) {
    require(r.MalformedAt().has_value() == (r.Stop() != BTRecordStop::None));
    if (r.MalformedAt()) require(*r.MalformedAt() <= r.Bytes().size());
    require(r.Elements().size() <= BTRecord::kMaxElements);
    std::size_t reached = 0;
    for (const BTAttribute& a : r.Attributes()) {
        require(a.value < r.Elements().size());
        reached += checkElement(r, r.Value(a), 2);
    }
    require(reached <= r.Elements().size());
}

void checkJson(const BTRecord& r) {
    const Inspect::Json document = Inspect::recordJson(r);
    std::string text;
    try {
        text = document.dump();  // strict: throws on a string that is not UTF-8
    } catch (...) {
        std::abort();
    }
    const auto parsed = nlohmann::json::parse(text, nullptr, false);
    require(!parsed.is_discarded());
    require(parsed["attributes"].size() == r.Attributes().size());
    if (r.MalformedAt())
        require(parsed["malformed_at"] == *r.MalformedAt());
    else
        require(parsed["malformed_at"].is_null());
}

void checkXml(const BTRecord& r) {
    const std::string xml = Inspect::recordXml(r);
    std::size_t attributes = 0;
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetUserData(parser, &attributes);
    XML_SetStartElementHandler(parser, [](void* data, const XML_Char* name, const XML_Char**) {
        *static_cast<std::size_t*>(data) += std::string(name) == "attribute";
    });
    const bool wellFormed =
        XML_Parse(parser, xml.data(), static_cast<int>(xml.size()), 1) == XML_STATUS_OK;
    XML_ParserFree(parser);
    require(wellFormed);
    require(attributes == r.Attributes().size());
}

void checkText(const std::string& text) {
    for (std::size_t at = 0; at < text.size();) {
        const Bt::Utf8Step step = Bt::decodeUtf8(text, at);
        require(step.valid);
        const char32_t c = step.codePoint;
        require(c == '\n' || (c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0)));
        require(!(c >= 0x202A && c <= 0x202E) && !(c >= 0x2066 && c <= 0x2069) && c != 0x200E &&
                c != 0x200F && c != 0x061C && c != 0x2028 && c != 0x2029);
        at += step.length;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const BTRecord r = BTRecord::Decode(std::span<const std::uint8_t>(data, size));
    require(r.Bytes().size() == size);
    checkTree(r);
    checkJson(r);
    checkXml(r);
    checkText(Inspect::recordText(r));
    for (const BTAttribute& a : r.Attributes()) {
        checkText(Inspect::attributeText(r, a));
        (void)AttributeName(r, a.id);
    }
    return 0;
}
