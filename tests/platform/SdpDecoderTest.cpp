// The compat layer's SDP calls on hand-built bytes (every type and size
// descriptor, and how damaged or hostile input is refused), and the class
// ServiceClassUUID reads through them.
#include "sdp_test_support.h"

#include <cstring>
#include <tuple>

using namespace sdptest;

namespace {

TEST(SdpElement, EveryTypeAndSizeDecodesAloneFollowedAndAsAttributeAndRefusesEveryCut) {
    // Most checks read numbers back through reencode(); these tie it to known values.
    SDP_ELEMENT_DATA n{};
    Bytes i16 = {0x11, 0x80, 0x01}, u128 = cat({{0x0C}, k16});
    ASSERT_EQ(element(i16, n), kOk);
    EXPECT_EQ(n.data.int16, -32767);
    ASSERT_EQ(element(u128, n), kOk);
    EXPECT_EQ(n.data.uint128.HighPart, 0x8899AABBCCDDEEFFull);
    EXPECT_EQ(n.data.uint128.LowPart, 0x0011223344556677ull);
    for (const auto& [bytes, type, specificType] : kElements) {
        SCOPED_TRACE(::testing::PrintToString(bytes));
        // Alone, followed by more bytes, and as a value between two attributes.
        Bytes ways[] = {bytes, cat({bytes, {0xFF, 0x35}}),
                        record({{0x0000, uint32(0x10000)}, {0x4242, bytes}, {0xFFFF, nil()}})};
        for (int way = 0; way < 3; ++way) {
            SCOPED_TRACE(way);
            SDP_ELEMENT_DATA e;
            std::memset(&e, 0xA5, sizeof e);
            ASSERT_EQ(way == 2 ? attribute(ways[way], 0x4242, e) : element(ways[way], e), kOk);
            EXPECT_EQ(e.type, type);
            EXPECT_EQ(e.specificType, specificType);
            EXPECT_EQ(reencode(e), bytes);
        }
        for (std::size_t n = 0; n < bytes.size(); ++n) {
            Bytes part = cut(bytes, n);
            SDP_ELEMENT_DATA e, before;
            std::memset(&e, 0x5A, sizeof e);
            before = e;
            EXPECT_EQ(element(part, e), kBad) << "cut at " << n;
            EXPECT_EQ(std::memcmp(&e, &before, sizeof e), 0) << "written on failure, cut at " << n;
        }
    }
}

TEST(SdpDescriptor, EveryByteIsAcceptedExactlyWhenItsTypeAllowsItsSize) {
    // Per type 0..8, the size indexes it allows (bit i: index i); 9..31 are reserved.
    const unsigned allowed[9] = {0x01, 0x1F, 0x1F, 0x16, 0xE0, 0x01, 0xE0, 0xE0, 0xE0};
    for (unsigned d = 0; d < 256; ++d) {
        Bytes b(17, 0);  // room for any fixed size; a zero length
        b[0] = static_cast<std::uint8_t>(d);
        const bool ok = d >> 3 < 9 && (allowed[d >> 3] >> (d & 7) & 1);
        SDP_ELEMENT_DATA e{};
        EXPECT_EQ(element(b, e), ok ? kOk : kBad) << "descriptor " << d;
    }
}

TEST(SdpMalformed, LyingLengthsAndDeepNestingAreRefusedAloneInARecordAndAsClassList) {
    const Bytes lies[] = {
        {0x25, 10, 'a', 'b', 'c'},                         // text past the end
        {0x27, 0xFF, 0xFF, 0xFF, 0xFF, 'a'},               // absurd 32-bit length
        {0x37, 0xFF, 0xFF, 0xFF, 0xFF, 0x19, 0x11, 0x01},  // absurd sequence length
        {0x35, 0x02, 0x19, 0x11, 0x01},                    // child past its parent
        {0x35, 0x04, 0x25, 0x05, 'a', 'b'},                // child's length past its parent
        {0x37, 0x00, 0x00},                                // length field itself cut
        {0x35, 0x02, 0x48, 0x00},                          // reserved type inside
        {0x35, 0x02, 0x01, 0x00},                          // nil with a size
        {0x35, 0x02, 0x18, 0x01},                          // UUID with size index 0
        nest(33, nil()),
        nest(10000, nil()),  // too deep
    };
    for (const Bytes& lie : lies) {
        SCOPED_TRACE(::testing::PrintToString(lie));
        Bytes alone = lie, rec = record({{0x0001, lie}});
        SDP_ELEMENT_DATA e{};
        EXPECT_EQ(element(alone, e), kBad);
        EXPECT_EQ(attribute(rec, 0x0001, e), kBad);
        EXPECT_EQ(classOf(rec), kNullClass);
    }
    // 32 levels are allowed, alone and to the container call.
    Bytes ok = nest(32, nil()), deep = nest(33, nil());
    HBLUETOOTH_CONTAINER_ELEMENT okCursor = nullptr, deepCursor = nullptr;
    SDP_ELEMENT_DATA e{};
    EXPECT_EQ(element(ok, e), kOk);
    EXPECT_EQ(child(ok, okCursor, e), kOk);
    EXPECT_EQ(child(deep, deepCursor, e), kBad);
}

TEST(SdpAttribute, LookupByIdentifier) {
    const Bytes rec = record({{0x0001, sequence({uuid16(0x1101)})},
                              {0x0004, sequence({uint16(0x0002), uint8(9)})},
                              {0x0100, text("first")},
                              {0x0100, text("second")},
                              {0xFFFF, uint8(1)}});
    // Damage inside one value refuses only that value.
    const Bytes damaged = record(
        {{0x0001, sequence({uuid16(0x1101)})}, {0x0004, Bytes{0x35, 0x03, 0x25, 0x09, 'a'}}});
    // The record is the first level of nesting; 32 are allowed.
    const Bytes deep = nest(31, uuid16(0x1101));
    // A damaged outline is refused whatever is asked for.
    const Bytes bad[] = {
        variable(Type::Alternative,
                 cat({uint16(1), sequence({uuid16(0x1101)})})),  // an alternative at the top
        uuid16(0x1101),                                          // not a container
        sequence({uint16(1), sequence({}), uint16(0x100)}),      // an ID without a value
        sequence({uint32(1), sequence({uuid16(0x1101)})}),       // an ID that is no uint16
        cat({record({{1, sequence({})}}), {0x00}}),              // a byte after the record
        // Bytes past the record's own length are no attribute, whatever they look like.
        cat({record({{0x0100, text("x")}}), uint16(1), sequence({uuid16(0x1101)})}),
        sequence({uint16(1), sequence({uuid16(0x1101)}), uint16(2),
                  Bytes{0x25, 0x09}}),                            // after the asked one
        cat({{0x37, 0xFF, 0xFF, 0xFF, 0xF0}, uint16(1), nil()}),  // absurd record length
    };
    std::vector<std::tuple<Bytes, USHORT, DWORD, Bytes>> cases = {
        {rec, 0x0004, kOk, sequence({uint16(0x0002), uint8(9)})},
        {rec, 0xFFFF, kOk, uint8(1)},
        {rec, 0x0100, kOk, text("first")},  // the first of two equal IDs
        {rec, 0x0002, kAbsent, {}},         // an ID only inside a value is none
        {sequence({}, k32), 0, kAbsent, {}},
        {damaged, 0x0001, kOk, sequence({uuid16(0x1101)})},
        {damaged, 0x0004, kBad, {}},
        {damaged, 0x0009, kAbsent, {}},
        {record({{1, deep}}), 1, kOk, deep},
        {record({{1, variable(Type::Sequence, deep, k32)}}), 1, kBad, {}},
    };
    for (const Bytes& b : bad)
        for (USHORT id : {0x0001, 0xFFFF}) cases.emplace_back(b, id, kBad, Bytes{});
    for (auto [bytes, id, rc, value] : cases) {
        SCOPED_TRACE(::testing::PrintToString(bytes) + " attribute " + std::to_string(id));
        SDP_ELEMENT_DATA e{};
        EXPECT_EQ(attribute(bytes, id, e), rc);
        EXPECT_EQ(rc == kOk ? reencode(e) : Bytes{}, value);
    }
    EXPECT_EQ(classOf(damaged), onBase(0x1101));
}

TEST(SdpArguments, NullAndEmptyAreRefused) {
    Bytes b = record({{1, sequence({uuid16(0x1101)})}});
    const auto n = static_cast<ULONG>(b.size());
    SDP_ELEMENT_DATA e{};
    HBLUETOOTH_CONTAINER_ELEMENT cursor = nullptr;
    EXPECT_EQ(BluetoothSdpGetElementData(nullptr, n, &e), kBad);
    EXPECT_EQ(BluetoothSdpGetElementData(b.data(), 0, &e), kBad);
    EXPECT_EQ(BluetoothSdpGetElementData(b.data(), n, nullptr), kBad);
    EXPECT_EQ(BluetoothSdpGetAttributeValue(nullptr, n, 1, &e), kBad);
    EXPECT_EQ(BluetoothSdpGetAttributeValue(b.data(), 0, 1, &e), kBad);
    EXPECT_EQ(BluetoothSdpGetAttributeValue(b.data(), n, 1, nullptr), kBad);
    EXPECT_EQ(BluetoothSdpGetContainerElementData(nullptr, n, &cursor, &e), kBad);
    EXPECT_EQ(BluetoothSdpGetContainerElementData(b.data(), 0, &cursor, &e), kBad);
    EXPECT_EQ(BluetoothSdpGetContainerElementData(b.data(), n, nullptr, &e), kBad);
    EXPECT_EQ(BluetoothSdpGetContainerElementData(b.data(), n, &cursor, nullptr), kBad);
    EXPECT_EQ(Corvale::ServiceClassUUID(nullptr, n).asString(), kNullClass);
    // The container call takes exactly one whole container.
    for (Bytes c : {cat({b, {0}}), cut(b, n - 1), text("abc"), uuid16(0x1101)}) {
        cursor = nullptr;
        EXPECT_EQ(child(c, cursor, e), kBad) << ::testing::PrintToString(c);
    }
}

// A record cut at every byte: as it is (its header then overruns the bytes),
// and under a header rewritten to the cut length, where only the inner
// lengths give the damage away and only a cut between attributes reads.
TEST(SdpAttribute, RecordCutAtEveryByte) {
    const Bytes parts[] = {
        pairs({{0x0000, uint32(0x00010001)}}),
        pairs({{0x0001, sequence({uuid16(0x1101), uuid128(1, 2)})}}),
        pairs({{0x0004, sequence({sequence({uuid16(0x0100)}), sequence({uuid16(3), uint8(4)})})}}),
        pairs({{0x0100, text("Serial Port")}})};
    Bytes body;
    std::vector<std::size_t> ends = {0};
    for (const Bytes& part : parts) ends.push_back((body = cat({body, part})).size());
    const Bytes whole = variable(Type::Sequence, body);
    for (std::size_t n = 0; n < whole.size(); ++n) {
        SCOPED_TRACE(n);
        Bytes truncated = cut(whole, n);
        SDP_ELEMENT_DATA e{};
        EXPECT_EQ(attribute(truncated, 1, e), kBad);
        EXPECT_EQ(classOf(truncated), kNullClass);
        if (n > body.size()) continue;
        Bytes honest = variable(Type::Sequence, cut(body, n));
        const bool between = std::find(ends.begin(), ends.end(), n) != ends.end();
        const DWORD rc = !between ? kBad : n >= ends[2] ? kOk : kAbsent;
        EXPECT_EQ(attribute(honest, 1, e), rc);
        EXPECT_EQ(classOf(honest), rc == kOk ? onBase(0x1101) : kNullClass);
    }
}

TEST(SdpContainer, CursorIsAReplayableValueThatOnlySuccessMoves) {
    // The third child claims more bytes than the container holds.
    Bytes c = sequence({uuid16(0x1101), uuid16(0x1102), Bytes{0x25, 0x7F, 'a'}});
    HBLUETOOTH_CONTAINER_ELEMENT cursor = nullptr, afterFirst, afterSecond;
    SDP_ELEMENT_DATA e{};
    ASSERT_EQ(child(c, cursor, e), kOk);
    afterFirst = cursor;
    ASSERT_EQ(child(c, cursor, e), kOk);
    afterSecond = std::exchange(cursor, afterFirst);
    ASSERT_EQ(child(c, cursor, e), kOk);
    EXPECT_EQ(e.data.uuid16, 0x1102);
    EXPECT_EQ(cursor, afterSecond);
    EXPECT_EQ(child(c, cursor, e), kBad);
    EXPECT_EQ(cursor, afterSecond);
}

// Cursors never handed out for this container are refused, leave the cursor
// and the output alone, and lead to no read outside the buffer.
TEST(SdpContainer, GarbageCursorsAreRefused) {
    Bytes c = sequence({uuid16(0x1101), uuid16(0x1102), uuid16(0x1103)}), twin = c;
    HBLUETOOTH_CONTAINER_ELEMENT foreign = nullptr;
    SDP_ELEMENT_DATA e{}, out, before;
    ASSERT_EQ(child(twin, foreign, e), kOk);  // the same bytes at another address
    const auto at = [](const void* p) { return reinterpret_cast<std::uintptr_t>(p); };
    std::vector<std::uintptr_t> garbage = {
        1, 3, 6, 13, 0xFFFFFFFF, ~std::uintptr_t{0}, at(c.data()), at(foreign)};
    for (std::uintptr_t v = 0x100000001ull; v < 0x100000000ull + 32; ++v) garbage.push_back(v);
    for (std::uintptr_t v : garbage) {
        auto cursor = reinterpret_cast<HBLUETOOTH_CONTAINER_ELEMENT>(v);
        std::memset(&out, 0x77, sizeof out);
        before = out;
        EXPECT_EQ(child(c, cursor, out), kBad) << std::hex << v;
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(cursor), v);
        EXPECT_EQ(std::memcmp(&out, &before, sizeof out), 0);
    }
}

// Which class ServiceClassUUID reads from the ServiceClassIDList (attribute 0x0001).
TEST(ServiceClass, RulesOfTheClassList) {
    const auto list = [](std::initializer_list<Bytes> c) { return record({{1, sequence(c)}}); };
    // 0x1000 to 0x1063, then 0x1000 to 0x1031 again: 0x1032 is the first not taken again.
    std::vector<Bytes> many;
    for (std::uint16_t i = 0; i < 150; ++i) many.push_back(uuid16(0x1000 + i % 100));
    const Bytes custom = uuid128(0x123456789ABCDEF0ull, 0x1122334455667788ull);
    const std::tuple<const char*, Bytes, std::wstring> cases[] = {
        {"16-bit on the base", list({uuid16(0x1101)}), onBase(0x1101)},
        {"32-bit on the base", list({uuid32(0x00011105)}), onBase(0x00011105)},
        {"128-bit keeps its fields", list({custom}), L"{12345678-9ABC-DEF0-1122-334455667788}"},
        {"first wins", list({uuid16(0x1112), uuid16(0x1203)}), onBase(0x1112)},
        {"A B A gives B", list({uuid16(0x1112), uuid16(0x1203), uuid16(0x1112)}), onBase(0x1203)},
        {"A A gives A", list({uuid16(0x1112), uuid16(0x1112)}), onBase(0x1112)},
        {"16 and 32 bit forms are one UUID", list({uuid16(0x1105), uuid16(0x1106), uuid32(0x1105)}),
         onBase(0x1106)},
        {"16 and 128 bit forms are one UUID",
         list({uuid16(0x1105), uuid16(0x1106),
               uuid128(0x0000110500001000ull, 0x800000805F9B34FBull)}),
         onBase(0x1106)},
        {"nested sequence then UUID", list({sequence({uuid16(0x1101)}), uuid16(0x1203)}),
         onBase(0x1203)},
        {"empty list", list({}), kNullClass},
        {"absent list", record({{0, uint32(0x10000)}, {0x100, text("Name")}}), kNullClass},
        {"alternative as the list",
         record({{1, variable(Type::Alternative, cat({uuid16(0x1101), uuid16(0x1102)}))}}),
         onBase(0x1101)},
        {"list is a UUID", record({{1, uuid16(0x1101)}}), kNullClass},
        {"150 UUIDs, the first 50 twice", record({{1, sequence(many)}}), onBase(0x1032)},
    };
    for (const auto& [name, record, expected] : cases) EXPECT_EQ(classOf(record), expected) << name;
}

}  // namespace
