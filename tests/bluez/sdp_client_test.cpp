// The SDP client: its requests, its checks of every response, and whole
// searches against a scripted peer through its real packet transport.
#include <corvale/bluez/sdp_client.h>

#include "sdp_peer.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace Corvale::Bluez;
using namespace sdpwire;

namespace {

constexpr GUID kL2cap = Corvale::Bt::onBase<GUID>(0x0100);
const Bytes kHeadset = rfcommRecord(0x10001, 0x1112, 2, "Headset", "Voice gateway");
const Bytes kSerial = rfcommRecord(0x10002, 0x1101, 5, "Serial Port", "COM");
const Bytes kBoth = sequence({kHeadset, kSerial});

}  // namespace

TEST(SdpRequest, ShortestPatternWholeRangeAndTheStateHandedBack) {
    struct Case {
        GUID uuid;
        Bytes pattern, state;
    } cases[] = {
        {kL2cap, {0x35, 0x03, 0x19, 0x01, 0x00}, {}},
        {Corvale::Bt::onBase<GUID>(0x12345678),
         {0x35, 0x05, 0x1A, 0x12, 0x34, 0x56, 0x78},
         {0xAA, 0xBB, 0xCC}},
        {GUID{0x01020304, 0x0506, 0x0708, {9, 10, 11, 12, 13, 14, 15, 16}},
         {0x35, 0x11, 0x1C, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
         Bytes(16, 0x5A)},
    };
    for (const Case& c : cases) {
        // Pattern, maximum byte count 0xFFFF, attribute range 0x0000-0xFFFF, state.
        const Bytes params = cat({c.pattern,
                                  {0xFF, 0xFF, 0x35, 0x05, 0x0A, 0x00, 0x00, 0xFF, 0xFF},
                                  be(c.state.size(), 1),
                                  c.state});
        EXPECT_EQ(buildSearchAttributeRequest(7, c.uuid, c.state),
                  cat({{0x06, 0x00, 0x07}, be(params.size(), 2), params}));
    }
}

TEST(SdpResponse, EveryLengthIsCheckedAgainstTheBytesReceived) {
    struct Case {
        const char* what;
        Bytes pdu;
        DWORD code;
    } cases[] = {
        {"well formed", response(sequence({}), {}, 5), ERROR_SUCCESS},
        {"another transaction", response(sequence({}), {}, 6), ERROR_INVALID_DATA},
        {"another PDU", {0x03, 0x00, 0x05, 0x00, 0x00}, ERROR_INVALID_DATA},
        {"parameter length too long", {7, 0, 5, 0, 9, 0, 2, 0x35, 0, 0}, ERROR_INVALID_DATA},
        {"parameter length too short", {7, 0, 5, 0, 4, 0, 2, 0x35, 0, 0}, ERROR_INVALID_DATA},
        {"byte count past the end", {7, 0, 5, 0, 5, 0, 9, 0x35, 0, 0}, ERROR_INVALID_DATA},
        {"state length past the end", {7, 0, 5, 0, 5, 0, 2, 0x35, 0, 2}, ERROR_INVALID_DATA},
        {"no state length", {7, 0, 5, 0, 4, 0, 2, 0x35, 0}, ERROR_INVALID_DATA},
        {"state longer than 16", response(sequence({}), Bytes(17, 1), 5), ERROR_INVALID_DATA},
        {"error response", be(3, 2, {1, 0, 5, 0, 2}), ERROR_NOT_SUPPORTED},
        {"error: insufficient resources", be(6, 2, {1, 0, 5, 0, 2}), ERROR_RETRY},
        {"error response without a code", {0x01, 0x00, 0x05, 0x00, 0x00}, ERROR_INVALID_DATA},
    };
    for (const Case& c : cases) {
        SdpFragment f;
        EXPECT_EQ(parseSearchAttributeResponse(c.pdu, 5, f), c.code) << c.what;
    }
    const Bytes good = response(kBoth, {0x01, 0x02}, 5);
    SdpFragment f;
    ASSERT_EQ(parseSearchAttributeResponse(good, 5, f), ERROR_SUCCESS);
    EXPECT_EQ(Bytes(f.lists.begin(), f.lists.end()), kBoth);
    EXPECT_EQ(Bytes(f.continuation.begin(), f.continuation.end()), (Bytes{0x01, 0x02}));
    // Every cut, each a copy of its own so that reading past it is a sanitizer error.
    for (std::size_t n = 0; n < good.size(); ++n)
        EXPECT_EQ(parseSearchAttributeResponse(Bytes(good.begin(), good.begin() + n), 5, f),
                  ERROR_INVALID_DATA)
            << n;
}

TEST(SdpSearch, JoinsTheFragmentsAndStopsAtTheFirstFault) {
    // Parts cut anywhere, even inside an element: they only make sense joined.
    const Bytes a(kBoth.begin(), kBoth.begin() + 7), b(kBoth.begin() + 7, kBoth.begin() + 40),
        c(kBoth.begin() + 40, kBoth.end());
    Script parts;  // 1000 bytes each
    for (std::uint8_t i = 1; i <= 10; ++i) parts.push_back(response(Bytes(1000, 0), {i}));
    Script fresh;  // a byte and a state never seen before, every time
    for (std::uint8_t i = 1; i <= 10; ++i) fresh.push_back(response({0}, {i}));
    Bytes truncated = response(kBoth);
    truncated.resize(truncated.size() - 4);
    struct Case {
        const char* what;
        Script script;
        DWORD code;
        std::size_t requests;
    } cases[] = {
        {"one response", {response(kBoth)}, ERROR_SUCCESS, 1},
        {"three parts", {response(a, {1, 0x11}), response(b, {2}), response(c)}, ERROR_SUCCESS, 3},
        {"error PDU after a part",
         {response(a, {1}), be(5, 2, {0x01, 0, 0, 0, 2})},
         ERROR_NOT_SUPPORTED,
         2},
        {"another transaction", {response(kBoth, {}, 0x7777)}, ERROR_INVALID_DATA, 1},
        {"truncated", {truncated}, ERROR_INVALID_DATA, 1},
        {"larger than any response", {Bytes(kMaxResponse + 1, 7)}, WSAENOBUFS, 1},
        {"total past the bound", parts, WSAENOBUFS, 5},
        {"nothing, with a state to go on", {response({}, {9})}, WSAETIMEDOUT, 1},
        {"back to a state already sent",
         {response(a, {1}), response(b, {2}), response(a, {1})},
         WSAETIMEDOUT,
         3},
        {"the round limit", fresh, WSAETIMEDOUT, 8},
        {"silent", {std::nullopt}, WSAETIMEDOUT, 1},
        {"silent after a part", {response(a, {1}), std::nullopt}, WSAETIMEDOUT, 2},
        {"hangs up", {Bytes{}}, WSAECONNRESET, 1},
    };
    SdpLimits limits;
    limits.connectTimeout = std::chrono::milliseconds(500);
    limits.responseTimeout = std::chrono::milliseconds(300);
    limits.maxTotal = 4500;
    limits.maxRounds = 8;
    for (Case& t : cases) {
        SCOPED_TRACE(t.what);
        ScriptedPeer peer(std::move(t.script));
        Bytes got;
        EXPECT_EQ(searchAttributes(*makePacketTransport(peer.takeClient()), 0x001122334455, kL2cap,
                                   limits, got),
                  t.code);
        const std::vector<Bytes>& requests = peer.requests();
        EXPECT_EQ(requests.size(), t.requests);
        EXPECT_EQ(got == kBoth, t.code == ERROR_SUCCESS);
        if (std::string(t.what) != "three parts") continue;
        ASSERT_EQ(requests.size(), 3u);
        // Each request hands back the state of the response before it, with a fresh transaction.
        EXPECT_EQ(requests[0].back(), 0x00);
        EXPECT_EQ(Bytes(requests[1].end() - 3, requests[1].end()), (Bytes{0x02, 0x01, 0x11}));
        EXPECT_EQ(Bytes(requests[2].end() - 2, requests[2].end()), (Bytes{0x01, 0x02}));
        EXPECT_NE(requests[0][2], requests[1][2]);
    }
}

TEST(SdpSearch, APeerAnsweringJustInTimeForEverIsCutOffAtTheOverallDeadline) {
    using namespace std::chrono_literals;
    // Each answer comes 4.9 s after its request (on a clock the peer moves
    // on), a byte at a time with a fresh state: 512 rounds would take 42 min.
    std::atomic<std::int64_t> elapsedMs{0};
    Script script;
    for (unsigned i = 0; i < 600; ++i) script.push_back(response({0}, be(i, 2)));
    ScriptedPeer peer(std::move(script), [&] { elapsedMs += 4900; });
    SdpLimits limits;  // the defaults: 15 s to connect, 5 s a response, 30 s in all
    limits.clock = [&] { return std::chrono::steady_clock::time_point(elapsedMs.load() * 1ms); };
    std::vector<std::chrono::milliseconds> waits;
    Bytes got;
    {
        Recording transport(makePacketTransport(peer.takeClient()), waits);
        EXPECT_EQ(searchAttributes(transport, 0x001122334455, kL2cap, limits, got), WSAETIMEDOUT);
    }
    // Rounds start at 0, 4.9, ... 29.4 s; the eighth would start past 30 s.
    EXPECT_EQ(peer.requests().size(), 7u);
    ASSERT_EQ(waits.size(), 1u + 2 * 7);
    EXPECT_EQ(waits[0], 15s);
    EXPECT_EQ(waits[1], 5s);
    EXPECT_EQ(waits[13], 600ms) << "the last round waits only for what is left";

    limits.overall = 2s;
    ScriptedPeer quick({response(kBoth)});
    waits.clear();
    Recording transport(makePacketTransport(quick.takeClient()), waits);
    EXPECT_EQ(searchAttributes(transport, 0x001122334455, kL2cap, limits, got), ERROR_SUCCESS);
    EXPECT_EQ(waits.at(0), 2s) << "connecting is part of the whole";
}

TEST(SdpRecords, TheAnswerMustBeOneSequenceOfSequences) {
    const Bytes longForm = sequence({kHeadset}, LengthField::Bits16);
    struct Case {
        const char* what;
        Bytes lists;
        std::size_t records;  // 0: refused
    } cases[] = {
        {"two records", kBoth, 2},
        {"long form length", longForm, 1},
        {"not a sequence", text("records"), 0},
        {"a record that is not a sequence", sequence({kHeadset, uint16(4)}), 0},
        {"bytes after the answer", cat({kBoth, {0x00}}), 0},
    };
    for (const Case& c : cases) {
        std::vector<SdpRecord> records;
        EXPECT_EQ(splitRecords(c.lists, records), c.records ? ERROR_SUCCESS : ERROR_INVALID_DATA)
            << c.what;
        EXPECT_EQ(records.size(), c.records) << c.what;
    }
    std::vector<SdpRecord> records;
    EXPECT_EQ(splitRecords(sequence({}), records), ERROR_SUCCESS);
    for (std::size_t n = 0; n < kBoth.size(); ++n)
        EXPECT_EQ(splitRecords(Bytes(kBoth.begin(), kBoth.begin() + n), records),
                  ERROR_INVALID_DATA)
            << n;
}

TEST(SdpRecords, NameCommentAndPortAreReadFromTheRecord) {
    // A record with only a ProtocolDescriptorList, and the usual L2CAP, RFCOMM stack.
    const auto descriptor = [](const Bytes& value) { return record({{0x0004, value}}); };
    const auto stack = [](const Bytes& l2cap, const Bytes& rfcomm) {
        return sequence({sequence({uuid16(0x0100), l2cap}), sequence({uuid16(0x0003), rfcomm})});
    };
    using Text = std::optional<std::string>;
    struct Case {
        const char* what;
        Bytes record;
        Text name, comment;
        std::optional<ULONG> port;
    } cases[] = {
        {"RFCOMM record", kHeadset, "Headset", "Voice gateway", 2},
        {"text up to a NUL, bytes as received",
         record({{0x0100, text(std::string("Printer\0junk", 12))}, {0x0101, text("\xC3\xA9\xFF")}}),
         "Printer", "\xC3\xA9\xFF", std::nullopt},
        {"attributes of the wrong type",
         record({{0x0100, uint16(3)}, {0x0101, sequence({})}, {0x0004, text("x")}}),
         {},
         {},
         {}},
        {"L2CAP PSM only",
         descriptor(sequence({sequence({uuid16(0x0100), uint16(0x1001)})})),
         {},
         {},
         0x1001},
        {"both: the channel wins", descriptor(stack(uint16(3), uint8(9))), {}, {}, 9},
        {"128-bit UUIDs",
         descriptor(sequence({sequence({uuid128(Corvale::Bt::onBase<GUID>(0x0100))}),
                              sequence({uuid128(Corvale::Bt::onBase<GUID>(3)), uint8(4)})})),
         {},
         {},
         4},
        {"no PSM, no channel", descriptor(stack({}, {})), {}, {}, {}},
        {"channel of the wrong type", descriptor(stack({}, text("7"))), {}, {}, {}},
        {"alternative: the first stack",
         descriptor(alternative({stack({}, uint8(12)), stack({}, uint8(8))})),
         {},
         {},
         12},
        {"descriptor that is not a sequence", descriptor(sequence({uuid16(0x0100)})), {}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<SdpRecord> records;
        ASSERT_EQ(splitRecords(sequence({c.record}), records), ERROR_SUCCESS);
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].bytes, c.record);
        EXPECT_EQ(records[0].name, c.name);
        EXPECT_EQ(records[0].comment, c.comment);
        EXPECT_EQ(records[0].port, c.port);
    }
}
