#include "Ipv4Address.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnleaf {
namespace {

TEST(Ipv4Address, ParsesOnlyStrictDottedDecimal) {
    // Parsed texts are shown back in their plain form; "" marks a rejected text.
    const std::pair<std::string, std::string> cases[] = {
        {"192.168.0.1", "192.168.0.1"}, {"0.0.0.0", "0.0.0.0"},
        {"255.255.255.255", "255.255.255.255"}, {"010.001.000.255", "10.1.0.255"},
        {"", ""}, {"10.0.0", ""}, {"1.2.3.4.5", ""}, {"1.2.3.4.", ""}, {"1..3.4", ""},
        {"1.2.3.256", ""}, {"1.2.3.0255", ""}, {" 1.2.3.4", ""}, {"1.2.3.4 ", ""},
        {"+1.2.3.4", ""}, {"1.2.3.-4", ""}, {"0x1.2.3.4", ""}, {"localhost", ""},
        {std::string(1000, '1'), ""}};
    for (const auto& [text, shown] : cases) {
        const auto parsed = Ipv4Address::Parse(text);
        EXPECT_EQ(parsed ? parsed->ToString() : "", shown) << text.substr(0, 20);
    }
}

TEST(Ipv4Address, ParseReadsWhatToStringWrites) {
    for (int i = 0; i < 256; ++i) {
        const auto b = static_cast<std::uint8_t>(i);
        const Ipv4Address address{{b, static_cast<std::uint8_t>(255 - i), 0, b}};
        EXPECT_EQ(Ipv4Address::Parse(address.ToString()), address);
    }
}

TEST(Ipv4Address, OnlyTheZeroAddressIsAnyAndBroadcastIsAllOnes) {
    EXPECT_TRUE(Ipv4Address::Any().IsAny());
    EXPECT_FALSE((Ipv4Address{{0, 0, 0, 1}}).IsAny());
    EXPECT_EQ(Ipv4Address::Broadcast().ToString(), "255.255.255.255");
}

}  // namespace
}  // namespace tarnleaf
