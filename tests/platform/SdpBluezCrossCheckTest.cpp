// Our SDP decoder and ServiceClassUUID against libbluetooth as an independent
// parser, on records of every size class under every record header that
// fits: libbluetooth must read the whole record and write each attribute back
// as it stands, our decoder must give back every byte and find each attribute
// by its ID, and ServiceClassUUID must agree with the class list libbluetooth
// reads, and the decoded record tree written back must give what libbluetooth
// writes back.
#include "record_test_support.h"
#include "sdp_crosscheck_records.h"

#include <bluetooth/bluetooth.h>
#include <bluetooth/sdp.h>
#include <bluetooth/sdp_lib.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <optional>

using namespace sdptest;

namespace {

// libbluetooth's reading of a record: sdp_extract_pdu, each attribute written
// back by sdp_gen_pdu, and the class list by sdp_get_service_classes.
struct BluezParse {
    std::size_t scanned = 0;  // bytes sdp_extract_pdu read; 0 when it refused the record
    Bytes attributes;         // sdp_gen_pdu of each ID and value it read
    // The class list as "{XXXXXXXX-XXXX-...}" texts; none without a list.
    std::optional<std::vector<std::wstring>> classes;
};

// sdp_data_free frees a sequence's children but not an alternative's.
void freeChildren(sdp_data_t* d) {
    if (!SDP_IS_SEQ(d->dtd) && !SDP_IS_ALT(d->dtd)) return;
    for (sdp_data_t* c = d->val.dataseq; c;) {
        freeChildren(c);
        sdp_data_free(std::exchange(c, c->next));
    }
    d->val.dataseq = nullptr;
}

BluezParse bluezParse(const Bytes& record) {
    BluezParse out;
    int scanned = 0;
    sdp_record_t* rec = sdp_extract_pdu(record.data(), static_cast<int>(record.size()), &scanned);
    if (rec == nullptr) return out;
    out.scanned = static_cast<std::size_t>(scanned);
    // Attribute by attribute: sdp_gen_record_pdu sizes its buffer from an
    // estimate that comes out short for some records.
    for (sdp_list_t* l = rec->attrlist; l; l = l->next) {
        auto* d = static_cast<sdp_data_t*>(l->data);
        Bytes room(2 * record.size() + 64);
        sdp_buf_t buf{room.data(), 0, static_cast<std::uint32_t>(room.size())};
        sdp_set_attrid(&buf, d->attrId);
        EXPECT_GE(sdp_gen_pdu(&buf, d), 0);
        out.attributes.insert(out.attributes.end(), room.begin(), room.begin() + buf.data_size);
    }
    sdp_list_t* classes = nullptr;
    if (sdp_get_service_classes(rec, &classes) == 0) {
        out.classes.emplace();
        for (sdp_list_t* l = classes; l; l = l->next) {
            const uuid_t u = *static_cast<const uuid_t*>(l->data);
            uuid_t full = u;
            if (u.type == SDP_UUID16) sdp_uuid16_to_uuid128(&full, &u);
            if (u.type == SDP_UUID32) sdp_uuid32_to_uuid128(&full, &u);
            char s[MAX_LEN_UUID_STR + 1] = "{";
            sdp_uuid2strn(&full, s + 1, MAX_LEN_UUID_STR);
            std::wstring text;
            for (const char* c = s; *c; ++c) text += static_cast<wchar_t>(std::toupper(*c));
            out.classes->push_back(text + L"}");
        }
        sdp_list_free(classes, free);
    }
    for (sdp_list_t* l = rec->attrlist; l; l = l->next)
        freeChildren(static_cast<sdp_data_t*>(l->data));
    sdp_record_free(rec);
    return out;
}

TEST(CrossCheck, DecoderAndServiceClassAgreeWithLibbluetooth) {
    for (const auto& [name, atLeast, attributes] : kCrossCheckRecords)
        ASSERT_GE(attributes.size(), atLeast) << name;
    for (auto [name, bytes, attributes] : headedRecords()) {
        SCOPED_TRACE(name);
        SDP_ELEMENT_DATA rec{}, id{}, value{}, looked{};
        ASSERT_EQ(element(bytes, rec), kOk);
        EXPECT_EQ(reencode(rec), bytes);
        HBLUETOOTH_CONTAINER_ELEMENT cursor = nullptr;
        while (child(bytes, cursor, id) == kOk) {
            ASSERT_EQ(child(bytes, cursor, value), kOk);
            ASSERT_EQ(attribute(bytes, id.data.uint16, looked), kOk) << id.data.uint16;
            EXPECT_EQ(reencode(looked), reencode(value)) << id.data.uint16;
        }

        // Each side's values written back: libbluetooth's by sdp_gen_pdu,
        // our record tree's element by element from its decoded fields.
        const BluezParse parse = bluezParse(bytes);
        EXPECT_EQ(parse.scanned, bytes.size());
        EXPECT_EQ(parse.attributes, attributes);
        const BTRecord ours = BTRecord::Decode(bytes);
        EXPECT_EQ(ours.Stop(), BTRecordStop::None);
        EXPECT_EQ(encodePairs(ours), parse.attributes);
        // Each UUID counts once, at its last place, and the first wins:
        // the first UUID that does not come again after it.
        const auto list = parse.classes.value_or(std::vector<std::wstring>{});
        auto first = list.begin();
        while (first != list.end() && std::find(first + 1, list.end(), *first) != list.end())
            ++first;
        EXPECT_EQ(classOf(bytes), first == list.end() ? kNullClass : *first);
    }
}

}  // namespace
