#include "ReplyPreview.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LogModel.h"
#include "RequestCycle.h"
#include "StaticProfileSource.h"
#include "support/FakeClock.h"
#include "support/FakeUdpEndpoint.h"

namespace tarnleaf {
namespace {

constexpr MacAddress kMac{0x00, 0xA0, 0xC9, 0x12, 0x34, 0x56};

TEST(MinimalRequest, IsThreeHundredBytesWithOnlyTheTypeOption) {
    using enum PreviewType;
    for (const auto& [type, code] : {std::pair{Discover, 1}, std::pair{Request, 3},
                                     std::pair{Inform, 8}, std::pair{Bootp, 0}}) {
        std::vector<std::uint8_t> expected{1, 1, 6};
        expected.resize(300);
        std::copy(kMac.begin(), kMac.end(), expected.begin() + 28);
        std::ranges::copy(code ? std::vector{99, 130, 83, 99, 53, 1, code, 255}
                               : std::vector{99, 130, 83, 99, 255}, expected.begin() + 236);
        EXPECT_EQ(MinimalRequest(kMac, type), expected) << code;
    }
}

// Against the log of a cycle that really sends: the reply's dump, or the error entry.
TEST(ReplyPreview, ShowsWhatTheLogShowsForTheSentReply) {
    for (const char* ini : {"[00-A0-C9-12-34-56]\nbf=boot.0\nip=10.77.0.50\nsm=255.255.255.0\n",
                            "[00-A0-C9-12-34-56]\nbf=boot.0\nip=10.77.0.300\n"}) {
        StaticProfileSource profiles(ini);
        const auto request = MinimalRequest(kMac, PreviewType::Discover);
        const auto preview = PreviewReply(profiles, request, {{192, 168, 0, 1}}, "tarnleaf-host");
        testing::FakeUdpEndpoint endpoint;  // arrival 192.168.0.1, host tarnleaf-host
        endpoint.QueueDatagram(request);
        testing::FakeClock clock;
        LogModel log;
        ASSERT_TRUE(RequestCycle(endpoint, profiles, log, clock).HandleOneDatagram());
        const std::string text(log.Text());
        ASSERT_EQ(preview.sent, !endpoint.Sent().empty()) << ini;
        const std::size_t at = preview.sent ? text.find("\r\n", text.rfind("size [")) + 2
                                            : text.find("Message Encode Error!");
        EXPECT_EQ(text.substr(at), preview.text + (preview.sent ? "" : "\r\n")) << ini;
    }
}

}  // namespace
}  // namespace tarnleaf
