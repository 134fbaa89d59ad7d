// The Winsock endpoint against real sockets on the loopback interface only; a second
// endpoint plays the client.
#include "WinsockUdpEndpoint.h"

#include <winsock2.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "WinsockError.h"
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

// A received datagram with its bytes copied out of the endpoint's storage.
struct Received : ReceivedDatagram {
    Bytes copy;
};

// The endpoint never blocks: poll for at most three seconds.
std::optional<Received> ReceiveWithin(WinsockUdpEndpoint& endpoint) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (std::chrono::steady_clock::now() < deadline) {
        ReceivedDatagram datagram;
        auto outcome = endpoint.Receive({&datagram, 1});
        if (!outcome.ok()) {
            ADD_FAILURE() << "receive failed: " << outcome.error().description;
            return std::nullopt;
        }
        if (outcome.value() == 1) {
            return Received{datagram, Bytes(datagram.bytes.begin(), datagram.bytes.end())};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return std::nullopt;
}

std::size_t WaitingNow(WinsockUdpEndpoint& endpoint) {
    std::vector<ReceivedDatagram> slots(4);
    auto outcome = endpoint.Receive(slots);
    EXPECT_TRUE(outcome.ok()) << outcome.error().description;
    return outcome.ok() ? outcome.value() : 0;
}

class WinsockUdpEndpointTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(session_.StartupError().has_value());
        for (WinsockUdpEndpoint* endpoint : {&server_, &client_}) {
            const auto error = endpoint->Bind(0);
            ASSERT_FALSE(error.has_value()) << error->description;
            ASSERT_NE(endpoint->BoundPort(), 0);
        }
    }

    void ClientSends(const Bytes& bytes) {
        ASSERT_FALSE(client_.Send(bytes, kLoopback, server_.BoundPort(), {}).has_value());
    }

    WinsockSession session_;
    WinsockUdpEndpoint server_;
    WinsockUdpEndpoint client_;
};

TEST_F(WinsockUdpEndpointTest, DatagramsArriveWholeOneAtATimeWithSenderAndInterface) {
    EXPECT_EQ(WaitingNow(server_), 0u) << "nothing waits yet";

    const std::size_t sizes[] = {548, 65507, 0, 1};  // the largest is never cut
    for (const std::size_t size : sizes) ClientSends(Pattern(size));
    for (const std::size_t size : sizes) {
        SCOPED_TRACE(size);
        const auto datagram = ReceiveWithin(server_);
        ASSERT_TRUE(datagram.has_value());
        EXPECT_EQ(datagram->copy, Pattern(size));
        EXPECT_EQ(datagram->sender, kLoopback);
        EXPECT_EQ(datagram->senderPort, client_.BoundPort());
        EXPECT_EQ(datagram->localAddress, kLoopback);
        EXPECT_NE(datagram->interfaceIndex, 0u);
    }
}

TEST_F(WinsockUdpEndpointTest, RepliesLeaveFromTheBoundPortWithOrWithoutARoute) {
    ClientSends(Pattern(300));
    const auto request = ReceiveWithin(server_);
    ASSERT_TRUE(request.has_value());
    for (const SendRoute& route :
         {SendRoute{}, SendRoute{request->interfaceIndex, request->localAddress}}) {
        SCOPED_TRACE(route.interfaceIndex);
        ASSERT_FALSE(server_.Send(Pattern(320), kLoopback, client_.BoundPort(), route));
        const auto reply = ReceiveWithin(client_);
        ASSERT_TRUE(reply.has_value());
        EXPECT_EQ(reply->copy, Pattern(320));
        EXPECT_EQ(reply->senderPort, server_.BoundPort());
    }
}

TEST_F(WinsockUdpEndpointTest, OversizedSendIsRefusedWithMessageTooLong) {
    const auto error = server_.Send(Bytes(70000), kLoopback, 9, SendRoute{});
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code, WSAEMSGSIZE);
    EXPECT_FALSE(error->description.empty());
}

TEST_F(WinsockUdpEndpointTest, SendToAPortNobodyListensOnDoesNotSpoilTheNextReceive) {
    const std::uint16_t deadPort = client_.BoundPort();
    ASSERT_FALSE(client_.Bind(0).has_value());  // closes the old port first
    ASSERT_FALSE(server_.Send(Pattern(300), kLoopback, deadPort, SendRoute{}).has_value());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(WaitingNow(server_), 0u);
    ClientSends(Pattern(300));
    EXPECT_TRUE(ReceiveWithin(server_).has_value());
}

TEST_F(WinsockUdpEndpointTest, BoundSocketPermitsBroadcastAndNamesTheHost) {
    BOOL broadcast = FALSE;
    int length = sizeof broadcast;
    ASSERT_EQ(getsockopt(static_cast<SOCKET>(server_.NativeHandle()), SOL_SOCKET, SO_BROADCAST,
                         reinterpret_cast<char*>(&broadcast), &length),
              0);
    EXPECT_TRUE(broadcast);
    EXPECT_FALSE(server_.LocalHostName().empty());
    EXPECT_TRUE(Ipv4Address::Parse(server_.LocalIP()).has_value()) << server_.LocalIP();
}

TEST_F(WinsockUdpEndpointTest, SecondBindOfAPortFailsUntilTheFirstRebindsElsewhere) {
    const std::uint16_t oldPort = server_.BoundPort();
    WinsockUdpEndpoint second;
    const auto error = second.Bind(oldPort);
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->code == WSAEADDRINUSE || error->code == WSAEACCES) << error->code;
    EXPECT_FALSE(error->description.empty());
    EXPECT_EQ(second.NativeHandle(), -1);

    ASSERT_FALSE(server_.Bind(0).has_value());
    EXPECT_FALSE(second.Bind(oldPort).has_value());
}

TEST(WinsockUdpEndpointClosed, EveryCallReportsInsteadOfCrashing) {
    WinsockSession session;
    WinsockUdpEndpoint endpoint;
    EXPECT_EQ(endpoint.NativeHandle(), -1);
    ReceivedDatagram slot;
    auto outcome = endpoint.Receive({&slot, 1});
    ASSERT_FALSE(outcome.ok());
    EXPECT_EQ(outcome.error().code, WSAENOTSOCK);
    const auto error = endpoint.Send(Pattern(300), kLoopback, 68, SendRoute{});
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code, WSAENOTSOCK);
}

TEST(WinsockError, EveryCodeGetsOneLineOfTextUnknownOnesTheirNumber) {
    for (const int code : {WSAEADDRINUSE, WSAEACCES, WSAEMSGSIZE, WSAENETUNREACH, 987654}) {
        const SocketError error = DescribeWinsockError(code);
        EXPECT_EQ(error.code, code);
        EXPECT_FALSE(error.description.empty());
        EXPECT_EQ(error.description.find_first_of("\r\n"), std::string::npos)
            << error.description;
    }
}

}  // namespace
}  // namespace tarnleaf
