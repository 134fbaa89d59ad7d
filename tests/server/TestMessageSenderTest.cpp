#include "TestMessageSender.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "StaticProfileSource.h"
#include "MessageCodec.h"
#include "support/FakeClock.h"
#include "support/FakeUdpEndpoint.h"

namespace tarnleaf {
namespace {

TEST(ChooseSendPort, NamesOrNumbersAPortOrNothing) {
    const std::pair<const char*, std::optional<std::uint16_t>> rows[] = {
        {"   ", 67}, {"bootps", 67}, {"067", 67}, {"\tBootPc ", 68}, {"1", 1}, {"65535", 65535},
        {"0", {}}, {"65536", {}}, {"-68", {}}, {"67.5", {}}, {"&H44", {}}, {"6 8", {}},
        {"BOOTPCX", {}}, {"4294967363", {}}};  // the last is 2^32 + 67: must not wrap to 67
    for (const auto& [value, port] : rows) EXPECT_EQ(ChooseSendPort(value), port) << value;
}

class TestMessageSenderTest : public ::testing::Test {
protected:
    // Sends with the [TestMessage] keys `keys` ahead of ServerIP=127.0.0.1 (the first wins).
    void Send(const std::string& keys = "") {
        profiles.SetText("[TestMessage]\n" + keys + "ServerIP=127.0.0.1\n");
        sender.SendTestMessage();
    }

    testing::FakeUdpEndpoint endpoint;
    StaticProfileSource profiles{""};
    LogModel log;
    testing::FakeClock clock{"2026/12/06 22:00:00", 42};
    TestMessageSender sender{endpoint, profiles, log, clock};
};

// No request came in, so routing decides the way out; the xid is all that is random.
TEST_F(TestMessageSenderTest, EachTestRereadsTheProfileAndDrawsANewXid) {
    Send();
    Send("SendPort=bootpc\n");
    ASSERT_EQ(std::tuple(profiles.RefreshCount(), endpoint.Sent().size()), std::tuple(2, 2u));
    const auto& [first, second] = std::tie(endpoint.Sent()[0], endpoint.Sent()[1]);
    EXPECT_EQ(std::tie(first.port, second.port), std::tuple(67, 68));
    EXPECT_TRUE(first.route.interfaceIndex == 0 && first.route.sourceAddress.IsAny());
    BootpMessage a = DecodeMessage(first.bytes), b = DecodeMessage(second.bytes);
    EXPECT_NE(a.xid, b.xid);
    EXPECT_EQ((a.xid = b.xid = {}, a), b);
}

TEST_F(TestMessageSenderTest, LoggingOffHidesASuccessButNotAFailedSendNorABadProfile) {
    log.SetLoggingEnabled(false);
    Send();
    endpoint.FailSends({10049, "Cannot assign requested address"});
    Send();
    EXPECT_EQ(log.Text(), "Message Send Error!\r\n10049\r\n\r\n");
    for (const auto& [keys, reason] : {std::pair{"SendPort=tftp\n", "SendPort [tftp] names no"},
             {"ServerIP=\n", "no ServerIP in section [TestMessage]"},
             {"ServerIP=10.0.0\x1b\n", "ServerIP [10.0.0\\x1B] is not an IPv4 address"},
             {"ClientIP=1.2.3.400\n", "section [TestMessage] field [ciaddr] value [1.2.3.400]"}})
        EXPECT_NE((Send(keys), log.Text()).find(reason), std::string::npos) << log.Text();
    EXPECT_EQ(endpoint.Sent().size(), 1u);
}

}  // namespace
}  // namespace tarnleaf
