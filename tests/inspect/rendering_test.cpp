// Every rendering of a decoded record: each element type in the JSON, text
// and XML forms, one whole record in each form word for word (the formats
// scripts read), hostile records through all of them (JSON parses back with
// every text byte recoverable, XML is well-formed for expat with every text
// byte recoverable, the text tree carries no character that steers a
// terminal), and the command-line documents.
#include "record_test_support.h"
#include "terminal_text.h"
#include "xml_document.h"

#include <corvale/inspect/Documents.h>
#include <corvale/inspect/Json.h>
#include <corvale/inspect/Text.h>
#include <corvale/inspect/Xml.h>

using namespace sdptest;
using namespace Corvale::Inspect;
using Corvale::BTDevice;
using Corvale::BTService;
using Corvale::BTUUID;

namespace {

// The one value of a record {0x0200: bytes}.
struct One {
    BTRecord record;
    const BTElement& element() const { return record.Value(record.Attributes().at(0)); }
};
One one(const Bytes& value) {
    return {decode(record({{0x0200, value}}))};
}

const Bytes kUuid128 = uuid128(0x123456789ABCDEF0ull, 0x1122334455667788ull),
            kSerial128 = uuid128(0x0000110100001000ull, 0x800000805F9B34FBull);

// Each element type as the JSON, the text tree and the XML write it (an
// empty form is not checked for that row).
TEST(ElementForms, EachTypeAsJsonTextAndXmlWriteIt) {
    const struct {
        Bytes value;
        std::string json, text, xml;
    } cases[] = {
        {nil(), R"({"type":"nil","value":null})", "nil", "<nil />"},
        {uint8(0xFE), R"({"type":"uint8","value":254})", "0xFE (254)", R"(<uint8 value="0xfe" />)"},
        {uint8(12), "", "0x0C (12)", R"(<uint8 value="0x0c" />)"},
        {uint16(0x0108), R"({"type":"uint16","value":264})", "0x0108 (264)",
         R"(<uint16 value="0x0108" />)"},
        {uint32(0xDEADBEEF), R"({"type":"uint32","value":3735928559})", "0xDEADBEEF (3735928559)",
         R"(<uint32 value="0xdeadbeef" />)"},
        {uint64(0x0002030405060708), R"({"type":"uint64","value":"0x0002030405060708"})",
         "0x0002030405060708 (566265752454920)", R"(<uint64 value="0x0002030405060708" />)"},
        {cat({{0x0C}, k16}), R"({"type":"uint128","value":"0x8899aabbccddeeff0011223344556677"})",
         "0x8899AABBCCDDEEFF0011223344556677",
         R"(<uint128 value="8899aabbccddeeff0011223344556677" />)"},
        {int8(-128), R"({"type":"int8","value":-128})", "-128", R"(<int8 value="-128" />)"},
        {int16(-32767), R"({"type":"int16","value":-32767})", "-32767",
         R"(<int16 value="-32767" />)"},
        {int32(-2), R"({"type":"int32","value":-2})", "-2", R"(<int32 value="-2" />)"},
        {int64(-2), R"({"type":"int64","value":"0xfffffffffffffffe"})", "-2",
         R"(<int64 value="-2" />)"},
        {cat({{0x14}, k16}), R"({"type":"int128","value":"0x8899aabbccddeeff0011223344556677"})",
         "0x8899AABBCCDDEEFF0011223344556677",
         R"(<int128 value="8899aabbccddeeff0011223344556677" />)"},
        {uuid16(0x1101),
         R"({"type":"uuid16","value":"00001101-0000-1000-8000-00805f9b34fb","name":"Serial Port"})",
         "0x1101 Serial Port", R"(<uuid value="0x1101" />)"},
        {uuid32(0x00011105), R"({"type":"uuid32","value":"00011105-0000-1000-8000-00805f9b34fb"})",
         "0x00011105", R"(<uuid value="0x00011105" />)"},
        {kUuid128, R"({"type":"uuid128","value":"12345678-9abc-def0-1122-334455667788"})",
         "12345678-9abc-def0-1122-334455667788",
         R"(<uuid value="12345678-9abc-def0-1122-334455667788" />)"},
        {kSerial128,
         R"({"type":"uuid128","value":"00001101-0000-1000-8000-00805f9b34fb","name":"Serial Port"})",
         "00001101-0000-1000-8000-00805f9b34fb Serial Port", ""},
        {text("Hands-Free unit"), R"({"type":"text","value":"Hands-Free unit"})",
         "\"Hands-Free unit\"", R"(<text value="Hands-Free unit" />)"},
        {text("a\xFF\xC0\xAF"),
         R"({"type":"text","value":"a)"
         "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
         R"(","hex":"61ffc0af"})",
         "", R"(<text encoding="hex" value="61ffc0af" />)"},
        {text(std::string("Name\0", 5)), R"({"type":"text","value":"Name\u0000"})", "\"Name\\x00\"",
         R"(<text encoding="hex" value="4e616d6500" />)"},
        {text("<b>\"x\"</b>"), R"({"type":"text","value":"<b>\"x\"</b>"})", "\"<b>\\\"x\\\"</b>\"",
         R"(<text value="&lt;b&gt;&quot;x&quot;&lt;/b&gt;" />)"},
        {text("\x1B[2J"), "", "4 bytes: 1B 5B 32 4A",
         R"(<text encoding="hex" value="1b5b324a" />)"},
        {url("http://example.org/"), R"({"type":"url","value":"http://example.org/"})", "",
         R"(<url value="http://example.org/" />)"},
        {boolean(true), R"({"type":"bool","value":true})", "true", R"(<boolean value="true" />)"},
        {boolean(false), R"({"type":"bool","value":false})", "false",
         R"(<boolean value="false" />)"},
        {sequence({uint8(1), text("x")}),
         R"({"type":"sequence","value":[{"type":"uint8","value":1},{"type":"text","value":"x"}]})",
         "2 elements", "<sequence>"},
        {sequence({uint8(1)}), "", "1 element", ""},
        {alternative({}), R"({"type":"alternative","value":[]})", "empty", "<alternate>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.value));
        const One o = one(c.value);
        const std::string xml = recordXml(o.record);
        EXPECT_TRUE(xmltest::parse(xml).has_value());
        EXPECT_EQ(c.json.empty() ? "" : jsonText(elementJson(o.record, o.element()), -1), c.json);
        EXPECT_EQ(c.text.empty() ? "" : valueText(o.record, o.element()), c.text);
        EXPECT_TRUE(c.xml.empty() || xml.find("id=\"0x0200\">\n    " + c.xml + "\n") != xml.npos)
            << xml;
    }
}

// Device text in the text tree: escaped so that it reads as what was sent
// and steers nothing.
TEST(TextForm, DeviceTextIsEscaped) {
    const struct {
        std::string device;
        std::string shown;
    } texts[] = {
        {"plain é ✓", "plain é ✓"},
        {"a\"b\\c", "a\\\"b\\\\c"},
        {"\r\n\t", "\\r\\n\\t"},
        {"\x1B[31mred\x7F", "\\x1B[31mred\\x7F"},
        {"\xC2\x85", "\\u{0085}"},
        {"\xE2\x80\xAE"
         "evil",
         "\\u{202E}evil"},
        {"\xE2\x81\xA6x\xE2\x81\xA9", "\\u{2066}x\\u{2069}"},
        {"\xE2\x80\x8B\xE2\x80\xA8\xEF\xBB\xBF", "\\u{200B}\\u{2028}\\u{FEFF}"},
        {"\xEF\xBF\xBE", "\\u{FFFE}"},
        {"\xFF\xC0\xAF", "\\xFF\\xC0\\xAF"},
        {"ab\xE2\x82", "ab\\xE2\\x82"},
    };
    for (const auto& t : texts) EXPECT_EQ(escapedText(t.device), t.shown);
}

// One record in each form, word for word: what scripts and people read.
TEST(WholeRecord, TextJsonAndXmlWordForWord) {
    const BTRecord r = decode(record(
        {{0x0000, uint32(0x00010003)},
         {0x0001, sequence({uuid16(0x111E), uuid16(0x1203)})},
         {0x0004, sequence({sequence({uuid16(0x0100)}), sequence({uuid16(0x0003), uint8(12)})})},
         {0x0009, sequence({sequence({uuid16(0x111E), uint16(0x0108)})})},
         {0x0100, text("Hands-Free unit")},
         {0x0311, uint16(0x003F)}}));
    EXPECT_EQ(recordText(r),
              "Service classes: Hands-Free, Generic Audio\n"
              "Protocols: L2CAP (PSM 3) > RFCOMM (channel 12)\n"
              "Profile: Hands-Free 1.8\n"
              "0x0000 ServiceRecordHandle: uint32 0x00010003 (65539)\n"
              "0x0001 ServiceClassIDList: sequence (2 elements)\n"
              "  uuid16 0x111E Hands-Free\n"
              "  uuid16 0x1203 Generic Audio\n"
              "0x0004 ProtocolDescriptorList: sequence (2 elements)\n"
              "  sequence (1 element)\n"
              "    uuid16 0x0100 L2CAP\n"
              "  sequence (2 elements)\n"
              "    uuid16 0x0003 RFCOMM\n"
              "    uint8 0x0C (12)\n"
              "0x0009 BluetoothProfileDescriptorList: sequence (1 element)\n"
              "  sequence (2 elements)\n"
              "    uuid16 0x111E Hands-Free\n"
              "    uint16 0x0108 (264)\n"
              "0x0100 ServiceName: text \"Hands-Free unit\"\n"
              "0x0311 SupportedFeatures: uint16 0x003F (63)\n");
    // JSON: the record's frame; an attribute no table names has a null name.
    const BTRecord two = decode(record({{0x0001, sequence({uuid16(0x1101)})}, {0x0300, uint8(1)}}));
    EXPECT_EQ(jsonText(recordJson(two), -1),
              R"({"attributes":[{"id":1,"name":"ServiceClassIDList","value":{"type":"sequence",)"
              R"("value":[{"type":"uuid16","value":"00001101-0000-1000-8000-00805f9b34fb",)"
              R"("name":"Serial Port"}]}},{"id":768,"name":null,"value":{"type":"uint8",)"
              R"("value":1}}],"malformed_at":null})");
    const std::string xml = recordXml(r);
    EXPECT_NE(xml.find("  <attribute id=\"0x0004\">\n    <sequence>\n      <sequence>\n"
                       "        <uuid value=\"0x0100\" />\n      </sequence>\n      <sequence>\n"
                       "        <uuid value=\"0x0003\" />\n        <uint8 value=\"0x0c\" />\n"),
              std::string::npos)
        << xml;
    // A record that stopped says where, in each form.
    const BTRecord cut =
        decode(sdptest::cut(record({{0x0000, uint32(1)}, {0x0100, text("abc")}}), 14));
    EXPECT_EQ(stopText(cut), "Reading stopped at byte 13: malformed data element");
    EXPECT_EQ(
        jsonText(recordJson(cut), -1),
        R"({"attributes":[{"id":0,"name":"ServiceRecordHandle","value":{"type":"uint32","value":1}}],"malformed_at":13})");
    EXPECT_EQ(recordText(cut).substr(recordText(cut).rfind("Reading")),
              "Reading stopped at byte 13: malformed data element\n");
}

// What a JSON text element says about the bytes: the bytes themselves when
// well-formed, else the hex beside the replaced text.
std::string fromJsonText(const nlohmann::json& element) {
    return element.contains("hex") ? xmltest::unhex(element["hex"].get<std::string>())
                                   : element["value"].get<std::string>();
}

// The JSON, read back, holds the tree: types, shapes and every text's bytes.
void expectJsonHolds(const BTRecord& r, const BTElement& e, const nlohmann::json& j) {
    ASSERT_EQ(j["type"], std::string(Corvale::TypeName(e.type)));
    if (e.isText()) {
        EXPECT_EQ(fromJsonText(j), std::string(r.Text(e)));
    }
    if (!e.isContainer()) return;
    const auto children = r.Children(e);
    ASSERT_EQ(j["value"].size(), children.size());
    for (std::size_t i = 0; i < children.size(); ++i)
        expectJsonHolds(r, children[i], j["value"][i]);
}

void texts(const BTRecord& r, const BTElement& e, std::vector<std::string>& out) {
    if (e.type == BTElementType::Text || e.type == BTElementType::Url) out.emplace_back(r.Text(e));
    for (const BTElement& c : r.Children(e)) texts(r, c, out);
}

void expectEveryRenderingSound(const BTRecord& r) {
    // JSON: every string valid UTF-8 (a strict dump throws otherwise), the
    // text parses and holds the tree.
    EXPECT_NO_THROW((void)recordJson(r).dump());
    const std::string json = jsonText(recordJson(r));
    nlohmann::json parsed;
    ASSERT_NO_THROW(parsed = nlohmann::json::parse(json));
    ASSERT_EQ(parsed["attributes"].size(), r.Attributes().size());
    if (r.MalformedAt()) {
        EXPECT_EQ(parsed["malformed_at"], *r.MalformedAt());
    } else {
        EXPECT_TRUE(parsed["malformed_at"].is_null());
    }
    for (std::size_t i = 0; i < r.Attributes().size(); ++i) {
        EXPECT_EQ(parsed["attributes"][i]["id"], r.Attributes()[i].id);
        expectJsonHolds(r, r.Value(r.Attributes()[i]), parsed["attributes"][i]["value"]);
    }

    // XML: well-formed, one <attribute> per attribute, every text's bytes
    // back (containers deeper than the writer goes are left out).
    const auto nodes = xmltest::parse(recordXml(r));
    ASSERT_TRUE(nodes.has_value());
    std::vector<std::string> expected, written;
    for (const BTAttribute& a : r.Attributes()) texts(r, r.Value(a), expected);
    std::size_t attributes = 0;
    for (const auto& n : *nodes) {
        attributes += n.name == "attribute";
        if (n.name == "text" || n.name == "url") written.push_back(xmltest::textBytes(n));
    }
    EXPECT_EQ(attributes, r.Attributes().size());
    EXPECT_EQ(written, expected);

    // Text: nothing that steers a terminal, one line per attribute at the
    // margin, the stop said last.
    const std::string text = recordText(r);
    EXPECT_EQ(termtest::steeringCharacter(text), std::nullopt);
    std::size_t margin = 0;
    for (std::size_t at = 0; at < text.size(); at = text.find('\n', at) + 1)
        margin += text.compare(at, 2, "0x") == 0;
    EXPECT_EQ(margin, r.Attributes().size());
    if (r.MalformedAt()) {
        EXPECT_NE(text.find(stopText(r)), std::string::npos);
    }
}

TEST(HostileRecords, EveryRenderingStaysSoundAndKeepsEveryByte) {
    const std::string hostile[] = {
        "<b onmouseover=\"x()\">bold</b> & 'quoted' ]]> <!--",
        "\xFF\xFE ill-formed \xC0\xAF \xED\xA0\x80 cut \xE2\x82",
        std::string("NUL\0inside\0", 11),
        "\x1B[31mred\x1B[0m\a\b\f\v\x7F",
        "\xC2\x85\xC2\x9B"
        "C1",
        "\xE2\x80\xAE"
        "evil\xE2\x81\xA6"
        "x\xE2\x80\x8F",
        "\xEF\xBF\xBE\xEF\xBF\xBF non-characters",
        "&amp;&lt;%s%n{}\"\\",
        std::string(64 * 1024, '&'),
        std::string(64 * 1024, '\x80'),
    };
    std::vector<std::pair<std::string, Bytes>> records;
    for (const std::string& h : hostile) {
        const Bytes bytes = record({{0x0001, sequence({uuid16(0x1101)})},
                                    {0x0100, text(h)},
                                    {0x0101, sequence({text(h), url(h), sequence({text(h)})})},
                                    {0x000A, url(h)}},
                                   k32);
        records.emplace_back("hostile text " + escapedText(h.substr(0, 24)), bytes);
        for (std::size_t n : {bytes.size() / 3, bytes.size() / 2, bytes.size() - 1})
            records.emplace_back("cut hostile text", cut(bytes, n));
    }
    records.emplace_back("nested ten thousand deep",
                         record({{0x0001, nest(10000, text("<"))}}, k32));
    records.emplace_back("nested to the bound", record({{0x0001, nest(31, text("<"))}}, k32));
    records.emplace_back("70,000 texts",
                         record({{0x0100, sequence(std::vector<Bytes>(70000, text("&")))}}, k32));
    const Bytes rich =
        record({{0x0000, uint32(1)},
                {0x0004, sequence({sequence({uuid16(0x0100)}), sequence({uuid16(3), uint8(1)})})},
                {0x0100, text("<x>\xFF")},
                {0x0200, alternative({url("\x1B"), int64(-1), cat({{0x0C}, k16})})}});
    for (std::size_t n = 0; n <= rich.size(); ++n)
        records.emplace_back("rich record cut", cut(rich, n));

    for (const auto& [what, bytes] : records) {
        SCOPED_TRACE(what);
        const BTRecord r = decode(bytes);
        expectSoundTree(r);
        expectEveryRenderingSound(r);
        EXPECT_EQ(termtest::steeringCharacter(
                      elementText(r, r.Elements().empty() ? BTElement{} : r.Elements()[0])),
                  std::nullopt);
    }
}

TEST(Documents, DevicesAndServicesAsTheFormatSays) {
    BTDevice phone(Corvale::BTAddress(0x5CF370128A41ull), Corvale::BTClassOfDevice(0x5A020C),
                   L"Mara\u2019s <phone>");
    const Bytes rec = record({{0x0001, sequence({uuid16(0x1101)})}});
    // A locally administered address: no registry lists its block.
    BTDevice plain(Corvale::BTAddress(0x0200000000A1ull), L"");
    EXPECT_EQ(jsonText(radiosJson({phone, plain}), -1),
              "{\"radios\":[{\"address\":\"5C:F3:70:12:8A:41\",\"name\":\"Mara\xE2\x80\x99s "
              "<phone>\",\"vendor\":\"CC&C Technologies, "
              "Inc\",\"class\":5898764,\"major\":\"Phone\",\"minor\":\"Smart phone\","
              "\"services\":[\"Networking\",\"Capturing (scanner, microphone)\",\"Object "
              "transfer\",\"Telephony\"]},{\"address\":\"02:00:00:00:00:A1\",\"name\":\"\","
              "\"vendor\":null,\"class\":0,\"major\":\"Miscellaneous\",\"minor\":\"(none)\","
              "\"services\":[]}]}");
    EXPECT_EQ(devicesJson({}).dump(), R"({"devices":[]})");

    const BTService withRecord(BTUUID(0x1101u), L"Serial \"Port\"", L"", 4, rec),
        without(BTUUID(), L"", L"c", 0);
    EXPECT_EQ(jsonText(serviceJson(withRecord), -1),
              R"({"name":"Serial \"Port\"","comment":"","port":4,)"
              R"("class":"00001101-0000-1000-8000-00805f9b34fb","record":)" +
                  jsonText(recordJson(decode(rec)), -1) + "}");
    EXPECT_EQ(jsonText(serviceJson(without), -1),
              R"({"name":"","comment":"c","port":0,)"
              R"("class":"00000000-0000-0000-0000-000000000000","record":null})");
}

}  // namespace
