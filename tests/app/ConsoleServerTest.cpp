#include "console/ConsoleServer.h"

#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config/StaticProfileSource.h"
#include "support/FakeClock.h"
#include "support/FakeUdpEndpoint.h"
#include "support/GoldenMessages.h"

namespace tarnleaf {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using Outcome = ConsoleServer::CommandOutcome;

class ConsoleServerTest : public ::testing::Test {
protected:
    void QueueDiscovers(int count) {
        for (int i = 0; i < count; ++i) {
            endpoint.QueueDatagram({golden::kDiscoverImage.begin(), golden::kDiscoverImage.end()});
        }
    }

    testing::FakeUdpEndpoint endpoint;
    StaticProfileSource profiles{
        "[00-A0-C9-12-34-56]\r\nBootFile=pxelinux.0\r\n"
        "[TestMessage]\r\nServerIP=192.168.0.9\r\nMessageType=BOOTREQUEST\r\n"};
    testing::FakeClock clock;
    std::ostringstream out;
    ConsoleServer server{endpoint, profiles, clock, out, true};
};

TEST_F(ConsoleServerTest, PrintsTheListeningLineThenTheLogExactlyAsTheLogViewHoldsIt) {
    server.PrintListening(67, "/opt/tarnleaf/Tarnleaf.ini");
    const std::string listening =
        "listening on 0.0.0.0:67, profiles from /opt/tarnleaf/Tarnleaf.ini\n";
    QueueDiscovers(2);
    EXPECT_EQ(server.HandleWaitingDatagrams(), 2u);
    ASSERT_EQ(endpoint.Sent().size(), 2u);
    EXPECT_EQ(out.str(), listening + server.Log().Text());
    EXPECT_THAT(out.str(), HasSubstr(listening + "date [2026/12/06 21:00:00]\r\nsize [300]\r\n"));
    EXPECT_THAT(out.str(), HasSubstr("pxelinux.0"));
}

TEST_F(ConsoleServerTest, StartedWithoutLogAnswersSilentlyButStillShowsSendErrors) {
    std::ostringstream quiet;
    ConsoleServer silent(endpoint, profiles, clock, quiet, false);
    silent.PrintListening(10067, "x.ini");
    QueueDiscovers(1);
    silent.HandleWaitingDatagrams();
    EXPECT_EQ(endpoint.Sent().size(), 1u);
    endpoint.FailSends(SocketError{101, "Network is unreachable"});
    QueueDiscovers(1);
    silent.HandleWaitingDatagrams();
    EXPECT_EQ(quiet.str(), "listening on 0.0.0.0:10067, profiles from x.ini (logging off)\n"
                           "Message Send Error!\r\n101\r\n\r\n");
}

TEST_F(ConsoleServerTest, HandlesAtMostTheLimitPerWakeUpSoSignalsAndInputAreSeen) {
    QueueDiscovers(70);
    EXPECT_EQ(server.HandleWaitingDatagrams(), ConsoleServer::kDatagramsPerWake);
    EXPECT_EQ(server.HandleWaitingDatagrams(), 70u - ConsoleServer::kDatagramsPerWake);
    EXPECT_EQ(server.HandleWaitingDatagrams(), 0u);
    EXPECT_EQ(endpoint.Sent().size(), 70u);
}

TEST_F(ConsoleServerTest, TestCommandSendsTheTestMessageToItsServer) {
    EXPECT_EQ(server.HandleCommand("t"), Outcome::Continue);
    EXPECT_EQ(server.HandleCommand(" T \r"), Outcome::Continue);
    ASSERT_EQ(endpoint.Sent().size(), 2u);
    EXPECT_EQ(endpoint.Sent()[0].destination, (Ipv4Address{{192, 168, 0, 9}}));
    EXPECT_EQ(endpoint.Sent()[0].port, 67);
    EXPECT_THAT(out.str(), HasSubstr("size [300]"));
}

TEST_F(ConsoleServerTest, LogCommandSwitchesLoggingBackAndForthWithoutClearingTheLog) {
    QueueDiscovers(1);
    server.HandleWaitingDatagrams();
    const std::string logBefore = server.Log().Text();
    server.HandleCommand("l");
    EXPECT_THAT(out.str(), EndsWith("logging off\n"));
    QueueDiscovers(1);
    server.HandleWaitingDatagrams();
    EXPECT_EQ(server.Log().Text(), logBefore);
    server.HandleCommand("L");
    EXPECT_TRUE(server.Log().LoggingEnabled());
    EXPECT_THAT(out.str(), EndsWith("logging on\n"));
}

TEST_F(ConsoleServerTest, QuitEndsEmptyLinesDoNothingAndAnythingElseGetsHelp) {
    const std::string help = "commands: t = send test message, l = logging on/off, q = quit\n";
    for (const auto& [line, outcome, printed] :
         {std::tuple{"q", Outcome::Quit, ""}, std::tuple{"\tQ ", Outcome::Quit, ""},
          std::tuple{" \r", Outcome::Continue, ""}, std::tuple{"x", Outcome::Continue, "help"},
          std::tuple{"quit", Outcome::Continue, "help"}}) {
        out.str("");
        EXPECT_EQ(server.HandleCommand(line), outcome) << line;
        EXPECT_EQ(out.str(), *printed ? help : "") << line;
    }
    EXPECT_TRUE(endpoint.Sent().empty());
}

TEST(BindFailureMessage, SaysWhyAndWhatToDo) {
    const SocketError error{98, "Address already in use"};
    const std::string why =
        "tarnleafd: cannot listen on UDP port 67: Address already in use (error 98)\n";
    EXPECT_EQ(BindFailureMessage(error, BindFailureKind::Other, 67, "tarnleafd"), why);
    for (const auto& [kind, advice] :
         {std::pair{BindFailureKind::InUse, "in use by another program (another DHCP server?)"},
          std::pair{BindFailureKind::NotPermitted, "setcap cap_net_bind_service=+ep tarnleafd"}}) {
        const std::string text = BindFailureMessage(error, kind, 67, "tarnleafd");
        EXPECT_THAT(text, StartsWith(why));
        EXPECT_THAT(text, HasSubstr(advice));
    }
}

}  // namespace
}  // namespace tarnleaf
