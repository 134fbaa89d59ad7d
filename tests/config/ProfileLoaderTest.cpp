#include "config/ProfileLoader.h"

#include <gtest/gtest.h>

#include "config/CaseName.h"

#include <functional>
#include <string>

#include "config/StaticProfileSource.h"

namespace tarnleaf {
namespace {

// A client request as the reply builder hands it over, op already 2.
BootpMessage Request() {
    BootpMessage m;
    m.op = 2;
    m.htype = 1;
    m.hlen = 6;
    m.hops = 0;
    m.xid = {0xDE, 0xAD, 0xBE, 0xEF};
    m.secs = 4;
    m.flags = {0x80, 0x00};
    m.ciaddr = "0.0.0.0";
    m.yiaddr = "0.0.0.0";
    m.siaddr = "192.168.0.1";
    m.giaddr = "0.0.0.0";
    m.chaddr = "00-A0-C9-12-34-56";
    m.options = {99, 130, 83, 99, 53, 1, 1, 255};
    return m;
}

struct HeaderCase {
    const char* name;
    std::string profile;
    std::function<void(BootpMessage&)> change;  // what the load does to the request
};

class ProfileHeader : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(ProfileHeader, LaysTheKeyOverTheRequest) {
    const auto& c = GetParam();
    const StaticProfileSource source("[00-A0-C9-12-34-56]\n" + c.profile);
    BootpMessage message = Request();
    LoadProfile(source, message.chaddr, message);

    BootpMessage expected = Request();
    expected.options.assign(64, 0);  // no option keys: an all-zero default area
    if (c.change) c.change(expected);
    EXPECT_EQ(message, expected);
}

HeaderCase Unchanged(const char* name, std::string profile) { return {name, profile, nullptr}; }

INSTANTIATE_TEST_SUITE_P(
    MessageType, ProfileHeader,
    ::testing::Values(
        HeaderCase{"BootRequestName", "MessageType=bootrequest\n", [](auto& m) { m.op = 1; }},
        HeaderCase{"Number", "MessageType=7\n", [](auto& m) { m.op = 7; }},
        HeaderCase{"FractionRoundsHalfToEven", "MessageType=2.5\n", [](auto& m) { m.op = 2; }},
        HeaderCase{"SmallFractionPassesAndRoundsToZero", "MessageType=0.3\n",
                   [](auto& m) { m.op = 0; }},
        Unchanged("ZeroLeavesIt", "MessageType=0\n"),
        Unchanged("TwoFiftySixLeavesIt", "MessageType=256\n"),
        Unchanged("RoundingToTwoFiftySixLeavesIt", "MessageType=255.5\n")),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    HardwareType, ProfileHeader,
    ::testing::Values(
        HeaderCase{"EthernetName", "HardwareType=ETHERNET\n", [](auto& m) { m.htype = 1; }},
        HeaderCase{"LowerCaseNameIsNoName", "HardwareType=ethernet\n",
                   [](auto& m) { m.htype = 0; }},
        HeaderCase{"Number", "HardwareType=6\n", [](auto& m) { m.htype = 6; }},
        HeaderCase{"OutOfRangeSetsZero", "HardwareType=300\n", [](auto& m) { m.htype = 0; }},
        Unchanged("RoundingOutOfRangeLeavesIt", "HardwareType=255.5\n"),
        HeaderCase{"LongNameWins", "HardwareType=1\nht=7\n", [](auto& m) { m.htype = 1; }},
        HeaderCase{"ShortTagAfterEmptyLongName", "HardwareType=\nht=7\n",
                   [](auto& m) { m.htype = 7; }},
        Unchanged("AbsentLeavesIt", "Other=1\n")),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    SmallNumbers, ProfileHeader,
    ::testing::Values(
        HeaderCase{"HardwareLength", "HardwareLength=16\n", [](auto& m) { m.hlen = 16; }},
        Unchanged("HardwareLengthZeroLeavesIt", "HardwareLength=0\n"),
        HeaderCase{"GatewayHops", "GatewayHops=3\n", [](auto& m) { m.hops = 3; }},
        HeaderCase{"HopsTag", "Hops=4\n", [](auto& m) { m.hops = 4; }},
        HeaderCase{"SecondsLargest", "SecondsElapsed=65535\n", [](auto& m) { m.secs = 65535; }},
        Unchanged("SecondsTooLargeLeavesIt", "SecondsElapsed=65536\n"),
        Unchanged("SecondsRoundingTooLargeLeavesIt", "SecondsElapsed=65535.5\n"),
        Unchanged("SecondsZeroLeavesIt", "SecondsElapsed=0\n")),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    Flags, ProfileHeader,
    ::testing::Values(
        HeaderCase{"BroadcastBitClearedToo", "Flags=0x0000\n", [](auto& m) { m.flags = {0, 0}; }},
        HeaderCase{"HighByteFirst", "Flags=0x80FF\n", [](auto& m) { m.flags = {128, 255}; }},
        HeaderCase{"FirstTwoCharactersAreSkipped", "Flags=8000\n",
                   [](auto& m) { m.flags = {0, 0}; }},
        HeaderCase{"LowSixteenBitsKept", "Flags=0x12345\n",
                   [](auto& m) { m.flags = {0x23, 0x45}; }},
        Unchanged("PrefixAloneLeavesThem", "Flags=0x\n"),
        Unchanged("NotHexadecimalLeavesThem", "Flags=0xZZ\n"),
        Unchanged("TooLongLeavesThem", "Flags=0x1FFFFFFFF\n")),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    Texts, ProfileHeader,
    ::testing::Values(
        HeaderCase{"ClientIPSpacesRemoved", "ClientIP=10. 0. 0. 1\n",
                   [](auto& m) { m.ciaddr = "10.0.0.1"; }},
        HeaderCase{"LongAddressWithSpacesFitsOnceCompacted", "ClientIP=192 .168 .100 .200\n",
                   [](auto& m) { m.ciaddr = "192.168.100.200"; }},
        HeaderCase{"AddressCutTo15", "HostIP=192.168.100.2001\n",
                   [](auto& m) { m.yiaddr = "192.168.100.200"; }},
        HeaderCase{"HostIPTag", "ip=192.168.0.50\n", [](auto& m) { m.yiaddr = "192.168.0.50"; }},
        HeaderCase{"HardwareAddressCutTo47", "ha=" + std::string(50, 'A') + "\n",
                   [](auto& m) { m.chaddr = std::string(47, 'A'); }},
        HeaderCase{"ServerNameCutTo64", "ServerName=" + std::string(70, 's') + "\n",
                   [](auto& m) { m.sname = std::string(64, 's'); }},
        HeaderCase{"BootFileCutTo128", "bf=" + std::string(130, 'f') + "\n",
                   [](auto& m) { m.file = std::string(128, 'f'); }}),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    MessageSize, ProfileHeader,
    ::testing::Values(
        Unchanged("ThreeHundredGivesTheDefault", "MessageSize=300\n"),
        Unchanged("TwoThousandGivesTheDefault", "MessageSize=2000\n"),
        HeaderCase{"FiveSeventySix", "MessageSize=576\n",
                   [](auto& m) { m.options.assign(340, 0); }},
        HeaderCase{"Largest", "MessageSize=1536\n", [](auto& m) { m.options.assign(1300, 0); }},
        HeaderCase{"JustAboveThreeHundredRounds", "MessageSize=300.6\n",
                   [](auto& m) { m.options.assign(65, 0); }},
        HeaderCase{"JustAboveThreeHundredRoundsDown", "MessageSize=300.4\n",
                   [](auto& m) { m.options.assign(64, 0); }}),
    CaseName());

class LoadProfileWhole : public ::testing::Test {};

TEST_F(LoadProfileWhole, EmptyProfileChangesOnlyTheOptionArea) {
    const StaticProfileSource source("[other]\nMessageType=1\n");
    BootpMessage message = Request();
    LoadProfile(source, message.chaddr, message);
    BootpMessage expected = Request();
    expected.options.assign(64, 0);
    EXPECT_EQ(message, expected);
}

TEST_F(LoadProfileWhole, TransactionIdIsNeverTouched) {
    const StaticProfileSource source(
        "[00-A0-C9-12-34-56]\nMessageType=1\nHardwareType=6\nFlags=0x0\nHostIP=1.2.3.4\n"
        "xid=1\nTransactionID=5\nDHCPMessageType=DHCPACK\n");
    BootpMessage message = Request();
    LoadProfile(source, message.chaddr, message);
    EXPECT_EQ(message.xid, (std::array<std::uint8_t, 4>{0xDE, 0xAD, 0xBE, 0xEF}));
}

TEST_F(LoadProfileWhole, LoadKeepsToTheSectionNamedAtItsStart) {
    // A new hardware address must not switch the rest of the load to another profile.
    const StaticProfileSource source(
        "[00-A0-C9-12-34-56]\nha=00-11-22-33-44-55\nBootFile=mine.img\nSubnetMask=255.0.0.0\n"
        "[00-11-22-33-44-55]\nBootFile=theirs.img\nServerName=theirs\n");
    BootpMessage message = Request();
    LoadProfile(source, message.chaddr, message);
    EXPECT_EQ(message.chaddr, "00-11-22-33-44-55");
    EXPECT_EQ(message.file, "mine.img");
    EXPECT_EQ(message.sname, "");
    EXPECT_EQ(message.options[4], 1);
}

TEST_F(LoadProfileWhole, TestMessageProfileFillsAFreshMessage) {
    const StaticProfileSource source(
        "[TestMessage]\nMessageType=BOOTREQUEST\nHardwareType=ETHERNET\nHardwareLength=6\n"
        "HardwareAddress=00-A0-C9-12-34-56\nServerIP=192.168.0.1\nFlags=0x8000\n"
        "DHCPMessageType=DHCPDISCOVER\nMessageSize=576\nSendPort=BOOTPS\n");
    BootpMessage message;
    LoadProfile(source, "TestMessage", message);
    EXPECT_EQ(message.op, 1);
    EXPECT_EQ(message.htype, 1);
    EXPECT_EQ(message.hlen, 6);
    EXPECT_EQ(message.chaddr, "00-A0-C9-12-34-56");
    EXPECT_EQ(message.siaddr, "192.168.0.1");
    EXPECT_EQ(message.flags, (std::array<std::uint8_t, 2>{128, 0}));
    ASSERT_EQ(message.options.size(), 340u);
    EXPECT_EQ(std::vector<std::uint8_t>(message.options.begin(), message.options.begin() + 8),
              (std::vector<std::uint8_t>{99, 130, 83, 99, 53, 1, 1, 255}));
}

}  // namespace
}  // namespace tarnleaf
