// The kernel's Bluetooth socket structures are declared here rather than
// taken from libbluetooth's headers, which belong to a GPL library the
// program must not depend on.
#include "socket_io.h"

#include <endian.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>

namespace Corvale::Bluez::Sock {

namespace {

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

int waitFor(int fd, short events, int timeoutMs) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, left < 0 ? 0 : static_cast<int>(left));
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

}  // namespace

int openL2cap(int& fd) {
    fd = ::socket(kAfBluetooth, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, kBtProtoL2cap);
    return fd < 0 ? errno : 0;
}

int connectL2cap(int fd, std::uint64_t address, unsigned short psm, int timeoutMs) {
    SockaddrL2 to{};
    to.family = kAfBluetooth;
    to.psm = htole16(psm);
    for (int i = 0; i < 6; ++i) to.address[i] = static_cast<std::uint8_t>(address >> (8 * i));
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return 0;
    if (errno != EINPROGRESS && errno != EAGAIN) return errno;
    if (int r = waitFor(fd, POLLOUT, timeoutMs)) return r;
    return socketError(fd);
}

int sendPacket(int fd, const std::uint8_t* data, std::size_t size, int timeoutMs) {
    if (int r = waitFor(fd, POLLOUT, timeoutMs)) return r;
    for (;;) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        // A packet socket sends the whole packet or nothing.
        return static_cast<std::size_t>(n) == size ? 0 : ECONNRESET;
    }
}

int recvPacket(int fd, std::uint8_t* buffer, std::size_t capacity, std::size_t& received,
               int timeoutMs) {
    received = 0;
    if (int r = waitFor(fd, POLLIN, timeoutMs)) return r;
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, capacity, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return ECONNRESET;  // closed in the middle of a transaction
        received = static_cast<std::size_t>(n);
        return 0;
    }
}

void closeSocket(int fd) {
    if (fd >= 0) ::close(fd);
}

}  // namespace Corvale::Bluez::Sock
