#pragma once

#include "config/ProfileSource.h"
#include "platform/Clock.h"
#include "platform/UdpEndpoint.h"
#include "server/LogModel.h"

namespace tarnleaf {

// SendTestMessage: one message built from the profile "TestMessage", sent from the server's
// socket to its "ServerIP" on the port that "SendPort" names, and logged like a reply.
class TestMessageSender {
public:
    TestMessageSender(UdpEndpoint& endpoint, ProfileSource& profiles, LogModel& log,
                      const Clock& clock);

    void SendTestMessage();

private:
    UdpEndpoint& endpoint_;
    ProfileSource& profiles_;
    LogModel& log_;
    const Clock& clock_;
};

}  // namespace tarnleaf
