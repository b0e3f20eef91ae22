// The record-XML writer: each element type in the form BlueZ reads, and a
// well-formed document (checked by expat, a real XML parser) that gives back
// every text byte for byte, however hostile the text.
#include "xml_document.h"

#include <corvale/bt/record_xml.h>
#include <gtest/gtest.h>

namespace {

using Corvale::Bt::recordXml;
using E = Corvale::Bt::RecordElement;
using Corvale::Bt::Sdp::Type;
using xmltest::Node;
using xmltest::parse;

// A GUID of our own: the writer takes any type with the four fields.
struct Guid {
    std::uint32_t Data1;
    std::uint16_t Data2, Data3;
    std::uint8_t Data4[8];
};

const std::string kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<record>\n";

std::string oneAttribute(const std::string& idText, const std::string& valueXml) {
    return kHead + "  <attribute id=\"" + idText + "\">\n" + valueXml +
           "  </attribute>\n</record>\n";
}

TEST(RecordXml, WritesEveryElementTypeInBlueZsForm) {
    const Corvale::Bt::UuidBytes wide = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF,
                                         0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0xFF};
    const Guid base{0x1101, 0, 0x1000, {0x80, 0, 0, 0x80, 0x5F, 0x9B, 0x34, 0xFB}};
    Guid base32 = base, other = base;
    base32.Data1 = 0x123456, other.Data3 = 0x1001;
    E badUuid = E::uuid16(1), reserved;
    badUuid.size = 3, reserved.type = static_cast<Type>(9);
    const struct {
        E element;
        std::string xml;
    } cases[] = {
        {E::nil(), "<nil />"},
        {E::boolean(true), "<boolean value=\"true\" />"},
        {E::boolean(false), "<boolean value=\"false\" />"},
        {E::unsignedInt(1, 9), "<uint8 value=\"0x09\" />"},
        {E::unsignedInt(2, 0x1BEEF), "<uint16 value=\"0xbeef\" />"},
        {E::unsignedInt(4, 0xDEADBEEF), "<uint32 value=\"0xdeadbeef\" />"},
        {E::unsignedInt(8, ~0ull), "<uint64 value=\"0xffffffffffffffff\" />"},
        {E::int128(false, wide), "<uint128 value=\"0123456789abcdef00112233445566ff\" />"},
        {E::signedInt(1, -1), "<int8 value=\"-1\" />"},
        {E::signedInt(1, 127), "<int8 value=\"127\" />"},
        {E::signedInt(2, -32768), "<int16 value=\"-32768\" />"},
        {E::signedInt(4, -2147483647 - 1), "<int32 value=\"-2147483648\" />"},
        {E::signedInt(8, -2), "<int64 value=\"-2\" />"},
        {E::int128(true, wide), "<int128 value=\"0123456789abcdef00112233445566ff\" />"},
        {E::uuid16(0x0100), "<uuid value=\"0x0100\" />"},
        {E::uuid32(0x00011105), "<uuid value=\"0x00011105\" />"},
        {E::uuid128(wide), "<uuid value=\"01234567-89ab-cdef-0011-2233445566ff\" />"},
        {E::uuid(base), "<uuid value=\"0x1101\" />"},
        {E::uuid(base32), "<uuid value=\"0x00123456\" />"},
        {E::uuid(other), "<uuid value=\"00001101-0000-1001-8000-00805f9b34fb\" />"},
        {E::text("Serial Port"), "<text value=\"Serial Port\" />"},
        {E::url("http://x/?a&b"), "<url value=\"http://x/?a&amp;b\" />"},
        {E::text("<Mara's \"phone\">"), "<text value=\"&lt;Mara&apos;s &quot;phone&quot;&gt;\" />"},
        {E::text("a\x01z"), "<text encoding=\"hex\" value=\"61017a\" />"},
        // Sizes and types that SDP does not have.
        {E::unsignedInt(3, 7), "<nil />"},
        {E::signedInt(0, 7), "<nil />"},
        {badUuid, "<nil />"},
        {reserved, "<nil />"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(recordXml({{0x0200, c.element}}), oneAttribute("0x0200", "    " + c.xml + "\n"))
            << c.xml;

    const E nested =
        E::alternative({E::sequence({E::unsignedInt(1, 1)}), E::sequence({}), E::alternative({})});
    EXPECT_EQ(recordXml({{0x0004, nested}, {0xFFFF, E::text("x")}}),
              kHead +
                  "  <attribute id=\"0x0004\">\n    <alternate>\n      <sequence>\n"
                  "        <uint8 value=\"0x01\" />\n      </sequence>\n      <sequence>\n"
                  "      </sequence>\n      <alternate>\n      </alternate>\n"
                  "    </alternate>\n  </attribute>\n"
                  "  <attribute id=\"0xffff\">\n    <text value=\"x\" />\n  </attribute>\n"
                  "</record>\n");
    EXPECT_EQ(recordXml({}), kHead + "</record>\n");
}

TEST(RecordXml, HostileTextsStayWellFormedAndComeBackByteForByte) {
    using namespace std::string_literals;
    const struct {
        std::string bytes;
        bool hex;
    } cases[] = {
        {"Chat & <co> \"1\" 'a' > x", false},
        {"<b>bold</b>]]>&amp;<!--", false},
        {"caf\xC3\xA9 \xF0\x9F\x93\xB1 \xEF\xBF\xBD", false},  // e-acute, a phone, U+FFFD
        {"\xE2\x80\xAE"
         "desrever",
         false},  // a bidi override is a character like any other
        {"", false},
        {"tab\there", true},
        {"line\nbreak\r", true},
        {"nul\0inside"s, true},
        {"del\x7F", true},
        {"next line \xC2\x85", true},      // a C1 control
        {"\xEF\xBF\xBE", true},            // U+FFFE, not an XML character
        {"\xEF\xBF\xBF", true},            // U+FFFF
        {"\xFF\xFE", true},                // never UTF-8
        {"cut \xC3", true},                // a sequence cut short
        {"\x80 lone continuation", true},  //
        {"\xC0\x80", true},                // overlong NUL
        {"\xED\xA0\x80", true},            // a surrogate
        {"\xF4\x90\x80\x80", true},        // past U+10FFFF
        {std::string(70000, '&'), false},  // long, all escaped
    };
    for (const auto& c : cases) {
        for (const E& element : {E::text(c.bytes), E::url(c.bytes)}) {
            const std::string xml = recordXml({{0x0100, element}, {0x0101, E::text("after")}});
            const auto nodes = parse(xml);
            const std::string tag = element.type == Type::Text ? "text" : "url";
            ASSERT_TRUE(nodes) << tag << " " << c.bytes.substr(0, 40);
            ASSERT_EQ(nodes->size(), 5u);
            const Node& n = (*nodes)[2];
            EXPECT_EQ(n.name, tag);
            EXPECT_EQ(n.attributes.count("encoding"), c.hex ? 1u : 0u) << c.bytes.substr(0, 40);
            EXPECT_EQ(xmltest::textBytes(n), c.bytes);
            EXPECT_EQ((*nodes)[4].attributes.at("value"), "after");
        }
    }
}

TEST(RecordXml, LeavesOutWhatIsNestedPast32Levels) {
    // A chain of `levels` sequences around one integer; the value of the
    // attribute is level 1.
    const auto chain = [](int levels) {
        E e = E::unsignedInt(1, 7);
        for (int i = 0; i < levels; ++i) e = E::sequence({e});
        return e;
    };
    const struct {
        int levels, sequences;
        bool leaf;
    } cases[] = {{31, 31, true}, {32, 32, false}, {200, 32, false}};
    for (const auto& [levels, sequences, leaf] : cases) {
        const auto nodes = parse(recordXml({{0x0001, chain(levels)}}));
        ASSERT_TRUE(nodes) << levels;
        int written = 0, leaves = 0;
        for (const Node& n : *nodes) written += n.name == "sequence", leaves += n.name == "uint8";
        EXPECT_EQ(written, sequences) << levels;
        EXPECT_EQ(leaves, leaf ? 1 : 0) << levels;
    }
}

}  // namespace
