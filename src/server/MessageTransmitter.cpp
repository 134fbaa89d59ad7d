#include "MessageTransmitter.h"

#include <optional>

#include "PacketDump.h"

namespace tarnleaf {

std::string SendErrorBody(const SocketError& error) {
    return "Message Send Error!\r\n" + std::to_string(error.code);
}

std::string SocketErrorBody(const SocketError& error) {
    return "Error!\r\n" + std::to_string(error.code) + " (" + error.description + ")";
}

std::string EncodeErrorBody(std::string_view section, const EncodeError& error) {
    std::string body = "Message Encode Error!\r\nsection [";
    body += section;
    body += "] field [";
    body += error.field;
    body += "] value [";
    // The value came from the profile, which may hold control characters.
    AppendLogText(body, error.text);
    body += "]";
    return body;
}

void MessageTransmitter::TransmitMessage(const BootpMessage& message,
                                         std::span<const std::uint8_t> bytes,
                                         Ipv4Address destination, std::uint16_t port,
                                         const SendRoute& route) {
    if (const std::optional<SocketError> failure =
            endpoint_.Send(bytes, destination, port, route)) {
        log_.AppendErrorEntry(SendErrorBody(*failure));
        return;
    }
    LogMessage(bytes.size(), message);
}

void MessageTransmitter::LogMessage(std::size_t byteCount, const BootpMessage& message) {
    if (!log_.LoggingEnabled()) {
        return;
    }
    dump_.clear();
    AppendDump(message, dump_);
    log_.AppendMessageEntry(byteCount, dump_, clock_.LocalTimestamp());
}

}  // namespace tarnleaf
