// The BlueZ platform's SDP client on whatever a remote SDP server might send:
// the input is cut into response packets (a 16-bit big-endian length before
// each), handed to a whole search through an in-memory transport, and the
// joined answer is split into records and their name, comment and port. The
// same bytes are also parsed as one response and as one answer directly.
#include <corvale/bluez/sdp_client.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using namespace Corvale::Bluez;

class Replay final : public SdpTransport {
public:
    Replay(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    DWORD connect(BTH_ADDR, std::chrono::milliseconds) override { return 0; }
    DWORD send(std::span<const std::uint8_t> pdu, std::chrono::milliseconds) override {
        // Answer with the transaction ID of the request, so that the parts
        // after the header are what gets exercised.
        if (pdu.size() >= 3) tid_ = static_cast<std::uint16_t>(pdu[1] << 8 | pdu[2]);
        return 0;
    }
    DWORD recv(std::vector<std::uint8_t>& pdu, std::size_t maxSize,
               std::chrono::milliseconds) override {
        if (size_ - at_ < 2) return WSAETIMEDOUT;  // a peer with nothing more to say
        std::size_t n = static_cast<std::size_t>(data_[at_] << 8 | data_[at_ + 1]);
        at_ += 2;
        n = std::min(n, size_ - at_);
        if (n > maxSize) return WSAENOBUFS;
        pdu.assign(data_ + at_, data_ + at_ + n);
        at_ += n;
        if (pdu.size() >= 3) {
            pdu[1] = static_cast<std::uint8_t>(tid_ >> 8);
            pdu[2] = static_cast<std::uint8_t>(tid_);
        }
        return 0;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
    std::uint16_t tid_ = 0;
};

const GUID kL2cap{0x00000100, 0x0000, 0x1000, {0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One response on its own.
    if (size >= 3) {
        SdpFragment fragment;
        const auto tid = static_cast<std::uint16_t>(data[1] << 8 | data[2]);
        if (parseSearchAttributeResponse({data, size}, tid, fragment) == 0) {
            volatile std::size_t touch = fragment.lists.size() + fragment.continuation.size();
            if (fragment.lists.size() > 0) touch = touch + fragment.lists.back();
            (void)touch;
        }
    }

    // One answer on its own (copied so ASan sees its exact end).
    {
        std::vector<std::uint8_t> copy(data, data + size);
        std::vector<SdpRecord> records;
        splitRecords(copy, records);
    }

    // A whole search fed by the input.
    Replay peer(data, size);
    SdpLimits limits;
    limits.maxRounds = 64;
    limits.maxTotal = 64 * 1024;
    std::vector<std::uint8_t> lists;
    if (searchAttributes(peer, 0x001122334455, kL2cap, limits, lists) == 0) {
        std::vector<SdpRecord> records;
        if (splitRecords(lists, records) == 0) {
            for (const SdpRecord& r : records) {
                volatile std::size_t n = r.bytes.size() + (r.name ? r.name->size() : 0) +
                                         (r.comment ? r.comment->size() : 0) + r.port.value_or(0);
                (void)n;
            }
        }
    }
    return 0;
}
