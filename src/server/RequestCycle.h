#pragma once

#include "config/ProfileSource.h"
#include "platform/Clock.h"
#include "platform/UdpEndpoint.h"
#include "server/LogModel.h"

namespace tarnleaf {

// The server's main road, once per received datagram: decode, log, build the reply from the
// client's profile, name the server, encode, send, log. Keeps no state between datagrams.
class RequestCycle {
public:
    RequestCycle(UdpEndpoint& endpoint, ProfileSource& profiles, LogModel& log, const Clock& clock);

    // Handles one waiting datagram to completion; false when none was waiting.
    bool HandleOneDatagram();

    // A socket error reported by the endpoint becomes an error entry.
    void OnSocketError(const SocketError& error);

private:
    UdpEndpoint& endpoint_;
    ProfileSource& profiles_;
    LogModel& log_;
    const Clock& clock_;
};

}  // namespace tarnleaf
