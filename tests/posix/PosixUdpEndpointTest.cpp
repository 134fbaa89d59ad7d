#include "PosixUdpEndpoint.h"

#include <net/if.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace tarnleaf {
namespace {

const Ipv4Address kLoopback{{127, 0, 0, 1}};

std::vector<std::uint8_t> Pattern(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t{3});
    return bytes;
}

// Waits at most a second for a datagram, then takes it (its bytes copied out).
std::optional<std::pair<std::vector<std::uint8_t>, ReceivedDatagram>> ReceiveWithin(
    PosixUdpEndpoint& endpoint) {
    pollfd watch{static_cast<int>(endpoint.NativeHandle()), POLLIN, 0};
    ReceivedDatagram datagram;
    if (::poll(&watch, 1, 1000) != 1 || endpoint.Receive({&datagram, 1}).value() != 1) {
        return std::nullopt;
    }
    return std::make_pair(std::vector(datagram.bytes.begin(), datagram.bytes.end()), datagram);
}

// The server endpoint and a client endpoint, both on ephemeral ports, talking over loopback.
class PosixUdpEndpointTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(server.Bind(0).has_value());
        ASSERT_FALSE(client.Bind(0).has_value());
        ASSERT_NE(server.BoundPort(), 0);
    }

    PosixUdpEndpoint server;
    PosixUdpEndpoint client;
};

TEST_F(PosixUdpEndpointTest, ReceiveTakesAllWaitingDatagramsWholeInOrderInBatches) {
    std::vector<std::size_t> sizes = {300, 0, 1, 65507};
    sizes.resize(PosixUdpEndpoint::kMaxBatch + 5, 548);
    for (const std::size_t size : sizes) {
        ASSERT_FALSE(client.Send(Pattern(size), kLoopback, server.BoundPort(), {}).has_value());
    }
    // Loopback delivers at once: one call takes a full batch, the next the rest.
    std::vector<ReceivedDatagram> slots(PosixUdpEndpoint::kMaxBatch + 10);
    std::size_t next = 0;
    for (const std::size_t expected : {PosixUdpEndpoint::kMaxBatch, std::size_t{5}}) {
        const auto count = server.Receive(slots);
        ASSERT_TRUE(count.ok());
        ASSERT_EQ(count.value(), expected);
        for (std::size_t i = 0; i < expected; ++i, ++next) {
            SCOPED_TRACE(next);
            const ReceivedDatagram& datagram = slots[i];
            EXPECT_TRUE(std::ranges::equal(datagram.bytes, Pattern(sizes[next])));
            EXPECT_EQ(datagram.sender, kLoopback);
            EXPECT_EQ(datagram.senderPort, client.BoundPort());
            EXPECT_EQ(datagram.localAddress, kLoopback);
            EXPECT_EQ(datagram.interfaceIndex, ::if_nametoindex("lo"));
        }
    }
    // Non-blocking: an empty queue is none taken, not a wait.
    const auto nothing = server.Receive(slots);
    ASSERT_TRUE(nothing.ok());
    EXPECT_EQ(nothing.value(), 0u);
}

TEST_F(PosixUdpEndpointTest, BoundSocketIsExclusiveAllowsBroadcastAndQueuesBursts) {
    PosixUdpEndpoint second;
    const auto error = second.Bind(server.BoundPort());
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code, EADDRINUSE);
    EXPECT_EQ(error->description, std::strerror(EADDRINUSE));
    EXPECT_EQ(second.NativeHandle(), -1);

    int broadcast = 0;
    int queue = 0;
    socklen_t length = sizeof(int);
    const int fd = static_cast<int>(server.NativeHandle());
    ASSERT_EQ(::getsockopt(fd, SOL_SOCKET, SO_BROADCAST, &broadcast, &length), 0);
    ASSERT_EQ(::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &queue, &length), 0);
    EXPECT_EQ(broadcast, 1);
    if (::geteuid() == 0) {
        EXPECT_GE(queue, PosixUdpEndpoint::kReceiveQueueBytes);
    }
}

TEST_F(PosixUdpEndpointTest, SendLeavesFromTheBoundPortThroughTheRoute) {
    for (const SendRoute& route : {SendRoute{}, SendRoute{::if_nametoindex("lo"), kLoopback}}) {
        ASSERT_FALSE(server.Send(Pattern(320), kLoopback, client.BoundPort(), route));
        const auto received = ReceiveWithin(client);
        ASSERT_TRUE(received.has_value()) << route.interfaceIndex;
        EXPECT_EQ(received->first, Pattern(320));
        EXPECT_EQ(received->second.senderPort, server.BoundPort());
    }
}

// A refused datagram in the middle of a batch is reported and the rest still go, in order.
TEST_F(PosixUdpEndpointTest, SendBatchSendsAroundARefusedDatagram) {
    std::vector<std::vector<std::uint8_t>> payloads;
    std::vector<OutgoingDatagram> batch;
    for (std::size_t i = 0; i < PosixUdpEndpoint::kMaxBatch + 3; ++i) {
        payloads.push_back(Pattern(300 + i));
    }
    for (std::size_t i = 0; i < payloads.size(); ++i) {
        const SendRoute route = i == 1 ? SendRoute{999999, kLoopback} : SendRoute{};
        batch.push_back({payloads[i], kLoopback, client.BoundPort(), route});
    }
    std::vector<std::optional<SocketError>> failures(batch.size());
    server.SendBatch(batch, failures);
    for (std::size_t i = 0; i < batch.size(); ++i) {
        EXPECT_EQ(failures[i].has_value(), i == 1) << i;
        if (i == 1) {
            EXPECT_FALSE(failures[i]->description.empty());
        } else {
            const auto received = ReceiveWithin(client);
            ASSERT_TRUE(received.has_value()) << i;
            EXPECT_EQ(received->first, payloads[i]);
        }
    }
}

TEST(PosixUdpEndpointUnbound, FailsToSendOrReceiveButNamesTheHost) {
    PosixUdpEndpoint endpoint;
    EXPECT_EQ(endpoint.BoundPort(), 0);
    ReceivedDatagram slot;
    auto received = endpoint.Receive({&slot, 1});
    ASSERT_FALSE(received.ok());
    EXPECT_EQ(received.error().code, EBADF);
    EXPECT_EQ(endpoint.Send(Pattern(10), kLoopback, 9, SendRoute{}).value().code, EBADF);

    const auto ip = Ipv4Address::Parse(endpoint.LocalIP());
    ASSERT_TRUE(ip.has_value()) << endpoint.LocalIP();
    EXPECT_FALSE(ip->IsAny());
    char name[256] = {};
    ASSERT_EQ(::gethostname(name, sizeof name - 1), 0);
    EXPECT_EQ(endpoint.LocalHostName(), name);
    EXPECT_EQ(InterfaceIpv4Address(::if_nametoindex("lo")), kLoopback);
    EXPECT_FALSE(InterfaceIpv4Address(0).has_value());
    EXPECT_FALSE(InterfaceIpv4Address(999999).has_value());
}

// When the routing question has no answer: asked from a thread inside a network namespace of
// its own (gone with the thread), whose links the shell command builds.
class PrimaryAddressFallback
    : public ::testing::TestWithParam<std::pair<const char*, Ipv4Address>> {};

TEST_P(PrimaryAddressFallback, InAPrivateNetworkNamespace) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root for a private network namespace";
    }
    std::optional<Ipv4Address> primary;
    std::thread([&] {
        if (::unshare(CLONE_NEWNET) == 0 && std::system(GetParam().first) == 0) {
            primary = PrimaryIpv4Address();
        }
    }).join();
    if (!primary) {
        GTEST_SKIP() << "cannot build a private network namespace here";
    }
    EXPECT_EQ(*primary, GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(
    NoRouteIsLoopbackElseTheFirstInterfaceAddress, PrimaryAddressFallback,
    ::testing::Values(std::make_pair("true", kLoopback),
                      std::make_pair("ip link add tlpa type veth peer name tlpb && "
                                     "ip addr add 10.79.0.1/24 dev tlpa && ip link set tlpa up && "
                                     "ip link set lo up",
                                     Ipv4Address{{10, 79, 0, 1}})));

}  // namespace
}  // namespace tarnleaf
