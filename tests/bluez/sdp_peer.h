// SDP records written with the shared encoder (itself checked against the
// layout of the Bluetooth Core Specification, Vol 3, Part B), PDUs framed byte
// by byte, and a scripted SDP server at the other end of a real packet socket
// (a Unix SOCK_SEQPACKET pair), so the client's own transport does the waiting.
#pragma once

#include <corvale/bluez/sdp_client.h>
#include <corvale/bt/sdp.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace sdpwire {

using namespace Corvale::Bt::Sdp;

inline Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
// `head` followed by the n low bytes of v, big-endian: the plain fields of a PDU.
inline Bytes be(std::uint32_t v, int n, Bytes head = {}) {
    for (int i = n - 1; i >= 0; --i) head.push_back(static_cast<std::uint8_t>(v >> 8 * i));
    return head;
}

inline Bytes rfcommRecord(std::uint32_t handle, std::uint16_t serviceClass, std::uint8_t channel,
                          const std::string& name, const std::string& comment) {
    return record({{0x0000, uint32(handle)},
                   {0x0001, sequence({uuid16(serviceClass)})},
                   {0x0004, sequence({sequence({uuid16(0x0100)}),
                                      sequence({uuid16(0x0003), uint8(channel)})})},
                   {0x0100, text(name)},
                   {0x0101, text(comment)}});
}

// A ServiceSearchAttributeResponse (transaction 0: the scripted peer puts in the request's).
inline Bytes response(const Bytes& lists, const Bytes& state = {}, std::uint16_t tid = 0) {
    const Bytes params = cat({be(lists.size(), 2), lists, be(state.size(), 1), state});
    return cat({be(tid, 2, {0x07}), be(params.size(), 2), params});
}

// What the peer does with each request in turn: answers with a PDU, hangs up
// (an empty PDU), or says nothing until the client hangs up (nullopt).
using Script = std::vector<std::optional<Bytes>>;

class ScriptedPeer {
public:
    // `beforeAnswer`, when given, runs before each answer is sent.
    explicit ScriptedPeer(Script script, std::function<void()> beforeAnswer = {}) {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) != 0) std::abort();
        client_ = fds[0];
        peer_ = fds[1];
        thread_ = std::thread([this, script = std::move(script), beforeAnswer]() mutable {
            Bytes request;
            for (std::optional<Bytes>& step : script) {
                if (!read(request)) return;
                if (!step) {
                    while (read(request)) {
                    }
                    return;
                }
                if (step->empty()) return void(::shutdown(peer_, SHUT_RDWR));
                if (step->size() >= 3 && (*step)[1] == 0 && (*step)[2] == 0)
                    std::copy_n(request.begin() + 1, 2, step->begin() + 1);
                if (beforeAnswer) beforeAnswer();
                ::send(peer_, step->data(), step->size(), MSG_NOSIGNAL);
            }
        });
    }
    ~ScriptedPeer() {
        if (client_ >= 0) ::close(client_);
        if (thread_.joinable()) thread_.join();
        ::close(peer_);
    }
    // The client's end, once; the caller owns it afterwards.
    int takeClient() { return std::exchange(client_, -1); }
    // The requests received, once the search has ended.
    const std::vector<Bytes>& requests() {
        if (thread_.joinable()) thread_.join();
        return requests_;
    }

private:
    bool read(Bytes& out) {
        pollfd p{peer_, POLLIN, 0};
        out.resize(70000);
        const ssize_t n = ::poll(&p, 1, 5000) > 0 ? ::recv(peer_, out.data(), out.size(), 0) : -1;
        if (n <= 0) return false;
        out.resize(static_cast<std::size_t>(n));
        requests_.push_back(out);
        return true;
    }

    std::vector<Bytes> requests_;
    int client_ = -1;
    int peer_ = -1;
    std::thread thread_;
};

// A transport that records the bound of every wait it is given.
class Recording final : public Corvale::Bluez::SdpTransport {
public:
    using Waits = std::vector<std::chrono::milliseconds>;
    Recording(std::unique_ptr<SdpTransport> inner, Waits& waits)
        : inner_(std::move(inner)), waits_(waits) {}
    DWORD connect(BTH_ADDR device, std::chrono::milliseconds timeout) override {
        waits_.push_back(timeout);
        return inner_->connect(device, timeout);
    }
    DWORD send(std::span<const std::uint8_t> pdu, std::chrono::milliseconds timeout) override {
        waits_.push_back(timeout);
        return inner_->send(pdu, timeout);
    }
    DWORD recv(Bytes& pdu, std::size_t max, std::chrono::milliseconds timeout) override {
        waits_.push_back(timeout);
        return inner_->recv(pdu, max, timeout);
    }

private:
    std::unique_ptr<SdpTransport> inner_;
    Waits& waits_;
};

}  // namespace sdpwire
