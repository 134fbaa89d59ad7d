#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "ProfileSource.h"
#include "Clock.h"
#include "UdpEndpoint.h"
#include "BootpMessage.h"
#include "LogModel.h"
#include "MessageTransmitter.h"
#include "SendPort.h"

namespace tarnleaf {

inline constexpr std::string_view kTestMessageSection = "TestMessage";

// BuildTestMessage: fills `message` (normally empty) from the profile "TestMessage" and gives
// it a transaction id of four bytes drawn uniformly from 0..254, from a generator seeded with
// `seed`.
void BuildTestMessage(const ProfileSource& profiles, std::uint64_t seed, BootpMessage& message);

// SendTestMessage: one message built from the profile "TestMessage", sent from the server's
// socket to its "ServerIP" on the port that "SendPort" names, and logged like a reply. A
// message that cannot be encoded, a "SendPort" that names no port and a "ServerIP" that is
// not an IPv4 address send nothing and write an error entry saying why.
class TestMessageSender {
public:
    TestMessageSender(UdpEndpoint& endpoint, ProfileSource& profiles, LogModel& log,
                      const Clock& clock);

    void SendTestMessage();

private:
    ProfileSource& profiles_;
    LogModel& log_;
    const Clock& clock_;
    MessageTransmitter transmitter_;
};

}  // namespace tarnleaf
