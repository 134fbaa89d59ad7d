#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "BootpMessage.h"
#include "ProfileSource.h"
#include "Clock.h"
#include "UdpEndpoint.h"
#include "LogModel.h"
#include "MessageTransmitter.h"
#include "ReplyBuilder.h"

namespace tarnleaf {

// How the cycle treats a datagram by its size, before decoding it.
enum class DatagramShape {
    Bootp,           // 300 bytes or more: decoded as it is
    UnpaddedDhcp,    // 240..299 bytes with the magic cookie at 236: padded with zeros to 300
    TooShort,        // anything else under 300 bytes: not answered
};

DatagramShape ClassifyDatagram(std::span<const std::uint8_t> bytes);

// The server's main road, once per received datagram: decode, log, build the reply from the
// client's profile, name the server, encode, send, log. Keeps no state between datagrams,
// only buffers it reuses, so that a datagram costs no allocation of its own.
//
// The reply names as server (siaddr) the address of the interface the request arrived on and
// leaves by that interface. A BOOTREQUEST that came through a relay agent (giaddr a unicast
// address) and gets a BOOTREPLY is answered by unicast to the agent's port 67; everything
// else (replies, echoed requests of unknown clients) is broadcast to 255.255.255.255 port 68,
// so nothing the server sends can come back to its own port 67 as a new request.
class RequestCycle {
public:
    RequestCycle(UdpEndpoint& endpoint, ProfileSource& profiles, LogModel& log, const Clock& clock);

    // Datagrams taken from the endpoint in one go at most.
    static constexpr std::size_t kBatchSize = 32;

    // Takes the waiting datagrams (at most `limit`, at most kBatchSize) in one receive,
    // refreshes the profiles once, then answers each in turn. Returns how many were handled;
    // 0 when none was waiting or the socket reported an error (which is logged). Fewer than
    // asked means the socket was empty a moment ago: a caller draining it stops there and
    // waits for the next readiness, so a lasting error cannot spin.
    //
    // With logging on, each reply is sent and logged before the next datagram is looked at.
    // With logging off the replies of a batch leave together (one system call where the
    // endpoint can) and the only entries, errors, follow in the order of the datagrams: the
    // log reads the same either way.
    std::size_t HandleWaitingDatagrams(std::size_t limit = kBatchSize);

    // One datagram only, as the desktop's message loop takes them.
    bool HandleOneDatagram() { return HandleWaitingDatagrams(1) != 0; }

    // A socket error reported by the endpoint becomes an error entry.
    void OnSocketError(const SocketError& error);

private:
    void Answer(const ReceivedDatagram& datagram, std::size_t slot);
    void SendTogether(std::size_t count);

    UdpEndpoint& endpoint_;
    ProfileSource& profiles_;
    LogModel& log_;
    const Clock& clock_;
    MessageTransmitter transmitter_;
    ReplyBuilder builder_;
    std::array<ReceivedDatagram, kBatchSize> received_{};
    // Reused from datagram to datagram: a short request padded, the request's record turned
    // into the reply, the section it names and the address it arrived at.
    std::vector<std::uint8_t> request_;
    BootpMessage message_;
    std::string section_;
    std::string localIp_;
    // Per datagram of a batch: its encoded reply, and for replies sent together where it
    // stands among them (-1: none) and the error entry it got instead.
    std::array<std::vector<std::uint8_t>, kBatchSize> replies_;
    bool together_ = false;
    std::array<int, kBatchSize> sendIndex_{};
    std::array<std::string, kBatchSize> faults_;
    std::array<OutgoingDatagram, kBatchSize> outgoing_{};
    std::array<std::optional<SocketError>, kBatchSize> failures_;
    std::size_t outgoingCount_ = 0;
};

}  // namespace tarnleaf
