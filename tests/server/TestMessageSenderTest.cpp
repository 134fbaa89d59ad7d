#include "TestMessageSender.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <utility>

#include "StaticProfileSource.h"
#include "MessageCodec.h"
#include "support/FakeClock.h"
#include "support/FakeUdpEndpoint.h"

namespace tarnleaf {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

TEST(ChooseSendPort, NamesOrNumbersAPortOrNothing) {
    const std::pair<const char*, std::optional<std::uint16_t>> rows[] = {
        {"   ", 67}, {"bootps", 67}, {"067", 67}, {"\tBootPc ", 68}, {"1", 1}, {"65535", 65535},
        {"0", {}}, {"65536", {}}, {"-68", {}}, {"67.5", {}}, {"&H44", {}}, {"6 8", {}},
        {"BOOTPCX", {}}, {"4294967363", {}}};  // the last is 2^32 + 67: must not wrap to 67
    for (const auto& [value, port] : rows) EXPECT_EQ(ChooseSendPort(value), port) << value;
}

class TestMessageSenderTest : public ::testing::Test {
protected:
    TestMessageSenderTest() : sender(endpoint, profiles, log, clock) {}

    // Sends with the [TestMessage] keys `keys` ahead of ServerIP=127.0.0.1 (the first wins).
    void Send(const std::string& keys = "") {
        profiles.SetText("[TestMessage]\n" + keys + "ServerIP=127.0.0.1\n");
        sender.SendTestMessage();
    }

    testing::FakeUdpEndpoint endpoint;
    StaticProfileSource profiles{""};
    LogModel log;
    testing::FakeClock clock{"2026/12/06 22:00:00", 42};
    TestMessageSender sender;
};

TEST_F(TestMessageSenderTest, EachTestRereadsTheProfileAndGoesToServerIpOnTheChosenPort) {
    Send();
    Send("SendPort=  bootpc \n");
    EXPECT_EQ(profiles.RefreshCount(), 2);
    ASSERT_EQ(endpoint.Sent().size(), 2u);
    const auto& [first, second] = std::tie(endpoint.Sent()[0], endpoint.Sent()[1]);
    EXPECT_EQ(first.destination, (Ipv4Address{{127, 0, 0, 1}}));
    EXPECT_EQ(std::tie(first.port, second.port), std::tuple(67, 68));
    // No request came in: routing decides the way out.
    EXPECT_TRUE(first.route.interfaceIndex == 0 && first.route.sourceAddress.IsAny());
    // Every test draws a new xid; nothing else is random.
    BootpMessage a = DecodeMessage(first.bytes), b = DecodeMessage(second.bytes);
    EXPECT_NE(a.xid, b.xid);
    a.xid = b.xid = {};
    EXPECT_EQ(a, b);
}

TEST_F(TestMessageSenderTest, BadProfileSendsNothingAndSaysWhy) {
    log.SetLoggingEnabled(false);
    const std::pair<const char*, const char*> rows[] = {
        {"SendPort=tftp\n", "Test Message Not Sent!\r\nSendPort [tftp] names no port"},
        {"ServerIP=\n", "no ServerIP in section [TestMessage]"},
        {"ServerIP=10.0.0\n", "ServerIP [10.0.0] is not an IPv4 address"},
        {"ClientIP=1.2.3.400\n", "section [TestMessage] field [ciaddr] value [1.2.3.400]"}};
    for (const auto& [keys, reason] : rows) {
        const std::size_t before = log.Text().size();
        Send(keys);
        EXPECT_THAT(log.Text().substr(before), HasSubstr(reason)) << keys;
    }
    EXPECT_TRUE(endpoint.Sent().empty());
}

TEST(BuildTestMessage, XidBytesAreDrawnFromZeroTo254) {
    const StaticProfileSource profiles("");
    std::set<int> seen;
    for (std::uint64_t seed = 0; seed < 5000; ++seed) {
        BootpMessage message;
        BuildTestMessage(profiles, seed, message);
        seen.insert(message.xid.begin(), message.xid.end());
    }
    // 20,000 draws over 255 values: every one shows up, and never 255.
    EXPECT_EQ(seen.size(), 255u);
    EXPECT_EQ(*seen.rbegin(), 254);
}

}  // namespace
}  // namespace tarnleaf
