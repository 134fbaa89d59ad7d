#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "UdpEndpoint.h"

namespace tarnleaf::testing {

// An in-memory UDP endpoint: Receive() hands out what the test queued (datagrams or socket
// errors) and Send() records every datagram, or fails while a send error is set.
class FakeUdpEndpoint : public UdpEndpoint {
public:
    struct SentDatagram {
        std::vector<std::uint8_t> bytes;
        Ipv4Address destination;
        std::uint16_t port = 0;
        SendRoute route;
    };
    using ReceiveResult = Result<std::optional<ReceivedDatagram>, SocketError>;

    void QueueDatagram(std::vector<std::uint8_t> bytes,
                       Ipv4Address localAddress = Ipv4Address{{192, 168, 0, 1}},
                       unsigned interfaceIndex = 2) {
        ReceivedDatagram datagram;
        datagram.bytes = std::move(bytes);
        datagram.localAddress = localAddress;
        datagram.interfaceIndex = interfaceIndex;
        incoming_.push_back(ReceiveResult::Ok(std::move(datagram)));
    }
    void QueueReceiveError(SocketError error) { incoming_.push_back(ReceiveResult::Fail(error)); }
    void FailSends(SocketError error) { sendError_ = std::move(error); }
    void SetLocalHostName(std::string name) { hostName_ = std::move(name); }
    const std::vector<SentDatagram>& Sent() const { return sent_; }
    std::size_t Pending() const { return incoming_.size(); }

    std::optional<SocketError> Bind(std::uint16_t) override { return std::nullopt; }
    ReceiveResult Receive() override {
        if (incoming_.empty()) return ReceiveResult::Ok(std::nullopt);
        ReceiveResult next = std::move(incoming_.front());
        incoming_.pop_front();
        return next;
    }
    std::optional<SocketError> Send(std::span<const std::uint8_t> bytes, Ipv4Address destination,
                                    std::uint16_t port, const SendRoute& route) override {
        if (!sendError_) sent_.push_back({{bytes.begin(), bytes.end()}, destination, port, route});
        return sendError_;
    }
    std::string LocalIP() const override { return "10.0.0.5"; }
    std::string LocalHostName() const override { return hostName_; }
    std::intptr_t NativeHandle() const override { return -1; }

private:
    std::deque<ReceiveResult> incoming_;
    std::vector<SentDatagram> sent_;
    std::optional<SocketError> sendError_;
    std::string hostName_ = "tarnleaf-host";
};

}  // namespace tarnleaf::testing
