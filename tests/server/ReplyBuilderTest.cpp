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

using testing::DhcpOptions;
using Bytes = std::vector<std::uint8_t>;

BootpMessage Reply(const std::string& profileKeys, const Bytes& options) {
    BootpMessage message = DecodeMessage(testing::RequestBytes(options));
    BuildReply(StaticProfileSource(testing::ClientProfile(profileKeys)), message);
    return message;
}

Bytes Area(Bytes options, std::size_t size = 64) {
    options.insert(options.begin(), {99, 130, 83, 99});
    options.resize(size, 0);
    return options;
}

// A known client's profile op and type win even when they do not answer the request.
TEST(ReplyBuilder, OnlyANonBlankBootFileOrBfMakesTheClientKnownAndItsProfileWins) {
    EXPECT_EQ(Reply("BootFile=   \nSubnetMask=255.0.0.0\n", DhcpOptions(1)),
              DecodeMessage(testing::RequestBytes(DhcpOptions(1))));
    BootpMessage reply = Reply("bf=boot.img\n", DhcpOptions(1));
    EXPECT_EQ(std::tie(reply.op, reply.file), std::tuple(2, "boot.img"));
    reply = Reply("BootFile=f\nMessageType=BOOTREQUEST\nDHCPMessageType=DHCPACK\n", DhcpOptions(1));
    EXPECT_EQ(std::tie(reply.op, reply.options), std::tuple(1, Area({53, 1, 5, 255})));
}

// The request's options never reach the reply (option 50 here); only its type decides the one
// inserted when the profile names none: INFORM, REQUEST get ACK; BOOTP, release, decline and
// other servers' answers none. The request cycle's golden replies cover DISCOVER and REQUEST.
TEST(ReplyBuilder, ReplyCarriesTheAnsweringTypeOrNone) {
    const std::pair<Bytes, std::uint8_t> rows[] = {
        {DhcpOptions(8), 5}, {{99, 130, 83, 99, 53, 1, 3, 50, 4, 10, 0, 0, 9, 255}, 5}, {{}, 0},
        {DhcpOptions(2), 0}, {DhcpOptions(4), 0}, {DhcpOptions(7), 0}, {DhcpOptions(200), 0}};
    for (const auto& [request, answer] : rows)  // no type, no profile options: an all-zero area
        EXPECT_EQ(Reply("BootFile=f\n", request).options,
                  answer ? Area({53, 1, answer, 255}) : Bytes(64))
            << ::testing::PrintToString(request);
}

// Option 52 of 2 or 3 says sname held options: they are no server name, and the reply's area
// no longer says where they came from.
TEST(ReplyBuilder, AnSnameHoldingTheRequestsOptionsDoesNotReachTheReply) {
    for (const std::uint8_t overload : {1, 2, 3}) {
        auto bytes = testing::RequestBytes({99, 130, 83, 99, 52, 1, overload, 255});
        bytes[44] = 15, bytes[45] = 1, bytes[46] = 'x', bytes[47] = 255;
        BootpMessage reply = DecodeMessage(bytes);
        BuildReply(StaticProfileSource(testing::ClientProfile("BootFile=f\n")), reply);
        EXPECT_EQ(reply.sname.empty(), overload != 1) << int{overload};
    }
}

// The type goes in ahead of the profile's options, moving them up by three bytes, only when
// three bytes lie free behind the END: {host name length, MessageSize, area size, inserted}.
TEST(ReplyBuilder, TypeIsInsertedOnlyWhenThreeBytesFollowTheEnd) {
    using Row = std::tuple<std::size_t, std::string, std::size_t, bool>;
    for (const auto& [length, messageSize, areaSize, inserted] :
         {Row{54, "", 64, true}, Row{55, "", 64, false}, Row{55, "576", 340, true}}) {
        const std::string name(length, 'h');
        Bytes options(length + 3, 'h');
        options[0] = 12, options[1] = static_cast<std::uint8_t>(length), options.back() = 255;
        if (inserted) options.insert(options.begin(), {53, 1, 5});
        const std::string keys = "BootFile=f\nHostName=" + name + "\nMessageSize=" + messageSize;
        EXPECT_EQ(Reply(keys + "\n", DhcpOptions(3)).options, Area(options, areaSize)) << length;
    }
}

// A server reads each profile once per state of the file: an edit still counts from the next
// request, and a flood of clients no file names neither grows the cache nor spoils it.
TEST(ReplyBuilder, ServerFollowsEditsAndStaysRightPastItsCacheBound) {
    StaticProfileSource profiles(testing::ClientProfile("BootFile=old\n"));
    ReplyBuilder builder;
    const auto reply = [&](const std::string& chaddr) {
        BootpMessage message = DecodeMessage(testing::RequestBytes(DhcpOptions(1)));
        if (!chaddr.empty()) message.chaddr = chaddr;
        builder.Build(profiles, message);
        return message.file;
    };
    EXPECT_EQ(reply(""), "old");
    profiles.SetText(testing::ClientProfile("BootFile=new\n"));
    EXPECT_EQ(reply(""), "new");
    for (std::size_t i = 0; i <= ProfileOverlayCache::kMaxEntries; ++i) {
        ASSERT_EQ(reply("02-00-00-00-" + std::to_string(i)), "") << i;
    }
    EXPECT_EQ(reply(""), "new");
}

}  // namespace
}  // namespace tarnleaf
