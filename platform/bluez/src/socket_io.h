// The socket system calls of the L2CAP transport, kept apart from the
// Win32 declarations (whose SOCK_STREAM macro clashes with the system's).
// Every function returns 0 or an errno value; a wait that runs out is
// ETIMEDOUT.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Corvale::Bluez::Sock {

// A non-blocking L2CAP packet socket.
int openL2cap(int& fd);
// Connects to `psm` on the device (its 48-bit address as a number).
int connectL2cap(int fd, std::uint64_t address, unsigned short psm, int timeoutMs);
int sendPacket(int fd, const std::uint8_t* data, std::size_t size, int timeoutMs);
// One packet into buffer[0..capacity); a packet that fills the buffer whole
// may have been cut: callers pass one byte more than they accept.
// The peer closing is ECONNRESET.
int recvPacket(int fd, std::uint8_t* buffer, std::size_t capacity, std::size_t& received,
               int timeoutMs);
void closeSocket(int fd);

}  // namespace Corvale::Bluez::Sock
