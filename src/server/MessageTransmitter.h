#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "Clock.h"
#include "Ipv4Address.h"
#include "UdpEndpoint.h"
#include "BootpMessage.h"
#include "MessageCodec.h"
#include "LogModel.h"

namespace tarnleaf {

// Error entry bodies. Lines are joined with CRLF; AppendErrorEntry adds the closing lines.
std::string SendErrorBody(const SocketError& error);
std::string SocketErrorBody(const SocketError& error);
// A profile value that cannot go on the wire: names the section it came from, the field and
// the text as held.
std::string EncodeErrorBody(std::string_view section, const EncodeError& error);

// The sending step shared by replies and the test message: sends `bytes` once from the
// server's socket and logs the outcome. A failure is logged whatever the logging switch
// says; a success is logged (the count of bytes sent and the dump of `message`) only when
// logging is on, and only then is the dump built.
class MessageTransmitter {
public:
    MessageTransmitter(UdpEndpoint& endpoint, LogModel& log, const Clock& clock)
        : endpoint_(endpoint), log_(log), clock_(clock) {}

    void TransmitMessage(const BootpMessage& message, std::span<const std::uint8_t> bytes,
                         Ipv4Address destination, std::uint16_t port, const SendRoute& route);

    // A message entry for `byteCount` bytes with the dump of `message`; nothing when logging
    // is off.
    void LogMessage(std::size_t byteCount, const BootpMessage& message);

private:
    UdpEndpoint& endpoint_;
    LogModel& log_;
    const Clock& clock_;
    std::string dump_;  // reused from entry to entry
};

}  // namespace tarnleaf
