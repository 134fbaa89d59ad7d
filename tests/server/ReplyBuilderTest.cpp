#include "ReplyBuilder.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "StaticProfileSource.h"
#include "MessageCodec.h"
#include "RequestImage.h"

namespace tarnleaf {
namespace {

using testing::ClientProfile;
using testing::DhcpOptions;

BootpMessage Reply(const std::string& profileKeys, const std::vector<std::uint8_t>& options) {
    const StaticProfileSource profiles(ClientProfile(profileKeys));
    BootpMessage message = DecodeMessage(testing::RequestBytes(options));
    BuildReply(profiles, message);
    return message;
}

// An option area of `size` bytes: the cookie, `options`, zeros.
std::vector<std::uint8_t> Area(std::vector<std::uint8_t> options, std::size_t size = 64) {
    options.insert(options.begin(), {99, 130, 83, 99});
    options.resize(size, 0);
    return options;
}

TEST(ReplyBuilder, OnlyANonBlankBootFileOrBfMakesTheClientKnown) {
    const BootpMessage request = DecodeMessage(testing::RequestBytes(DhcpOptions(1)));
    EXPECT_EQ(Reply("SubnetMask=255.0.0.0\n", DhcpOptions(1)), request);
    EXPECT_EQ(Reply("BootFile=   \nSubnetMask=255.0.0.0\n", DhcpOptions(1)), request);
    const BootpMessage reply = Reply("bf=boot.img\n", DhcpOptions(1));
    EXPECT_EQ(reply.op, 2);
    EXPECT_EQ(reply.file, "boot.img");
}

TEST(ReplyBuilder, ProfileOpAndTypeWinEvenWhenTheyDoNotAnswer) {
    const BootpMessage reply =
        Reply("BootFile=f\nMessageType=BOOTREQUEST\nDHCPMessageType=DHCPACK\n", DhcpOptions(1));
    EXPECT_EQ(reply.op, 1);
    EXPECT_EQ(reply.options, Area({53, 1, 5, 255}));
}

// The request's options never reach the reply; only its message type decides the one
// inserted when the profile (here without options) names none.
TEST(ReplyBuilder, ReplyCarriesTheAnsweringTypeOrNone) {
    std::vector<std::pair<std::vector<std::uint8_t>, std::uint8_t>> rows = {
        {DhcpOptions(1), 2},                                        // DISCOVER gets OFFER
        {DhcpOptions(3), 5},                                        // REQUEST gets ACK
        {DhcpOptions(8), 5},                                        // INFORM gets ACK
        {{99, 130, 83, 99, 53, 1, 3, 50, 4, 10, 0, 0, 9, 255}, 5},  // option 50 is dropped
        {{}, 0},                                                    // plain BOOTP: none
    };
    // Release, decline and other servers' answers: any type would be a guess.
    for (const std::uint8_t type : {0, 2, 4, 5, 6, 7, 9, 200}) {
        rows.push_back({DhcpOptions(type), 0});
    }
    for (const auto& [request, answer] : rows) {
        SCOPED_TRACE(::testing::PrintToString(request));
        // Without a type or profile options the loader leaves the whole area zero.
        EXPECT_EQ(Reply("BootFile=f\n", request).options,
                  answer != 0 ? Area({53, 1, answer, 255}) : std::vector<std::uint8_t>(64));
    }
}

// The type goes in ahead of the profile's options, moving them up by three bytes, only when
// three bytes lie free behind the END.
TEST(ReplyBuilder, TypeIsInsertedOnlyWhenThreeBytesFollowTheEnd) {
    // {host name length, MessageSize, option area size, type inserted}
    using Row = std::tuple<std::size_t, std::string, std::size_t, bool>;
    for (const auto& [length, messageSize, areaSize, inserted] :
         std::vector<Row>{{54, "", 64, true}, {55, "", 64, false}, {55, "576", 340, true}}) {
        SCOPED_TRACE(length);
        const std::string name(length, 'h');
        std::vector<std::uint8_t> options{12, static_cast<std::uint8_t>(length)};
        options.insert(options.end(), name.begin(), name.end());
        options.push_back(255);
        if (inserted) {
            options.insert(options.begin(), {53, 1, 5});
        }
        const std::string keys = "BootFile=f\nHostName=" + name + "\nMessageSize=" + messageSize;
        EXPECT_EQ(Reply(keys + "\n", DhcpOptions(3)).options, Area(options, areaSize));
    }
}

}  // namespace
}  // namespace tarnleaf
