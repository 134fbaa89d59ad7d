// The Winsock endpoint against real sockets on the loopback interface only; a second
// endpoint plays the client. Broadcast replies are checked end to end.
#include "WinsockUdpEndpoint.h"

#include <winsock2.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "WinsockSession.h"

namespace tarnleaf {
namespace {

constexpr Ipv4Address kLoopback{{127, 0, 0, 1}};
using Bytes = std::vector<std::uint8_t>;

Bytes Pattern(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return bytes;
}

// The endpoint never blocks: poll for about three seconds. Empty after a failure, too.
std::optional<ReceivedDatagram> ReceiveWithin(WinsockUdpEndpoint& endpoint) {
    for (int i = 0; i < 600; ++i) {
        auto outcome = endpoint.Receive();
        if (!outcome.ok()) return std::nullopt;
        if (outcome.value()) return std::move(outcome).value();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return std::nullopt;
}

class WinsockUdpEndpointTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(session_.StartupError().has_value());
        for (WinsockUdpEndpoint* endpoint : {&server_, &client_}) {
            ASSERT_FALSE(endpoint->Bind(0).has_value());
        }
    }
    void ClientSends(const Bytes& bytes) {
        ASSERT_FALSE(client_.Send(bytes, kLoopback, server_.BoundPort(), {}).has_value());
    }

    WinsockSession session_;
    WinsockUdpEndpoint server_;
    WinsockUdpEndpoint client_;
};

TEST_F(WinsockUdpEndpointTest, DatagramsArriveWholeAndRepliesLeaveFromTheBoundPort) {
    auto idle = server_.Receive();
    ASSERT_TRUE(idle.ok());
    EXPECT_FALSE(idle.value().has_value()) << "nothing waits yet";
    const std::size_t sizes[] = {548, 65507, 0};  // the largest is never cut
    for (const std::size_t size : sizes) ClientSends(Pattern(size));
    for (const std::size_t size : sizes) {
        const auto datagram = ReceiveWithin(server_);
        ASSERT_TRUE(datagram.has_value()) << size;
        EXPECT_EQ(datagram->bytes, Pattern(size));
        EXPECT_EQ(datagram->sender, kLoopback);
        EXPECT_EQ(datagram->senderPort, client_.BoundPort());
        EXPECT_EQ(datagram->localAddress, kLoopback);
        EXPECT_NE(datagram->interfaceIndex, 0u);
        // By the route the request came, or by none.
        const SendRoute route =
            size ? SendRoute{datagram->interfaceIndex, datagram->localAddress} : SendRoute{};
        ASSERT_FALSE(server_.Send(Pattern(320), kLoopback, client_.BoundPort(), route));
        const auto reply = ReceiveWithin(client_);
        ASSERT_TRUE(reply.has_value()) << size;
        EXPECT_EQ(reply->senderPort, server_.BoundPort());
    }
    EXPECT_FALSE(server_.LocalHostName().empty());
    EXPECT_TRUE(Ipv4Address::Parse(server_.LocalIP()).has_value()) << server_.LocalIP();
}

TEST_F(WinsockUdpEndpointTest, SendToAPortNobodyListensOnDoesNotSpoilTheNextReceive) {
    const std::uint16_t deadPort = client_.BoundPort();
    ASSERT_FALSE(client_.Bind(0).has_value());  // closes the old port first
    ASSERT_FALSE(server_.Send(Pattern(300), kLoopback, deadPort, SendRoute{}).has_value());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    auto outcome = server_.Receive();
    ASSERT_TRUE(outcome.ok()) << outcome.error().description;
    ClientSends(Pattern(300));
    EXPECT_TRUE(ReceiveWithin(server_).has_value());
}

TEST_F(WinsockUdpEndpointTest, FailuresComeBackAsOneLineErrorsNotCrashes) {
    const auto tooLong = server_.Send(Bytes(70000), kLoopback, 9, SendRoute{});
    ASSERT_TRUE(tooLong.has_value());
    EXPECT_EQ(tooLong->code, WSAEMSGSIZE);

    const std::uint16_t oldPort = server_.BoundPort();
    WinsockUdpEndpoint second;
    const auto inUse = second.Bind(oldPort);
    ASSERT_TRUE(inUse.has_value());
    EXPECT_TRUE(inUse->code == WSAEADDRINUSE || inUse->code == WSAEACCES) << inUse->code;
    EXPECT_FALSE(inUse->description.empty());
    EXPECT_EQ(inUse->description.find_first_of("\r\n"), std::string::npos) << inUse->description;
    auto closed = second.Receive();  // the failed bind left no socket behind
    ASSERT_FALSE(closed.ok());
    EXPECT_EQ(closed.error().code, WSAENOTSOCK);
    const auto unsent = second.Send(Pattern(300), kLoopback, 68, SendRoute{});
    EXPECT_EQ(unsent.value_or(SocketError{}).code, WSAENOTSOCK);

    ASSERT_FALSE(server_.Bind(0).has_value());  // the port is free once its first owner moves
    EXPECT_FALSE(second.Bind(oldPort).has_value());
}

}  // namespace
}  // namespace tarnleaf
