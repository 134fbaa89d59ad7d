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

// An in-memory UDP endpoint: Receive hands out what the test queued (datagrams or socket
// errors) and Send() records every datagram, or fails while a send error is set.
class FakeUdpEndpoint : public UdpEndpoint {
public:
    struct SentDatagram {
        std::vector<std::uint8_t> bytes;
        Ipv4Address destination;
        std::uint16_t port = 0;
        SendRoute route;
    };
    void QueueDatagram(std::vector<std::uint8_t> bytes,
                       Ipv4Address localAddress = Ipv4Address{{192, 168, 0, 1}},
                       unsigned interfaceIndex = 2) {
        incoming_.push_back({std::move(bytes), localAddress, interfaceIndex, std::nullopt});
    }
    void QueueReceiveError(SocketError error) {
        incoming_.push_back({{}, {}, 0, std::move(error)});
    }
    void FailSends(SocketError error) { sendError_ = std::move(error); }
    void SetLocalHostName(std::string name) { hostName_ = std::move(name); }
    const std::vector<SentDatagram>& Sent() const { return sent_; }
    std::size_t Pending() const { return incoming_.size(); }

    std::optional<SocketError> Bind(std::uint16_t) override { return std::nullopt; }

    // Hands out queued datagrams up to the next queued error, which a later call reports.
    Result<std::size_t, SocketError> Receive(std::span<ReceivedDatagram> into) override {
        handedOut_.clear();
        if (!incoming_.empty() && incoming_.front().error) {
            SocketError error = std::move(*incoming_.front().error);
            incoming_.pop_front();
            return Result<std::size_t, SocketError>::Fail(std::move(error));
        }
        std::size_t count = 0;
        while (count < into.size() && !incoming_.empty() && !incoming_.front().error) {
            handedOut_.push_back(std::move(incoming_.front()));
            incoming_.pop_front();
            ++count;
        }
        for (std::size_t i = 0; i < count; ++i) {
            into[i] = ReceivedDatagram{handedOut_[i].bytes, {}, 0, handedOut_[i].localAddress,
                                       handedOut_[i].interfaceIndex};
        }
        return Result<std::size_t, SocketError>::Ok(count);
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
    struct Incoming {
        std::vector<std::uint8_t> bytes;
        Ipv4Address localAddress;
        unsigned interfaceIndex = 0;
        std::optional<SocketError> error;
    };
    std::deque<Incoming> incoming_;
    std::vector<Incoming> handedOut_;
    std::vector<SentDatagram> sent_;
    std::optional<SocketError> sendError_;
    std::string hostName_ = "tarnleaf-host";
};

}  // namespace tarnleaf::testing
