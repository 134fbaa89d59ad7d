// Whole replies, byte for byte: golden request images through the request cycle.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <string>
#include <vector>

#include "config/StaticProfileSource.h"
#include "server/RequestCycle.h"
#include "support/FakeClock.h"
#include "support/FakeUdpEndpoint.h"
#include "support/GoldenMessages.h"

namespace tarnleaf {
namespace {

constexpr const char* kProfile =
    "BootFile=pxelinux.0\nHostIP=192.168.0.20\nSubnetMask=255.255.255.0\nGateway=192.168.0.254\n";

struct GoldenCase {
    std::string name;
    std::vector<std::uint8_t> request;
    std::uint8_t insertedType;  // 0: none
    Ipv4Address destination;
    std::uint16_t port;
};

class GoldenReplyTest : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenReplyTest, ReplyIsTheRequestHeaderWithTheProfileLaidOver) {
    const GoldenCase& c = GetParam();
    testing::FakeUdpEndpoint endpoint;
    endpoint.SetLocalHostName("srv");
    StaticProfileSource profiles("[00-A0-C9-12-34-56]\n" + std::string(kProfile) +
                                       "[00-A0-C9-AB-CD-EF]\n" + kProfile);
    LogModel log;
    testing::FakeClock clock;
    RequestCycle cycle(endpoint, profiles, log, clock);
    endpoint.QueueDatagram(c.request, Ipv4Address{{192, 168, 0, 1}}, 2);
    ASSERT_TRUE(cycle.HandleOneDatagram());
    ASSERT_EQ(endpoint.Sent().size(), 1u);

    std::vector<std::uint8_t> expected(c.request.begin(), c.request.begin() + 236);
    const auto patch = [&](std::size_t at, std::initializer_list<std::uint8_t> bytes) {
        std::copy(bytes.begin(), bytes.end(), expected.begin() + static_cast<std::ptrdiff_t>(at));
    };
    const auto text = [&](std::size_t at, std::string_view chars) {
        std::copy(chars.begin(), chars.end(), expected.begin() + static_cast<std::ptrdiff_t>(at));
    };
    expected[0] = 2;                               // op BOOTREPLY
    patch(16, {192, 168, 0, 20});                  // yiaddr from HostIP
    patch(20, {192, 168, 0, 1});                   // siaddr: the arriving interface
    text(golden::kOffsetSname, "srv");             // sname: the host name
    text(golden::kOffsetFile, "pxelinux.0");       // file from BootFile
    expected.insert(expected.end(), {99, 130, 83, 99});  // magic cookie
    if (c.insertedType != 0) {
        expected.insert(expected.end(), {53, 1, c.insertedType});
    }
    expected.insert(expected.end(), {1, 4, 255, 255, 255, 0,   // subnet mask
                                     3, 4, 192, 168, 0, 254,   // router
                                     255});                    // END
    expected.resize(300, 0);  // the profile's area size, whatever the request's
    EXPECT_EQ(endpoint.Sent()[0].bytes, expected);
    EXPECT_EQ(endpoint.Sent()[0].destination, c.destination);
    EXPECT_EQ(endpoint.Sent()[0].port, c.port);
}

INSTANTIATE_TEST_SUITE_P(
    Images, GoldenReplyTest,
    ::testing::Values(
        GoldenCase{"DiscoverGetsOffer", golden::Bytes(golden::kDiscoverImage), 2,
                   Ipv4Address::Broadcast(), 68},
        GoldenCase{"RequestOf548BytesGetsAck", golden::Bytes(golden::kRequestImage), 5,
                   Ipv4Address::Broadcast(), 68},
        GoldenCase{"RelayedBootpRequestGetsNoTypeAndGoesToTheRelay",
                   golden::Bytes(golden::kBootpRequestImage), 0, Ipv4Address{{10, 0, 0, 1}},
                   67}),
    [](const auto& row) { return row.param.name; });

}  // namespace
}  // namespace tarnleaf
