#include <corvale/bluez/sdp_client.h>

#include <corvale/bt/sdp.h>

#include <algorithm>

namespace Corvale::Bluez {

namespace {

constexpr std::uint8_t kErrorResponse = 0x01;
constexpr std::uint8_t kSearchAttributeRequest = 0x06;
constexpr std::uint8_t kSearchAttributeResponse = 0x07;
constexpr std::size_t kHeader = 5;            // PDU ID, transaction ID, parameter length
constexpr std::size_t kMaxContinuation = 16;  // bytes of state, after its length byte
constexpr std::uint16_t kInsufficientResources = 0x0006;

std::uint16_t be16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

// A 16-bit field of the PDU or its parameters (not a data element), big-endian.
void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

// A short UUID of an element, when the element is a UUID on the base.
std::optional<ULONG> shortUuid(const SDP_ELEMENT_DATA& e) {
    if (e.type != SDP_TYPE_UUID) return std::nullopt;
    switch (e.specificType) {
        case SDP_ST_UUID16:
            return e.data.uuid16;
        case SDP_ST_UUID32:
            return e.data.uuid32;
        case SDP_ST_UUID128:
            return Bt::shortForm(e.data.uuid128);
        default:
            return std::nullopt;
    }
}

std::optional<ULONG> unsignedValue(const SDP_ELEMENT_DATA& e) {
    if (e.type != SDP_TYPE_UINT) return std::nullopt;
    switch (e.specificType) {
        case SDP_ST_UINT8:
            return e.data.uint8;
        case SDP_ST_UINT16:
            return e.data.uint16;
        default:
            return std::nullopt;  // no channel or PSM is wider
    }
}

// Walks the direct children of a container element.
template <typename Visit>
DWORD forEachChild(LPBYTE container, ULONG length, Visit visit) {
    HBLUETOOTH_CONTAINER_ELEMENT cursor = nullptr;
    for (;;) {
        SDP_ELEMENT_DATA child{};
        const DWORD r = BluetoothSdpGetContainerElementData(container, length, &cursor, &child);
        if (r == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
        if (r != ERROR_SUCCESS) return r;
        if (!visit(child)) return ERROR_SUCCESS;
    }
}

std::optional<std::string> textAttribute(std::span<const std::uint8_t> record, USHORT id) {
    SDP_ELEMENT_DATA e{};
    if (BluetoothSdpGetAttributeValue(const_cast<LPBYTE>(record.data()),
                                      static_cast<ULONG>(record.size()), id, &e) != ERROR_SUCCESS ||
        e.type != SDP_TYPE_STRING)
        return std::nullopt;
    const char* text = reinterpret_cast<const char*>(e.data.string.value);
    // Many stacks count a terminating NUL in the length; nothing after one is text.
    const std::size_t n = std::find(text, text + e.data.string.length, '\0') - text;
    return std::string(text, n);
}

}  // namespace

std::vector<std::uint8_t> buildSearchAttributeRequest(std::uint16_t transaction,
                                                      const GUID& pattern,
                                                      std::span<const std::uint8_t> continuation) {
    namespace Sdp = Bt::Sdp;
    // ServiceSearchPattern: a sequence of one UUID, in its shortest form.
    std::vector<std::uint8_t> params = Sdp::sequence({Sdp::uuid(pattern)});
    // MaximumAttributeByteCount: as much per response as the server will give.
    put16(params, 0xFFFF);
    // AttributeIDList: the range 0x0000-0xFFFF as one 32-bit value.
    const Sdp::Bytes range = Sdp::sequence({Sdp::uint32(0x0000FFFF)});
    params.insert(params.end(), range.begin(), range.end());
    const std::size_t state = std::min(continuation.size(), kMaxContinuation);
    params.push_back(static_cast<std::uint8_t>(state));
    params.insert(params.end(), continuation.begin(), continuation.begin() + state);

    std::vector<std::uint8_t> pdu;
    pdu.push_back(kSearchAttributeRequest);
    put16(pdu, transaction);
    put16(pdu, static_cast<std::uint16_t>(params.size()));
    pdu.insert(pdu.end(), params.begin(), params.end());
    return pdu;
}

DWORD parseSearchAttributeResponse(std::span<const std::uint8_t> pdu, std::uint16_t transaction,
                                   SdpFragment& out) {
    if (pdu.size() < kHeader) return ERROR_INVALID_DATA;
    const std::uint8_t id = pdu[0];
    if (be16(&pdu[1]) != transaction) return ERROR_INVALID_DATA;
    const std::size_t paramLength = be16(&pdu[3]);
    if (paramLength != pdu.size() - kHeader) return ERROR_INVALID_DATA;
    const std::uint8_t* p = pdu.data() + kHeader;

    if (id == kErrorResponse) {
        // ErrorCode, possibly followed by ErrorInfo.
        if (paramLength < 2) return ERROR_INVALID_DATA;
        return be16(p) == kInsufficientResources ? ERROR_RETRY : ERROR_NOT_SUPPORTED;
    }
    if (id != kSearchAttributeResponse) return ERROR_INVALID_DATA;

    // AttributeListsByteCount, the lists, then the continuation state.
    if (paramLength < 2 + 1) return ERROR_INVALID_DATA;
    const std::size_t count = be16(p);
    if (count > paramLength - 2 - 1) return ERROR_INVALID_DATA;
    const std::size_t stateAt = 2 + count;
    const std::size_t stateLength = p[stateAt];
    if (stateLength > kMaxContinuation || stateAt + 1 + stateLength != paramLength)
        return ERROR_INVALID_DATA;
    out.lists = std::span<const std::uint8_t>(p + 2, count);
    out.continuation = std::span<const std::uint8_t>(p + stateAt + 1, stateLength);
    return ERROR_SUCCESS;
}

DWORD searchAttributes(SdpTransport& transport, BTH_ADDR device, const GUID& pattern,
                       const SdpLimits& limits, std::vector<std::uint8_t>& lists) {
    using std::chrono::milliseconds;
    lists.clear();
    const auto now = [&] {
        return limits.clock ? limits.clock() : std::chrono::steady_clock::now();
    };
    const auto deadline = now() + limits.overall;
    // One wait: its own bound, or what is left of the whole search.
    const auto bounded = [&](milliseconds step) {
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - now());
        return std::max(milliseconds(0), std::min(step, left));
    };
    if (DWORD r = transport.connect(device, bounded(limits.connectTimeout))) return r;

    std::vector<std::uint8_t> continuation;
    std::vector<std::vector<std::uint8_t>> seen;  // every state of this search
    std::vector<std::uint8_t> response;
    for (unsigned round = 0; round < limits.maxRounds; ++round) {
        if (now() >= deadline) return WSAETIMEDOUT;
        const auto transaction = static_cast<std::uint16_t>(round + 1);
        const std::vector<std::uint8_t> request =
            buildSearchAttributeRequest(transaction, pattern, continuation);
        if (DWORD r = transport.send(request, bounded(limits.responseTimeout))) return r;
        if (DWORD r = transport.recv(response, kMaxResponse, bounded(limits.responseTimeout)))
            return r;
        if (response.size() > kMaxResponse) return WSAENOBUFS;

        SdpFragment fragment;
        if (DWORD r = parseSearchAttributeResponse(response, transaction, fragment)) return r;
        if (fragment.lists.size() > limits.maxTotal - lists.size()) return WSAENOBUFS;
        lists.insert(lists.end(), fragment.lists.begin(), fragment.lists.end());
        if (fragment.continuation.empty()) return ERROR_SUCCESS;
        // A peer that asks to go on without giving anything, or leads us back
        // to a state we have already sent, would keep us asking for ever.
        continuation.assign(fragment.continuation.begin(), fragment.continuation.end());
        if (fragment.lists.empty() ||
            std::find(seen.begin(), seen.end(), continuation) != seen.end())
            return WSAETIMEDOUT;
        seen.push_back(continuation);
    }
    return WSAETIMEDOUT;
}

std::optional<ULONG> recordPort(std::span<const std::uint8_t> record) {
    SDP_ELEMENT_DATA list{};
    if (BluetoothSdpGetAttributeValue(const_cast<LPBYTE>(record.data()),
                                      static_cast<ULONG>(record.size()), 0x0004,
                                      &list) != ERROR_SUCCESS)
        return std::nullopt;
    // A record with several protocol stacks gives an alternative of
    // sequences: the first stack is the one a client uses first.
    if (list.type == SDP_TYPE_ALTERNATIVE) {
        SDP_ELEMENT_DATA first{};
        bool found = false;
        forEachChild(list.data.alternative.value, list.data.alternative.length,
                     [&](const SDP_ELEMENT_DATA& child) {
                         if (child.type == SDP_TYPE_SEQUENCE) first = child, found = true;
                         return false;
                     });
        if (!found) return std::nullopt;
        list = first;
    }
    if (list.type != SDP_TYPE_SEQUENCE) return std::nullopt;

    std::optional<ULONG> psm, channel;
    forEachChild(list.data.sequence.value, list.data.sequence.length,
                 [&](const SDP_ELEMENT_DATA& descriptor) {
                     if (descriptor.type != SDP_TYPE_SEQUENCE) return true;
                     std::optional<ULONG> protocol, parameter;
                     unsigned index = 0;
                     forEachChild(descriptor.data.sequence.value, descriptor.data.sequence.length,
                                  [&](const SDP_ELEMENT_DATA& e) {
                                      if (index == 0) protocol = shortUuid(e);
                                      if (index == 1) parameter = unsignedValue(e);
                                      return ++index < 2;
                                  });
                     if (protocol == 0x0100u && parameter && !psm) psm = parameter;
                     if (protocol == 0x0003u && parameter && !channel) channel = parameter;
                     return true;
                 });
    return channel ? channel : psm;
}

DWORD splitRecords(std::span<const std::uint8_t> lists, std::vector<SdpRecord>& out) {
    out.clear();
    if (lists.empty()) return ERROR_INVALID_DATA;
    auto* bytes = const_cast<LPBYTE>(lists.data());
    const auto length = static_cast<ULONG>(lists.size());
    if (lists.size() != length) return ERROR_INVALID_DATA;

    // The whole answer is one sequence, and nothing follows it.
    SDP_ELEMENT_DATA whole{};
    if (BluetoothSdpGetElementData(bytes, length, &whole) != ERROR_SUCCESS ||
        whole.type != SDP_TYPE_SEQUENCE || whole.data.sequence.length != length)
        return ERROR_INVALID_DATA;

    bool malformed = false;
    const DWORD r = forEachChild(bytes, length, [&](const SDP_ELEMENT_DATA& child) {
        if (child.type != SDP_TYPE_SEQUENCE) {
            malformed = true;
            return false;
        }
        SdpRecord record;
        std::span<const std::uint8_t> element(child.data.sequence.value,
                                              child.data.sequence.length);
        record.bytes.assign(element.begin(), element.end());
        record.name = textAttribute(element, 0x0100);
        record.comment = textAttribute(element, 0x0101);
        record.port = recordPort(element);
        out.push_back(std::move(record));
        return true;
    });
    if (r != ERROR_SUCCESS || malformed) {
        out.clear();
        return ERROR_INVALID_DATA;
    }
    return ERROR_SUCCESS;
}

}  // namespace Corvale::Bluez
