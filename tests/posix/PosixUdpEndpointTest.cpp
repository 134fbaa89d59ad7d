#include "PosixUdpEndpoint.h"

#include "InterfaceAddresses.h"

#include <net/if.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <numeric>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace tarnleaf {
namespace {

const Ipv4Address kLoopback{{127, 0, 0, 1}};
constexpr std::size_t kBatch = PosixUdpEndpoint::kMaxBatch;

std::vector<std::uint8_t> Pattern(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t{3});
    return bytes;
}

// The server endpoint and a client endpoint, both on ephemeral ports, talking over loopback.
class PosixUdpEndpointTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(server.Bind(0).has_value());
        ASSERT_FALSE(client.Bind(0).has_value());
    }
    // The bytes of the next datagram from the server (loopback delivers at once).
    std::vector<std::uint8_t> ClientReceives() {
        ReceivedDatagram datagram;
        if (client.Receive({&datagram, 1}).value() != 1) return {};
        EXPECT_EQ(datagram.senderPort, server.BoundPort());
        return std::vector(datagram.bytes.begin(), datagram.bytes.end());
    }

    PosixUdpEndpoint server;
    PosixUdpEndpoint client;
};

// One call takes a full batch, the next the rest, then none (no wait); each whole, with the
// address and interface it arrived on.
TEST_F(PosixUdpEndpointTest, ReceiveTakesAllWaitingDatagramsWholeInOrderInBatches) {
    std::vector<std::size_t> sizes = {300, 0, 1, 65507};
    sizes.resize(kBatch + 5, 548);
    for (const std::size_t size : sizes) {
        ASSERT_FALSE(client.Send(Pattern(size), kLoopback, server.BoundPort(), {}).has_value());
    }
    std::vector<ReceivedDatagram> slots(kBatch + 10);
    std::size_t next = 0;
    for (const std::size_t expected : {kBatch, std::size_t{5}, std::size_t{0}}) {
        ASSERT_EQ(server.Receive(slots).value(), expected);
        for (std::size_t i = 0; i < expected; ++i, ++next) {
            const ReceivedDatagram& datagram = slots[i];
            EXPECT_TRUE(std::ranges::equal(datagram.bytes, Pattern(sizes[next]))) << next;
            EXPECT_EQ(datagram.senderPort, client.BoundPort());
            EXPECT_EQ(datagram.localAddress, kLoopback);
            EXPECT_EQ(datagram.interfaceIndex, ::if_nametoindex("lo"));
        }
    }
}

// Told to wait, a receive ends at a datagram that comes later, or empty-handed at its time
// limit; datagrams queued behind one another are all taken whole, one or a batch at a time.
TEST_F(PosixUdpEndpointTest, WaitingReceiveEndsAtALaterDatagramOrItsTimeLimit) {
    using namespace std::chrono_literals;
    ASSERT_FALSE(server.WaitInReceive(100ms).has_value());
    std::vector<ReceivedDatagram> slots(kBatch);
    EXPECT_EQ(server.Receive(slots).value(), 0u);
    std::thread late([&] {
        std::this_thread::sleep_for(30ms);
        EXPECT_FALSE(client.Send(Pattern(300), kLoopback, server.BoundPort(), {}).has_value());
    });
    EXPECT_EQ(server.Receive(slots).value(), 1u);
    late.join();

    const std::size_t queued = 3 * kBatch;
    for (std::size_t i = 0; i < queued; ++i) {
        ASSERT_FALSE(client.Send(Pattern(i + 1), kLoopback, server.BoundPort(), {}).has_value());
    }
    std::size_t taken = 0;
    for (int call = 0; call < 4 * static_cast<int>(queued) && taken < queued; ++call) {
        const std::size_t count = server.Receive(slots).value();
        for (std::size_t i = 0; i < count; ++i, ++taken) {
            EXPECT_TRUE(std::ranges::equal(slots[i].bytes, Pattern(taken + 1))) << taken;
        }
    }
    EXPECT_EQ(taken, queued);

    // The queue taken at once may have set the receive gathering; once a gathering finds
    // nothing more, it waits again instead of looking at an empty queue until one comes.
    std::thread later([&] {
        std::this_thread::sleep_for(30ms);
        EXPECT_FALSE(client.Send(Pattern(300), kLoopback, server.BoundPort(), {}).has_value());
    });
    int calls = 0;
    for (std::size_t count = 0; count == 0 && calls < 20; ++calls) {
        count = server.Receive(slots).value();
    }
    later.join();
    EXPECT_LE(calls, 3);
    EXPECT_FALSE(server.Send(Pattern(10), kLoopback, client.BoundPort(), {}).has_value());
}

TEST_F(PosixUdpEndpointTest, BoundPortIsExclusive) {
    PosixUdpEndpoint second;
    EXPECT_EQ(second.Bind(server.BoundPort()).value().code, EADDRINUSE);
    EXPECT_EQ(second.NativeHandle(), -1);
}

// A route naming the interface and source address leaves from the bound port; a refused
// datagram in the middle of a batch is reported and the rest still go, in order.
TEST_F(PosixUdpEndpointTest, SendBatchLeavesThroughTheRouteAroundARefusedDatagram) {
    std::vector<std::vector<std::uint8_t>> payloads(kBatch + 3);
    std::vector<OutgoingDatagram> batch;
    for (std::size_t i = 0; i < payloads.size(); ++i) {
        payloads[i] = Pattern(300 + i);
        const SendRoute route = i == 1   ? SendRoute{999999, kLoopback}
                                : i % 2 ? SendRoute{}
                                        : SendRoute{::if_nametoindex("lo"), kLoopback};
        batch.push_back({payloads[i], kLoopback, client.BoundPort(), route});
    }
    std::vector<std::optional<SocketError>> failures(batch.size());
    server.SendBatch(batch, failures);
    for (std::size_t i = 0; i < batch.size(); ++i) {
        ASSERT_EQ(failures[i].has_value(), i == 1) << i;
        if (i == 1) continue;
        EXPECT_EQ(ClientReceives(), payloads[i]) << i;
    }
}

TEST(PosixUdpEndpointUnbound, FailsToSendOrReceiveButNamesTheHost) {
    PosixUdpEndpoint endpoint;
    ReceivedDatagram slot;
    EXPECT_EQ(endpoint.Receive({&slot, 1}).error().code, EBADF);
    EXPECT_EQ(endpoint.Send(Pattern(10), kLoopback, 9, SendRoute{}).value().code, EBADF);
    EXPECT_FALSE(Ipv4Address::Parse(endpoint.LocalIP()).value_or(Ipv4Address::Any()).IsAny());
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    EXPECT_EQ(endpoint.LocalHostName(), name);
    EXPECT_EQ(InterfaceIpv4Address(::if_nametoindex("lo")), kLoopback);
}

// With no route to ask about: loopback, else the first interface address. Asked from a thread
// inside a network namespace of its own (gone with the thread), whose links the command builds.
TEST(PrimaryAddressFallback, InAPrivateNetworkNamespace) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root for a private network namespace";
    for (const auto& [command, expected] :
         {std::pair{"true", kLoopback},
          std::pair{"ip link add tlpa type veth peer name tlpb && ip link set lo up && ip addr add "
                    "10.79.0.1/24 dev tlpa && ip link set tlpa up", Ipv4Address{{10, 79, 0, 1}}}}) {
        std::optional<Ipv4Address> primary;
        std::thread([&, command = command] {
            if (::unshare(CLONE_NEWNET) == 0 && std::system(command) == 0) {
                primary = PrimaryIpv4Address();
            }
        }).join();
        if (!primary) GTEST_SKIP() << "cannot build a private network namespace here";
        EXPECT_EQ(*primary, expected);
    }
}

}  // namespace
}  // namespace tarnleaf
