// Loopback only; a second endpoint plays the client. Broadcast replies are checked end to end.
#include "WinsockUdpEndpoint.h"

#include <winsock2.h>

#include <gtest/gtest.h>

#include <chrono>
#include <numeric>
#include <thread>
#include <vector>

#include "WinsockError.h"
#include "WinsockSession.h"

namespace tarnleaf {
namespace {

constexpr Ipv4Address kLoopback{{127, 0, 0, 1}};
using Bytes = std::vector<std::uint8_t>;

Bytes Pattern(std::size_t size) { Bytes b(size); return std::iota(b.begin(), b.end(), 3), b; }

struct Received : ReceivedDatagram {
    Bytes copy;  // the bytes, out of the endpoint's storage
};

// The endpoint never blocks: poll for about three seconds. Empty after a failure, too.
std::optional<Received> Await(WinsockUdpEndpoint& endpoint) {
    for (int i = 0; i < 600; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(5))) {
        ReceivedDatagram d;
        const auto outcome = endpoint.Receive({&d, 1});
        if (!outcome.ok()) return std::nullopt;
        if (outcome.value() == 1) return Received{d, Bytes(d.bytes.begin(), d.bytes.end())};
    }
    return std::nullopt;
}

std::size_t WaitingNow(WinsockUdpEndpoint& endpoint) {
    std::vector<ReceivedDatagram> slots(4);
    const auto outcome = endpoint.Receive(slots);
    return outcome.ok() ? outcome.value() : 99;
}

class WinsockUdpEndpointTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(server_.Bind(0) || client_.Bind(0)); }
    WinsockSession wsa_;  // started before the endpoints bind
    WinsockUdpEndpoint server_, client_;
};

TEST_F(WinsockUdpEndpointTest, DatagramsArriveWholeAndRepliesLeaveFromTheBoundPort) {
    EXPECT_EQ(WaitingNow(server_), 0u) << "nothing waits yet";
    for (const std::size_t size : {548, 65507, 0}) {  // the largest is never cut
        ASSERT_FALSE(client_.Send(Pattern(size), kLoopback, server_.BoundPort(), {}));
        const auto d = Await(server_);
        ASSERT_TRUE(d.has_value()) << size;
        EXPECT_EQ(d->copy, Pattern(size));
        EXPECT_TRUE(d->sender == kLoopback && d->localAddress == kLoopback);
        EXPECT_TRUE(d->senderPort == client_.BoundPort() && d->interfaceIndex != 0);
        const SendRoute route = size ? SendRoute{d->interfaceIndex, d->localAddress} : SendRoute{};
        ASSERT_FALSE(server_.Send(Pattern(320), kLoopback, client_.BoundPort(), route));
        EXPECT_EQ(Await(client_).value_or(Received{}).senderPort, server_.BoundPort());
    }
    EXPECT_TRUE(!server_.LocalHostName().empty() && Ipv4Address::Parse(server_.LocalIP()))
        << server_.LocalIP();
}

TEST_F(WinsockUdpEndpointTest, SendToAPortNobodyListensOnDoesNotSpoilTheNextReceive) {
    const std::uint16_t deadPort = client_.BoundPort();
    ASSERT_FALSE(client_.Bind(0).has_value());  // closes the old port first
    ASSERT_FALSE(server_.Send(Pattern(300), kLoopback, deadPort, SendRoute{}).has_value());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(WaitingNow(server_), 0u) << "the port-unreachable report is no failure";
    ASSERT_FALSE(client_.Send(Pattern(300), kLoopback, server_.BoundPort(), {}));
    EXPECT_TRUE(Await(server_).has_value());
}

TEST_F(WinsockUdpEndpointTest, FailuresComeBackAsOneLineErrorsNotCrashes) {
    EXPECT_EQ(server_.Send(Bytes(70000), kLoopback, 9, {}).value_or(SocketError{}).code,
              WSAEMSGSIZE);
    const std::uint16_t oldPort = server_.BoundPort();
    WinsockUdpEndpoint second;
    const SocketError inUse = second.Bind(oldPort).value_or(SocketError{});
    EXPECT_TRUE(inUse.code == WSAEADDRINUSE || inUse.code == WSAEACCES) << inUse.code;
    EXPECT_EQ(inUse.description.find_first_of("\r\n"), std::string::npos) << inUse.description;
    ReceivedDatagram slot;
    const auto closed = second.Receive({&slot, 1});  // the failed bind left no socket behind
    EXPECT_EQ(closed.ok() ? 0 : closed.error().code, WSAENOTSOCK);
    ASSERT_FALSE(server_.Bind(0).has_value());  // the port is free once its first owner moves
    EXPECT_FALSE(second.Bind(oldPort).has_value());
    // A localised system text reaches the log and the console as UTF-8, not as the bytes of
    // the ANSI code page.
    const std::string french =
        DescribeWinsockError(WSAEACCES, MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH)).description;
    if (french == DescribeWinsockError(WSAEACCES, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US))
                      .description) {
        GTEST_SKIP() << "this system has no French message texts";
    }
    EXPECT_NE(french.find("cc\xC3\xA8s"), std::string::npos) << french;  // "accès"
}

}  // namespace
}  // namespace tarnleaf
