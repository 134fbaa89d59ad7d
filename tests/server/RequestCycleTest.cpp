#include "server/RequestCycle.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "protocol/MessageCodec.h"
#include "server/RequestImage.h"
#include "support/FakeClock.h"
#include "support/FakeProfileSource.h"
#include "support/FakeUdpEndpoint.h"

namespace tarnleaf {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using testing::DhcpOptions;
using testing::FakeClock;
using testing::FakeProfileSource;
using testing::FakeUdpEndpoint;
using testing::kClientSection;
using testing::RequestImage;

const Ipv4Address kArrivalAddress{{192, 168, 7, 1}};
constexpr unsigned kArrivalInterface = 3;

std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& bytes, std::size_t from,
                                std::size_t count) {
    return {bytes.begin() + static_cast<std::ptrdiff_t>(from),
            bytes.begin() + static_cast<std::ptrdiff_t>(from + count)};
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

class RequestCycleTest : public ::testing::Test {
protected:
    RequestCycleTest() : cycle(endpoint, profiles, log, clock) {
        endpoint.SetLocalIP("10.0.0.5");
        endpoint.SetLocalHostName("tarnleaf-host");
    }

    // Runs one datagram through the cycle and returns what was sent (ASSERTs one send).
    void Handle(const RequestImage& image, Ipv4Address local = kArrivalAddress) {
        endpoint.QueueDatagram(image.Bytes(), local, kArrivalInterface);
        ASSERT_TRUE(cycle.HandleOneDatagram());
    }
    const FakeUdpEndpoint::SentDatagram& OnlySent() {
        EXPECT_EQ(endpoint.Sent().size(), 1u);
        return endpoint.Sent().front();
    }
    BootpMessage OnlySentMessage() { return DecodeMessage(OnlySent().bytes); }

    FakeUdpEndpoint endpoint;
    FakeProfileSource profiles;
    LogModel log;
    FakeClock clock{"2026/12/06 21:30:00"};
    RequestCycle cycle;
};

TEST_F(RequestCycleTest, NothingWaitingHandlesNothing) {
    EXPECT_FALSE(cycle.HandleOneDatagram());
    EXPECT_TRUE(endpoint.Sent().empty());
    EXPECT_EQ(profiles.Refreshes(), 0);
}

TEST_F(RequestCycleTest, UnknownClientGetsItsOwnRequestBackAsBroadcast) {
    RequestImage image;
    image.options = DhcpOptions(1);
    Handle(image);
    const auto& sent = OnlySent();
    EXPECT_EQ(sent.destination, Ipv4Address::Broadcast());
    EXPECT_EQ(sent.port, 68);
    const BootpMessage reply = DecodeMessage(sent.bytes);
    EXPECT_EQ(reply.op, 1);
    EXPECT_THAT(reply.xid, ElementsAre(0xDE, 0xAD, 0xBE, 0xEF));
    EXPECT_EQ(reply.siaddr, "192.168.7.1");
    EXPECT_EQ(reply.sname, "tarnleaf-host");
    EXPECT_EQ(Slice(sent.bytes, 236, 8), DhcpOptions(1));
}

TEST_F(RequestCycleTest, ReplyLeavesByTheInterfaceTheRequestCameIn) {
    Handle(RequestImage{});
    EXPECT_EQ(OnlySent().route.interfaceIndex, kArrivalInterface);
    EXPECT_EQ(OnlySent().route.sourceAddress, kArrivalAddress);
}

TEST_F(RequestCycleTest, ServerAddressIsTheArrivingInterfacesNotTheHosts) {
    profiles.Set(kClientSection, "BootFile", "pxelinux.0");
    RequestImage image;
    image.options = DhcpOptions(1);
    Handle(image, Ipv4Address{{172, 16, 0, 9}});
    const BootpMessage reply = OnlySentMessage();
    EXPECT_EQ(reply.op, 2);
    EXPECT_EQ(reply.siaddr, "172.16.0.9");
    EXPECT_EQ(reply.sname, "tarnleaf-host");
    EXPECT_EQ(Slice(OnlySent().bytes, 236, 8),
              (std::vector<std::uint8_t>{99, 130, 83, 99, 53, 1, 2, 255}));
}

TEST_F(RequestCycleTest, UnknownArrivalAddressFallsBackToTheHostAddress) {
    Handle(RequestImage{}, Ipv4Address::Any());
    EXPECT_EQ(OnlySentMessage().siaddr, "10.0.0.5");
}

TEST_F(RequestCycleTest, ProfileServerAddressKeepsTheServerNameEmpty) {
    profiles.Set(kClientSection, "BootFile", "f").Set(kClientSection, "ServerIP", "10.1.1.1");
    Handle(RequestImage{});
    const BootpMessage reply = OnlySentMessage();
    EXPECT_EQ(reply.siaddr, "10.1.1.1");
    EXPECT_EQ(reply.sname, "");
}

TEST_F(RequestCycleTest, RequestServerNameIsKept) {
    RequestImage image;
    image.sname = {'o', 't', 'h', 'e', 'r'};
    Handle(image);
    EXPECT_EQ(OnlySentMessage().sname, "other");
}

TEST_F(RequestCycleTest, LongHostNameIsCutToTheField) {
    endpoint.SetLocalHostName(std::string(70, 'n'));
    Handle(RequestImage{});
    const auto& bytes = OnlySent().bytes;
    EXPECT_EQ(std::string(bytes.begin() + 44, bytes.begin() + 107), std::string(63, 'n'));
    EXPECT_EQ(bytes[107], 0);
}

TEST_F(RequestCycleTest, RelayedRequestIsAnsweredToTheRelayAgent) {
    profiles.Set(kClientSection, "BootFile", "f");
    RequestImage image;
    image.giaddr = {10, 20, 30, 1};
    image.options = DhcpOptions(3);
    Handle(image);
    EXPECT_EQ(OnlySent().destination, (Ipv4Address{{10, 20, 30, 1}}));
    EXPECT_EQ(OnlySent().port, 67);
    EXPECT_EQ(OnlySentMessage().giaddr, "10.20.30.1");
}

TEST_F(RequestCycleTest, RelayTestUsesTheReceivedGiaddrNotTheProfiles) {
    profiles.Set(kClientSection, "BootFile", "f").Set(kClientSection, "CrossGateway", "10.9.9.9");
    Handle(RequestImage{});
    EXPECT_EQ(OnlySent().destination, Ipv4Address::Broadcast());
    EXPECT_EQ(OnlySent().port, 68);
    EXPECT_EQ(OnlySentMessage().giaddr, "10.9.9.9");
}

TEST_F(RequestCycleTest, ProfileIsRefreshedOncePerDatagram) {
    endpoint.QueueDatagram(RequestImage{}.Bytes());
    endpoint.QueueDatagram(RequestImage{}.Bytes());
    EXPECT_TRUE(cycle.HandleOneDatagram());
    EXPECT_EQ(profiles.Refreshes(), 1);
    EXPECT_TRUE(cycle.HandleOneDatagram());
    EXPECT_EQ(profiles.Refreshes(), 2);
}

TEST_F(RequestCycleTest, LoggingOnWritesRequestAndReplyEntries) {
    profiles.Set(kClientSection, "BootFile", "f").Set(kClientSection, "MessageSize", "576");
    RequestImage image;
    image.size = 548;
    image.options = DhcpOptions(1);
    Handle(image);
    const std::string& text = log.Text();
    EXPECT_THAT(text, StartsWith("date [2026/12/06 21:30:00]\r\nsize [548]\r\n"));
    EXPECT_THAT(text, HasSubstr("\r\n\r\ndate [2026/12/06 21:30:00]\r\nsize [576]\r\n"));
    EXPECT_EQ(Count(text, "date ["), 2u);
}

TEST_F(RequestCycleTest, LoggingOffWritesNothingForAnAnsweredRequest) {
    log.SetLoggingEnabled(false);
    Handle(RequestImage{});
    EXPECT_EQ(log.Text(), "");
    EXPECT_EQ(clock.TimestampReads(), 0);
    EXPECT_EQ(endpoint.Sent().size(), 1u);
}

TEST_F(RequestCycleTest, SendFailureIsLoggedEvenWithLoggingOff) {
    log.SetLoggingEnabled(false);
    endpoint.FailSends({10065, "No route to host"});
    Handle(RequestImage{});
    EXPECT_EQ(endpoint.SendAttempts(), 1u);
    EXPECT_EQ(log.Text(), "Message Send Error!\r\n10065\r\n\r\n");
}

TEST_F(RequestCycleTest, SendFailureFollowsTheRequestEntry) {
    endpoint.FailSends({101, "Network is unreachable"});
    Handle(RequestImage{});
    EXPECT_THAT(log.Text(), HasSubstr("\r\n\r\nMessage Send Error!\r\n101\r\n\r\n"));
    EXPECT_EQ(Count(log.Text(), "date ["), 1u);
}

TEST_F(RequestCycleTest, SocketErrorBecomesAnErrorEntry) {
    log.SetLoggingEnabled(false);
    endpoint.QueueReceiveError({10054, "Connection reset by peer"});
    EXPECT_FALSE(cycle.HandleOneDatagram());
    EXPECT_EQ(log.Text(), "Error!\r\n10054 (Connection reset by peer)\r\n\r\n");
    EXPECT_TRUE(endpoint.Sent().empty());
}

TEST_F(RequestCycleTest, ProfileValueThatCannotBeEncodedSendsNothing) {
    log.SetLoggingEnabled(false);
    profiles.Set(kClientSection, "BootFile", "f").Set(kClientSection, "ClientIP", "300.1.2.3");
    Handle(RequestImage{});
    EXPECT_EQ(endpoint.SendAttempts(), 0u);
    EXPECT_THAT(log.Text(), StartsWith("Message Encode Error!\r\n"));
    EXPECT_THAT(log.Text(), HasSubstr("[00-A0-C9-12-34-56]"));
    EXPECT_THAT(log.Text(), HasSubstr("[ciaddr]"));
    EXPECT_THAT(log.Text(), HasSubstr("[300.1.2.3]"));
}

TEST_F(RequestCycleTest, EncodeFaultNamesTheSectionEvenWhenTheProfileRenamesTheClient) {
    profiles.Set(kClientSection, "BootFile", "f")
        .Set(kClientSection, "HardwareAddress", "11-22-33-44-55-66")
        .Set(kClientSection, "HostIP", "1.2.3.999");
    Handle(RequestImage{});
    EXPECT_EQ(endpoint.SendAttempts(), 0u);
    EXPECT_THAT(log.Text(), HasSubstr("section [00-A0-C9-12-34-56]"));
}

// Datagrams under 300 bytes: DHCP without BOOTP's padding is answered, the rest is not.
struct ShortCase {
    std::string name;
    std::size_t size;
    bool withCookie;
    bool answered;
};

class ShortDatagramTest : public RequestCycleTest,
                          public ::testing::WithParamInterface<ShortCase> {};

TEST_P(ShortDatagramTest, OnlyUnpaddedDhcpIsAnswered) {
    const ShortCase& c = GetParam();
    profiles.Set(kClientSection, "BootFile", "f");
    RequestImage image;
    image.size = c.size;
    if (c.withCookie) {
        image.options = DhcpOptions(1);
    }
    endpoint.QueueDatagram(image.Bytes());
    EXPECT_TRUE(cycle.HandleOneDatagram());

    const std::string sizeLine = "size [" + std::to_string(c.size) + "]\r\n";
    EXPECT_THAT(log.Text(), StartsWith("date [2026/12/06 21:30:00]\r\n" + sizeLine));
    if (c.answered) {
        ASSERT_EQ(endpoint.Sent().size(), 1u);
        const BootpMessage reply = DecodeMessage(endpoint.Sent()[0].bytes);
        EXPECT_EQ(reply.op, 2);
        // The type option survives the cut from 243 bytes on; from 240 it is a BOOTP request.
        const std::vector<std::uint8_t> expected =
            c.size >= 243 ? std::vector<std::uint8_t>{99, 130, 83, 99, 53, 1, 2, 255}
                          : std::vector<std::uint8_t>(8, 0);
        EXPECT_EQ(Slice(endpoint.Sent()[0].bytes, 236, 8), expected);
        EXPECT_THAT(log.Text(), ::testing::Not(HasSubstr("Ignored")));
    } else {
        EXPECT_TRUE(endpoint.Sent().empty());
        EXPECT_EQ(log.Text(), "date [2026/12/06 21:30:00]\r\n" + sizeLine +
                                  "Ignored: shorter than a BOOTP message (300 bytes)\r\n");
        EXPECT_EQ(profiles.Refreshes(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ShortDatagramTest,
    ::testing::Values(ShortCase{"Dhcping247", 247, true, true},
                      ShortCase{"Perfdhcp262", 262, true, true},
                      ShortCase{"CookieOnly240", 240, true, true},
                      ShortCase{"TypeWithoutEnd243", 243, true, true},
                      ShortCase{"Padless299", 299, true, true},
                      ShortCase{"NoCookie299", 299, false, false},
                      ShortCase{"CutCookie239", 239, true, false},
                      ShortCase{"Empty", 0, false, false},
                      ShortCase{"OneByte", 1, false, false}),
    [](const ::testing::TestParamInfo<ShortCase>& row) { return row.param.name; });

TEST_F(RequestCycleTest, IgnoredShortDatagramWritesNothingWithLoggingOff) {
    log.SetLoggingEnabled(false);
    endpoint.QueueDatagram(std::vector<std::uint8_t>(100, 0xFF));
    EXPECT_TRUE(cycle.HandleOneDatagram());
    EXPECT_EQ(log.Text(), "");
    EXPECT_TRUE(endpoint.Sent().empty());
}

TEST_F(RequestCycleTest, AnyContentOfFullSizeIsAnswered) {
    endpoint.QueueDatagram(std::vector<std::uint8_t>(300, 0xFF));
    EXPECT_TRUE(cycle.HandleOneDatagram());
    ASSERT_EQ(endpoint.Sent().size(), 1u);
    EXPECT_EQ(endpoint.Sent()[0].destination, Ipv4Address::Broadcast());
    EXPECT_EQ(endpoint.Sent()[0].port, 68);
}

// Only a BOOTREPLY to a relayed BOOTREQUEST goes to the agent; anything else sent to port 67
// could come back to this server (or through the agent) as a new request, without end.
struct RelayCase {
    std::string name;
    std::uint8_t requestOp;
    std::array<std::uint8_t, 4> giaddr;
    bool knownClient;
    bool toRelay;
};

class RelayTest : public RequestCycleTest, public ::testing::WithParamInterface<RelayCase> {};

TEST_P(RelayTest, ReplyGoesToTheAgentOnlyWhenItIsAReplyToARelayedRequest) {
    const RelayCase& c = GetParam();
    if (c.knownClient) {
        profiles.Set(kClientSection, "BootFile", "f");
    }
    RequestImage image;
    image.giaddr = c.giaddr;
    auto bytes = image.Bytes();
    bytes[0] = c.requestOp;
    endpoint.QueueDatagram(bytes, kArrivalAddress, kArrivalInterface);
    ASSERT_TRUE(cycle.HandleOneDatagram());
    const auto& sent = OnlySent();
    if (c.toRelay) {
        EXPECT_EQ(sent.destination, Ipv4Address{c.giaddr});
        EXPECT_EQ(sent.port, 67);
    } else {
        EXPECT_EQ(sent.destination, Ipv4Address::Broadcast());
        EXPECT_EQ(sent.port, 68);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Relays, RelayTest,
    ::testing::Values(
        RelayCase{"KnownClientThroughRelay", 1, {10, 20, 30, 1}, true, true},
        RelayCase{"UnknownClientEchoIsBroadcast", 1, {10, 20, 30, 1}, false, false},
        RelayCase{"ReplyWithGiaddrIsBroadcast", 2, {10, 20, 30, 1}, true, false},
        RelayCase{"BroadcastGiaddrIsNoRelay", 1, {255, 255, 255, 255}, true, false},
        RelayCase{"MulticastGiaddrIsNoRelay", 1, {224, 0, 0, 1}, true, false},
        RelayCase{"LoopbackGiaddrIsNoRelay", 1, {127, 0, 0, 1}, true, false},
        RelayCase{"ZeroNetworkGiaddrIsNoRelay", 1, {0, 1, 2, 3}, true, false},
        RelayCase{"NoGiaddrIsNoRelay", 1, {0, 0, 0, 0}, true, false}),
    [](const ::testing::TestParamInfo<RelayCase>& row) { return row.param.name; });

}  // namespace
}  // namespace tarnleaf
