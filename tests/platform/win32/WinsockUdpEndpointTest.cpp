// The Winsock endpoint against real sockets on the loopback interface only.
#include "platform/win32/WinsockUdpEndpoint.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <numeric>
#include <thread>
#include <vector>

#include "platform/win32/WinsockError.h"
#include "platform/win32/WinsockSession.h"

namespace tarnleaf {
namespace {

constexpr Ipv4Address kLoopback{{127, 0, 0, 1}};

// A plain socket on 127.0.0.1 that plays the client.
class LoopbackPeer {
public:
    LoopbackPeer() {
        socket_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(socket_, reinterpret_cast<sockaddr*>(&local), sizeof local);
        int length = sizeof local;
        getsockname(socket_, reinterpret_cast<sockaddr*>(&local), &length);
        port_ = ntohs(local.sin_port);
        DWORD timeoutMs = 2000;
        setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs),
                   sizeof timeoutMs);
    }
    ~LoopbackPeer() { closesocket(socket_); }

    std::uint16_t Port() const { return port_; }

    void SendTo(std::uint16_t port, const std::vector<std::uint8_t>& bytes) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(port);
        ASSERT_EQ(sendto(socket_, reinterpret_cast<const char*>(bytes.data()),
                         static_cast<int>(bytes.size()), 0, reinterpret_cast<sockaddr*>(&to),
                         sizeof to),
                  static_cast<int>(bytes.size()));
    }

    // One datagram and the port it came from; empty bytes after the two-second timeout.
    std::pair<std::vector<std::uint8_t>, std::uint16_t> ReceiveOne() {
        std::vector<std::uint8_t> buffer(70000);
        sockaddr_in from{};
        int length = sizeof from;
        const int count = recvfrom(socket_, reinterpret_cast<char*>(buffer.data()),
                                   static_cast<int>(buffer.size()), 0,
                                   reinterpret_cast<sockaddr*>(&from), &length);
        if (count < 0) return {{}, 0};
        buffer.resize(static_cast<std::size_t>(count));
        return {buffer, ntohs(from.sin_port)};
    }

private:
    SOCKET socket_;
    std::uint16_t port_ = 0;
};

class WinsockUdpEndpointTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(session_.StartupError().has_value());
        const auto error = endpoint_.Bind(0);
        ASSERT_FALSE(error.has_value()) << error->description;
        ASSERT_NE(endpoint_.BoundPort(), 0);
    }

    // The endpoint never blocks, so the test polls for a bounded time.
    std::optional<ReceivedDatagram> ReceiveWithin(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            auto outcome = endpoint_.Receive();
            if (!outcome.ok()) {
                ADD_FAILURE() << "receive failed: " << outcome.error().description;
                return std::nullopt;
            }
            if (outcome.value()) return std::move(outcome).value();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return std::nullopt;
    }

    WinsockSession session_;
    WinsockUdpEndpoint endpoint_;
};

std::vector<std::uint8_t> Pattern(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return bytes;
}

TEST_F(WinsockUdpEndpointTest, ReceiveGivesNoValueWhenNothingWaits) {
    auto outcome = endpoint_.Receive();
    ASSERT_TRUE(outcome.ok());
    EXPECT_FALSE(outcome.value().has_value());
}

TEST_F(WinsockUdpEndpointTest, DatagramArrivesWholeWithSenderAndArrivingInterface) {
    LoopbackPeer peer;
    const auto request = Pattern(548);
    peer.SendTo(endpoint_.BoundPort(), request);

    const auto datagram = ReceiveWithin(std::chrono::seconds(3));
    ASSERT_TRUE(datagram.has_value());
    EXPECT_EQ(datagram->bytes, request);
    EXPECT_EQ(datagram->sender, kLoopback);
    EXPECT_EQ(datagram->senderPort, peer.Port());
    EXPECT_EQ(datagram->localAddress, kLoopback);
    EXPECT_NE(datagram->interfaceIndex, 0u);
}

TEST_F(WinsockUdpEndpointTest, LargestDatagramIsNeverCut) {
    LoopbackPeer peer;
    const auto request = Pattern(65507);
    peer.SendTo(endpoint_.BoundPort(), request);

    const auto datagram = ReceiveWithin(std::chrono::seconds(3));
    ASSERT_TRUE(datagram.has_value());
    EXPECT_EQ(datagram->bytes.size(), request.size());
    EXPECT_EQ(datagram->bytes, request);
}

TEST_F(WinsockUdpEndpointTest, DatagramsComeOneAtATimeInOrder) {
    LoopbackPeer peer;
    peer.SendTo(endpoint_.BoundPort(), Pattern(300));
    peer.SendTo(endpoint_.BoundPort(), Pattern(301));
    peer.SendTo(endpoint_.BoundPort(), Pattern(1));

    const auto first = ReceiveWithin(std::chrono::seconds(3));
    const auto second = ReceiveWithin(std::chrono::seconds(3));
    const auto third = ReceiveWithin(std::chrono::seconds(3));
    ASSERT_TRUE(first && second && third);
    EXPECT_EQ(first->bytes.size(), 300u);
    EXPECT_EQ(second->bytes.size(), 301u);
    EXPECT_EQ(third->bytes.size(), 1u);
}

TEST_F(WinsockUdpEndpointTest, EmptyDatagramIsADatagramOfNoBytes) {
    LoopbackPeer peer;
    peer.SendTo(endpoint_.BoundPort(), {});
    const auto datagram = ReceiveWithin(std::chrono::seconds(3));
    ASSERT_TRUE(datagram.has_value());
    EXPECT_TRUE(datagram->bytes.empty());
}

TEST_F(WinsockUdpEndpointTest, SendLeavesFromTheBoundPort) {
    LoopbackPeer peer;
    const auto reply = Pattern(300);
    ASSERT_FALSE(endpoint_.Send(reply, kLoopback, peer.Port(), SendRoute{}).has_value());

    const auto [bytes, sourcePort] = peer.ReceiveOne();
    EXPECT_EQ(bytes, reply);
    EXPECT_EQ(sourcePort, endpoint_.BoundPort());
}

TEST_F(WinsockUdpEndpointTest, SendThroughTheArrivingInterfaceReachesThePeer) {
    LoopbackPeer peer;
    peer.SendTo(endpoint_.BoundPort(), Pattern(300));
    const auto request = ReceiveWithin(std::chrono::seconds(3));
    ASSERT_TRUE(request.has_value());

    const auto reply = Pattern(320);
    const SendRoute route{request->interfaceIndex, request->localAddress};
    ASSERT_FALSE(endpoint_.Send(reply, kLoopback, peer.Port(), route).has_value());
    const auto [bytes, sourcePort] = peer.ReceiveOne();
    EXPECT_EQ(bytes, reply);
    EXPECT_EQ(sourcePort, endpoint_.BoundPort());
}

TEST_F(WinsockUdpEndpointTest, OversizedSendIsRefusedWithMessageTooLong) {
    const std::vector<std::uint8_t> tooLarge(70000);
    const auto error = endpoint_.Send(tooLarge, kLoopback, 9, SendRoute{});
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code, WSAEMSGSIZE);
    EXPECT_FALSE(error->description.empty());
}

TEST_F(WinsockUdpEndpointTest, SendToAPortNobodyListensOnDoesNotSpoilTheNextReceive) {
    std::uint16_t deadPort = 0;
    {
        LoopbackPeer gone;  // its port is free again once it is closed
        deadPort = gone.Port();
    }
    ASSERT_FALSE(endpoint_.Send(Pattern(300), kLoopback, deadPort, SendRoute{}).has_value());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    auto outcome = endpoint_.Receive();
    ASSERT_TRUE(outcome.ok()) << outcome.error().description;

    LoopbackPeer peer;
    peer.SendTo(endpoint_.BoundPort(), Pattern(300));
    EXPECT_TRUE(ReceiveWithin(std::chrono::seconds(3)).has_value());
}

TEST_F(WinsockUdpEndpointTest, BroadcastIsPermittedOnTheBoundSocket) {
    BOOL broadcast = FALSE;
    int length = sizeof broadcast;
    ASSERT_EQ(getsockopt(static_cast<SOCKET>(endpoint_.NativeHandle()), SOL_SOCKET, SO_BROADCAST,
                         reinterpret_cast<char*>(&broadcast), &length),
              0);
    EXPECT_TRUE(broadcast);
}

TEST_F(WinsockUdpEndpointTest, SecondBindOfTheSamePortFailsWithAddressInUse) {
    WinsockUdpEndpoint second;
    const auto error = second.Bind(endpoint_.BoundPort());
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->code == WSAEADDRINUSE || error->code == WSAEACCES) << error->code;
    EXPECT_FALSE(error->description.empty());
    EXPECT_EQ(second.NativeHandle(), -1);
}

TEST_F(WinsockUdpEndpointTest, RebindingStartsAfreshAndFreesTheOldPort) {
    const std::uint16_t oldPort = endpoint_.BoundPort();
    ASSERT_FALSE(endpoint_.Bind(0).has_value());
    WinsockUdpEndpoint other;
    EXPECT_FALSE(other.Bind(oldPort).has_value());
}

TEST_F(WinsockUdpEndpointTest, HostNameAndAddressAreReadable) {
    EXPECT_FALSE(endpoint_.LocalHostName().empty());
    EXPECT_TRUE(Ipv4Address::Parse(endpoint_.LocalIP()).has_value()) << endpoint_.LocalIP();
}

TEST(WinsockUdpEndpointClosed, EveryCallReportsInsteadOfCrashing) {
    WinsockSession session;
    WinsockUdpEndpoint endpoint;
    EXPECT_EQ(endpoint.NativeHandle(), -1);
    auto outcome = endpoint.Receive();
    ASSERT_FALSE(outcome.ok());
    EXPECT_EQ(outcome.error().code, WSAENOTSOCK);
    const auto error = endpoint.Send(Pattern(300), kLoopback, 68, SendRoute{});
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code, WSAENOTSOCK);
}

TEST(WinsockError, KnownCodesGetTextWithoutLineBreaks) {
    for (const int code : {WSAEADDRINUSE, WSAEACCES, WSAEMSGSIZE, WSAENETUNREACH}) {
        const SocketError error = DescribeWinsockError(code);
        EXPECT_EQ(error.code, code);
        EXPECT_FALSE(error.description.empty());
        EXPECT_EQ(error.description.find_first_of("\r\n"), std::string::npos)
            << error.description;
    }
}

TEST(WinsockError, UnknownCodeIsNamedByItsNumber) {
    const SocketError error = DescribeWinsockError(987654);
    EXPECT_EQ(error.code, 987654);
    EXPECT_FALSE(error.description.empty());
}

}  // namespace
}  // namespace tarnleaf
