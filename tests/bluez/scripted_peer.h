// A scripted SDP server at the other end of a real packet socket (a Unix
// SOCK_SEQPACKET pair), so the client's own transport does the waiting.
#pragma once

#include <cstdint>
#include <thread>
#include <vector>

namespace sdpwire {

// What the peer does with the next request.
struct Step {
    enum class Kind { Reply, ReplyAsIs, Silent, Close };
    Kind kind = Kind::Reply;
    std::vector<std::uint8_t> pdu;  // Reply: the transaction ID is set from the request
};

class ScriptedPeer {
public:
    explicit ScriptedPeer(std::vector<Step> script);
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    // The client's end of the pair, once; the caller owns it afterwards.
    int takeClient();
    // The requests received; read after the search has ended.
    const std::vector<std::vector<std::uint8_t>>& requests();

private:
    bool readRequest(std::vector<std::uint8_t>& out, int timeoutMs);
    void run();

    std::vector<Step> script_;
    std::vector<std::vector<std::uint8_t>> requests_;
    int client_ = -1;
    int peer_ = -1;
    std::thread thread_;
};

}  // namespace sdpwire
