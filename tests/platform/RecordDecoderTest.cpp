// BTRecord::Decode over the platform's SDP calls: every element type read
// back to its own bytes, and damaged, cut, corrupted, deep and huge records
// keeping what came before the damage and saying at which byte reading
// stopped. Also BluetoothSdpEnumAttributes, which the decoder walks a record
// with.
#include "record_test_support.h"
#include "sdp_crosscheck_records.h"

#include <corvale/sim/World.h>

using namespace sdptest;

namespace {

// (ID, value bytes) as BluetoothSdpEnumAttributes hands them over.
struct Enumerated {
    std::vector<std::pair<ULONG, Bytes>> pairs;
    ULONG stopAfter = ~0u;
};

BOOL collect(ULONG id, LPBYTE value, ULONG size, LPVOID param) {
    auto& e = *static_cast<Enumerated*>(param);
    e.pairs.emplace_back(id, Bytes(value, value + size));
    return e.pairs.size() < e.stopAfter;
}

BOOL enumerate(Bytes& b, Enumerated& e) {
    SetLastError(0);
    return BluetoothSdpEnumAttributes(b.data(), static_cast<ULONG>(b.size()), collect, &e);
}

const Bytes kHandle = uint32(0x00010001), kClasses = sequence({uuid16(0x1101), uuid128(1, 2)}),
            kStack = sequence({sequence({uuid16(0x0100)}), sequence({uuid16(3), uint8(4)})}),
            kName = text("Serial Port");

TEST(SdpEnumAttributes, HandsOverEachSoundAttributeInOrderAndStopsAtDamage) {
    const Bytes textPastParent = {0x35, 0x04, 0x25, 0x05, 'a', 'b'};
    const struct {
        const char* what;
        Bytes record;
        std::vector<std::pair<ULONG, Bytes>> pairs;
        BOOL result;
    } cases[] = {
        {"sound record",
         record({{0x0000, kHandle}, {0x0001, kClasses}, {0x0004, kStack}}),
         {{0x0000, kHandle}, {0x0001, kClasses}, {0x0004, kStack}},
         TRUE},
        {"no attributes", record({}), {}, TRUE},
        {"32-bit record length", record({{0x0100, kName}}, k32), {{0x0100, kName}}, TRUE},
        {"damage inside the second value",
         record({{0x0000, kHandle}, {0x0001, textPastParent}, {0x0100, kName}}),
         {{0x0000, kHandle}},
         FALSE},
        {"an ID that is no uint16",
         variable(Type::Sequence, cat({uint16(0), kHandle, uint32(1), kName})),
         {{0x0000, kHandle}},
         FALSE},
        {"cut inside the last value",
         cut(record({{0x0000, kHandle}, {0x0004, kStack}}), 12),
         {{0x0000, kHandle}},
         FALSE},
        {"cut between attributes",
         cut(record({{0x0000, kHandle}, {0x0100, kName}}), 10),
         {{0x0000, kHandle}},
         FALSE},
        {"a byte after the record",
         cat({record({{0x0000, kHandle}}), {0x00}}),
         {{0x0000, kHandle}},
         FALSE},
        {"nested to the bound",
         record({{0x0001, nest(31, nil())}}),
         {{0x0001, nest(31, nil())}},
         TRUE},
        {"nested past the bound",
         record({{0x0000, kHandle}, {0x0001, nest(32, nil())}}),
         {{0x0000, kHandle}},
         FALSE},
        {"not a sequence", text("abc"), {}, FALSE},
        {"a sequence without a length", {0x30, 0x00}, {}, FALSE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes b = c.record;
        Enumerated e;
        EXPECT_EQ(enumerate(b, e), c.result);
        EXPECT_EQ(e.pairs, c.pairs);
        EXPECT_EQ(GetLastError(), c.result ? 0u : DWORD{ERROR_INVALID_DATA});
    }
}

TEST(SdpEnumAttributes, CallbackStopsTheWalkAndBadArgumentsAreRefused) {
    Bytes b = record({{0x0000, kHandle}, {0x0001, kClasses}, {0x0004, kStack}});
    Enumerated e{.pairs = {}, .stopAfter = 2};
    EXPECT_EQ(enumerate(b, e), TRUE);
    EXPECT_EQ(e.pairs.size(), 2u);
    const PFN_BLUETOOTH_ENUM_ATTRIBUTES_CALLBACK none = nullptr, some = collect;
    for (auto [stream, size, callback] :
         {std::tuple{static_cast<LPBYTE>(nullptr), static_cast<ULONG>(b.size()), some},
          std::tuple{b.data(), ULONG{0}, some},
          std::tuple{b.data(), static_cast<ULONG>(b.size()), none}}) {
        SetLastError(0);
        EXPECT_EQ(BluetoothSdpEnumAttributes(stream, size, callback, &e), FALSE);
        EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
    }
}

// A record with every kind of place damage can hit: numbers, UUIDs, texts
// and containers down to three levels, the last attribute a container.
Bytes richPairs() {
    return pairs({{0x0000, kHandle},
                  {0x0001, kClasses},
                  {0x0004, kStack},
                  {0x0009, sequence({sequence({uuid16(0x1101), uint16(0x0102)})})},
                  {0x0100, kName},
                  {0x0200, alternative({sequence({int8(-1), boolean(true)}), url("x"), nil()})}});
}

TEST(RecordDecode, EveryElementAndRealRecordReadsWholeAndAgainIntoAUsedRecord) {
    // Every element of the table (the cross-check records leave out two), and
    // the records of the cross-checks and of the demo neighbourhood.
    std::vector<Attribute> every;
    for (const auto& [bytes, type, specificType] : kElements)
        every.push_back({static_cast<std::uint16_t>(every.size()), bytes});
    std::vector<std::pair<std::string, Bytes>> records = {{"EveryElementAlone", record(every)}};
    for (const HeadedRecord& r : headedRecords()) records.emplace_back(r.name, r.bytes);
    auto& world = Corvale::Sim::World::instance();
    world.reset();
    Corvale::Sim::loadDemoNeighbourhood(world);
    for (const auto& d : world.devices())
        for (const auto& rec : d.records)
            if (rec.bytes) records.emplace_back(rec.name.value_or("?"), *rec.bytes);
    world.reset();
    ASSERT_GT(records.size(), 30u);

    BTRecord used = decode(record({{0x0001, nest(40, nil())}}));
    for (const auto& [name, bytes] : records) {
        SCOPED_TRACE(name);
        const BTRecord r = decode(bytes);
        EXPECT_EQ(r.Stop(), BTRecordStop::None);
        EXPECT_EQ(r.Bytes(), bytes);
        EXPECT_EQ(variable(Type::Sequence, encodePairs(r), lengthField(bytes[0])), bytes);
        expectSoundTree(r);
        BTRecord::Decode(bytes, used);
        EXPECT_FALSE(used.MalformedAt().has_value());
        EXPECT_EQ(encodePairs(used), encodePairs(r));
    }
}

TEST(RecordDecode, DamageKeepsWhatCameBeforeAndSaysWhere) {
    const Bytes head = pairs({{0x0000, kHandle}});   // 8 bytes; the record's header adds 2
    const std::size_t second = 2 + head.size() + 3;  // the second attribute's value
    const struct {
        const char* what;
        Bytes bytes;
        std::vector<std::uint16_t> ids;
        std::uint32_t stop;
        BTRecordStop why = BTRecordStop::Malformed;
        // The second attribute's children kept, when it is a container.
        std::uint32_t kept = 0;
    } cases[] = {
        {"no bytes", {}, {}, 0},
        {"not a sequence", uint16(7), {}, 0},
        {"the record header cut", {0x36, 0x00}, {}, 0},
        {"a byte after the record", cat({record({{0x0000, kHandle}}), {0xFF}}), {0}, 10},
        {"an ID that is no uint16",
         variable(Type::Sequence, cat({head, uint32(1), kName})),
         {0},
         10},
        {"a reserved type as value",
         variable(Type::Sequence, cat({head, uint16(1), {0x48, 0x00}})),
         {0},
         static_cast<std::uint32_t>(second)},
        {"a text past its container, second child",
         variable(Type::Sequence,
                  cat({head, uint16(1),
                       variable(Type::Sequence, cat({uuid16(0x1101), {0x25, 0x09, 'a'}}))})),
         {0, 1},
         static_cast<std::uint32_t>(second + 2 + 3),
         BTRecordStop::Malformed,
         1},
        {"damage three levels down",
         variable(Type::Sequence,
                  cat({head, uint16(4),
                       variable(Type::Sequence,
                                cat({uuid16(7),
                                     variable(Type::Sequence,
                                              cat({uint8(1), variable(Type::Sequence,
                                                                      Bytes{0x19, 0x11})}))}))})),
         {0, 4},
         static_cast<std::uint32_t>(second + 2 + 3 + 2 + 2 + 2),
         BTRecordStop::Malformed,
         2},
        {"nested past the bound",
         record({{0x0000, kHandle}, {0x0001, nest(32, nil())}}),
         {0, 1},
         static_cast<std::uint32_t>(second + 31 * 5),
         BTRecordStop::TooDeep,
         1},
        {"nested ten thousand deep",
         record({{0x0000, kHandle}, {0x0001, nest(10000, nil())}}, k32),
         {0, 1},
         static_cast<std::uint32_t>(second + 3 + 31 * 5),
         BTRecordStop::TooDeep,
         1},
        {"70,000 elements in one list",
         record({{0x0000, kHandle}, {0x0001, sequence(std::vector<Bytes>(70000, nil()))}}, k32),
         {0, 1},
         static_cast<std::uint32_t>(second + 3 + 5),
         BTRecordStop::TooManyElements,
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const BTRecord r = decode(c.bytes);
        expectSoundTree(r);
        EXPECT_EQ(ids(r), c.ids);
        EXPECT_EQ(r.MalformedAt(), std::optional<std::uint32_t>(c.stop));
        EXPECT_EQ(r.Stop(), c.why);
        if (c.ids.size() > 1) {
            EXPECT_EQ(r.Value(r.Attributes()[1]).count, c.kept);
        }
        if (!c.ids.empty()) {
            EXPECT_EQ(encode(r, r.Value(r.Attributes()[0])), kHandle);
        }
    }
    // Attributes enough to pass the element bound on their own.
    std::vector<Attribute> many;
    for (std::uint32_t i = 0; i < 70000; ++i)
        many.push_back({static_cast<std::uint16_t>(i), nil()});
    const BTRecord r = decode(record(many, k32));
    EXPECT_EQ(r.Stop(), BTRecordStop::TooManyElements);
    EXPECT_EQ(r.Attributes().size(), BTRecord::kMaxElements);
    EXPECT_EQ(r.MalformedAt(), std::optional<std::uint32_t>(5 + 4 * BTRecord::kMaxElements));
}

// Cut after n bytes: the attributes wholly inside are kept as they were, and
// reading stops where the cut attribute began (at its value, once its ID is
// whole).
TEST(RecordDecode, CutAtEveryByteKeepsTheWholeAttributesBefore) {
    const Bytes body = richPairs(), whole = variable(Type::Sequence, body, k8);
    const BTRecord full = decode(whole);
    ASSERT_EQ(full.Stop(), BTRecordStop::None);
    for (std::size_t n = 0; n < whole.size(); ++n) {
        SCOPED_TRACE(n);
        const BTRecord r = decode(cut(whole, n));
        expectSoundTree(r);
        std::size_t kept = 0;
        std::uint32_t stop = n < 2 ? 0 : static_cast<std::uint32_t>(n);
        for (const BTAttribute& a : full.Attributes()) {
            const BTElement& v = full.Value(a);
            if (v.offset + std::size_t{v.size} <= n) {
                ++kept;
                continue;
            }
            if (n >= 2 && n > v.offset - 3u) stop = n < v.offset ? v.offset - 3 : v.offset;
            break;
        }
        ASSERT_EQ(r.Attributes().size(), kept);
        EXPECT_EQ(r.MalformedAt(), std::optional<std::uint32_t>(stop));
        for (std::size_t i = 0; i < kept; ++i)
            EXPECT_EQ(encode(r, r.Value(r.Attributes()[i])),
                      encode(full, full.Value(full.Attributes()[i])));
    }
}

// Each byte of the record set to values that confuse a decoder most: no
// tree ever reaches outside the bytes or breaks its shape.
TEST(RecordDecode, CorruptingAnyByteNeverLeavesTheBytesOrBreaksTheTree) {
    const Bytes whole = variable(Type::Sequence, richPairs(), k8);
    for (std::size_t at = 0; at < whole.size(); ++at) {
        for (const std::uint8_t value : {0x00, 0x09, 0x1C, 0x25, 0x35, 0x37, 0x3D, 0xFF}) {
            Bytes b = whole;
            b[at] = value;
            SCOPED_TRACE(::testing::Message() << "byte " << at << " = " << int(value));
            const BTRecord r = decode(b);
            expectSoundTree(r);
            if (r.Stop() == BTRecordStop::None) {
                EXPECT_EQ(variable(Type::Sequence, encodePairs(r), lengthField(b[0])).size(),
                          b.size());
            }
        }
    }
}

}  // namespace
