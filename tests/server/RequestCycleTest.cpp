#include "RequestCycle.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "StaticProfileSource.h"
#include "MessageCodec.h"
#include "RequestImage.h"
#include "support/FakeClock.h"
#include "support/FakeUdpEndpoint.h"
#include "support/GoldenMessages.h"

namespace tarnleaf {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using testing::ClientProfile;
using testing::DhcpOptions;
using testing::RequestBytes;

const Ipv4Address kArrival{{192, 168, 7, 1}};
const std::string kKnown = ClientProfile("BootFile=f\n");
const std::string kDate = "date [2026/12/06 21:30:00]\r\n";

std::vector<std::uint8_t> OptionHead(const std::vector<std::uint8_t>& bytes) {
    return {bytes.begin() + 236, bytes.begin() + 244};
}

class RequestCycleTest : public ::testing::Test {
protected:
    // Runs one datagram through the cycle, expecting one send; that send decoded.
    BootpMessage Handle(const std::vector<std::uint8_t>& bytes, Ipv4Address local = kArrival) {
        const std::size_t before = endpoint.Sent().size();
        endpoint.QueueDatagram(bytes, local, 3);
        EXPECT_TRUE(cycle.HandleOneDatagram());
        EXPECT_EQ(endpoint.Sent().size(), before + 1);
        return endpoint.Sent().empty() ? BootpMessage{} : DecodeMessage(Sent().bytes);
    }
    const testing::FakeUdpEndpoint::SentDatagram& Sent() { return endpoint.Sent().back(); }
    void ExpectBroadcast() {
        EXPECT_EQ(Sent().destination, Ipv4Address::Broadcast());
        EXPECT_EQ(Sent().port, 68);
    }

    testing::FakeUdpEndpoint endpoint;
    StaticProfileSource profiles{""};
    LogModel log;
    testing::FakeClock clock{"2026/12/06 21:30:00"};
    RequestCycle cycle{endpoint, profiles, log, clock};
};

TEST_F(RequestCycleTest, UnknownClientGetsItsRequestBackAsBroadcastNamingTheServer) {
    const BootpMessage reply = Handle(RequestBytes(DhcpOptions(1)));
    EXPECT_EQ(profiles.RefreshCount(), 1);
    ExpectBroadcast();
    EXPECT_EQ(reply.op, 1);
    EXPECT_EQ(reply.siaddr, "192.168.7.1");
    EXPECT_EQ(reply.sname, "tarnleaf-host");
    EXPECT_EQ(OptionHead(Sent().bytes), DhcpOptions(1));
    EXPECT_EQ(Sent().route.interfaceIndex, 3u);
    EXPECT_EQ(Sent().route.sourceAddress, kArrival);
    // Where the endpoint cannot tell the arriving interface, the host's address serves.
    EXPECT_EQ(Handle(RequestBytes(), Ipv4Address::Any()).siaddr, "10.0.0.5");
}

TEST_F(RequestCycleTest, HostNameCutToTheFieldFillsOnlyAnEmptyServerNameOfThisServer) {
    auto named = RequestBytes();
    named[44] = 'o';
    EXPECT_EQ(Handle(named).sname, "o");
    endpoint.SetLocalHostName(std::string(70, 'n'));
    Handle(RequestBytes());
    const auto& bytes = Sent().bytes;
    EXPECT_EQ(std::string(bytes.begin() + 44, bytes.begin() + 108), std::string(63, 'n') + '\0');
    profiles.SetText(ClientProfile("BootFile=f\nServerIP=10.1.1.1\n"));
    EXPECT_EQ(Handle(RequestBytes()).sname, "");  // the profile names another server
}

TEST_F(RequestCycleTest, LoggingOnWritesRequestAndReplyEntriesOrTheSendError) {
    profiles.SetText(ClientProfile("BootFile=f\nMessageSize=576\n"));
    Handle(RequestBytes({}, 548));
    EXPECT_THAT(log.Text(), StartsWith(kDate + "size [548]\r\n"));
    EXPECT_THAT(log.Text(), HasSubstr("\r\n\r\n" + kDate + "size [576]\r\n"));
    endpoint.FailSends({101, "Network is unreachable"});
    endpoint.QueueDatagram(RequestBytes());
    EXPECT_TRUE(cycle.HandleOneDatagram());
    EXPECT_THAT(log.Text(), EndsWith("\r\n\r\nMessage Send Error!\r\n101\r\n\r\n"));
}

TEST_F(RequestCycleTest, LoggingOffWritesNothingAndBuildsNoEntry) {
    log.SetLoggingEnabled(false);
    Handle(RequestBytes());
    endpoint.QueueDatagram(std::vector<std::uint8_t>(100, 0xFF));  // too short: ignored
    EXPECT_TRUE(cycle.HandleOneDatagram());
    EXPECT_EQ(log.Text(), "");
    EXPECT_EQ(clock.TimestampReads(), 0);
}

TEST_F(RequestCycleTest, UnreadableProfilesFileIsLoggedOnceWhateverTheSwitch) {
    log.SetLoggingEnabled(false);
    profiles.SetReadFault({"/etc/Tarnleaf.ini", "not a file (a folder?)"});
    Handle(RequestBytes());
    Handle(RequestBytes());
    EXPECT_EQ(log.Text(), "Config Read Error!\r\nfile [/etc/Tarnleaf.ini] reason [not a file "
                          "(a folder?)]\r\n\r\n");
}

// The waiting datagrams come in one receive and share one look at the file; an edit shows
// from the next batch on. A socket error handles nothing and is logged.
TEST_F(RequestCycleTest, WaitingDatagramsAreAnsweredInOrderAfterOneRefreshPerBatch) {
    log.SetLoggingEnabled(false);
    EXPECT_EQ(cycle.HandleWaitingDatagrams(), 0u);
    profiles.SetText(ClientProfile("BootFile=first\n"));
    for (int i = 0; i < 3; ++i) {
        endpoint.QueueDatagram(RequestBytes({}, 300 + i));
    }
    endpoint.QueueReceiveError({10054, "Connection reset by peer"});
    endpoint.QueueDatagram(RequestBytes());
    EXPECT_EQ(cycle.HandleWaitingDatagrams(), 3u);
    EXPECT_EQ(profiles.RefreshCount(), 1);
    ASSERT_EQ(endpoint.Sent().size(), 3u);
    EXPECT_EQ(DecodeMessage(endpoint.Sent()[2].bytes).file, "first");
    EXPECT_EQ(cycle.HandleWaitingDatagrams(), 0u);
    EXPECT_EQ(log.Text(), "Error!\r\n10054 (Connection reset by peer)\r\n\r\n");
    EXPECT_EQ(profiles.RefreshCount(), 1);
    profiles.SetText(ClientProfile("BootFile=second\n"));
    EXPECT_EQ(cycle.HandleWaitingDatagrams(), 1u);
    EXPECT_EQ(profiles.RefreshCount(), 2);
    EXPECT_EQ(DecodeMessage(Sent().bytes).file, "second");
}

// Without logging a batch's replies leave together; the errors still read in datagram order.
TEST_F(RequestCycleTest, RepliesSentTogetherLogTheirErrorsInDatagramOrder) {
    log.SetLoggingEnabled(false);
    profiles.SetText(ClientProfile("BootFile=f\n") +
                     "[00-A0-C9-12-34-57]\nBootFile=f\nClientIP=300.1.2.3\n");
    endpoint.FailSends({101, "Network is unreachable"});
    auto unencodable = RequestBytes();
    unencodable[33] = 0x57;
    for (const auto& bytes : {RequestBytes(), unencodable, RequestBytes()}) {
        endpoint.QueueDatagram(bytes);
    }
    EXPECT_EQ(cycle.HandleWaitingDatagrams(), 3u);
    const std::string sendError = "Message Send Error!\r\n101\r\n\r\n";
    EXPECT_EQ(log.Text(), sendError + "\r\nMessage Encode Error!\r\nsection [00-A0-C9-12-34-57] "
                                      "field [ciaddr] value [300.1.2.3]\r\n\r\n\r\n" + sendError);
}

TEST_F(RequestCycleTest, UnencodableValueSendsNothingAndNamesTheSectionItCameFrom) {
    log.SetLoggingEnabled(false);
    // The profile renames the client: the fault still names the section that was read.
    profiles.SetText(
        ClientProfile("BootFile=f\nHardwareAddress=11-22-33-44-55-66\nClientIP=300.1.2.3\n"));
    endpoint.QueueDatagram(RequestBytes());
    EXPECT_TRUE(cycle.HandleOneDatagram());
    EXPECT_TRUE(endpoint.Sent().empty());
    EXPECT_EQ(log.Text(), "Message Encode Error!\r\nsection [00-A0-C9-12-34-56] field [ciaddr] "
                          "value [300.1.2.3]\r\n\r\n");
}

TEST(RequestCycle, UnderBootpSizeOnlyUnpaddedDhcpIsAnswered) {
    // {size, options from the cookie on, answered}: 247 bytes is what dhcping sends.
    const std::vector<std::uint8_t> dhcp = DhcpOptions(1);
    const std::vector<std::uint8_t> badCookie{99, 130, 83, 98, 53, 1, 1, 255};
    using Row = std::tuple<std::size_t, std::vector<std::uint8_t>, bool>;
    for (const auto& [size, options, answered] : std::vector<Row>{
             {247, dhcp, true}, {243, dhcp, true}, {240, dhcp, true}, {299, dhcp, true},
             {299, {}, false}, {299, badCookie, false}, {239, dhcp, false}, {0, {}, false}}) {
        SCOPED_TRACE(::testing::Message() << size << " " << ::testing::PrintToString(options));
        testing::FakeUdpEndpoint endpoint;
        StaticProfileSource profiles(kKnown);
        LogModel log;
        const testing::FakeClock clock{"2026/12/06 21:30:00"};
        RequestCycle cycle(endpoint, profiles, log, clock);
        endpoint.QueueDatagram(RequestBytes(options, size));
        EXPECT_TRUE(cycle.HandleOneDatagram());
        const std::string entry = kDate + "size [" + std::to_string(size) + "]\r\n";
        if (!answered) {
            EXPECT_TRUE(endpoint.Sent().empty());
            EXPECT_EQ(log.Text(), entry + "Ignored: shorter than a BOOTP message (300 bytes)\r\n");
            continue;
        }
        ASSERT_EQ(endpoint.Sent().size(), 1u);
        EXPECT_THAT(log.Text(), StartsWith(entry));
        // The type survives the cut from 243 bytes on; below that the request is plain BOOTP.
        EXPECT_EQ(OptionHead(endpoint.Sent()[0].bytes),
                  (size >= 243 ? DhcpOptions(2) : std::vector<std::uint8_t>(8, 0)));
    }
}

// Only a BOOTREPLY to a relayed BOOTREQUEST goes to the agent's port 67; anything else sent
// there could come back to this server as a new request, without end.
TEST_F(RequestCycleTest, ReplyGoesToTheAgentOnlyWhenItAnswersARelayedRequest) {
    // {request op, giaddr, client's profile, answered to the agent}
    using Row = std::tuple<int, std::array<std::uint8_t, 4>, const char*, bool>;
    const char* known = "BootFile=f\n";
    for (const auto& [op, giaddr, profile, toAgent] : std::vector<Row>{
             {1, {10, 20, 30, 1}, known, true}, {1, {10, 20, 30, 1}, "", false},  // echo
             {2, {10, 20, 30, 1}, known, false}, {1, {255, 255, 255, 255}, known, false},
             {1, {224, 0, 0, 1}, known, false}, {1, {127, 0, 0, 1}, known, false},
             {1, {0, 1, 2, 3}, known, false}, {1, {0, 0, 0, 0}, known, false},
             // The received giaddr decides, not the one the profile puts in the reply.
             {1, {0, 0, 0, 0}, "BootFile=f\nCrossGateway=10.9.9.9\n", false}}) {
        SCOPED_TRACE(::testing::Message() << Ipv4Address{giaddr}.ToString() << " op " << op
                                          << " profile " << profile);
        profiles.SetText(ClientProfile(profile));
        auto bytes = RequestBytes();
        bytes[0] = static_cast<std::uint8_t>(op);
        std::copy(giaddr.begin(), giaddr.end(), bytes.begin() + 24);
        Handle(bytes);
        EXPECT_EQ(Sent().destination, toAgent ? Ipv4Address{giaddr} : Ipv4Address::Broadcast());
        EXPECT_EQ(Sent().port, toAgent ? 67 : 68);
    }
}

// Whole replies, byte for byte, to the golden request images.
struct GoldenCase {
    std::string name;
    std::vector<std::uint8_t> request;
    std::uint8_t insertedType;  // 0: none
    Ipv4Address destination;
    std::uint16_t port;
};

class GoldenReplyTest : public RequestCycleTest,
                        public ::testing::WithParamInterface<GoldenCase> {};

TEST_P(GoldenReplyTest, IsTheRequestHeaderWithTheProfileLaidOver) {
    const GoldenCase& c = GetParam();
    const std::string keys = "BootFile=pxelinux.0\nHostIP=192.168.0.20\nSubnetMask=255.255.255.0\n"
                             "Gateway=192.168.0.254\n";
    profiles.SetText("[00-A0-C9-12-34-56]\n" + keys + "[00-A0-C9-AB-CD-EF]\n" + keys);
    Handle(c.request);

    std::vector<std::uint8_t> expected(c.request.begin(), c.request.begin() + 236);
    const auto patch = [&](std::size_t at, std::string_view bytes) {
        std::copy(bytes.begin(), bytes.end(), expected.begin() + static_cast<std::ptrdiff_t>(at));
    };
    expected[0] = 2;                               // op BOOTREPLY
    patch(16, {"\xC0\xA8\x00\x14", 4});            // yiaddr 192.168.0.20 from HostIP
    patch(20, {"\xC0\xA8\x07\x01", 4});            // siaddr 192.168.7.1: the arriving interface
    patch(golden::kOffsetSname, "tarnleaf-host");  // sname: the host name
    patch(golden::kOffsetFile, "pxelinux.0");      // file from BootFile
    expected.insert(expected.end(), {99, 130, 83, 99});  // magic cookie
    if (c.insertedType != 0) {
        expected.insert(expected.end(), {53, 1, c.insertedType});
    }
    expected.insert(expected.end(), {1, 4, 255, 255, 255, 0,   // subnet mask
                                     3, 4, 192, 168, 0, 254,   // router
                                     255});                    // END
    expected.resize(300, 0);  // the profile's area size, whatever the request's
    EXPECT_EQ(Sent().bytes, expected);
    EXPECT_EQ(Sent().destination, c.destination);
    EXPECT_EQ(Sent().port, c.port);
}

INSTANTIATE_TEST_SUITE_P(
    Images, GoldenReplyTest,
    ::testing::Values(GoldenCase{"DiscoverGetsOffer", golden::Bytes(golden::kDiscoverImage), 2,
                                 Ipv4Address::Broadcast(), 68},
                      GoldenCase{"RequestOf548BytesGetsAck", golden::Bytes(golden::kRequestImage),
                                 5, Ipv4Address::Broadcast(), 68},
                      GoldenCase{"RelayedBootpRequestGetsNoTypeAndGoesToTheRelay",
                                 golden::Bytes(golden::kBootpRequestImage), 0,
                                 Ipv4Address{{10, 0, 0, 1}}, 67}),
    [](const auto& row) { return row.param.name; });

}  // namespace
}  // namespace tarnleaf
