#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/UdpEndpoint.h"

namespace tarnleaf::testing {

// An in-memory UDP endpoint: the test queues what Receive() returns (datagrams or socket
// errors), and every Send() is recorded. Sends fail while a send error is set.
class FakeUdpEndpoint : public UdpEndpoint {
public:
    struct SentDatagram {
        std::vector<std::uint8_t> bytes;
        Ipv4Address destination;
        std::uint16_t port = 0;
        SendRoute route;
    };

    using ReceiveResult = Result<std::optional<ReceivedDatagram>, SocketError>;

    // Queues a datagram as arriving on the interface `localAddress` / `interfaceIndex`.
    void QueueDatagram(std::vector<std::uint8_t> bytes,
                       Ipv4Address localAddress = Ipv4Address{{192, 168, 0, 1}},
                       unsigned interfaceIndex = 2,
                       Ipv4Address sender = Ipv4Address{{0, 0, 0, 0}},
                       std::uint16_t senderPort = 68) {
        ReceivedDatagram datagram;
        datagram.bytes = std::move(bytes);
        datagram.sender = sender;
        datagram.senderPort = senderPort;
        datagram.localAddress = localAddress;
        datagram.interfaceIndex = interfaceIndex;
        incoming_.push_back(ReceiveResult::Ok(std::move(datagram)));
    }
    void QueueReceiveError(SocketError error) {
        incoming_.push_back(ReceiveResult::Fail(std::move(error)));
    }

    void FailSends(SocketError error) { sendError_ = std::move(error); }
    void SucceedSends() { sendError_.reset(); }

    void SetLocalIP(std::string ip) { localIp_ = std::move(ip); }
    void SetLocalHostName(std::string name) { hostName_ = std::move(name); }

    const std::vector<SentDatagram>& Sent() const { return sent_; }
    std::size_t SendAttempts() const { return sendAttempts_; }
    std::optional<std::uint16_t> BoundPort() const { return boundPort_; }
    std::size_t Pending() const { return incoming_.size(); }

    std::optional<SocketError> Bind(std::uint16_t port) override {
        boundPort_ = port;
        return std::nullopt;
    }

    ReceiveResult Receive() override {
        if (incoming_.empty()) {
            return ReceiveResult::Ok(std::nullopt);
        }
        ReceiveResult next = std::move(incoming_.front());
        incoming_.pop_front();
        return next;
    }

    std::optional<SocketError> Send(std::span<const std::uint8_t> bytes, Ipv4Address destination,
                                    std::uint16_t port, const SendRoute& route) override {
        ++sendAttempts_;
        if (sendError_) {
            return sendError_;
        }
        sent_.push_back({std::vector<std::uint8_t>(bytes.begin(), bytes.end()), destination, port,
                         route});
        return std::nullopt;
    }

    std::string LocalIP() const override { return localIp_; }
    std::string LocalHostName() const override { return hostName_; }
    std::intptr_t NativeHandle() const override { return -1; }

private:
    std::deque<ReceiveResult> incoming_;
    std::vector<SentDatagram> sent_;
    std::size_t sendAttempts_ = 0;
    std::optional<SocketError> sendError_;
    std::optional<std::uint16_t> boundPort_;
    std::string localIp_ = "10.0.0.5";
    std::string hostName_ = "tarnleaf-host";
};

}  // namespace tarnleaf::testing
