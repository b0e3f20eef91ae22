// Our SDP decoder and ServiceClassUUID against libbluetooth as an independent
// parser, on records of every size class under every record header that
// fits: libbluetooth must read the whole record and write each attribute back
// as it stands, our decoder must give back every byte and find each attribute
// by its ID, and ServiceClassUUID must agree with the class list libbluetooth
// reads, and the decoded record tree must match libbluetooth's element by
// element.
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
    for (const auto& [name, atLeast, attributes] : kCrossCheckRecords) {
        ASSERT_GE(attributes.size(), atLeast) << name;
        for (std::size_t prefix : {1, 2, 4}) {
            if (attributes.size() >> (8 * prefix) != 0) continue;
            SCOPED_TRACE(::testing::Message() << name << ", length field " << prefix);
            Bytes bytes = variable(Type::Sequence, attributes, kLengths[prefix / 2]);
            SDP_ELEMENT_DATA rec{}, id{}, value{}, looked{};
            ASSERT_EQ(element(bytes, rec), kOk);
            EXPECT_EQ(reencode(rec), bytes);
            HBLUETOOTH_CONTAINER_ELEMENT cursor = nullptr;
            while (child(bytes, cursor, id) == kOk) {
                ASSERT_EQ(child(bytes, cursor, value), kOk);
                ASSERT_EQ(attribute(bytes, id.data.uint16, looked), kOk) << id.data.uint16;
                EXPECT_EQ(reencode(looked), reencode(value)) << id.data.uint16;
            }

            const BluezParse parse = bluezParse(bytes);
            EXPECT_EQ(parse.scanned, bytes.size());
            EXPECT_EQ(parse.attributes, attributes);
            // Each UUID counts once, at its last place, and the first wins:
            // the first UUID that does not come again after it.
            const auto list = parse.classes.value_or(std::vector<std::wstring>{});
            auto first = list.begin();
            while (first != list.end() && std::find(first + 1, list.end(), *first) != list.end())
                ++first;
            EXPECT_EQ(classOf(bytes), first == list.end() ? kNullClass : *first);
        }
    }
}

// libbluetooth's element and ours: the same type and size, the same value,
// the same children in the same order.
void expectSameElement(const BTRecord& r, const BTElement& e, const sdp_data_t* d) {
    ASSERT_NE(d, nullptr);
    const std::uint8_t dtd = d->dtd;
    // libbluetooth keeps a 128-bit integer least significant byte first.
    const auto wide = [](const uint128_t& v) {
        Corvale::Bt::UuidBytes b{};
        for (std::size_t i = 0; i < 16; ++i) b[i] = v.data[15 - i];
        return b;
    };
    switch (e.type) {
        case BTElementType::Nil:
            EXPECT_EQ(dtd, SDP_DATA_NIL);
            break;
        case BTElementType::Uint8:
            EXPECT_EQ(dtd, SDP_UINT8);
            EXPECT_EQ(e.number, d->val.uint8);
            break;
        case BTElementType::Uint16:
            EXPECT_EQ(dtd, SDP_UINT16);
            EXPECT_EQ(e.number, d->val.uint16);
            break;
        case BTElementType::Uint32:
            EXPECT_EQ(dtd, SDP_UINT32);
            EXPECT_EQ(e.number, d->val.uint32);
            break;
        case BTElementType::Uint64:
            EXPECT_EQ(dtd, SDP_UINT64);
            EXPECT_EQ(e.number, d->val.uint64);
            break;
        case BTElementType::Int8:
            EXPECT_EQ(dtd, SDP_INT8);
            EXPECT_EQ(e.asSigned(), d->val.int8);
            break;
        case BTElementType::Int16:
            EXPECT_EQ(dtd, SDP_INT16);
            EXPECT_EQ(e.asSigned(), d->val.int16);
            break;
        case BTElementType::Int32:
            EXPECT_EQ(dtd, SDP_INT32);
            EXPECT_EQ(e.asSigned(), d->val.int32);
            break;
        case BTElementType::Int64:
            EXPECT_EQ(dtd, SDP_INT64);
            EXPECT_EQ(e.asSigned(), d->val.int64);
            break;
        case BTElementType::Uint128:
            EXPECT_EQ(dtd, SDP_UINT128);
            EXPECT_EQ(e.wide, wide(d->val.uint128));
            break;
        case BTElementType::Int128:
            EXPECT_EQ(dtd, SDP_INT128);
            EXPECT_EQ(e.wide, wide(d->val.int128));
            break;
        case BTElementType::Uuid16:
            EXPECT_EQ(dtd, SDP_UUID16);
            EXPECT_EQ(e.number, d->val.uuid.value.uuid16);
            break;
        case BTElementType::Uuid32:
            EXPECT_EQ(dtd, SDP_UUID32);
            EXPECT_EQ(e.number, d->val.uuid.value.uuid32);
            break;
        case BTElementType::Uuid128:
            EXPECT_EQ(dtd, SDP_UUID128);
            EXPECT_EQ(0, std::memcmp(e.wide.data(), d->val.uuid.value.uuid128.data, 16));
            break;
        case BTElementType::Bool:
            EXPECT_EQ(dtd, SDP_BOOL);
            EXPECT_EQ(e.number, d->val.uint8 != 0);
            break;
        case BTElementType::Text:
        case BTElementType::Url: {
            const bool text = e.type == BTElementType::Text;
            EXPECT_TRUE(text ? SDP_IS_TEXT_STR(dtd)
                             : (dtd >= SDP_URL_STR8 && dtd <= SDP_URL_STR32));
            // libbluetooth ends its copy with a NUL; these records hold none.
            EXPECT_EQ(std::string(d->val.str), std::string(r.Text(e)));
            break;
        }
        case BTElementType::Sequence:
        case BTElementType::Alternative: {
            EXPECT_TRUE(e.type == BTElementType::Sequence ? SDP_IS_SEQ(dtd) : SDP_IS_ALT(dtd));
            const sdp_data_t* c = d->val.dataseq;
            for (const BTElement& child : r.Children(e)) {
                expectSameElement(r, child, c);
                if (c == nullptr) return;
                c = c->next;
            }
            EXPECT_EQ(c, nullptr) << "libbluetooth read more children";
            break;
        }
    }
}

TEST(CrossCheck, RecordTreeAgreesWithLibbluetoothElementByElement) {
    for (const auto& [name, atLeast, attributes] : kCrossCheckRecords) {
        for (std::size_t prefix : {1, 2, 4}) {
            if (attributes.size() >> (8 * prefix) != 0) continue;
            SCOPED_TRACE(::testing::Message() << name << ", length field " << prefix);
            const Bytes bytes = variable(Type::Sequence, attributes, kLengths[prefix / 2]);
            const BTRecord ours = BTRecord::Decode(bytes);
            EXPECT_EQ(ours.Stop(), BTRecordStop::None);
            int scanned = 0;
            sdp_record_t* theirs =
                sdp_extract_pdu(bytes.data(), static_cast<int>(bytes.size()), &scanned);
            ASSERT_NE(theirs, nullptr);
            EXPECT_EQ(static_cast<std::size_t>(scanned), bytes.size());
            std::size_t count = 0;
            for (sdp_list_t* l = theirs->attrlist; l; l = l->next) ++count;
            EXPECT_EQ(ours.Attributes().size(), count);
            for (const BTAttribute& a : ours.Attributes()) {
                SCOPED_TRACE(a.id);
                expectSameElement(ours, ours.Value(a), sdp_data_get(theirs, a.id));
            }
            for (sdp_list_t* l = theirs->attrlist; l; l = l->next)
                freeChildren(static_cast<sdp_data_t*>(l->data));
            sdp_record_free(theirs);
        }
    }
}

}  // namespace
