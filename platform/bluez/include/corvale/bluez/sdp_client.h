// Our SDP client: one ServiceSearchAttributeRequest (Bluetooth Core Specification,
// Vol 3, Part B, 4.7) with the attribute range 0x0000-0xFFFF,
// followed through its continuation states, over a transport that tests can
// replace with a scripted peer.
//
// Everything here comes from a remote device: every length is checked against
// the bytes really received, the assembled answer is bounded in size and in
// the number of round trips, and every wait has a timeout.
#pragma once

#include <corvale/compat/winapi.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace Corvale::Bluez {

// The connection to one device's SDP server. Each call returns 0 or a
// Win32/Winsock code from the table in bluez_backend.h.
class SdpTransport {
public:
    virtual ~SdpTransport() = default;
    virtual DWORD connect(BTH_ADDR device, std::chrono::milliseconds timeout) = 0;
    virtual DWORD send(std::span<const std::uint8_t> pdu, std::chrono::milliseconds timeout) = 0;
    // One whole PDU as the peer sent it (SDP runs over a packet channel). A
    // transport never returns more than maxSize bytes: a larger packet fails
    // with WSAENOBUFS.
    virtual DWORD recv(std::vector<std::uint8_t>& pdu, std::size_t maxSize,
                       std::chrono::milliseconds timeout) = 0;
};

// The transport over an L2CAP socket to PSM 1 (no libbluetooth: the few kernel
// structures are declared by us). Fails fast with WSAEAFNOSUPPORT on a kernel
// without Bluetooth sockets.
std::unique_ptr<SdpTransport> makeL2capTransport();

// The same transport over a packet socket that is already connected (it takes
// the socket over; its connect() does nothing). Any SOCK_SEQPACKET socket
// will do, which lets tests put a scripted peer at the other end.
std::unique_ptr<SdpTransport> makePacketTransport(int connectedSocket);

struct SdpLimits {
    std::chrono::milliseconds connectTimeout{15000};
    std::chrono::milliseconds responseTimeout{5000};
    // The whole search, connecting and every round together. A peer that
    // answers each request just before the response timeout, with a fresh
    // continuation state and little or nothing in it, cannot hold a search
    // for longer than this: the search then fails with WSAETIMEDOUT.
    std::chrono::milliseconds overall{30000};
    // The AttributeLists of all responses together.
    std::size_t maxTotal = 256 * 1024;
    // Requests of one search, the first included.
    unsigned maxRounds = 512;
    // Where the search reads the time; empty: the steady clock. Tests put a
    // clock here that a scripted peer moves on.
    std::function<std::chrono::steady_clock::time_point()> clock;
};

// The largest PDU we accept from a peer: the SDP header, a byte count, 65535
// bytes of attribute lists and the largest continuation state.
inline constexpr std::size_t kMaxResponse = 5 + 2 + 0xFFFF + 17;

// One response PDU, checked. Lists and continuation point into the PDU.
struct SdpFragment {
    std::span<const std::uint8_t> lists;
    std::span<const std::uint8_t> continuation;  // empty: the last fragment
};

// Builds the request PDU for a search on `pattern` with the given
// continuation state (empty for the first request).
std::vector<std::uint8_t> buildSearchAttributeRequest(std::uint16_t transaction,
                                                      const GUID& pattern,
                                                      std::span<const std::uint8_t> continuation);

// Checks one response to the request with `transaction`: a
// ServiceSearchAttributeResponse whose lengths agree with its size, or an
// ErrorResponse (ERROR_NOT_SUPPORTED, or ERROR_RETRY for "insufficient
// resources"). Anything else is ERROR_INVALID_DATA.
DWORD parseSearchAttributeResponse(std::span<const std::uint8_t> pdu, std::uint16_t transaction,
                                   SdpFragment& out);

// Runs one whole search: connects, sends the requests, joins the fragments.
// `lists` gets the AttributeLists as received (one data element sequence of
// records). A search that stops making progress (a continuing response with
// no data, a continuation state that this search has seen before, the round
// limit) or runs past `limits.overall` fails with WSAETIMEDOUT: the peer did
// not properly respond in time.
DWORD searchAttributes(SdpTransport& transport, BTH_ADDR device, const GUID& pattern,
                       const SdpLimits& limits, std::vector<std::uint8_t>& lists);

// One record of the answer, with what the lookup hands up.
struct SdpRecord {
    std::vector<BYTE> bytes;             // the record's data element, as received
    std::optional<std::string> name;     // 0x0100, UTF-8 as received, cut at a NUL
    std::optional<std::string> comment;  // 0x0101
    std::optional<ULONG> port;           // RFCOMM channel, else L2CAP PSM
};

// Splits the AttributeLists into records (decoded with the compat layer's SDP
// decoder). The whole answer must be one sequence of sequences, else
// ERROR_INVALID_DATA.
DWORD splitRecords(std::span<const std::uint8_t> lists, std::vector<SdpRecord>& out);

// The port of one record from its ProtocolDescriptorList (0x0004): the RFCOMM
// channel when the first protocol stack has RFCOMM, else the L2CAP PSM.
std::optional<ULONG> recordPort(std::span<const std::uint8_t> record);

}  // namespace Corvale::Bluez
