// libbluetooth as the independent encoder and parser of the SDP cross-check.
#include "bluez_reference.h"

#include <bluetooth/bluetooth.h>
#include <bluetooth/sdp.h>
#include <bluetooth/sdp_lib.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>

namespace sdptest {

namespace {

// ------------------------------------------- libbluetooth to the model
Node fromBluez(const sdp_data_t* d) {
    Node n;
    n.type = d->dtd >> 3;
    const auto le = [](const std::uint8_t* p) {
        std::uint64_t v = 0;
        for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
        return v;
    };
    const auto be = [](const std::uint8_t* p) {
        std::uint64_t v = 0;
        for (int i = 0; i < 8; ++i) v = v << 8 | p[i];
        return v;
    };
    const auto sx = [](std::int64_t v) { return static_cast<std::uint64_t>(v); };
    switch (d->dtd) {
        case SDP_DATA_NIL:
            break;
        case SDP_UINT8:
            n.width = 1, n.low = d->val.uint8;
            break;
        case SDP_UINT16:
            n.width = 2, n.low = d->val.uint16;
            break;
        case SDP_UINT32:
            n.width = 4, n.low = d->val.uint32;
            break;
        case SDP_UINT64:
            n.width = 8, n.low = d->val.uint64;
            break;
        case SDP_UINT128:
        case SDP_INT128:
            // libbluetooth keeps 128-bit integers in host (little-endian) order.
            n.width = 16, n.high = le(d->val.uint128.data + 8), n.low = le(d->val.uint128.data);
            break;
        case SDP_INT8:
            n.width = 1, n.low = sx(d->val.int8);
            break;
        case SDP_INT16:
            n.width = 2, n.low = sx(d->val.int16);
            break;
        case SDP_INT32:
            n.width = 4, n.low = sx(d->val.int32);
            break;
        case SDP_INT64:
            n.width = 8, n.low = sx(d->val.int64);
            break;
        case SDP_UUID16:
            n.width = 2, n.low = d->val.uuid.value.uuid16;
            break;
        case SDP_UUID32:
            n.width = 4, n.low = d->val.uuid.value.uuid32;
            break;
        case SDP_UUID128:
            // ...but UUIDs in wire order.
            n.width = 16, n.high = be(d->val.uuid.value.uuid128.data),
            n.low = be(d->val.uuid.value.uuid128.data + 8);
            break;
        case SDP_BOOL:
            n.width = 1, n.low = static_cast<std::uint8_t>(d->val.int8);
            break;
        case SDP_TEXT_STR8:
        case SDP_TEXT_STR16:
        case SDP_TEXT_STR32:
        case SDP_URL_STR8:
        case SDP_URL_STR16:
        case SDP_URL_STR32:
            // unitSize counts the text and one more byte, for allocated and
            // parsed values alike.
            n.bytes.assign(d->val.str, d->unitSize - 1);
            break;
        default:
            if (SDP_IS_SEQ(d->dtd) || SDP_IS_ALT(d->dtd)) {
                n.descriptor = d->dtd;
                for (const sdp_data_t* c = d->val.dataseq; c; c = c->next)
                    n.children.push_back(fromBluez(c));
            } else {
                throw std::runtime_error("unexpected dtd " + std::to_string(d->dtd));
            }
    }
    return n;
}

Attributes fromBluez(const sdp_record_t* rec) {
    Attributes out;
    for (const sdp_list_t* l = rec->attrlist; l; l = l->next) {
        const auto* d = static_cast<const sdp_data_t*>(l->data);
        out.emplace_back(d->attrId, fromBluez(d));
    }
    return out;
}

// A libbluetooth UUID expanded to 128 bits on the Bluetooth base UUID.
ClassUuid expand(const uuid_t& u) {
    ClassUuid out = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                     0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB};
    std::uint32_t shortForm = 0;
    switch (u.type) {
        case SDP_UUID16:
            shortForm = u.value.uuid16;
            break;
        case SDP_UUID32:
            shortForm = u.value.uuid32;
            break;
        default:
            std::memcpy(out.data(), u.value.uuid128.data, 16);
            return out;
    }
    for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(shortForm >> (24 - 8 * i));
    return out;
}

ClassUuid onBase(std::uint32_t shortForm) {
    uuid_t u{};
    u.type = SDP_UUID32;
    u.value.uuid32 = shortForm;
    return expand(u);
}

std::optional<std::vector<ClassUuid>> classesOf(const sdp_record_t* rec) {
    sdp_list_t* list = nullptr;
    if (sdp_get_service_classes(rec, &list) != 0) return std::nullopt;
    std::vector<ClassUuid> out;
    for (sdp_list_t* l = list; l; l = l->next)
        out.push_back(expand(*static_cast<uuid_t*>(l->data)));
    sdp_list_free(list, free);
    return out;
}

// sdp_data_free frees the children of a sequence but not those of an
// alternative; free those here, depth first, so that the leak checker stays
// quiet about libbluetooth's own records.
void freeAlternativeChildren(sdp_data_t* d) {
    if (!SDP_IS_SEQ(d->dtd) && !SDP_IS_ALT(d->dtd)) return;
    for (sdp_data_t* c = d->val.dataseq; c; c = c->next) freeAlternativeChildren(c);
    if (SDP_IS_ALT(d->dtd)) {
        sdp_data_t* c = d->val.dataseq;
        while (c) {
            sdp_data_t* next = c->next;
            sdp_data_free(c);
            c = next;
        }
        d->val.dataseq = nullptr;
    }
}

struct RecordDeleter {
    void operator()(sdp_record_t* r) const {
        for (sdp_list_t* l = r->attrlist; l; l = l->next)
            freeAlternativeChildren(static_cast<sdp_data_t*>(l->data));
        sdp_record_free(r);
    }
};
using RecordPtr = std::unique_ptr<sdp_record_t, RecordDeleter>;

// ----------------------------------------- one description, two encodings
// An element as both libbluetooth data and our own bytes.
struct Item {
    Bytes bytes;
    sdp_data_t* data;
};

int prefixOf(std::uint8_t dtd) {
    return 1 << ((dtd & 7) - 5);
}

Item U(std::uint8_t dtd, std::uint64_t v) {
    const int width = 1 << (dtd & 7);
    switch (width) {
        case 1: {
            std::uint8_t x = static_cast<std::uint8_t>(v);
            return {fixed(dtd >> 3, dtd & 7, bigEndian(v, 1)), sdp_data_alloc(dtd, &x)};
        }
        case 2: {
            std::uint16_t x = static_cast<std::uint16_t>(v);
            return {fixed(dtd >> 3, dtd & 7, bigEndian(v, 2)), sdp_data_alloc(dtd, &x)};
        }
        case 4: {
            std::uint32_t x = static_cast<std::uint32_t>(v);
            return {fixed(dtd >> 3, dtd & 7, bigEndian(v, 4)), sdp_data_alloc(dtd, &x)};
        }
        default:
            return {fixed(dtd >> 3, dtd & 7, bigEndian(v, 8)), sdp_data_alloc(dtd, &v)};
    }
}
Item U8(std::uint8_t v) {
    return U(SDP_UINT8, v);
}
Item U16(std::uint16_t v) {
    return U(SDP_UINT16, v);
}
Item U32(std::uint32_t v) {
    return U(SDP_UINT32, v);
}

// A 128-bit integer from its two halves as they go on the wire.
Item Big(std::uint8_t dtd, std::uint64_t high, std::uint64_t low) {
    uint128_t host;
    for (int i = 0; i < 8; ++i) {
        host.data[i] = static_cast<std::uint8_t>(low >> (8 * i));
        host.data[8 + i] = static_cast<std::uint8_t>(high >> (8 * i));
    }
    return {fixed(dtd >> 3, 4, cat({bigEndian(high, 8), bigEndian(low, 8)})),
            sdp_data_alloc(dtd, &host)};
}

Item Uuid16(std::uint16_t v) {
    return {uuid16(v), sdp_data_alloc(SDP_UUID16, &v)};
}
Item Uuid32(std::uint32_t v) {
    return {uuid32(v), sdp_data_alloc(SDP_UUID32, &v)};
}
Item Uuid128(const char* hex) {
    const Bytes b = uuidBytes(hex);
    uint128_t wire;
    std::memcpy(wire.data, b.data(), 16);
    return {uuid128(b), sdp_data_alloc(SDP_UUID128, &wire)};
}
Item Bool(bool v) {
    std::int8_t x = v;
    return {boolean(v), sdp_data_alloc(SDP_BOOL, &x)};
}
Item Nil() {
    return {nil(), sdp_data_alloc(SDP_DATA_NIL, nullptr)};
}

Item Text(std::uint8_t dtd, const std::string& s) {
    return {sized(dtd >> 3, prefixOf(dtd), Bytes(s.begin(), s.end())),
            sdp_data_alloc_with_length(dtd, s.data(), static_cast<std::uint32_t>(s.size()))};
}
// Text with a 32-bit length. libbluetooth cannot hold one (it keeps no text
// for SDP_TEXT_STR32), so its side holds the same text with a 16-bit length;
// the model compares the text, not the size of its length field.
Item Text32(std::uint8_t dtd16, const std::string& s) {
    return {sized(dtd16 >> 3, 4, Bytes(s.begin(), s.end())),
            sdp_data_alloc_with_length(dtd16, s.data(), static_cast<std::uint32_t>(s.size()))};
}
Item Str(const std::string& s) {
    return Text(s.size() < 256 ? SDP_TEXT_STR8 : SDP_TEXT_STR16, s);
}

Item List(std::uint8_t dtd, std::vector<Item> children) {
    Bytes body;
    sdp_data_t* first = nullptr;
    sdp_data_t* last = nullptr;
    for (auto& c : children) {
        body = cat({body, c.bytes});
        if (last)
            last->next = c.data;
        else
            first = c.data;
        last = c.data;
    }
    return {sized(dtd >> 3, prefixOf(dtd), body), sdp_data_alloc(dtd, first)};
}
Item Seq(std::vector<Item> children) {
    std::size_t size = 0;
    for (const auto& c : children) size += c.bytes.size();
    return List(size < 256 ? SDP_SEQ8 : size < 65536 ? SDP_SEQ16 : SDP_SEQ32, std::move(children));
}

struct Built {
    Bytes bytes;
    RecordPtr record;
};

Built Record(std::vector<std::pair<std::uint16_t, Item>> attributes,
             std::optional<std::uint8_t> recordDtd = std::nullopt) {
    Bytes body;
    RecordPtr rec(sdp_record_alloc());
    for (auto& [id, item] : attributes) {
        body = cat({body, u16(id), item.bytes});
        if (sdp_attr_add(rec.get(), id, item.data) != 0)
            throw std::logic_error("attributes must be distinct");
    }
    const std::uint8_t dtd = recordDtd.value_or(body.size() < 256     ? SDP_SEQ8
                                                : body.size() < 65536 ? SDP_SEQ16
                                                                      : SDP_SEQ32);
    return {sized(6, prefixOf(dtd), body), std::move(rec)};
}

// ------------------------------------------------------------- the cases

struct CrossCase {
    CrossCase(const char* n, std::function<Built()> b, bool e = true, bool p = true,
              std::size_t m = 0, std::optional<ClassUuid> o = std::nullopt)
        : name(n),
          build(std::move(b)),
          bluezEncodes(e),
          bluezParses(p),
          minimumSize(m),
          classOverride(o) {}
    const char* name;
    std::function<Built()> build;
    bool bluezEncodes;        // libbluetooth can encode every value (not 32-bit text lengths)
    bool bluezParses;         // sdp_extract_pdu reads every attribute
    std::size_t minimumSize;  // the record is at least this long
    std::optional<ClassUuid> classOverride;  // where libbluetooth reads no class list
};

const char* kCustom = "123456789ABCDEF01122334455667788";

std::string pattern(std::size_t n, unsigned seed) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + seed) & 0xFF);
    return s;
}

Built hidRecord() {
    return Record({
        {0x0000, U32(0x00010005)},
        {0x0001, Seq({Uuid16(0x1124)})},
        {0x0004, Seq({Seq({Uuid16(0x0100), U16(0x0011)}), Seq({Uuid16(0x0011)})})},
        {0x0005, Seq({Uuid16(0x1002)})},
        {0x0006, Seq({U16(0x656E), U16(0x006A), U16(0x0100)})},
        {0x0009, Seq({Seq({Uuid16(0x1124), U16(0x0101)})})},
        {0x000D, Seq({Seq({Seq({Uuid16(0x0100), U16(0x0013)}), Seq({Uuid16(0x0011)})})})},
        {0x0100, Str("Wireless Keyboard")},
        {0x0101, Str("Keyboard")},
        {0x0102, Str("Maker")},
        {0x0201, U16(0x0111)},
        {0x0202, U8(0x40)},
        {0x0203, U8(0x00)},
        {0x0204, Bool(true)},
        {0x0205, Bool(true)},
        {0x0206, Seq({Seq({U8(0x22), Str(pattern(4096, 7))})})},
        {0x0207, Seq({Seq({U16(0x0409), U16(0x0100)})})},
        {0x020B, U16(0x0100)},
        {0x020C, U16(0x0C80)},
        {0x020D, Bool(false)},
        {0x020E, Bool(true)},
    });
}

std::vector<CrossCase> crossCases() {
    return {
        {"SerialPort",
         [] {
             return Record({{0x0000, U32(0x00010001)},
                            {0x0001, Seq({Uuid16(0x1101)})},
                            {0x0004, Seq({Seq({Uuid16(0x0100)}), Seq({Uuid16(0x0003), U8(1)})})},
                            {0x0009, Seq({Seq({Uuid16(0x1101), U16(0x0102)})})},
                            {0x0100, Str("Serial Port")}});
         }},
        {"Uuid32Class",
         [] {
             return Record({{0x0001, Seq({Uuid32(0x00011105), Uuid16(0x1106)})}});
         }},
        {"Uuid128Class",
         [] {
             return Record({{0x0001, Seq({Uuid128(kCustom), Uuid16(0x1101)})}});
         }},
        {"ThreeWidthsOfOneClass",
         [] {
             return Record({{0x0001, Seq({Uuid16(0x1112), Uuid32(0x1203),
                                          Uuid128("0000111200001000800000805F9B34FB")})}});
         }},
        // libbluetooth refuses a class list with anything but UUIDs in it; the
        // engine skips what is not a UUID.
        {"NestedSequenceBeforeTheClass",
         [] {
             return Record({{0x0001, Seq({Seq({Uuid16(0x1101)}), Uuid16(0x1203)})}});
         },
         true, true, 0, onBase(0x1203)},
        {"NoClassList",
         [] {
             return Record({{0x0000, U32(1)}, {0x0100, Str("x")}});
         }},
        {"EmptyClassList",
         [] {
             return Record({{0x0001, Seq({})}});
         }},
        {"Alternatives",
         [] {
             return Record({{0x0001, Seq({Uuid16(0x1101)})},
                            {0x0200, List(SDP_ALT8, {U8(1), Str("one")})},
                            {0x0201, List(SDP_ALT16, {Seq({U16(2)}), List(SDP_ALT8, {Nil()})})},
                            {0x0202, List(SDP_ALT32, {Uuid128(kCustom)})}});
         }},
        // libbluetooth reads no class list from an alternative; the engine walks it.
        {"AlternativeAsClassList",
         [] {
             return Record({{0x0001, List(SDP_ALT8, {Uuid16(0x1102), Uuid16(0x1101)})}});
         },
         true, true, 0, onBase(0x1102)},
        {"EveryIntegerWidth",
         [] {
             return Record({
                 {0x0300, U8(0)},
                 {0x0301, U8(0xFF)},
                 {0x0302, U16(0xFFFF)},
                 {0x0303, U32(0x80000001u)},
                 {0x0304, U(SDP_UINT64, 0xFEDCBA9876543210ull)},
                 {0x0305, Big(SDP_UINT128, 0x0123456789ABCDEFull, 0xFFEEDDCCBBAA9988ull)},
                 {0x0306, U(SDP_INT8, 0x80)},
                 {0x0307, U(SDP_INT8, 0x7F)},
                 {0x0308, U(SDP_INT16, 0xFFFF)},
                 {0x0309, U(SDP_INT32, 0x80000000u)},
                 {0x030A, U(SDP_INT64, 0x8000000000000000ull)},
                 {0x030B, Big(SDP_INT128, 0xFFFFFFFFFFFFFFFEull, 0x0000000000000005ull)},
                 {0x030C, Big(SDP_UINT128, 0, 1)},
             });
         }},
        {"TextUrlBoolNil",
         [] {
             return Record(
                 {{0x0001, Seq({Uuid16(0x1105)})},
                  {0x0100, Str("")},
                  {0x0101, Str(std::string(255, 'a'))},
                  {0x0102, Str(std::string(256, 'b'))},
                  {0x0103, Str(std::string("nul\0inside\xFF", 11))},
                  {0x0104, Text(SDP_TEXT_STR16, "short but 16-bit")},
                  {0x0105, Text(SDP_URL_STR8, "http://example.org/")},
                  {0x0106, Text(SDP_URL_STR16, "http://example.org/" + std::string(300, 'p'))},
                  {0x0107, Bool(true)},
                  {0x0108, Bool(false)},
                  {0x0109, Nil()}});
         }},
        {"EveryContainerSize",
         [] {
             return Record(
                 {{0x0001, List(SDP_SEQ16, {Uuid16(0x1108)})},
                  {0x0002, List(SDP_SEQ32, {U8(1), U8(2)})},
                  {0x0003, List(SDP_ALT16, {})},
                  {0x0004, List(SDP_SEQ32,
                                {List(SDP_SEQ16, {List(SDP_SEQ8, {List(SDP_ALT32, {Nil()})})})})}});
         }},
        {"TenLevelsDeep",
         [] {
             Item inner = Uuid16(0x1101);
             const std::uint8_t kinds[] = {SDP_SEQ8, SDP_SEQ16, SDP_SEQ32, SDP_ALT8, SDP_ALT16};
             for (int i = 0; i < 10; ++i) inner = List(kinds[i % 5], {std::move(inner), U8(i)});
             return Record({{0x0001, Seq({Uuid16(0x1201)})}, {0x0004, std::move(inner)}});
         }},
        {"RecordHeaderWith16BitLengthForTinyRecord",
         [] {
             return Record({{0x0001, Seq({Uuid16(0x1101)})}}, SDP_SEQ16);
         }},
        {"LongClassList",
         [] {
             std::vector<Item> classes;
             for (int i = 0; i < 100; ++i)
                 classes.push_back(i % 2 ? Uuid16(static_cast<std::uint16_t>(0x1100 + i % 7))
                                         : Uuid128(kCustom));
             classes.push_back(Uuid32(0x1101));
             return Record({{0x0001, Seq(std::move(classes))}});
         },
         true, true, 256},
        {"HidWith4KiBDescriptor", hidRecord, true, true, 4096},
        {"RecordOver65535Bytes",
         [] {
             return Record({{0x0001, Seq({Uuid128(kCustom)})},
                            {0x0100, Str(pattern(30000, 1))},
                            {0x0101, Str(pattern(30000, 2))},
                            {0x0102, Seq({Str(pattern(10000, 3)), Uuid16(0x1101)})}});
         },
         true, true, 70000},
        {"ThirtyTwoBitStringLengths",
         [] {
             return Record({{0x0001, Seq({Uuid16(0x110B)})},
                            {0x0100, Text32(SDP_TEXT_STR16, "thirty-two")},
                            {0x0101, Text32(SDP_URL_STR16, "http://a")},
                            {0x0102, Text32(SDP_TEXT_STR16, "")}});
         },
         false, false},  // libbluetooth's parser skips 32-bit text lengths
        {"RecordHeaderWith32BitLength",
         [] {
             return Record({{0x0001, Seq({Uuid16(0x1101)})}, {0x0100, Str("x")}}, SDP_SEQ32);
         }},
    };
}

// libbluetooth's encoding of each attribute (ID and value), one after the
// other. sdp_gen_record_pdu itself is not used: it sizes its buffer from an
// estimate that comes out short for some records (a uint32 and a one-byte
// string; two 128-bit integers), silently drops the attributes that do not
// fit, and writes a 16-bit record length cut to 16 bits above 65,535 bytes.
Bytes encodeAttributes(const sdp_record_t* rec) {
    Bytes out;
    for (const sdp_list_t* l = rec->attrlist; l; l = l->next) {
        auto* d = static_cast<sdp_data_t*>(l->data);
        std::vector<std::uint8_t> room(16 + 2 * static_cast<std::size_t>(d->unitSize) +
                                       1024 * 1024);
        sdp_buf_t buf{};
        buf.data = room.data();
        buf.buf_size = static_cast<std::uint32_t>(room.size());
        sdp_set_attrid(&buf, d->attrId);
        if (sdp_gen_pdu(&buf, d) < 0) throw std::runtime_error("sdp_gen_pdu failed");
        out.insert(out.end(), room.begin(), room.begin() + buf.data_size);
    }
    return out;
}

}  // namespace

std::vector<BluezReference> bluezReferences() {
    std::vector<BluezReference> out;
    for (const CrossCase& c : crossCases()) {
        Built built = c.build();
        BluezReference r;
        r.name = c.name;
        r.bytes = built.bytes;
        r.meant = fromBluez(built.record.get());
        r.minimumSize = c.minimumSize;
        r.classesMeant = classesOf(built.record.get());
        r.classOverride = c.classOverride;
        if (c.bluezEncodes) r.encoded = encodeAttributes(built.record.get());
        if (c.bluezParses) {
            int scanned = 0;
            RecordPtr parsed(sdp_extract_pdu(built.bytes.data(),
                                             static_cast<int>(built.bytes.size()), &scanned));
            if (parsed) {
                r.parsed = fromBluez(parsed.get());
                r.scanned = static_cast<std::size_t>(scanned);
                r.classesParsed = classesOf(parsed.get());
            }
        }
        out.push_back(std::move(r));
    }
    return out;
}

std::pair<Attributes, Attributes> bluezNearTwins() {
    Built a = Record({{0x0001, Seq({Uuid16(0x1101)})}, {0x0100, Str("abc")}});
    Built b = Record({{0x0001, Seq({Uuid16(0x1101)})}, {0x0100, Str("abd")}});
    return {fromBluez(a.record.get()), fromBluez(b.record.get())};
}

}  // namespace sdptest
