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
const Ipv4Address kLocal{{10, 77, 0, 1}};

TEST(MinimalRequest, IsThreeHundredBytesWithOnlyTheTypeOption) {
    for (const auto& [type, options] :
         {std::pair{PreviewType::Discover, std::vector<int>{99, 130, 83, 99, 53, 1, 1, 255}},
          std::pair{PreviewType::Request, std::vector<int>{99, 130, 83, 99, 53, 1, 3, 255}},
          std::pair{PreviewType::Inform, std::vector<int>{99, 130, 83, 99, 53, 1, 8, 255}},
          std::pair{PreviewType::Bootp, std::vector<int>{99, 130, 83, 99, 255}}}) {
        std::vector<std::uint8_t> expected(300, 0);
        expected[0] = expected[1] = 1;
        expected[2] = 6;
        std::copy(kMac.begin(), kMac.end(), expected.begin() + 28);
        std::copy(options.begin(), options.end(), expected.begin() + 236);
        EXPECT_EQ(MinimalRequest(kMac, type), expected) << options.size();
    }
}

// The preview against the log of a cycle that really sends: the reply's dump, or the error.
class ReplyPreviewTest : public ::testing::TestWithParam<const char*> {};

TEST_P(ReplyPreviewTest, ShowsWhatTheLogShowsForTheSentReply) {
    const std::string ini = GetParam();
    StaticProfileSource profiles(ini);
    const auto request = MinimalRequest(kMac, PreviewType::Discover);
    const ReplyPreview preview = PreviewReply(profiles, request, kLocal, "bench-host");

    testing::FakeUdpEndpoint endpoint;
    endpoint.SetLocalHostName("bench-host");
    endpoint.QueueDatagram(request, kLocal);
    testing::FakeClock clock;
    LogModel log;
    RequestCycle cycle(endpoint, profiles, log, clock);
    ASSERT_TRUE(cycle.HandleOneDatagram());

    const std::string text(log.Text());
    if (endpoint.Sent().empty()) {
        EXPECT_FALSE(preview.sent);
        // The entry without the empty line that closes it.
        EXPECT_EQ(text.substr(text.find("Message Encode Error!")), preview.text + "\r\n");
    } else {
        // The reply's entry is the last; its dump follows the "size [" line.
        const std::size_t size = text.rfind("size [");
        EXPECT_TRUE(preview.sent);
        EXPECT_EQ(text.substr(text.find("\r\n", size) + 2), preview.text);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, ReplyPreviewTest,
    ::testing::Values("[00-A0-C9-12-34-56]\nbf=boot.0\nip=10.77.0.50\nsm=255.255.255.0\n",
                      "",  // an unknown client: its own request comes back
                      "[00-A0-C9-12-34-56]\nbf=boot.0\nip=10.77.0.300\n"));

}  // namespace
}  // namespace tarnleaf
