#include "server/TestMessageSender.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "protocol/MessageCodec.h"
#include "support/FakeClock.h"
#include "support/FakeProfileSource.h"
#include "support/FakeUdpEndpoint.h"

namespace tarnleaf {
namespace {

using ::testing::Each;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using testing::FakeClock;
using testing::FakeProfileSource;
using testing::FakeUdpEndpoint;

struct PortCase {
    std::string name;
    std::string value;
    std::optional<std::uint16_t> port;
};

class ChooseSendPortTest : public ::testing::TestWithParam<PortCase> {};

TEST_P(ChooseSendPortTest, PicksThePortTheValueNames) {
    EXPECT_EQ(ChooseSendPort(GetParam().value), GetParam().port);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ChooseSendPortTest,
    ::testing::Values(PortCase{"EmptyIsServerPort", "", 67},
                      PortCase{"BlankIsServerPort", "   ", 67},
                      PortCase{"Bootps", "BOOTPS", 67},
                      PortCase{"BootpsLowerCase", "bootps", 67},
                      PortCase{"Number67", "67", 67},
                      PortCase{"Bootpc", "BOOTPC", 68},
                      PortCase{"BootpcLowerWithBlanks", "  bootpc  ", 68},
                      PortCase{"BootpcWithTab", "\tBootPc", 68},
                      PortCase{"Number68", "68", 68},
                      PortCase{"LeadingZeroNumber", "067", 67},
                      PortCase{"OtherNumber", "1067", 1067},
                      PortCase{"LowestPort", "1", 1},
                      PortCase{"HighestPort", "65535", 65535},
                      PortCase{"PortZero", "0", std::nullopt},
                      PortCase{"PastTheHighestPort", "65536", std::nullopt},
                      PortCase{"HugeNumber", "99999999999999999999", std::nullopt},
                      PortCase{"Negative", "-68", std::nullopt},
                      PortCase{"Fraction", "67.5", std::nullopt},
                      PortCase{"HexNumber", "&H44", std::nullopt},
                      PortCase{"InnerBlank", "6 8", std::nullopt},
                      PortCase{"UnknownName", "tftp", std::nullopt},
                      PortCase{"NameWithSuffix", "BOOTPCX", std::nullopt}),
    [](const ::testing::TestParamInfo<PortCase>& row) { return row.param.name; });

class TestMessageSenderTest : public ::testing::Test {
protected:
    TestMessageSenderTest() : sender(endpoint, profiles, log, clock) {
        profiles.Set("TestMessage", "ServerIP", "127.0.0.1");
    }

    const FakeUdpEndpoint::SentDatagram& OnlySent() {
        EXPECT_EQ(endpoint.Sent().size(), 1u);
        return endpoint.Sent().front();
    }

    FakeUdpEndpoint endpoint;
    FakeProfileSource profiles;
    LogModel log;
    FakeClock clock{"2026/12/06 22:00:00", 42};
    TestMessageSender sender;
};

TEST_F(TestMessageSenderTest, LowerCaseBootpcWithBlanksSendsToClientPort) {
    profiles.Set("TestMessage", "SendPort", "  bootpc ");
    sender.SendTestMessage();
    EXPECT_EQ(OnlySent().destination, (Ipv4Address{{127, 0, 0, 1}}));
    EXPECT_EQ(OnlySent().port, 68);
}

TEST_F(TestMessageSenderTest, AbsentSendPortSendsToServerPortWithRoutingDeciding) {
    sender.SendTestMessage();
    EXPECT_EQ(OnlySent().port, 67);
    EXPECT_EQ(OnlySent().route.interfaceIndex, 0u);
    EXPECT_TRUE(OnlySent().route.sourceAddress.IsAny());
}

TEST_F(TestMessageSenderTest, ProfileWithoutMessageTypeSendsOpZeroOfBootpSize) {
    sender.SendTestMessage();
    const auto& bytes = OnlySent().bytes;
    ASSERT_EQ(bytes.size(), 300u);
    EXPECT_EQ(bytes[0], 0);
    EXPECT_EQ(DecodeMessage(bytes).siaddr, "127.0.0.1");
}

TEST_F(TestMessageSenderTest, ProfileIsRefreshedForEveryTest) {
    sender.SendTestMessage();
    sender.SendTestMessage();
    EXPECT_EQ(profiles.Refreshes(), 2);
}

TEST_F(TestMessageSenderTest, EveryTestDrawsANewXid) {
    sender.SendTestMessage();
    sender.SendTestMessage();
    ASSERT_EQ(endpoint.Sent().size(), 2u);
    const BootpMessage first = DecodeMessage(endpoint.Sent()[0].bytes);
    const BootpMessage second = DecodeMessage(endpoint.Sent()[1].bytes);
    EXPECT_NE(first.xid, second.xid);
    // Nothing else is random.
    BootpMessage a = first;
    BootpMessage b = second;
    a.xid = b.xid = {};
    EXPECT_EQ(a, b);
}

TEST_F(TestMessageSenderTest, SuccessIsLoggedWithTheSentSize) {
    sender.SendTestMessage();
    EXPECT_THAT(log.Text(), StartsWith("date [2026/12/06 22:00:00]\r\nsize [300]\r\n"));
}

TEST_F(TestMessageSenderTest, SuccessWithLoggingOffLeavesTheLogAlone) {
    log.SetLoggingEnabled(false);
    sender.SendTestMessage();
    EXPECT_EQ(endpoint.Sent().size(), 1u);
    EXPECT_EQ(log.Text(), "");
}

TEST_F(TestMessageSenderTest, FailedSendIsLoggedWithLoggingOff) {
    log.SetLoggingEnabled(false);
    endpoint.FailSends({10049, "Cannot assign requested address"});
    sender.SendTestMessage();
    EXPECT_EQ(log.Text(), "Message Send Error!\r\n10049\r\n\r\n");
}

struct RefusalCase {
    std::string name;
    std::string key;
    std::string value;
    std::string reason;
};

class TestMessageRefusalTest : public TestMessageSenderTest,
                               public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(TestMessageRefusalTest, SendsNothingAndSaysWhy) {
    log.SetLoggingEnabled(false);
    profiles.Set("TestMessage", GetParam().key, GetParam().value);
    sender.SendTestMessage();
    EXPECT_EQ(endpoint.SendAttempts(), 0u);
    EXPECT_THAT(log.Text(), HasSubstr(GetParam().reason));
}

INSTANTIATE_TEST_SUITE_P(
    BadProfiles, TestMessageRefusalTest,
    ::testing::Values(
        RefusalCase{"UnknownPortName", "SendPort", "tftp", "SendPort [tftp]"},
        RefusalCase{"PortOutOfRange", "SendPort", "70000", "SendPort [70000]"},
        RefusalCase{"EmptyServerIp", "ServerIP", "", "no ServerIP"},
        RefusalCase{"ShortServerIp", "ServerIP", "10.0.0", "ServerIP [10.0.0]"},
        RefusalCase{"NamedServer", "ServerIP", "bootserver", "ServerIP [bootserver]"},
        RefusalCase{"UnencodableField", "ClientIP", "1.2.3.400",
                    "section [TestMessage] field [ciaddr] value [1.2.3.400]"}),
    [](const ::testing::TestParamInfo<RefusalCase>& row) { return row.param.name; });

TEST(BuildTestMessage, XidBytesAreNeverTwoHundredFiftyFive) {
    FakeProfileSource profiles;
    std::set<int> seen;
    for (std::uint64_t seed = 0; seed < 5000; ++seed) {
        BootpMessage message;
        BuildTestMessage(profiles, seed, message);
        for (const std::uint8_t b : message.xid) {
            ASSERT_NE(b, 255) << "seed " << seed;
            seen.insert(b);
        }
    }
    // 20,000 draws over 255 values: every value shows up.
    EXPECT_EQ(seen.size(), 255u);
}

TEST(BuildTestMessage, MissingSectionGivesAnEmptyMessageWithZeroOptions) {
    FakeProfileSource profiles;
    BootpMessage message;
    BuildTestMessage(profiles, 1, message);
    EXPECT_EQ(message.op, 0);
    EXPECT_EQ(message.siaddr, "");
    EXPECT_EQ(message.options.size(), 64u);
    EXPECT_THAT(message.options, Each(0));
}

TEST(BuildTestMessage, HardwareAddressChangesOnlyTheChaddr) {
    FakeProfileSource profiles;
    profiles.Set("TestMessage", "HardwareAddress", "AA-BB-CC-DD-EE-FF")
        .Set("TestMessage", "ServerName", "from-test-section")
        .Set("AA-BB-CC-DD-EE-FF", "ServerName", "from-other-section");
    BootpMessage message;
    BuildTestMessage(profiles, 1, message);
    EXPECT_EQ(message.chaddr, "AA-BB-CC-DD-EE-FF");
    EXPECT_EQ(message.sname, "from-test-section");
}

}  // namespace
}  // namespace tarnleaf
