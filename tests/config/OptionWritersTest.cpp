#include "config/OptionWriters.h"

#include <gtest/gtest.h>

#include "config/CaseName.h"

#include <string>
#include <vector>

namespace tarnleaf {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct WriterCase {
    const char* name;
    OptionKind kind;
    std::uint8_t code;
    std::string value;
    Bytes written;  // code, length and data; empty when nothing is written
};

class OptionWriter : public ::testing::TestWithParam<WriterCase> {};

TEST_P(OptionWriter, WritesTheOptionBytesAndMovesPastThem) {
    const auto& c = GetParam();
    Bytes area(400, 0);
    std::size_t position = 4;
    WriteOption(c.kind, c.code, c.value, area, position);

    EXPECT_EQ(position, 4 + c.written.size());
    Bytes expected(400, 0);
    std::copy(c.written.begin(), c.written.end(), expected.begin() + 4);
    EXPECT_EQ(area, expected);
}

Bytes Repeated(std::uint8_t code, std::uint8_t value, std::size_t count) {
    Bytes bytes{code, static_cast<std::uint8_t>(count)};
    bytes.insert(bytes.end(), count, value);
    return bytes;
}

std::string Joined(const std::string& item, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) text += (i ? "," : "") + item;
    return text;
}

Bytes IpRepeated(std::size_t count) {
    Bytes bytes{21, static_cast<std::uint8_t>(4 * count)};
    for (std::size_t i = 0; i < count; ++i) bytes.insert(bytes.end(), {1, 2, 3, 4});
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    IpList, OptionWriter,
    ::testing::Values(
        WriterCase{"OneAddress", OptionKind::IpList, 1, "255.255.255.0", {1, 4, 255, 255, 255, 0}},
        WriterCase{"SpacesAroundParts", OptionKind::IpList, 3, " 10 . 0 .0. 1 , 10.0.0.2",
                   {3, 8, 10, 0, 0, 1, 10, 0, 0, 2}},
        WriterCase{"TrailingCommaGivesAZeroAddress", OptionKind::IpList, 6, "1.2.3.4,",
                   {6, 8, 1, 2, 3, 4, 0, 0, 0, 0}},
        WriterCase{"PiecesAreLeadingNumbers", OptionKind::IpList, 1, "&H0A.1e1.2x.y",
                   {1, 4, 10, 10, 2, 0}},
        WriterCase{"SixtyThreeAddressesFit", OptionKind::IpList, 21, Joined("1.2.3.4", 63),
                   IpRepeated(63)},
        WriterCase{"SixtyFourAddressesAreSkipped", OptionKind::IpList, 21, Joined("1.2.3.4", 64),
                   {}},
        WriterCase{"PieceAboveAByteSkipsTheOption", OptionKind::IpList, 1, "10.0.0.256", {}},
        WriterCase{"DotsAlwaysSeparatePieces", OptionKind::IpList, 1,
                   "10.0.0.255.5", {1, 4, 10, 0, 0, 255}},
        WriterCase{"NegativePieceSkipsTheOption", OptionKind::IpList, 1, "10.-1.0.0", {}},
        // Plain addresses and the forms just beside them read alike, however they are read.
        WriterCase{"LeadingZerosAreDecimal", OptionKind::IpList, 1, "010.001.000.099",
                   {1, 4, 10, 1, 0, 99}},
        WriterCase{"FourDigitPieceIsStillANumber", OptionKind::IpList, 1, "0010.0.0.1",
                   {1, 4, 10, 0, 0, 1}},
        WriterCase{"SpacesAroundAPlainAddress", OptionKind::IpList, 1, "  192.168.0.1  ",
                   {1, 4, 192, 168, 0, 1}},
        WriterCase{"MissingPiecesAreZero", OptionKind::IpList, 1, "1.2.3", {1, 4, 1, 2, 3, 0}},
        WriterCase{"EmptyPieceIsZero", OptionKind::IpList, 1, "1..3.4", {1, 4, 1, 0, 3, 4}},
        WriterCase{"AllOnesFits", OptionKind::IpList, 1, "255.255.255.255",
                   {1, 4, 255, 255, 255, 255}},
        WriterCase{"PieceOf999SkipsTheOption", OptionKind::IpList, 1, "1.2.3.999", {}},
        WriterCase{"TabBeforeAPieceIsSkipped", OptionKind::IpList, 1, "\t1.2.3.4",
                   {1, 4, 1, 2, 3, 4}}),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    Long, OptionWriter,
    ::testing::Values(
        WriterCase{"NegativeIsTwosComplement", OptionKind::Long, 2, "-18000",
                   {2, 4, 255, 255, 185, 176}},
        WriterCase{"SmallestValue", OptionKind::Long, 51, "-2147483648", {51, 4, 128, 0, 0, 0}},
        WriterCase{"FractionRoundsHalfToEven", OptionKind::Long, 51, "2.5", {51, 4, 0, 0, 0, 2}},
        WriterCase{"HexIsUnsignedThirtyTwoBits", OptionKind::Long, 51, "&HFFFFFFFF",
                   {51, 4, 255, 255, 255, 255}},
        WriterCase{"DecimalBeyondSignedRangeIsSkipped", OptionKind::Long, 51, "2147483648", {}},
        WriterCase{"HexBeyondThirtyTwoBitsIsSkipped", OptionKind::Long, 51, "&H100000000", {}},
        WriterCase{"TextIsSkipped", OptionKind::Long, 51, "3600s", {}}),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    Short, OptionWriter,
    ::testing::Values(
        WriterCase{"Mtu", OptionKind::Short, 26, "1500", {26, 2, 5, 220}},
        WriterCase{"AboveSixteenBitsKeepsTheLowBits", OptionKind::Short, 22, "70000",
                   {22, 2, 17, 112}},
        WriterCase{"NegativeIsSkipped", OptionKind::Short, 13, "-1", {}},
        WriterCase{"TextIsSkipped", OptionKind::Short, 13, "big", {}}),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    Flag, OptionWriter,
    ::testing::Values(WriterCase{"Yes", OptionKind::Flag, 19, "YES", {19, 1, 1}},
                      WriterCase{"OneIsOff", OptionKind::Flag, 19, "1", {19, 1, 0}},
                      WriterCase{"Off", OptionKind::Flag, 19, "off", {19, 1, 0}}),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    Text, OptionWriter,
    ::testing::Values(
        WriterCase{"CutToEightyBytes", OptionKind::Text, 17, std::string(100, 'r'),
                   Repeated(17, 'r', 80)},
        WriterCase{"EightBitBytesPassUnchanged", OptionKind::Text, 15, "\xE9t\xE9",
                   {15, 3, 0xE9, 't', 0xE9}}),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    ByteList, OptionWriter,
    ::testing::Values(
        WriterCase{"Values", OptionKind::ByteList, 55, "1, 3, 6, 15", {55, 4, 1, 3, 6, 15}},
        WriterCase{"TwoFiftyFiveValuesFit", OptionKind::ByteList, 43, Joined("7", 255),
                   Repeated(43, 7, 255)},
        WriterCase{"TwoFiftySixValuesAreSkipped", OptionKind::ByteList, 43, Joined("7", 256), {}},
        WriterCase{"ValueAboveAByteIsSkipped", OptionKind::ByteList, 23, "256", {}},
        WriterCase{"RoundingAboveAByteIsSkipped", OptionKind::ByteList, 23, "255.5", {}},
        WriterCase{"EmptyItemIsSkipped", OptionKind::ByteList, 55, "1,,3", {}},
        WriterCase{"TextItemIsSkipped", OptionKind::ByteList, 55, "1,x", {}}),
    CaseName());

TEST(WriteMagicCookie, WritesTheCookieIntoAreasOfFourBytesOrMore) {
    Bytes area(64, 0);
    WriteMagicCookie(area);
    EXPECT_EQ(Bytes(area.begin(), area.begin() + 5), (Bytes{99, 130, 83, 99, 0}));
    Bytes exact(4, 0);
    WriteMagicCookie(exact);
    EXPECT_EQ(exact, (Bytes{99, 130, 83, 99}));
    Bytes shorter(3, 7);
    WriteMagicCookie(shorter);
    EXPECT_EQ(shorter, (Bytes{7, 7, 7}));
}

// The fit rule in a 64-byte area: an option's last byte may sit at index 62, leaving 63
// for the end mark.
class FitRule : public ::testing::Test {
protected:
    Bytes area = Bytes(64, 0);
    std::size_t position = 4;
};

TEST_F(FitRule, OptionEndingAtIndex62IsWritten) {
    // 4 + 2 + 57 = 63: its last byte at 62.
    WriteTextOption(12, std::string(57, 'a'), area, position);
    EXPECT_EQ(position, 63u);
    EXPECT_EQ(area[62], 'a');
    EXPECT_EQ(area[63], 0);
}

TEST_F(FitRule, OptionReachingIndex63IsLeftOut) {
    WriteTextOption(12, std::string(58, 'a'), area, position);
    EXPECT_EQ(position, 4u);
    EXPECT_EQ(area, Bytes(64, 0));
}

TEST_F(FitRule, ShorterLaterOptionUsesTheRoomALargerOneDidNotFit) {
    WriteTextOption(12, std::string(52, 'a'), area, position);  // indexes 4..57
    WriteLongOption(2, "1", area, position);                     // would end at 63: left out
    WriteFlagOption(19, "yes", area, position);                  // indexes 58..60
    EXPECT_EQ(position, 61u);
    EXPECT_EQ(Bytes(area.begin() + 56, area.end()), (Bytes{'a', 'a', 19, 1, 1, 0, 0, 0}));
}

TEST(FitRuleEdges, DegenerateAreasAndPositionsNeverWriteOutOfBounds) {
    for (std::size_t size : {0u, 1u, 2u, 3u, 4u, 5u, 6u}) {
        Bytes area(size, 0);
        std::size_t position = 4;
        WriteFlagOption(19, "yes", area, position);
        WriteTextOption(12, "x", area, position);
        EXPECT_EQ(position, 4u) << size;
        EXPECT_EQ(area, Bytes(size, 0));
    }
    Bytes area(64, 0);
    std::size_t position = 1000;
    WriteByteListOption(55, "1", area, position);
    EXPECT_EQ(position, 1000u);
}

}  // namespace
}  // namespace tarnleaf
