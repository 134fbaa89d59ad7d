// Whole replies, byte for byte: golden request images through the request cycle.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "server/RequestCycle.h"
#include "support/FakeClock.h"
#include "support/FakeProfileSource.h"
#include "support/FakeUdpEndpoint.h"
#include "support/GoldenMessages.h"

namespace tarnleaf {
namespace {

using testing::FakeClock;
using testing::FakeProfileSource;
using testing::FakeUdpEndpoint;

template <std::size_t N>
void Patch(std::vector<std::uint8_t>& image, std::size_t offset,
           const std::array<std::uint8_t, N>& bytes) {
    std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
}

class GoldenReplyTest : public ::testing::Test {
protected:
    GoldenReplyTest() : cycle(endpoint, profiles, log, clock) {
        endpoint.SetLocalHostName("srv");
        profiles.Set("00-A0-C9-12-34-56", "BootFile", "pxelinux.0")
            .Set("00-A0-C9-12-34-56", "HostIP", "192.168.0.20")
            .Set("00-A0-C9-12-34-56", "SubnetMask", "255.255.255.0")
            .Set("00-A0-C9-12-34-56", "Gateway", "192.168.0.254");
    }

    std::vector<std::uint8_t> ReplyTo(std::vector<std::uint8_t> request) {
        endpoint.QueueDatagram(std::move(request), Ipv4Address{{192, 168, 0, 1}}, 2);
        EXPECT_TRUE(cycle.HandleOneDatagram());
        EXPECT_EQ(endpoint.Sent().size(), 1u);
        return endpoint.Sent().empty() ? std::vector<std::uint8_t>{} : endpoint.Sent()[0].bytes;
    }

    // The reply header every known-client reply below shares: the request's header with
    // op 2, yiaddr, siaddr, sname and file filled in.
    static std::vector<std::uint8_t> ExpectedHeader(const std::vector<std::uint8_t>& request) {
        std::vector<std::uint8_t> reply(request.begin(), request.begin() + 236);
        reply[0] = 2;                                              // op BOOTREPLY
        Patch<4>(reply, 16, {192, 168, 0, 20});                    // yiaddr from HostIP
        Patch<4>(reply, 20, {192, 168, 0, 1});                     // siaddr: arriving interface
        Patch<3>(reply, golden::kOffsetSname, {'s', 'r', 'v'});    // sname: host name
        Patch<10>(reply, golden::kOffsetFile,                      // file from BootFile
                  {'p', 'x', 'e', 'l', 'i', 'n', 'u', 'x', '.', '0'});
        return reply;
    }

    FakeUdpEndpoint endpoint;
    FakeProfileSource profiles;
    LogModel log;
    FakeClock clock;
    RequestCycle cycle;
};

TEST_F(GoldenReplyTest, DiscoverIsAnsweredWithOfferAndProfileOptions) {
    const auto request = golden::Bytes(golden::kDiscoverImage);
    std::vector<std::uint8_t> expected = ExpectedHeader(request);
    const std::vector<std::uint8_t> options = {
        99, 130, 83, 99,         // magic cookie
        53, 1, 2,                // DHCPOFFER, inserted
        1, 4, 255, 255, 255, 0,  // subnet mask
        3, 4, 192, 168, 0, 254,  // router
        255,                     // END
    };
    expected.insert(expected.end(), options.begin(), options.end());
    expected.resize(300, 0);
    EXPECT_EQ(ReplyTo(request), expected);
}

TEST_F(GoldenReplyTest, RequestIsAnsweredWithAckInTheDefaultSizeArea) {
    const auto request = golden::Bytes(golden::kRequestImage);
    std::vector<std::uint8_t> expected = ExpectedHeader(request);
    const std::vector<std::uint8_t> options = {
        99, 130, 83, 99,         // magic cookie
        53, 1, 5,                // DHCPACK, inserted
        1, 4, 255, 255, 255, 0,  // subnet mask
        3, 4, 192, 168, 0, 254,  // router
        255,                     // END
    };
    expected.insert(expected.end(), options.begin(), options.end());
    expected.resize(300, 0);  // the profile's size, not the request's 548
    EXPECT_EQ(ReplyTo(request), expected);
}

TEST_F(GoldenReplyTest, RelayedBootpRequestIsAnsweredToTheRelayWithoutMessageType) {
    profiles.Set("00-A0-C9-AB-CD-EF", "BootFile", "vmunix")
        .Set("00-A0-C9-AB-CD-EF", "SubnetMask", "255.255.0.0");
    const auto request = golden::Bytes(golden::kBootpRequestImage);
    std::vector<std::uint8_t> expected(request.begin(), request.begin() + 236);
    expected[0] = 2;                                            // op BOOTREPLY
    Patch<4>(expected, 20, {192, 168, 0, 1});                   // siaddr: arriving interface
    Patch<3>(expected, golden::kOffsetSname, {'s', 'r', 'v'});  // sname: host name
    const std::vector<std::uint8_t> options = {
        99, 130, 83, 99,       // magic cookie
        1, 4, 255, 255, 0, 0,  // subnet mask; no type for a BOOTP request
        255,                   // END
    };
    expected.insert(expected.end(), options.begin(), options.end());
    expected.resize(300, 0);
    EXPECT_EQ(ReplyTo(request), expected);
    EXPECT_EQ(endpoint.Sent()[0].destination, (Ipv4Address{{10, 0, 0, 1}}));  // giaddr
    EXPECT_EQ(endpoint.Sent()[0].port, 67);
}

}  // namespace
}  // namespace tarnleaf
