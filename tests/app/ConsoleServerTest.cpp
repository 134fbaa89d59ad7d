#include "ConsoleServer.h"

#include <chrono>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "StaticProfileSource.h"
#include "support/FakeClock.h"
#include "support/FakeUdpEndpoint.h"
#include "support/GoldenMessages.h"

namespace tarnleaf {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using Outcome = ConsoleServer::CommandOutcome;

class ConsoleServerTest : public ::testing::Test {
protected:
    void QueueDiscovers(int count) {
        while (count--) endpoint.QueueDatagram(golden::Bytes(golden::kDiscoverImage));
    }

    testing::FakeUdpEndpoint endpoint;
    StaticProfileSource profiles{
        "[00-A0-C9-12-34-56]\r\nBootFile=pxelinux.0\r\n"
        "[TestMessage]\r\nServerIP=192.168.0.9\r\nMessageType=BOOTREQUEST\r\n"};
    // What reached the writer since the last look.
    std::string Printed() {
        EXPECT_TRUE(output.Flush(std::chrono::seconds(5)));
        const std::lock_guard lock(printedMutex);
        return std::exchange(printed, {});
    }

    testing::FakeClock clock;
    std::mutex printedMutex;
    std::string printed;
    OutputQueue output{[this](std::string_view text) {
        const std::lock_guard lock(printedMutex);
        printed += text;
        return true;
    }};
    ConsoleServer server{endpoint, profiles, clock, output, true};
};

TEST_F(ConsoleServerTest, PrintsTheListeningLineThenTheLogExactlyAsTheLogViewHoldsIt) {
    LogModel view;  // what the desktop's log view would hold after the same requests
    testing::FakeUdpEndpoint viewEndpoint;
    RequestCycle viewCycle(viewEndpoint, profiles, view, clock);
    for (int i = 0; i < 2; ++i) {
        viewEndpoint.QueueDatagram({golden::kDiscoverImage.begin(), golden::kDiscoverImage.end()});
        viewCycle.HandleOneDatagram();
    }

    server.PrintListening(67, "/opt/tarnleaf/Tarnleaf.ini");
    QueueDiscovers(2);
    EXPECT_EQ(server.HandleWaitingDatagrams(), 2u);
    ASSERT_EQ(endpoint.Sent().size(), 2u);
    EXPECT_EQ(Printed(), "listening on 0.0.0.0:67, profiles from /opt/tarnleaf/Tarnleaf.ini\n" +
                             std::string(view.Text()));
    EXPECT_THAT(std::string(view.Text()), HasSubstr("pxelinux.0"));
}

TEST_F(ConsoleServerTest, StartedWithoutLogSaysSoAndStillShowsErrors) {
    profiles.SetReadFault({"x.ini", "access denied"});  // found by the read at start-up
    ConsoleServer silent(endpoint, profiles, clock, output, false);
    silent.PrintListening(10067, "x.ini");
    endpoint.FailSends(SocketError{101, "Network is unreachable"});
    QueueDiscovers(1);
    silent.HandleWaitingDatagrams();
    EXPECT_EQ(Printed(), "Config Read Error!\r\nfile [x.ini] reason [access denied]\r\n\r\n"
                         "listening on 0.0.0.0:10067, profiles from x.ini (logging off)\n"
                         "\r\nMessage Send Error!\r\n101\r\n\r\n");
}

TEST_F(ConsoleServerTest, HandlesAtMostTheLimitPerWakeUpSoSignalsAndInputAreSeen) {
    QueueDiscovers(70);
    EXPECT_EQ(server.HandleWaitingDatagrams(), ConsoleServer::kDatagramsPerWake);
    EXPECT_EQ(server.HandleWaitingDatagrams(), 70u - ConsoleServer::kDatagramsPerWake);
    EXPECT_EQ(server.HandleWaitingDatagrams(), 0u);
    EXPECT_EQ(endpoint.Sent().size(), 70u);
    EXPECT_THAT(Printed(), HasSubstr("[pxelinux.0]"));  // logging on: each dump on the console
}

// In order, since "l" switches; with logging off the test message is sent without a dump.
TEST_F(ConsoleServerTest, CommandsSendTheTestMessageSwitchLoggingQuitOrGetHelp) {
    const char* help = "commands: t = send test message, l = logging on/off, q = quit\n";
    const auto go = Outcome::Continue;
    const std::tuple<const char*, Outcome, std::size_t, const char*> rows[] = {
        {"l", go, 0, "logging off\n"}, {"t", go, 1, ""}, {" T \r", go, 2, ""},
        {"L", go, 2, "logging on\n"}, {"q", Outcome::Quit, 2, ""}, {"\tQ ", Outcome::Quit, 2, ""},
        {" \r", go, 2, ""}, {"x", go, 2, help}, {"quit", go, 2, help}};
    for (const auto& [line, outcome, sends, shown] : rows) {
        EXPECT_EQ(server.HandleCommand(line), outcome) << line;
        EXPECT_EQ(endpoint.Sent().size(), sends) << line;
        EXPECT_EQ(Printed(), shown) << line;
    }
    ASSERT_EQ(endpoint.Sent().size(), 2u);
    EXPECT_EQ(endpoint.Sent()[0].destination, (Ipv4Address{{192, 168, 0, 9}}));
}

TEST(BindFailureMessage, SaysWhyAndWhatToDo) {
    const SocketError error{98, "Address already in use"};
    const auto text = [&](BindFailureKind kind) {
        return BindFailureMessage(error, kind, 67, "tarnleafd");
    };
    const std::string why = "tarnleafd: cannot listen on UDP port 67: Address already in use "
                            "(error 98)\n";
    EXPECT_EQ(text(BindFailureKind::Other), why);
    EXPECT_THAT(text(BindFailureKind::InUse), AllOf(StartsWith(why), HasSubstr("another DHCP")));
    EXPECT_THAT(text(BindFailureKind::NotPermitted),
                AllOf(StartsWith(why), HasSubstr("setcap cap_net_bind_service=+ep tarnleafd")));
}

}  // namespace
}  // namespace tarnleaf
