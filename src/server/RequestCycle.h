#pragma once

#include <cstdint>
#include <vector>

#include "ProfileSource.h"
#include "Clock.h"
#include "UdpEndpoint.h"
#include "LogModel.h"
#include "MessageTransmitter.h"

namespace tarnleaf {

// How the cycle treats a datagram by its size, before decoding it.
enum class DatagramShape {
    Bootp,           // 300 bytes or more: decoded as it is
    UnpaddedDhcp,    // 240..299 bytes with the magic cookie at 236: padded with zeros to 300
    TooShort,        // anything else under 300 bytes: not answered
};

DatagramShape ClassifyDatagram(const std::vector<std::uint8_t>& bytes);

// The server's main road, once per received datagram: decode, log, build the reply from the
// client's profile, name the server, encode, send, log. Keeps no state between datagrams.
//
// The reply names as server (siaddr) the address of the interface the request arrived on and
// leaves by that interface. A BOOTREQUEST that came through a relay agent (giaddr a unicast
// address) and gets a BOOTREPLY is answered by unicast to the agent's port 67; everything
// else (replies, echoed requests of unknown clients) is broadcast to 255.255.255.255 port 68,
// so nothing the server sends can come back to its own port 67 as a new request.
class RequestCycle {
public:
    RequestCycle(UdpEndpoint& endpoint, ProfileSource& profiles, LogModel& log, const Clock& clock);

    // Handles one waiting datagram to completion. False when nothing was handled: no datagram
    // was waiting, or the socket reported an error (which is logged); a caller draining the
    // socket stops there and waits for the next readiness, so a lasting error cannot spin.
    bool HandleOneDatagram();

    // A socket error reported by the endpoint becomes an error entry.
    void OnSocketError(const SocketError& error);

private:
    void Answer(ReceivedDatagram& datagram);

    UdpEndpoint& endpoint_;
    ProfileSource& profiles_;
    LogModel& log_;
    const Clock& clock_;
    MessageTransmitter transmitter_;
};

}  // namespace tarnleaf
