#include <gtest/gtest.h>

#include <algorithm>

#include "config/ConfigFile.h"
#include "config/ProfileLoader.h"

namespace tarnleaf {
namespace {

// The example configuration shipped with the program gives what its comments promise.
class ExampleConfig : public ::testing::Test {
protected:
    const ConfigFile file{TARNLEAF_EXAMPLE_INI};
};

TEST_F(ExampleConfig, NetbootClientGetsItsAddressAndBootFile) {
    BootpMessage request;
    request.op = 2;
    request.chaddr = "00-A0-C9-12-34-56";
    LoadProfile(file, request.chaddr, request);
    EXPECT_EQ(request.file, "pxelinux.0");
    EXPECT_EQ(request.yiaddr, "192.168.0.50");
    ASSERT_EQ(request.options.size(), 340u);
    EXPECT_EQ(std::vector<std::uint8_t>(request.options.begin(), request.options.begin() + 10),
              (std::vector<std::uint8_t>{99, 130, 83, 99, 1, 4, 255, 255, 255, 0}));
}

TEST_F(ExampleConfig, ThinClientIsFoundByItsUpperCaseAddress) {
    BootpMessage request;
    request.chaddr = "00-A0-C9-AB-CD-EF";
    LoadProfile(file, request.chaddr, request);
    EXPECT_EQ(request.file, "/tftpboot/thin/kernel.img");
    EXPECT_EQ(request.sname, "bootserver");
    // The free option 150 closes the area, just before the end mark and the zero fill.
    const auto& o = request.options;
    const std::vector<std::uint8_t> last{150, 4, 192, 168, 0, 10, 255, 0};
    EXPECT_NE(std::search(o.begin(), o.end(), last.begin(), last.end()), o.end());
}

TEST_F(ExampleConfig, TestMessageIsADiscoverToThisMachine) {
    EXPECT_EQ(file.GetIniString("TestMessage", "SendPort", ""), "BOOTPS");
    BootpMessage message;
    LoadProfile(file, "TestMessage", message);
    EXPECT_EQ(message.op, 1);
    EXPECT_EQ(message.siaddr, "127.0.0.1");
    ASSERT_GE(message.options.size(), 8u);
    EXPECT_EQ(std::vector<std::uint8_t>(message.options.begin() + 4, message.options.begin() + 7),
              (std::vector<std::uint8_t>{53, 1, 1}));
}

}  // namespace
}  // namespace tarnleaf
