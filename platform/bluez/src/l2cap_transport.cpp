// SDP over an L2CAP socket to PSM 1. The kernel's Bluetooth socket
// structures are declared here rather than taken from libbluetooth's headers,
// which belong to a GPL library the program must not depend on.
#include <corvale/bluez/sdp_client.h>

#include "errors.h"

#include <endian.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <chrono>

namespace Corvale::Bluez {

namespace {

constexpr unsigned short kSdpPsm = 1;

constexpr int kAfBluetooth = 31;  // AF_BLUETOOTH
constexpr int kBtProtoL2cap = 0;  // BTPROTO_L2CAP

// struct sockaddr_l2 of the kernel: the address is little-endian, 6 bytes.
struct SockaddrL2 {
    sa_family_t family;
    unsigned short psm;  // little-endian
    std::uint8_t address[6];
    unsigned short cid;
    std::uint8_t addressType;  // BDADDR_BREDR
};
static_assert(sizeof(SockaddrL2) == 14, "the kernel's sockaddr_l2 layout");

int socketError(int fd) {
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return errno;
    return error;
}

// Waits until the socket is ready for `events`: 0, ETIMEDOUT when the time
// runs out, or the socket's error.
int waitFor(int fd, short events, std::chrono::milliseconds timeout) {
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + std::max(timeout, milliseconds(0));
    for (;;) {
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, static_cast<int>(std::clamp<long long>(left, 0, 0x7FFFFFFF)));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return errno;
        if (r == 0) return ETIMEDOUT;
        if (p.revents & events) return 0;
        if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) {
            const int error = socketError(fd);
            return error != 0 ? error : ECONNRESET;
        }
    }
}

class L2capTransport final : public SdpTransport {
public:
    L2capTransport() = default;
    explicit L2capTransport(int connected) : fd_(connected), connected_(true) {}
    ~L2capTransport() override {
        if (fd_ >= 0) ::close(fd_);
    }

    DWORD connect(BTH_ADDR device, std::chrono::milliseconds timeout) override {
        if (connected_) return 0;
        if (fd_ >= 0) return WSAEINVAL;
        fd_ = ::socket(kAfBluetooth, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, kBtProtoL2cap);
        if (fd_ < 0) return socketCode(errno);
        SockaddrL2 to{};
        to.family = kAfBluetooth;
        to.psm = htole16(kSdpPsm);
        for (int i = 0; i < 6; ++i) to.address[i] = static_cast<std::uint8_t>(device >> (8 * i));
        if (::connect(fd_, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return 0;
        if (errno != EINPROGRESS && errno != EAGAIN) return socketCode(errno);
        if (int e = waitFor(fd_, POLLOUT, timeout)) return socketCode(e);
        if (int e = socketError(fd_)) return socketCode(e);
        return 0;
    }

    DWORD send(std::span<const std::uint8_t> pdu, std::chrono::milliseconds timeout) override {
        if (fd_ < 0) return WSAECONNRESET;
        if (int e = waitFor(fd_, POLLOUT, timeout)) return socketCode(e);
        for (;;) {
            const ssize_t n = ::send(fd_, pdu.data(), pdu.size(), MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return socketCode(errno);
            // A packet socket sends the whole packet or nothing.
            return static_cast<std::size_t>(n) == pdu.size() ? 0 : socketCode(ECONNRESET);
        }
    }

    DWORD recv(std::vector<std::uint8_t>& pdu, std::size_t maxSize,
               std::chrono::milliseconds timeout) override {
        pdu.clear();
        if (fd_ < 0) return WSAECONNRESET;
        if (int e = waitFor(fd_, POLLIN, timeout)) return socketCode(e);
        // One byte more than we accept tells a packet that was too long.
        std::vector<std::uint8_t> buffer(maxSize + 1);
        for (;;) {
            const ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), 0);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return socketCode(errno);
            // Closed in the middle of a transaction.
            if (n == 0) return socketCode(ECONNRESET);
            if (static_cast<std::size_t>(n) > maxSize) return WSAENOBUFS;
            buffer.resize(static_cast<std::size_t>(n));
            pdu = std::move(buffer);
            return 0;
        }
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
