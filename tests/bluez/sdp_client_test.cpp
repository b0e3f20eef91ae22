// The SDP client against a scripted peer at the other end of a real packet
// socket: the client's own transport, waits and limits are the ones at work.
#include <corvale/bluez/sdp_client.h>

#include "scripted_peer.h"
#include "sdp_wire.h"

#include <gtest/gtest.h>

using namespace Corvale::Bluez;
using namespace sdpwire;

namespace {

const GUID kL2cap{0x00000100, 0x0000, 0x1000, {0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB}};

using Kind = Step::Kind;

SdpLimits fastLimits() {
    SdpLimits l;
    l.connectTimeout = std::chrono::milliseconds(500);
    l.responseTimeout = std::chrono::milliseconds(300);
    return l;
}

DWORD search(ScriptedPeer& peer, Bytes& lists, SdpLimits limits = fastLimits()) {
    auto transport = makePacketTransport(peer.takeClient());
    return searchAttributes(*transport, 0x001122334455, kL2cap, limits, lists);
}

const Bytes kHeadset = rfcommRecord(0x10001, 0x1112, 2, "Headset", "Voice gateway");
const Bytes kSerial = rfcommRecord(0x10002, 0x1101, 5, "Serial Port", "COM");

}  // namespace

TEST(SdpRequest, IsAServiceSearchAttributeRequestForTheWholeRange) {
    const Bytes expected = {0x06, 0x00, 0x07, 0x00, 0x0F,  // PDU, transaction 7, 15 bytes
                            0x35, 0x03, 0x19, 0x01, 0x00,  // pattern: L2CAP
                            0xFF, 0xFF,                    // maximum byte count
                            0x35, 0x05, 0x0A, 0x00, 0x00, 0xFF, 0xFF,  // range 0000-FFFF
                            0x00};                                     // no continuation
    EXPECT_EQ(buildSearchAttributeRequest(7, kL2cap, {}), expected);
}

TEST(SdpRequest, PatternTakesTheShortestFormOfTheUuid) {
    struct Case {
        GUID uuid;
        Bytes pattern;
    } cases[] = {
        {kL2cap, {0x35, 0x03, 0x19, 0x01, 0x00}},
        {GUID{0x12345678, 0, 0x1000, {0x80, 0, 0, 0x80, 0x5F, 0x9B, 0x34, 0xFB}},
         {0x35, 0x05, 0x1A, 0x12, 0x34, 0x56, 0x78}},
        {GUID{0x01020304, 0x0506, 0x0708, {9, 10, 11, 12, 13, 14, 15, 16}},
         {0x35, 0x11, 0x1C, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
    };
    for (const Case& c : cases) {
        const Bytes pdu = buildSearchAttributeRequest(1, c.uuid, {});
        ASSERT_GT(pdu.size(), 5 + c.pattern.size());
        EXPECT_EQ(Bytes(pdu.begin() + 5, pdu.begin() + 5 + c.pattern.size()), c.pattern);
        EXPECT_EQ(pdu[4] + 5u, pdu.size()) << "parameter length agrees with the PDU";
    }
}

TEST(SdpRequest, CarriesTheContinuationStateBack) {
    const Bytes state{0xAA, 0xBB, 0xCC};
    const Bytes pdu = buildSearchAttributeRequest(2, kL2cap, state);
    EXPECT_EQ(Bytes(pdu.end() - 4, pdu.end()), (Bytes{0x03, 0xAA, 0xBB, 0xCC}));
}

TEST(SdpResponse, MalformedResponsesAreRefused) {
    const Bytes good = response(5, seq({}));
    struct Case {
        const char* what;
        Bytes pdu;
        DWORD code;
    } cases[] = {
        {"well formed", good, ERROR_SUCCESS},
        {"empty", {}, ERROR_INVALID_DATA},
        {"header cut short", {0x07, 0x00, 0x05, 0x00}, ERROR_INVALID_DATA},
        {"another transaction", response(6, seq({})), ERROR_INVALID_DATA},
        {"another PDU", {0x03, 0x00, 0x05, 0x00, 0x00}, ERROR_INVALID_DATA},
        {"parameter length too long",
         {0x07, 0x00, 0x05, 0x00, 0x09, 0x00, 0x02, 0x35, 0x00, 0x00},
         ERROR_INVALID_DATA},
        {"parameter length too short",
         {0x07, 0x00, 0x05, 0x00, 0x04, 0x00, 0x02, 0x35, 0x00, 0x00},
         ERROR_INVALID_DATA},
        {"byte count past the end",
         {0x07, 0x00, 0x05, 0x00, 0x05, 0x00, 0x09, 0x35, 0x00, 0x00},
         ERROR_INVALID_DATA},
        {"continuation state longer than 16", response(5, seq({}), Bytes(17, 0x01)),
         ERROR_INVALID_DATA},
        {"continuation length past the end",
         {0x07, 0x00, 0x05, 0x00, 0x05, 0x00, 0x02, 0x35, 0x00, 0x02},
         ERROR_INVALID_DATA},
        {"no continuation byte",
         {0x07, 0x00, 0x05, 0x00, 0x04, 0x00, 0x02, 0x35, 0x00},
         ERROR_INVALID_DATA},
        {"error response", errorResponse(5, 0x0003), ERROR_NOT_SUPPORTED},
        {"error: insufficient resources", errorResponse(5, 0x0006), ERROR_RETRY},
        {"error response without a code", {0x01, 0x00, 0x05, 0x00, 0x00}, ERROR_INVALID_DATA},
    };
    for (const Case& c : cases) {
        SdpFragment f;
        EXPECT_EQ(parseSearchAttributeResponse(c.pdu, 5, f), c.code) << c.what;
    }
}

TEST(SdpSearch, OneResponseGivesEveryRecordAsReceived) {
    const Bytes lists = seq({kHeadset, kSerial});
    ScriptedPeer peer({{Kind::Reply, response(0, lists)}});
    Bytes got;
    ASSERT_EQ(search(peer, got), ERROR_SUCCESS);
    EXPECT_EQ(got, lists);

    std::vector<SdpRecord> records;
    ASSERT_EQ(splitRecords(got, records), ERROR_SUCCESS);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].bytes, kHeadset);
    EXPECT_EQ(records[0].name, "Headset");
    EXPECT_EQ(records[0].comment, "Voice gateway");
    EXPECT_EQ(records[0].port, 2u);
    EXPECT_EQ(records[1].bytes, kSerial);
    EXPECT_EQ(records[1].name, "Serial Port");
    EXPECT_EQ(records[1].port, 5u);
}

TEST(SdpSearch, FollowsContinuationStatesAndJoinsTheParts) {
    const Bytes lists = seq({kHeadset, kSerial});
    // Cut anywhere, even inside an element: the parts only make sense joined.
    const Bytes a(lists.begin(), lists.begin() + 7);
    const Bytes b(lists.begin() + 7, lists.begin() + 40);
    const Bytes c(lists.begin() + 40, lists.end());
    ScriptedPeer peer({{Kind::Reply, response(0, a, {0x01, 0x11})},
                       {Kind::Reply, response(0, b, {0x02})},
                       {Kind::Reply, response(0, c)}});
    Bytes got;
    ASSERT_EQ(search(peer, got), ERROR_SUCCESS);
    EXPECT_EQ(got, lists);
    ASSERT_EQ(peer.requests().size(), 3u);
    // Each request hands back the state of the response before it.
    EXPECT_EQ(peer.requests()[0].back(), 0x00);
    EXPECT_EQ(Bytes(peer.requests()[1].end() - 3, peer.requests()[1].end()),
              (Bytes{0x02, 0x01, 0x11}));
    EXPECT_EQ(Bytes(peer.requests()[2].end() - 2, peer.requests()[2].end()), (Bytes{0x01, 0x02}));
    // A fresh transaction ID for every request.
    EXPECT_NE(peer.requests()[0][2], peer.requests()[1][2]);
}

TEST(SdpSearch, AnErrorResponseEndsTheSearch) {
    ScriptedPeer peer(
        {{Kind::Reply, response(0, Bytes{0x35}, {0x01})}, {Kind::Reply, errorResponse(0, 0x0005)}});
    Bytes got;
    EXPECT_EQ(search(peer, got), ERROR_NOT_SUPPORTED);
}

TEST(SdpSearch, AResponseForAnotherTransactionIsRefused) {
    Bytes stale = response(0x7777, seq({kHeadset}));
    ScriptedPeer peer({{Kind::ReplyAsIs, stale}});
    Bytes got;
    EXPECT_EQ(search(peer, got), ERROR_INVALID_DATA);
}

TEST(SdpSearch, ATruncatedResponseIsRefused) {
    Bytes cut = response(0, seq({kHeadset}));
    cut.resize(cut.size() - 4);
    ScriptedPeer peer({{Kind::Reply, cut}});
    Bytes got;
    EXPECT_EQ(search(peer, got), ERROR_INVALID_DATA);
}

TEST(SdpSearch, TheTotalSizeIsBounded) {
    // A peer that never stops sending 1000-byte parts.
    std::vector<Step> endless;
    for (int i = 0; i < 10; ++i) endless.push_back({Kind::Reply, response(0, Bytes(1000, 0), {1})});
    ScriptedPeer peer(std::move(endless));
    SdpLimits limits = fastLimits();
    limits.maxTotal = 4500;
    Bytes got;
    EXPECT_EQ(search(peer, got, limits), WSAENOBUFS);
    EXPECT_EQ(peer.requests().size(), 5u) << "stops at the part that would cross the bound";
}

TEST(SdpSearch, APacketLargerThanAnyResponseIsRefused) {
    ScriptedPeer peer({{Kind::Reply, Bytes(kMaxResponse + 1, 0x07)}});
    Bytes got;
    EXPECT_EQ(search(peer, got), WSAENOBUFS);
}

TEST(SdpSearch, ThereIsABoundOnRoundTrips) {
    // The same continuation state over and over, with nothing in it.
    std::vector<Step> loop;
    for (int i = 0; i < 8; ++i) loop.push_back({Kind::Reply, response(0, {}, {0x09})});
    ScriptedPeer peer(std::move(loop));
    SdpLimits limits = fastLimits();
    limits.maxRounds = 8;
    Bytes got;
    EXPECT_EQ(search(peer, got, limits), ERROR_INVALID_DATA);
    EXPECT_EQ(peer.requests().size(), 8u);
}

TEST(SdpSearch, ASilentPeerTimesOut) {
    ScriptedPeer peer({{Kind::Silent, {}}});
    Bytes got;
    EXPECT_EQ(search(peer, got), WSAETIMEDOUT);
}

TEST(SdpSearch, APeerThatHangsUpIsAReset) {
    ScriptedPeer peer({{Kind::Close, {}}});
    Bytes got;
    EXPECT_EQ(search(peer, got), WSAECONNRESET);
}

TEST(SdpSearch, SilenceInTheMiddleOfAContinuationTimesOut) {
    ScriptedPeer peer({{Kind::Reply, response(0, Bytes{0x35}, {0x01})}, {Kind::Silent, {}}});
    Bytes got;
    EXPECT_EQ(search(peer, got), WSAETIMEDOUT);
}

TEST(SdpRecords, TheAnswerMustBeOneSequenceOfSequences) {
    const Bytes one = seq({kHeadset});
    struct Case {
        const char* what;
        Bytes lists;
        DWORD code;
        std::size_t records;
    } cases[] = {
        {"no records", seq({}), ERROR_SUCCESS, 0},
        {"two records", seq({kHeadset, kSerial}), ERROR_SUCCESS, 2},
        {"long form length", seqOf({kHeadset}), ERROR_SUCCESS, 1},
        {"nothing at all", {}, ERROR_INVALID_DATA, 0},
        {"not a sequence", str("records"), ERROR_INVALID_DATA, 0},
        {"a record that is not a sequence", seq({kHeadset, u16(4)}), ERROR_INVALID_DATA, 0},
        {"bytes after the answer", cat({seq({kHeadset}), Bytes{0x00}}), ERROR_INVALID_DATA, 0},
        {"answer cut short", Bytes(one.begin(), one.end() - 1), ERROR_INVALID_DATA, 0},
        {"length past the end", {0x35, 0x10, 0x35, 0x00}, ERROR_INVALID_DATA, 0},
    };
    for (const Case& c : cases) {
        std::vector<SdpRecord> records;
        EXPECT_EQ(splitRecords(c.lists, records), c.code) << c.what;
        EXPECT_EQ(records.size(), c.records) << c.what;
    }
}

TEST(SdpRecords, NameAndCommentAreTheTextAsReceivedUpToANul) {
    const Bytes record = seq(
        {attr(0x0100, str(std::string("Printer\0junk", 12))), attr(0x0101, str("\xC3\xA9t\xFF"))});
    std::vector<SdpRecord> records;
    ASSERT_EQ(splitRecords(seq({record}), records), ERROR_SUCCESS);
    EXPECT_EQ(records[0].name, "Printer");
    EXPECT_EQ(records[0].comment, "\xC3\xA9t\xFF") << "bad UTF-8 is the compat layer's to repair";
    EXPECT_FALSE(records[0].port.has_value());
}

TEST(SdpRecords, AttributesOfTheWrongTypeAreAbsent) {
    const Bytes record = seq({attr(0x0100, u16(3)), attr(0x0101, seq({})), attr(0x0004, str("x"))});
    std::vector<SdpRecord> records;
    ASSERT_EQ(splitRecords(seq({record}), records), ERROR_SUCCESS);
    EXPECT_FALSE(records[0].name.has_value());
    EXPECT_FALSE(records[0].comment.has_value());
    EXPECT_FALSE(records[0].port.has_value());
}

TEST(SdpRecords, PortIsTheRfcommChannelElseTheL2capPsm) {
    struct Case {
        const char* what;
        Bytes protocols;
        std::optional<ULONG> port;
    } cases[] = {
        {"RFCOMM", seq({seq({uuid16(0x0100)}), seq({uuid16(0x0003), u8(12)})}), 12},
        {"L2CAP PSM only", seq({seq({uuid16(0x0100), u16(0x1001)})}), 0x1001},
        {"both: the channel wins",
         seq({seq({uuid16(0x0100), u16(0x0003)}), seq({uuid16(0x0003), u8(9)})}), 9},
        {"128-bit UUIDs", seq({seq({uuid128(0x0100)}), seq({uuid128(0x0003), u8(4)})}), 4},
        {"L2CAP without PSM", seq({seq({uuid16(0x0100)})}), std::nullopt},
        {"RFCOMM without channel", seq({seq({uuid16(0x0100)}), seq({uuid16(0x0003)})}),
         std::nullopt},
        {"channel of the wrong type", seq({seq({uuid16(0x0100)}), seq({uuid16(0x0003), str("7")})}),
         std::nullopt},
        {"alternative: the first stack",
         Bytes(cat({Bytes{0x3D, 0}, seq({seq({uuid16(0x0100)}), seq({uuid16(0x0003), u8(3)})}),
                    seq({seq({uuid16(0x0100)}), seq({uuid16(0x0003), u8(8)})})})),
         3},
        {"descriptor that is not a sequence", seq({uuid16(0x0100)}), std::nullopt},
    };
    for (Case& c : cases) {
        if (c.protocols[0] == 0x3D)
            c.protocols[1] = static_cast<std::uint8_t>(c.protocols.size() - 2);
        const Bytes record = seq({attr(0x0004, c.protocols)});
        EXPECT_EQ(recordPort(record), c.port) << c.what;
    }
}
