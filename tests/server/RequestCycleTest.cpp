#include "RequestCycle.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>
#include <vector>

#include "MessageCodec.h"
#include "RequestImage.h"
#include "StaticProfileSource.h"
#include "support/FakeClock.h"
#include "support/FakeUdpEndpoint.h"
#include "support/GoldenMessages.h"

namespace tarnleaf {
namespace {

using ::testing::StartsWith;
using testing::ClientProfile;
using testing::DhcpOptions;
using testing::RequestBytes;
using Bytes = std::vector<std::uint8_t>;

const Ipv4Address kArrival{{192, 168, 7, 1}};
const std::string kDate = "date [2026/12/06 21:30:00]\r\n";

class RequestCycleTest : public ::testing::Test {
protected:
    // Runs one datagram through the cycle, expecting one send; that send decoded.
    BootpMessage Handle(const Bytes& bytes, Ipv4Address local = kArrival) {
        const std::size_t before = endpoint.Sent().size();
        endpoint.QueueDatagram(bytes, local, 3);
        EXPECT_TRUE(cycle.HandleOneDatagram());
        EXPECT_EQ(endpoint.Sent().size(), before + 1);
        return endpoint.Sent().empty() ? BootpMessage{} : DecodeMessage(Sent().bytes);
    }
    const testing::FakeUdpEndpoint::SentDatagram& Sent() { return endpoint.Sent().back(); }

    testing::FakeUdpEndpoint endpoint;
    StaticProfileSource profiles{""};
    LogModel log;
    testing::FakeClock clock{"2026/12/06 21:30:00"};
    RequestCycle cycle{endpoint, profiles, log, clock};
};

// The reply leaves by the arriving interface naming its address (else the host's); the host
// name, cut to the field, fills only an empty sname of this server.
TEST_F(RequestCycleTest, ReplyNamesThisServerAndLeavesByTheArrivingInterface) {
    EXPECT_EQ(Handle(RequestBytes(DhcpOptions(1))).siaddr, "192.168.7.1");
    EXPECT_EQ(std::pair(Sent().route.interfaceIndex, Sent().route.sourceAddress),
              std::pair(3u, kArrival));
    EXPECT_EQ(Handle(RequestBytes(), Ipv4Address::Any()).siaddr, "10.0.0.5");
    auto named = RequestBytes();
    named[44] = 'o';
    EXPECT_EQ(Handle(named).sname, "o");
    endpoint.SetLocalHostName(std::string(70, 'n'));
    Handle(RequestBytes());
    EXPECT_EQ(std::string(Sent().bytes.begin() + 44, Sent().bytes.begin() + 108),
              std::string(63, 'n') + '\0');
    profiles.SetText(ClientProfile("BootFile=f\nServerIP=10.1.1.1\n"));
    EXPECT_EQ(Handle(RequestBytes()).sname, "");  // the profile names another server
}

// Logging off builds no entry, but an unreadable file is still logged, once.
TEST_F(RequestCycleTest, LoggingOffWritesOnlyTheConfigReadErrorOnce) {
    log.SetLoggingEnabled(false);
    Handle(RequestBytes());
    endpoint.QueueDatagram(Bytes(100, 0xFF));  // too short: ignored
    EXPECT_TRUE(cycle.HandleOneDatagram());
    EXPECT_EQ(clock.TimestampReads(), 0);
    profiles.SetReadFault({"/etc/Tarnleaf.ini", "a folder?"});
    Handle(RequestBytes());
    Handle(RequestBytes());
    EXPECT_EQ(log.Text(), "Config Read Error!\r\nfile [/etc/Tarnleaf.ini] reason [a folder?]"
                          "\r\n\r\n");
}

// The waiting datagrams come in one receive and share one look at the file; an edit shows
// from the next batch on. A socket error handles nothing and is logged.
TEST_F(RequestCycleTest, WaitingDatagramsAreAnsweredInOrderAfterOneRefreshPerBatch) {
    log.SetLoggingEnabled(false);
    profiles.SetText(ClientProfile("BootFile=first\n"));
    for (int i = 0; i < 3; ++i) endpoint.QueueDatagram(RequestBytes({}, 300 + i));
    endpoint.QueueReceiveError({10054, "Connection reset by peer"});
    endpoint.QueueDatagram(RequestBytes());
    EXPECT_EQ(cycle.HandleWaitingDatagrams(), 3u);
    ASSERT_EQ(endpoint.Sent().size(), 3u);
    EXPECT_EQ(DecodeMessage(Sent().bytes).file, "first");
    EXPECT_EQ(cycle.HandleWaitingDatagrams(), 0u);
    EXPECT_EQ(log.Text(), "Error!\r\n10054 (Connection reset by peer)\r\n\r\n");
    EXPECT_EQ(profiles.RefreshCount(), 1);
    profiles.SetText(ClientProfile("BootFile=second\n"));
    EXPECT_EQ(cycle.HandleWaitingDatagrams(), 1u);
    EXPECT_EQ(profiles.RefreshCount(), 2);
    EXPECT_EQ(DecodeMessage(Sent().bytes).file, "second");
}

// Without logging a batch's replies leave together; errors still read in datagram order. An
// unencodable value sends nothing and names the section read, not the profile's new address.
TEST_F(RequestCycleTest, RepliesSentTogetherLogTheirErrorsInDatagramOrder) {
    log.SetLoggingEnabled(false);
    profiles.SetText(ClientProfile("BootFile=f\n") + "[00-A0-C9-12-34-57]\nBootFile=f\n"
                     "HardwareAddress=11-22-33-44-55-66\nClientIP=300.1.2.3\x1b\n");
    auto unencodable = RequestBytes();
    unencodable[33] = 0x57;
    endpoint.QueueDatagram(unencodable);
    EXPECT_EQ(cycle.HandleWaitingDatagrams(), 1u);
    EXPECT_TRUE(endpoint.Sent().empty());
    const std::string encodeError = "Message Encode Error!\r\nsection [00-A0-C9-12-34-57] "
                                    "field [ciaddr] value [300.1.2.3\\x1B]\r\n\r\n";
    endpoint.FailSends({101, "Network is unreachable"});
    for (const auto& bytes : {RequestBytes(), unencodable, RequestBytes()}) {
        endpoint.QueueDatagram(bytes);
    }
    EXPECT_EQ(cycle.HandleWaitingDatagrams(), 3u);
    const std::string sendError = "\r\nMessage Send Error!\r\n101\r\n\r\n";
    EXPECT_EQ(log.Text(), encodeError + sendError + "\r\n" + encodeError + sendError);
}

// {size, options from the cookie on, answered}; the type survives the cut from 243 bytes on.
TEST_F(RequestCycleTest, UnderBootpSizeOnlyUnpaddedDhcpIsAnswered) {
    profiles.SetText(ClientProfile("BootFile=f\n"));
    const Bytes dhcp = DhcpOptions(1), badCookie{99, 130, 83, 98, 53, 1, 1, 255};
    for (const auto& [size, options, answered] : std::vector<std::tuple<int, Bytes, bool>>{
             {247, dhcp, true}, {243, dhcp, true}, {240, dhcp, true}, {299, dhcp, true},
             {299, {}, false}, {299, badCookie, false}, {239, dhcp, false}, {0, {}, false}}) {
        const std::size_t sent = endpoint.Sent().size(), logged = log.Text().size();
        endpoint.QueueDatagram(RequestBytes(options, size));
        EXPECT_TRUE(cycle.HandleOneDatagram());
        ASSERT_EQ(endpoint.Sent().size(), sent + (answered ? 1 : 0)) << size;
        const std::string entry(log.Text().substr(logged + (logged ? 2 : 0)));  // after "\r\n"
        EXPECT_THAT(entry, StartsWith(kDate + "size [" + std::to_string(size) + "]\r\n" +
                                      (answered ? "" : "Ignored: shorter than a BOOTP message")));
        if (!answered) continue;
        EXPECT_EQ(Bytes(Sent().bytes.begin() + 236, Sent().bytes.begin() + 244),
                  size >= 243 ? DhcpOptions(2) : Bytes(8, 0)) << size;
    }
}

// Only a BOOTREPLY to a relayed BOOTREQUEST goes to the agent's port 67; anything else sent
// there could come back to this server as a new request, without end.
TEST_F(RequestCycleTest, ReplyGoesToTheAgentOnlyWhenItAnswersARelayedRequest) {
    // {op, giaddr, profile, to the agent}; the received giaddr decides, not the profile's.
    using Row = std::tuple<int, std::array<std::uint8_t, 4>, const char*, bool>;
    const char *known = "BootFile=f\n", *crossing = "BootFile=f\nCrossGateway=10.9.9.9\n";
    for (const auto& [op, giaddr, profile, toAgent] : std::vector<Row>{
             {1, {10, 20, 30, 1}, known, true}, {1, {10, 20, 30, 1}, "", false},  // echo
             {2, {10, 20, 30, 1}, known, false}, {1, {255, 255, 255, 255}, known, false},
             {1, {224, 0, 0, 1}, known, false}, {1, {127, 0, 0, 1}, known, false},
             {1, {0, 1, 2, 3}, known, false}, {1, {0, 0, 0, 0}, crossing, false}}) {
        SCOPED_TRACE(Ipv4Address{giaddr}.ToString() + " op " + std::to_string(op) + profile);
        profiles.SetText(ClientProfile(profile));
        auto bytes = RequestBytes();
        bytes[0] = static_cast<std::uint8_t>(op);
        std::copy(giaddr.begin(), giaddr.end(), bytes.begin() + 24);
        Handle(bytes);
        EXPECT_EQ(Sent().destination, toAgent ? Ipv4Address{giaddr} : Ipv4Address::Broadcast());
        EXPECT_EQ(Sent().port, toAgent ? 67 : 68);
    }
}

// Whole replies, byte for byte; the relayed BOOTP request gets no type, goes to the relay.
TEST_F(RequestCycleTest, GoldenRequestsGetTheirHeaderWithTheProfileLaidOver) {
    const std::string keys = "BootFile=pxelinux.0\nHostIP=192.168.0.20\nSubnetMask=255.255.255.0\n"
                             "Gateway=192.168.0.254\n";
    profiles.SetText("[00-A0-C9-12-34-56]\n" + keys + "[00-A0-C9-AB-CD-EF]\n" + keys);
    for (const auto& [request, head] :
         {std::pair{golden::Bytes(golden::kDiscoverImage), Bytes{99, 130, 83, 99, 53, 1, 2}},
          std::pair{golden::Bytes(golden::kRequestImage), Bytes{99, 130, 83, 99, 53, 1, 5}},
          std::pair{golden::Bytes(golden::kBootpRequestImage), Bytes{99, 130, 83, 99}}}) {
        Handle(request);
        Bytes expected(request.begin(), request.begin() + 236);
        expected[0] = 2;  // BOOTREPLY; yiaddr from HostIP, siaddr the arriving interface
        for (const auto& [at, text] : {std::pair<std::size_t, std::string_view>{
                 16, {"\xC0\xA8\x00\x14\xC0\xA8\x07\x01", 8}}, {golden::kOffsetSname,
                 "tarnleaf-host"}, {golden::kOffsetFile, "pxelinux.0"}}) {
            std::copy(text.begin(), text.end(), expected.begin() + static_cast<std::ptrdiff_t>(at));
        }
        expected.insert(expected.end(), head.begin(), head.end());
        expected.insert(expected.end(), {1, 4, 255, 255, 255, 0, 3, 4, 192, 168, 0, 254, 255});
        expected.resize(300, 0);
        EXPECT_EQ(Sent().bytes, expected) << head.size();
        EXPECT_EQ(Sent().port, head.size() == 4 ? 67 : 68);
    }
}

}  // namespace
}  // namespace tarnleaf
