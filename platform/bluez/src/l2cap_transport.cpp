// SDP over an L2CAP socket to PSM 1.
#include <corvale/bluez/sdp_client.h>

#include "errors.h"
#include "socket_io.h"

namespace Corvale::Bluez {

namespace {

constexpr unsigned short kSdpPsm = 1;

int millis(std::chrono::milliseconds t) {
    if (t.count() < 0) return 0;
    if (t.count() > 0x7FFFFFFF) return 0x7FFFFFFF;
    return static_cast<int>(t.count());
}

class L2capTransport final : public SdpTransport {
public:
    L2capTransport() = default;
    explicit L2capTransport(int connected) : fd_(connected), connected_(true) {}
    ~L2capTransport() override { Sock::closeSocket(fd_); }

    DWORD connect(BTH_ADDR device, std::chrono::milliseconds timeout) override {
        if (connected_) return 0;
        if (fd_ >= 0) return WSAEINVAL;
        if (int e = Sock::openL2cap(fd_)) {
            fd_ = -1;
            return socketCode(e);
        }
        if (int e = Sock::connectL2cap(fd_, device, kSdpPsm, millis(timeout))) return socketCode(e);
        return 0;
    }

    DWORD send(std::span<const std::uint8_t> pdu, std::chrono::milliseconds timeout) override {
        if (fd_ < 0) return WSAECONNRESET;
        if (int e = Sock::sendPacket(fd_, pdu.data(), pdu.size(), millis(timeout)))
            return socketCode(e);
        return 0;
    }

    DWORD recv(std::vector<std::uint8_t>& pdu, std::size_t maxSize,
               std::chrono::milliseconds timeout) override {
        pdu.clear();
        if (fd_ < 0) return WSAECONNRESET;
        // One byte more than we accept tells a packet that was too long.
        std::vector<std::uint8_t> buffer(maxSize + 1);
        std::size_t n = 0;
        if (int e = Sock::recvPacket(fd_, buffer.data(), buffer.size(), n, millis(timeout)))
            return socketCode(e);
        if (n > maxSize) return WSAENOBUFS;
        buffer.resize(n);
        pdu = std::move(buffer);
        return 0;
    }

private:
    int fd_ = -1;
    bool connected_ = false;
};

}  // namespace

std::unique_ptr<SdpTransport> makeL2capTransport() {
    return std::make_unique<L2capTransport>();
}

std::unique_ptr<SdpTransport> makePacketTransport(int connectedSocket) {
    return std::make_unique<L2capTransport>(connectedSocket);
}

}  // namespace Corvale::Bluez
