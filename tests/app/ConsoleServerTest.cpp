#include "console/ConsoleServer.h"

#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config/StaticProfileSource.h"
#include "support/FakeClock.h"
#include "support/FakeUdpEndpoint.h"

namespace tarnleaf {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

constexpr const char* kProfiles =
    "[00-A0-C9-12-34-56]\r\n"
    "BootFile=pxelinux.0\r\n"
    "HostIP=192.168.0.50\r\n"
    "[TestMessage]\r\n"
    "ServerIP=192.168.0.9\r\n"
    "MessageType=BOOTREQUEST\r\n";

// A 300-byte DHCPDISCOVER from 00-A0-C9-12-34-56, laid out field by field.
std::vector<std::uint8_t> Discover() {
    std::vector<std::uint8_t> bytes(300, 0);
    bytes[0] = 1;  // op BOOTREQUEST
    bytes[1] = 1;  // htype Ethernet
    bytes[2] = 6;  // hlen
    const std::uint8_t xid[] = {0x12, 0x34, 0x56, 0x78};
    std::copy(std::begin(xid), std::end(xid), bytes.begin() + 4);
    const std::uint8_t chaddr[] = {0x00, 0xA0, 0xC9, 0x12, 0x34, 0x56};
    std::copy(std::begin(chaddr), std::end(chaddr), bytes.begin() + 28);
    const std::uint8_t options[] = {99, 130, 83, 99, 53, 1, 1, 255};
    std::copy(std::begin(options), std::end(options), bytes.begin() + 236);
    return bytes;
}

class ConsoleServerTest : public ::testing::Test {
protected:
    explicit ConsoleServerTest(bool logging = true)
        : server(endpoint, profiles, clock, out, logging) {}

    std::string Printed() const { return out.str(); }

    testing::FakeUdpEndpoint endpoint;
    StaticProfileSource profiles{kProfiles};
    testing::FakeClock clock;
    std::ostringstream out;
    ConsoleServer server;
};

class ConsoleServerWithoutLog : public ConsoleServerTest {
protected:
    ConsoleServerWithoutLog() : ConsoleServerTest(false) {}
};

TEST_F(ConsoleServerTest, PrintsTheLogExactlyAsTheLogViewHoldsIt) {
    endpoint.QueueDatagram(Discover());
    endpoint.QueueDatagram(Discover());
    EXPECT_EQ(server.HandleWaitingDatagrams(), 2u);

    ASSERT_EQ(endpoint.Sent().size(), 2u);
    // Request and reply entries for both datagrams, byte for byte what the log holds.
    EXPECT_EQ(Printed(), server.Log().Text());
    EXPECT_THAT(Printed(), StartsWith("date [2026/12/06 21:00:00]\r\nsize [300]\r\n"));
    EXPECT_THAT(Printed(), HasSubstr("pxelinux.0"));
}

TEST_F(ConsoleServerTest, ListeningLineNamesPortAndConfigurationFile) {
    server.PrintListening(67, "/opt/tarnleaf/Tarnleaf.ini");
    EXPECT_EQ(Printed(), "listening on 0.0.0.0:67, profiles from /opt/tarnleaf/Tarnleaf.ini\n");
}

TEST_F(ConsoleServerWithoutLog, ListeningLineSaysLoggingIsOff) {
    server.PrintListening(10067, "x.ini");
    EXPECT_THAT(Printed(), EndsWith("(logging off)\n"));
}

TEST_F(ConsoleServerWithoutLog, AnswersWithoutPrintingButStillShowsSendErrors) {
    endpoint.QueueDatagram(Discover());
    server.HandleWaitingDatagrams();
    EXPECT_EQ(endpoint.Sent().size(), 1u);
    EXPECT_THAT(Printed(), IsEmpty());

    endpoint.FailSends(SocketError{101, "Network is unreachable"});
    endpoint.QueueDatagram(Discover());
    server.HandleWaitingDatagrams();
    EXPECT_EQ(Printed(), "Message Send Error!\r\n101\r\n\r\n");
}

TEST_F(ConsoleServerTest, HandlesAtMostTheLimitPerWakeUpSoSignalsAndInputAreSeen) {
    for (int i = 0; i < 70; ++i) {
        endpoint.QueueDatagram(Discover());
    }
    EXPECT_EQ(server.HandleWaitingDatagrams(), ConsoleServer::kDatagramsPerWake);
    EXPECT_EQ(server.HandleWaitingDatagrams(), 70u - ConsoleServer::kDatagramsPerWake);
    EXPECT_EQ(server.HandleWaitingDatagrams(), 0u);
    EXPECT_EQ(endpoint.Sent().size(), 70u);
}

TEST_F(ConsoleServerTest, ReceiveErrorIsPrintedAndEndsTheWakeUp) {
    endpoint.QueueReceiveError(SocketError{100, "Network is down"});
    endpoint.QueueDatagram(Discover());
    EXPECT_EQ(server.HandleWaitingDatagrams(), 0u);
    EXPECT_EQ(Printed(), "Error!\r\n100 (Network is down)\r\n\r\n");
    // The datagram behind the error waits for the next wake-up.
    EXPECT_EQ(server.HandleWaitingDatagrams(), 1u);
}

TEST_F(ConsoleServerTest, TestCommandSendsTheTestMessageToItsServer) {
    for (const char* command : {"t", " T \r"}) {
        EXPECT_EQ(server.HandleCommand(command), ConsoleServer::CommandOutcome::Continue);
    }
    ASSERT_EQ(endpoint.Sent().size(), 2u);
    EXPECT_EQ(endpoint.Sent()[0].destination, (Ipv4Address{{192, 168, 0, 9}}));
    EXPECT_EQ(endpoint.Sent()[0].port, 67);
    EXPECT_THAT(Printed(), HasSubstr("size [300]"));
}

TEST_F(ConsoleServerTest, LogCommandSwitchesLoggingBackAndForthWithoutClearingTheLog) {
    endpoint.QueueDatagram(Discover());
    server.HandleWaitingDatagrams();
    const std::string logBefore = server.Log().Text();

    server.HandleCommand("l");
    EXPECT_FALSE(server.Log().LoggingEnabled());
    EXPECT_THAT(Printed(), EndsWith("logging off\n"));
    endpoint.QueueDatagram(Discover());
    server.HandleWaitingDatagrams();
    EXPECT_EQ(server.Log().Text(), logBefore);

    server.HandleCommand("L");
    EXPECT_TRUE(server.Log().LoggingEnabled());
    EXPECT_THAT(Printed(), EndsWith("logging on\n"));
}

TEST_F(ConsoleServerTest, QuitCommandEndsInEitherCase) {
    EXPECT_EQ(server.HandleCommand("q"), ConsoleServer::CommandOutcome::Quit);
    EXPECT_EQ(server.HandleCommand("\tQ "), ConsoleServer::CommandOutcome::Quit);
}

TEST_F(ConsoleServerTest, EmptyLineDoesNothingAndAnythingElseGetsHelp) {
    EXPECT_EQ(server.HandleCommand(""), ConsoleServer::CommandOutcome::Continue);
    EXPECT_EQ(server.HandleCommand("   "), ConsoleServer::CommandOutcome::Continue);
    EXPECT_THAT(Printed(), IsEmpty());
    for (const char* unknown : {"x", "quit", "tt", "?"}) {
        EXPECT_EQ(server.HandleCommand(unknown), ConsoleServer::CommandOutcome::Continue);
    }
    EXPECT_THAT(Printed(), HasSubstr("commands: t = send test message"));
    EXPECT_TRUE(endpoint.Sent().empty());
}

struct BindFailureCase {
    const char* name;
    BindFailureKind kind;
    const char* advice;
};

class BindFailureMessages : public ::testing::TestWithParam<BindFailureCase> {};

TEST_P(BindFailureMessages, SayWhyAndWhatToDo) {
    const std::string text = BindFailureMessage(SocketError{98, "Address already in use"},
                                                GetParam().kind, 67, "tarnleafd");
    EXPECT_THAT(text, StartsWith("tarnleafd: cannot listen on UDP port 67: Address already in "
                                 "use (error 98)\n"));
    EXPECT_THAT(text, HasSubstr(GetParam().advice));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, BindFailureMessages,
    ::testing::Values(
        BindFailureCase{"InUse", BindFailureKind::InUse,
                        "in use by another program (another DHCP server?)"},
        BindFailureCase{"NotPermitted", BindFailureKind::NotPermitted,
                        "sudo setcap cap_net_bind_service=+ep tarnleafd"},
        BindFailureCase{"Other", BindFailureKind::Other, ""}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
}  // namespace tarnleaf
