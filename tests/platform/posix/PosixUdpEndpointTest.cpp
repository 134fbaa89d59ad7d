#include "platform/posix/PosixUdpEndpoint.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <optional>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tarnleaf {
namespace {

using ::testing::Not;
using ::testing::IsEmpty;

const Ipv4Address kLoopback{{127, 0, 0, 1}};

// A plain UDP socket on 127.0.0.1 standing in for a client.
class PeerSocket {
public:
    PeerSocket() {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local);
    }
    ~PeerSocket() { ::close(fd_); }
    PeerSocket(const PeerSocket&) = delete;
    PeerSocket& operator=(const PeerSocket&) = delete;

    std::uint16_t Port() const {
        sockaddr_in local{};
        socklen_t length = sizeof local;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length);
        return ntohs(local.sin_port);
    }

    bool SendTo(std::uint16_t port, const std::vector<std::uint8_t>& bytes) const {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                        sizeof to) == static_cast<ssize_t>(bytes.size());
    }

    // Waits at most one second for a datagram.
    std::optional<std::pair<std::vector<std::uint8_t>, std::uint16_t>> ReceiveOne() const {
        pollfd watch{fd_, POLLIN, 0};
        if (::poll(&watch, 1, 1000) != 1) {
            return std::nullopt;
        }
        std::vector<std::uint8_t> buffer(70000);
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t n = ::recvfrom(fd_, buffer.data(), buffer.size(), 0,
                                     reinterpret_cast<sockaddr*>(&from), &length);
        if (n < 0) {
            return std::nullopt;
        }
        buffer.resize(static_cast<std::size_t>(n));
        return std::make_pair(buffer, ntohs(from.sin_port));
    }

private:
    int fd_ = -1;
};

// Waits (bounded) until the endpoint has a datagram, then receives it.
std::optional<ReceivedDatagram> ReceiveWithin(PosixUdpEndpoint& endpoint, int milliseconds = 1000) {
    pollfd watch{static_cast<int>(endpoint.NativeHandle()), POLLIN, 0};
    if (::poll(&watch, 1, milliseconds) != 1) {
        return std::nullopt;
    }
    auto result = endpoint.Receive();
    if (!result.ok()) {
        return std::nullopt;
    }
    return std::move(result.value());
}

std::vector<std::uint8_t> Pattern(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    return bytes;
}

class PosixUdpEndpointTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(endpoint.Bind(0).has_value());
        port = endpoint.BoundPort();
        ASSERT_NE(port, 0);
    }

    PosixUdpEndpoint endpoint;
    PeerSocket peer;
    std::uint16_t port = 0;
};

TEST_F(PosixUdpEndpointTest, ReceiveGivesNoValueWhenNothingIsWaiting) {
    auto result = endpoint.Receive();
    ASSERT_TRUE(result.ok());
    EXPECT_FALSE(result.value().has_value());
}

TEST_F(PosixUdpEndpointTest, ReceiveGivesTheDatagramWithSenderAndArrivingInterface) {
    const auto request = Pattern(300);
    ASSERT_TRUE(peer.SendTo(port, request));

    const auto datagram = ReceiveWithin(endpoint);
    ASSERT_TRUE(datagram.has_value());
    EXPECT_EQ(datagram->bytes, request);
    EXPECT_EQ(datagram->sender, kLoopback);
    EXPECT_EQ(datagram->senderPort, peer.Port());
    EXPECT_EQ(datagram->localAddress, kLoopback);
    EXPECT_EQ(datagram->interfaceIndex, ::if_nametoindex("lo"));
}

TEST_F(PosixUdpEndpointTest, ReceiveKeepsEveryDatagramSizeWhole) {
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{299},
                                   std::size_t{548}, std::size_t{1500}, std::size_t{65507}}) {
        SCOPED_TRACE(size);
        const auto request = Pattern(size);
        ASSERT_TRUE(peer.SendTo(port, request));
        const auto datagram = ReceiveWithin(endpoint);
        ASSERT_TRUE(datagram.has_value());
        EXPECT_EQ(datagram->bytes, request);
    }
}

TEST_F(PosixUdpEndpointTest, ReceiveHandsOutOneDatagramPerCallInArrivalOrder) {
    ASSERT_TRUE(peer.SendTo(port, Pattern(10)));
    ASSERT_TRUE(peer.SendTo(port, Pattern(20)));

    const auto first = ReceiveWithin(endpoint);
    const auto second = ReceiveWithin(endpoint);
    ASSERT_TRUE(first.has_value());
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(first->bytes.size(), 10u);
    EXPECT_EQ(second->bytes.size(), 20u);
    auto third = endpoint.Receive();
    ASSERT_TRUE(third.ok());
    EXPECT_FALSE(third.value().has_value());
}

TEST_F(PosixUdpEndpointTest, SecondEndpointOnTheSamePortFailsWithAddressInUse) {
    PosixUdpEndpoint second;
    const auto error = second.Bind(port);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code, EADDRINUSE);
    EXPECT_THAT(error->description, Not(IsEmpty()));
    EXPECT_EQ(second.NativeHandle(), -1);
}

TEST_F(PosixUdpEndpointTest, SocketAllowsBroadcastQueuesBurstsAndIsNonBlocking) {
    int broadcast = 0;
    socklen_t length = sizeof broadcast;
    ASSERT_EQ(::getsockopt(static_cast<int>(endpoint.NativeHandle()), SOL_SOCKET, SO_BROADCAST,
                           &broadcast, &length),
              0);
    EXPECT_EQ(broadcast, 1);
    // Room for a burst of requests: well above the usual default of about 200 KB (the
    // kernel reports twice what it grants; without root it may cap the request).
    int queue = 0;
    length = sizeof queue;
    ASSERT_EQ(::getsockopt(static_cast<int>(endpoint.NativeHandle()), SOL_SOCKET, SO_RCVBUF,
                           &queue, &length),
              0);
    if (::geteuid() == 0) {
        EXPECT_GE(queue, PosixUdpEndpoint::kReceiveQueueBytes);
    }
    // A blocking socket would hang here instead of reporting that nothing is waiting.
    auto result = endpoint.Receive();
    ASSERT_TRUE(result.ok());
}

TEST_F(PosixUdpEndpointTest, SendLeavesFromTheBoundPort) {
    const auto reply = Pattern(320);
    ASSERT_FALSE(endpoint.Send(reply, kLoopback, peer.Port(), SendRoute{}).has_value());

    const auto received = peer.ReceiveOne();
    ASSERT_TRUE(received.has_value());
    EXPECT_EQ(received->first, reply);
    EXPECT_EQ(received->second, port);
}

TEST_F(PosixUdpEndpointTest, SendPinnedToTheArrivingInterfaceArrives) {
    const SendRoute route{::if_nametoindex("lo"), kLoopback};
    ASSERT_FALSE(endpoint.Send(Pattern(300), kLoopback, peer.Port(), route).has_value());
    EXPECT_TRUE(peer.ReceiveOne().has_value());
}

TEST_F(PosixUdpEndpointTest, SendThroughAMissingInterfaceReportsTheError) {
    // Interface indexes are small numbers; this one does not exist.
    const SendRoute route{999999, kLoopback};
    const auto error = endpoint.Send(Pattern(300), kLoopback, peer.Port(), route);
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->code, 0);
    EXPECT_THAT(error->description, Not(IsEmpty()));
}

TEST(PosixUdpEndpointUnbound, ReceiveAndSendFailWithAnErrorInsteadOfCrashing) {
    PosixUdpEndpoint endpoint;
    EXPECT_EQ(endpoint.NativeHandle(), -1);
    EXPECT_EQ(endpoint.BoundPort(), 0);
    auto received = endpoint.Receive();
    ASSERT_FALSE(received.ok());
    EXPECT_EQ(received.error().code, EBADF);
    const auto sent = endpoint.Send(Pattern(10), kLoopback, 9, SendRoute{});
    ASSERT_TRUE(sent.has_value());
    EXPECT_EQ(sent->code, EBADF);
}

TEST(PosixUdpEndpointHost, LocalIPIsADottedIpv4Address) {
    PosixUdpEndpoint endpoint;
    const std::string ip = endpoint.LocalIP();
    EXPECT_TRUE(Ipv4Address::Parse(ip).has_value()) << ip;
    EXPECT_FALSE(Ipv4Address::Parse(ip)->IsAny());
}

TEST(PosixUdpEndpointHost, LocalHostNameIsTheSystemsName) {
    PosixUdpEndpoint endpoint;
    char name[256] = {};
    ASSERT_EQ(::gethostname(name, sizeof name - 1), 0);
    EXPECT_EQ(endpoint.LocalHostName(), name);
}

TEST(PosixUdpEndpointHost, InterfaceAddressOfLoopbackAndOfNoInterface) {
    EXPECT_EQ(InterfaceIpv4Address(::if_nametoindex("lo")), kLoopback);
    EXPECT_FALSE(InterfaceIpv4Address(0).has_value());
    EXPECT_FALSE(InterfaceIpv4Address(999999).has_value());
}

// Runs `body` in a child process inside a network namespace of its own (which ends with the
// child); the child's exit code is the result. Needs root; -1 when the namespace cannot be had.
template <typename Body>
int InPrivateNetworkNamespace(Body body) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::unshare(CLONE_NEWNET) != 0) {
            ::_exit(200);
        }
        ::_exit(body());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status) == 200 ? -1 : WEXITSTATUS(status);
}

TEST(PosixUdpEndpointHost, PrimaryAddressWithoutAnyRouteIsLoopback) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root for a private network namespace";
    }
    const int result = InPrivateNetworkNamespace(
        [] { return PrimaryIpv4Address() == Ipv4Address{{127, 0, 0, 1}} ? 0 : 1; });
    if (result == -1) {
        GTEST_SKIP() << "no private network namespace here";
    }
    EXPECT_EQ(result, 0);
}

TEST(PosixUdpEndpointHost, PrimaryAddressWithoutDefaultRouteIsTheFirstInterfaceAddress) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root for a private network namespace";
    }
    const int result = InPrivateNetworkNamespace([] {
        // A link with an address but no default route: the routing question has no answer.
        if (std::system("ip link add tlpa type veth peer name tlpb && "
                        "ip addr add 10.79.0.1/24 dev tlpa && ip link set tlpa up && "
                        "ip link set lo up") != 0) {
            return 2;
        }
        return PrimaryIpv4Address() == Ipv4Address{{10, 79, 0, 1}} ? 0 : 1;
    });
    if (result == -1 || result == 2) {
        GTEST_SKIP() << "cannot build a private network namespace here";
    }
    EXPECT_EQ(result, 0);
}

TEST(SocketErrorFromErrno, CarriesCodeAndSystemText) {
    const SocketError error = SocketErrorFromErrno(EADDRINUSE);
    EXPECT_EQ(error.code, EADDRINUSE);
    EXPECT_EQ(error.description, std::strerror(EADDRINUSE));
}

}  // namespace
}  // namespace tarnleaf
