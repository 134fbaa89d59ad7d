#pragma once

#include <deque>
#include <tuple>
#include <utility>
#include <vector>

#include "UdpEndpoint.h"

namespace tarnleaf::testing {

// In-memory UDP endpoint: hands out queued datagrams and socket errors, records every send
// (or fails them while a send error is set).
class FakeUdpEndpoint : public UdpEndpoint {
public:
    using Bytes = std::vector<std::uint8_t>;
    struct SentDatagram {
        Bytes bytes;
        Ipv4Address destination;
        std::uint16_t port = 0;
        SendRoute route;
    };
    void QueueDatagram(Bytes bytes, Ipv4Address local = {{192, 168, 0, 1}}, unsigned index = 2) {
        incoming_.emplace_back(std::move(bytes), local, index, std::nullopt);
    }
    void QueueReceiveError(SocketError e) { incoming_.emplace_back(Bytes{}, Ipv4Address{}, 0, e); }
    void FailSends(SocketError error) { sendError_ = std::move(error); }
    void SetLocalHostName(std::string name) { hostName_ = std::move(name); }
    const std::vector<SentDatagram>& Sent() const { return sent_; }
    std::size_t Pending() const { return incoming_.size(); }

    std::optional<SocketError> Bind(std::uint16_t) override { return std::nullopt; }
    // Hands out queued datagrams up to the next queued error, which a later call reports.
    Result<std::size_t, SocketError> Receive(std::span<ReceivedDatagram> into) override {
        handedOut_.clear();
        while (handedOut_.size() < into.size() && !incoming_.empty()) {
            if (const auto error = std::get<3>(incoming_.front())) {
                if (!handedOut_.empty()) break;
                incoming_.pop_front();
                return Result<std::size_t, SocketError>::Fail(*error);
            }
            const auto& [bytes, local, index, none] = handedOut_.emplace_back(incoming_.front());
            incoming_.pop_front();
            into[handedOut_.size() - 1] = {bytes, {}, 0, local, index};
        }
        return Result<std::size_t, SocketError>::Ok(handedOut_.size());
    }
    std::optional<SocketError> Send(std::span<const std::uint8_t> bytes, Ipv4Address destination,
                                    std::uint16_t port, const SendRoute& route) override {
        if (!sendError_) sent_.push_back({{bytes.begin(), bytes.end()}, destination, port, route});
        return sendError_;
    }
    std::string LocalIP() const override { return "10.0.0.5"; }
    const std::string& LocalHostName() const override { return hostName_; }
    std::intptr_t NativeHandle() const override { return -1; }

private:
    using Incoming = std::tuple<Bytes, Ipv4Address, unsigned, std::optional<SocketError>>;
    std::deque<Incoming> incoming_;    // bytes, arrival address, interface; or a receive error
    std::vector<Incoming> handedOut_;  // what the last receive's spans point into
    std::vector<SentDatagram> sent_;
    std::optional<SocketError> sendError_;
    std::string hostName_ = "tarnleaf-host";
};

}  // namespace tarnleaf::testing
