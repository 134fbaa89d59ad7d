#include "server/ReplyBuilder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/MessageCodec.h"
#include "server/RequestImage.h"
#include "support/FakeProfileSource.h"

namespace tarnleaf {
namespace {

using ::testing::ElementsAre;
using ::testing::Each;
using testing::DhcpOptions;
using testing::FakeProfileSource;
using testing::kClientSection;
using testing::RequestImage;

std::vector<std::uint8_t> Head(const std::vector<std::uint8_t>& area, std::size_t n) {
    return {area.begin(), area.begin() + static_cast<std::ptrdiff_t>(std::min(n, area.size()))};
}

std::vector<std::uint8_t> Tail(const std::vector<std::uint8_t>& area, std::size_t from) {
    return {area.begin() + static_cast<std::ptrdiff_t>(std::min(from, area.size())), area.end()};
}

class ReplyBuilderTest : public ::testing::Test {
protected:
    BootpMessage Request(std::vector<std::uint8_t> options) {
        RequestImage image;
        image.options = std::move(options);
        return DecodeMessage(image.Bytes());
    }

    BootpMessage Reply(std::vector<std::uint8_t> options) {
        BootpMessage message = Request(std::move(options));
        message.siaddr = "192.168.0.1";
        BuildReply(profiles, message);
        return message;
    }

    FakeProfileSource& Client() { return profiles.Set(kClientSection, "BootFile", "pxelinux.0"); }

    FakeProfileSource profiles;
};

TEST_F(ReplyBuilderTest, UnknownClientKeepsTheRequestUnchanged) {
    BootpMessage request = Request(DhcpOptions(1));
    request.siaddr = "192.168.0.1";
    BootpMessage message = request;
    BuildReply(profiles, message);
    EXPECT_EQ(message, request);
    EXPECT_EQ(message.op, 1);
}

TEST_F(ReplyBuilderTest, BlankBootFileCountsAsNoProfile) {
    profiles.Set(kClientSection, "BootFile", "   ").Set(kClientSection, "SubnetMask", "255.0.0.0");
    BootpMessage request = Request(DhcpOptions(1));
    BootpMessage message = request;
    BuildReply(profiles, message);
    EXPECT_EQ(message, request);
}

TEST_F(ReplyBuilderTest, ShortKeyBfMakesTheClientKnown) {
    profiles.Set(kClientSection, "bf", "boot.img");
    const BootpMessage reply = Reply(DhcpOptions(1));
    EXPECT_EQ(reply.op, 2);
    EXPECT_EQ(reply.file, "boot.img");
}

TEST_F(ReplyBuilderTest, EmptyRecordIsLeftAlone) {
    profiles.Set("", "BootFile", "x");
    BootpMessage empty;
    BuildReply(profiles, empty);
    EXPECT_EQ(empty, BootpMessage{});
}

TEST_F(ReplyBuilderTest, DiscoverGetsOfferWhenProfileNamesNoType) {
    Client();
    const BootpMessage reply = Reply(DhcpOptions(1));
    ASSERT_EQ(reply.options.size(), 64u);
    EXPECT_THAT(Head(reply.options, 8), ElementsAre(99, 130, 83, 99, 53, 1, 2, 255));
    EXPECT_THAT(Tail(reply.options, 8), Each(0));
}

TEST_F(ReplyBuilderTest, RequestGetsAckAheadOfTheProfileOptions) {
    Client().Set(kClientSection, "SubnetMask", "255.255.255.0");
    const BootpMessage reply = Reply(DhcpOptions(3));
    EXPECT_THAT(Head(reply.options, 14),
                ElementsAre(99, 130, 83, 99, 53, 1, 5, 1, 4, 255, 255, 255, 0, 255));
    EXPECT_THAT(Tail(reply.options, 14), Each(0));
}

TEST_F(ReplyBuilderTest, InformGetsAck) {
    Client();
    EXPECT_THAT(Head(Reply(DhcpOptions(8)).options, 8),
                ElementsAre(99, 130, 83, 99, 53, 1, 5, 255));
}

TEST_F(ReplyBuilderTest, LengthTwoTypeOneCountsAsDiscover) {
    Client();
    const BootpMessage reply = Reply({99, 130, 83, 99, 53, 2, 0, 1, 255});
    EXPECT_THAT(Head(reply.options, 8), ElementsAre(99, 130, 83, 99, 53, 1, 2, 255));
}

// Release, decline and answers of other servers get no type: whatever was chosen would be
// a guess, and the client expects no answer at all.
class UnansweredTypeTest : public ReplyBuilderTest,
                           public ::testing::WithParamInterface<std::uint8_t> {};

TEST_P(UnansweredTypeTest, ReplyCarriesNoMessageType) {
    Client().Set(kClientSection, "SubnetMask", "255.255.255.0");
    const BootpMessage reply = Reply(DhcpOptions(GetParam()));
    EXPECT_THAT(Head(reply.options, 11), ElementsAre(99, 130, 83, 99, 1, 4, 255, 255, 255, 0, 255));
}

INSTANTIATE_TEST_SUITE_P(OtherTypes, UnansweredTypeTest,
                         ::testing::Values(2, 4, 5, 6, 7, 9, 0, 200));

TEST_F(ReplyBuilderTest, ProfileTypeGoesOutEvenWhenItDoesNotAnswer) {
    Client().Set(kClientSection, "DHCPMessageType", "DHCPACK");
    const BootpMessage reply = Reply(DhcpOptions(1));
    EXPECT_THAT(Head(reply.options, 8), ElementsAre(99, 130, 83, 99, 53, 1, 5, 255));
}

TEST_F(ReplyBuilderTest, PlainBootpRequestGetsNoType) {
    Client().Set(kClientSection, "SubnetMask", "255.255.255.0");
    const BootpMessage reply = Reply({});
    EXPECT_THAT(Head(reply.options, 11), ElementsAre(99, 130, 83, 99, 1, 4, 255, 255, 255, 0, 255));
}

TEST_F(ReplyBuilderTest, PlainBootpRequestAndNoProfileOptionsGiveAnAllZeroArea) {
    Client();
    const BootpMessage reply = Reply({});
    EXPECT_EQ(reply.options.size(), 64u);
    EXPECT_THAT(reply.options, Each(0));
}

TEST_F(ReplyBuilderTest, TypeBehindAZeroCodeIsMissedAndCountsAsBootp) {
    Client();
    const BootpMessage reply = Reply({99, 130, 83, 99, 0, 53, 1, 1, 255});
    EXPECT_THAT(reply.options, Each(0));
}

TEST_F(ReplyBuilderTest, RequestOptionsNeverSurvive) {
    Client();
    const BootpMessage reply = Reply({99, 130, 83, 99, 53, 1, 3, 50, 4, 10, 0, 0, 9, 255});
    EXPECT_THAT(Head(reply.options, 9), ElementsAre(99, 130, 83, 99, 53, 1, 5, 255, 0));
    EXPECT_THAT(Tail(reply.options, 8), Each(0));
}

// The profile's options fill a 64-byte area (last index 63) up to END at 60 or 61.
TEST_F(ReplyBuilderTest, EndThreeBelowTheTopLeavesRoomForTheType) {
    Client().Set(kClientSection, "HostName", std::string(54, 'h'));
    const BootpMessage reply = Reply(DhcpOptions(3));
    ASSERT_EQ(reply.options.size(), 64u);
    EXPECT_THAT(Head(reply.options, 9), ElementsAre(99, 130, 83, 99, 53, 1, 5, 12, 54));
    EXPECT_THAT(std::vector<std::uint8_t>(reply.options.begin() + 9, reply.options.begin() + 63),
                Each('h'));
    EXPECT_EQ(reply.options[63], 255);
}

TEST_F(ReplyBuilderTest, EndTwoBelowTheTopLeavesNoRoomForTheType) {
    Client().Set(kClientSection, "HostName", std::string(55, 'h'));
    const BootpMessage reply = Reply(DhcpOptions(3));
    ASSERT_EQ(reply.options.size(), 64u);
    EXPECT_THAT(Head(reply.options, 6), ElementsAre(99, 130, 83, 99, 12, 55));
    EXPECT_EQ(reply.options[61], 255);
}

TEST_F(ReplyBuilderTest, LargerMessageSizeMakesRoomAgain) {
    Client().Set(kClientSection, "HostName", std::string(55, 'h'))
        .Set(kClientSection, "MessageSize", "576");
    const BootpMessage reply = Reply(DhcpOptions(3));
    ASSERT_EQ(reply.options.size(), 340u);
    EXPECT_THAT(Head(reply.options, 9), ElementsAre(99, 130, 83, 99, 53, 1, 5, 12, 55));
    EXPECT_EQ(reply.options[64], 255);
}

TEST_F(ReplyBuilderTest, XidIsKeptWhateverTheProfileSays) {
    Client()
        .Set(kClientSection, "MessageType", "BOOTREPLY")
        .Set(kClientSection, "HardwareAddress", "11-22-33-44-55-66")
        .Set(kClientSection, "DHCPMessageType", "DHCPOFFER")
        .Set(kClientSection, "Custom1", "52,BYTE,3");
    const BootpMessage reply = Reply(DhcpOptions(1));
    EXPECT_THAT(reply.xid, ElementsAre(0xDE, 0xAD, 0xBE, 0xEF));
}

TEST_F(ReplyBuilderTest, ProfileMessageTypeReplacesTheReplyOp) {
    Client().Set(kClientSection, "MessageType", "BOOTREQUEST");
    EXPECT_EQ(Reply(DhcpOptions(1)).op, 1);
}

}  // namespace
}  // namespace tarnleaf
