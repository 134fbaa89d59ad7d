#include "ConsoleServer.h"

#include <chrono>
#include <string>
#include <utility>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "StaticProfileSource.h"
#include "support/FakeClock.h"
#include "support/FakeUdpEndpoint.h"
#include "support/GoldenMessages.h"

namespace tarnleaf {
namespace {

using ::testing::HasSubstr;

class ConsoleServerTest : public ::testing::Test {
protected:
    void QueueDiscovers(int count) {
        while (count--) endpoint.QueueDatagram(golden::Bytes(golden::kDiscoverImage));
    }
    std::string Printed() {
        EXPECT_TRUE(output.Flush(std::chrono::seconds(5)));
        return std::exchange(printed, {});
    }

    testing::FakeUdpEndpoint endpoint;
    StaticProfileSource profiles{"[00-A0-C9-12-34-56]\nBootFile=pxelinux.0\n[TestMessage]\n"
                                 "ServerIP=192.168.0.9\nMessageType=BOOTREQUEST\n"};
    testing::FakeClock clock;
    std::string printed;  // by the writer thread; read after a flush, which orders the two
    OutputQueue output{[this](std::string_view text) { return printed += text, true; }};
    ConsoleServer server{endpoint, profiles, clock, output, true};
};

// As a log view holds it; at most the limit per wake-up, so signals and input are seen between.
TEST_F(ConsoleServerTest, PrintsTheListeningLineThenTheLogAsTheLogViewHoldsIt) {
    LogModel view;
    RequestCycle viewCycle(endpoint, profiles, view, clock);
    QueueDiscovers(2);
    viewCycle.HandleWaitingDatagrams();
    server.PrintListening(67, "a");
    QueueDiscovers(2);
    EXPECT_EQ(server.HandleWaitingDatagrams(), 2u);
    EXPECT_EQ(Printed(), "listening on 0.0.0.0:67, profiles from a\n" + std::string(view.Text()));
    QueueDiscovers(70);
    EXPECT_EQ(server.HandleWaitingDatagrams(), ConsoleServer::kDatagramsPerWake);
}

TEST_F(ConsoleServerTest, StartedWithoutLogSaysSoAfterTheConfigReadError) {
    profiles.SetReadFault({"x.ini", "access denied"});  // found by the read at start-up
    ConsoleServer silent(endpoint, profiles, clock, output, false);
    silent.PrintListening(10067, "x.ini");
    EXPECT_EQ(Printed(), "Config Read Error!\r\nfile [x.ini] reason [access denied]\r\n\r\n"
                         "listening on 0.0.0.0:10067, profiles from x.ini (logging off)\n");
}

// In order, since "l" switches; with logging off the test message is sent without a dump.
TEST_F(ConsoleServerTest, CommandsSendTheTestMessageSwitchLoggingQuitOrGetHelp) {
    const char* help = "commands: t = send test message, l = logging on/off, q = quit\n";
    using enum ConsoleServer::CommandOutcome;
    const std::tuple<const char*, decltype(Quit), std::size_t, const char*> rows[] = {
        {"l", Continue, 0, "logging off\n"}, {" T \r", Continue, 1, ""}, {"\tQ ", Quit, 1, ""},
        {"L", Continue, 1, "logging on\n"}, {" \r", Continue, 1, ""}, {"quit", Continue, 1, help}};
    for (const auto& [line, outcome, sends, shown] : rows) {
        EXPECT_EQ(server.HandleCommand(line), outcome) << line;
        EXPECT_EQ(endpoint.Sent().size(), sends) << line;
        EXPECT_EQ(Printed(), shown) << line;
    }
}

TEST(BindFailureMessage, SaysWhyAndWhatToDo) {
    const auto text = [](BindFailureKind kind) {
        return BindFailureMessage({98, "Address already in use"}, kind, 67, "tarnleafd");
    };
    EXPECT_EQ(text(BindFailureKind::Other),
              "tarnleafd: cannot listen on UDP port 67: Address already in use (error 98)\n");
    using enum BindFailureKind;
    EXPECT_THAT(text(InUse), HasSubstr("another DHCP"));
    EXPECT_THAT(text(NotPermitted), HasSubstr("setcap cap_net_bind_service=+ep tarnleafd"));
}

}  // namespace
}  // namespace tarnleaf
