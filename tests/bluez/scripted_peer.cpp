#include "scripted_peer.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cstdlib>

namespace sdpwire {

ScriptedPeer::ScriptedPeer(std::vector<Step> script) : script_(std::move(script)) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) != 0) std::abort();
    client_ = fds[0];
    peer_ = fds[1];
    thread_ = std::thread([this] { run(); });
}

ScriptedPeer::~ScriptedPeer() {
    if (client_ >= 0) ::close(client_);
    if (thread_.joinable()) thread_.join();
    if (peer_ >= 0) ::close(peer_);
}

int ScriptedPeer::takeClient() {
    const int fd = client_;
    client_ = -1;
    return fd;
}

const std::vector<std::vector<std::uint8_t>>& ScriptedPeer::requests() {
    if (thread_.joinable()) thread_.join();
    return requests_;
}

bool ScriptedPeer::readRequest(std::vector<std::uint8_t>& out, int timeoutMs) {
    pollfd p{peer_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) return false;
    out.resize(70000);
    const ssize_t n = ::recv(peer_, out.data(), out.size(), 0);
    if (n <= 0) return false;
    out.resize(static_cast<std::size_t>(n));
    return true;
}

void ScriptedPeer::run() {
    for (Step& step : script_) {
        std::vector<std::uint8_t> request;
        if (!readRequest(request, 5000)) return;
        requests_.push_back(request);
        switch (step.kind) {
            case Step::Kind::Reply:
                if (step.pdu.size() >= 3 && request.size() >= 3) {
                    step.pdu[1] = request[1];
                    step.pdu[2] = request[2];
                }
                [[fallthrough]];
            case Step::Kind::ReplyAsIs:
                ::send(peer_, step.pdu.data(), step.pdu.size(), MSG_NOSIGNAL);
                break;
            case Step::Kind::Silent: {
                // Say nothing until the client gives up and hangs up.
                std::vector<std::uint8_t> more;
                while (readRequest(more, 5000)) requests_.push_back(more);
                return;
            }
            case Step::Kind::Close:
                ::close(peer_);
                peer_ = -1;
                return;
        }
    }
}

}  // namespace sdpwire
