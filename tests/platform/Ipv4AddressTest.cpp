#include "platform/Ipv4Address.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnleaf {
namespace {

struct ParseCase {
    const char* name;
    std::string text;
    std::optional<std::array<std::uint8_t, 4>> octets;
};

class Ipv4AddressParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(Ipv4AddressParse, AcceptsOnlyStrictDottedDecimal) {
    const auto parsed = Ipv4Address::Parse(GetParam().text);
    ASSERT_EQ(parsed.has_value(), GetParam().octets.has_value());
    if (parsed) {
        EXPECT_EQ(parsed->octets, *GetParam().octets);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Ipv4AddressParse,
    ::testing::Values(
        ParseCase{"Plain", "192.168.0.1", std::array<std::uint8_t, 4>{192, 168, 0, 1}},
        ParseCase{"Zero", "0.0.0.0", std::array<std::uint8_t, 4>{0, 0, 0, 0}},
        ParseCase{"Broadcast", "255.255.255.255", std::array<std::uint8_t, 4>{255, 255, 255, 255}},
        ParseCase{"LeadingZerosAreDecimal", "010.001.000.255",
                  std::array<std::uint8_t, 4>{10, 1, 0, 255}},
        ParseCase{"Empty", "", std::nullopt}, ParseCase{"ThreeNumbers", "10.0.0", std::nullopt},
        ParseCase{"FiveNumbers", "1.2.3.4.5", std::nullopt},
        ParseCase{"TrailingDot", "1.2.3.4.", std::nullopt},
        ParseCase{"EmptyPiece", "1..3.4", std::nullopt},
        ParseCase{"Above255", "1.2.3.256", std::nullopt},
        ParseCase{"FourDigits", "1.2.3.0255", std::nullopt},
        ParseCase{"Spaces", " 1.2.3.4", std::nullopt},
        ParseCase{"TrailingSpace", "1.2.3.4 ", std::nullopt},
        ParseCase{"Sign", "+1.2.3.4", std::nullopt},
        ParseCase{"Negative", "1.2.3.-4", std::nullopt},
        ParseCase{"Hex", "0x1.2.3.4", std::nullopt},
        ParseCase{"Letters", "localhost", std::nullopt},
        ParseCase{"Overlong", std::string(1000, '1'), std::nullopt}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Ipv4AddressText, ToStringIsDottedDecimalWithoutLeadingZeros) {
    EXPECT_EQ((Ipv4Address{{10, 0, 7, 99}}).ToString(), "10.0.7.99");
    EXPECT_EQ(Ipv4Address::Broadcast().ToString(), "255.255.255.255");
    EXPECT_EQ(Ipv4Address::Any().ToString(), "0.0.0.0");
}

TEST(Ipv4AddressText, ParseReadsWhatToStringWrites) {
    for (int i = 0; i < 256; ++i) {
        const auto b = static_cast<std::uint8_t>(i);
        const Ipv4Address address{{b, static_cast<std::uint8_t>(255 - i), 0, b}};
        EXPECT_EQ(Ipv4Address::Parse(address.ToString()), address);
    }
}

TEST(Ipv4AddressText, OnlyTheZeroAddressIsAny) {
    EXPECT_TRUE(Ipv4Address::Any().IsAny());
    EXPECT_FALSE((Ipv4Address{{0, 0, 0, 1}}).IsAny());
}

}  // namespace
}  // namespace tarnleaf
