#include "config/OptionWriters.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnleaf {
namespace {

using Bytes = std::vector<std::uint8_t>;
using K = OptionKind;

std::string Joined(const std::string& item, std::size_t count) {
    std::string text = item;
    for (std::size_t i = 1; i < count; ++i) text += "," + item;
    return text;
}

// Code, length and `count` copies of `item`.
Bytes Repeated(std::uint8_t code, const Bytes& item, std::size_t count) {
    Bytes bytes{code, static_cast<std::uint8_t>(item.size() * count)};
    for (std::size_t i = 0; i < count; ++i) bytes.insert(bytes.end(), item.begin(), item.end());
    return bytes;
}

struct WriterCase {
    const char* name;
    OptionKind kind;
    std::string value;
    Bytes written;  // code, length and data; empty when nothing is written
};

// Every case writes option 7 into a roomy area.
const WriterCase kWriterCases[] = {
    {"IpSpacedParts", K::IpList, " 10 . 0 .0. 1 , 10.0.0.2", {7, 8, 10, 0, 0, 1, 10, 0, 0, 2}},
    {"IpTrailingCommaGivesAZeroAddress", K::IpList, "1.2.3.4,", {7, 8, 1, 2, 3, 4, 0, 0, 0, 0}},
    {"IpPiecesAreLeadingNumbers", K::IpList, "&H0A.1e1.2x.y", {7, 4, 10, 10, 2, 0}},
    {"IpPiecesBeyondTheFourthAreIgnored", K::IpList, "10.0.0.255.5", {7, 4, 10, 0, 0, 255}},
    {"IpMissingPiecesAreZero", K::IpList, "1.2.3", {7, 4, 1, 2, 3, 0}},
    {"IpEmptyPieceIsZero", K::IpList, "1..3.4", {7, 4, 1, 0, 3, 4}},
    {"IpLeadingZerosAreDecimal", K::IpList, "010.001.000.099", {7, 4, 10, 1, 0, 99}},
    {"IpFourDigitPieceIsStillANumber", K::IpList, "0010.0.0.1", {7, 4, 10, 0, 0, 1}},
    {"IpSpacesAroundAPlainAddress", K::IpList, "  192.168.0.1  ", {7, 4, 192, 168, 0, 1}},
    {"IpTabBeforeAPieceIsSkipped", K::IpList, "\t1.2.3.4", {7, 4, 1, 2, 3, 4}},
    {"IpSixtyThreeAddressesFit", K::IpList, Joined("1.2.3.4", 63), Repeated(7, {1, 2, 3, 4}, 63)},
    {"IpSixtyFourAddressesAreSkipped", K::IpList, Joined("1.2.3.4", 64), {}},
    {"IpPieceAboveAByteSkipsTheOption", K::IpList, "1.2.3.4,10.0.0.256", {}},
    {"IpNegativePieceSkipsTheOption", K::IpList, "10.-1.0.0", {}},
    {"LongSmallestValue", K::Long, "-2147483648", {7, 4, 128, 0, 0, 0}},
    {"LongFractionRoundsHalfToEven", K::Long, "2.5", {7, 4, 0, 0, 0, 2}},
    {"LongHexIsUnsignedThirtyTwoBits", K::Long, "&HFFFFFFFF", {7, 4, 255, 255, 255, 255}},
    {"LongDecimalBeyondSignedRangeIsSkipped", K::Long, "2147483648", {}},
    {"LongHexBeyondThirtyTwoBitsIsSkipped", K::Long, "&H100000000", {}},
    {"LongTextIsSkipped", K::Long, "3600s", {}},
    {"ShortAboveSixteenBitsKeepsTheLowBits", K::Short, "70000", {7, 2, 17, 112}},
    {"ShortNegativeIsSkipped", K::Short, "-1", {}},
    {"ShortTextIsSkipped", K::Short, "big", {}},
    {"FlagTrue", K::Flag, "true", {7, 1, 1}},
    {"FlagOn", K::Flag, "On", {7, 1, 1}},
    {"FlagOneIsOff", K::Flag, "1", {7, 1, 0}},
    {"TextCutToEightyBytes", K::Text, std::string(100, 'r'), Repeated(7, {'r'}, 80)},
    {"TextEightBitBytesPassUnchanged", K::Text, "\xE9t\xE9", {7, 3, 0xE9, 't', 0xE9}},
    {"ByteTwoFiftyFiveValuesFit", K::ByteList, Joined("7", 255), Repeated(7, {7}, 255)},
    {"ByteTwoFiftySixValuesAreSkipped", K::ByteList, Joined("7", 256), {}},
    {"ByteValueAboveAByteIsSkipped", K::ByteList, "256", {}},
    {"ByteRoundingAboveAByteIsSkipped", K::ByteList, "255.5", {}},
    {"ByteEmptyItemIsSkipped", K::ByteList, "1,,3", {}},
    {"ByteTextItemIsSkipped", K::ByteList, "1,x", {}},
};

TEST(OptionWriter, WritesTheOptionBytesAndMovesPastThemOrWritesNothing) {
    for (const WriterCase& c : kWriterCases) {
        SCOPED_TRACE(c.name);
        Bytes area(400, 0);
        std::size_t position = 4;
        WriteOption(c.kind, 7, c.value, area, position);
        EXPECT_EQ(position, 4 + c.written.size());
        Bytes expected(400, 0);
        std::copy(c.written.begin(), c.written.end(), expected.begin() + 4);
        EXPECT_EQ(area, expected);
    }
}

TEST(WriteMagicCookie, FillsTheFirstFourBytesOfAnAreaLargeEnough) {
    Bytes exact(4, 0), shorter(3, 7);
    WriteMagicCookie(exact);
    WriteMagicCookie(shorter);
    EXPECT_EQ(exact, (Bytes{99, 130, 83, 99}));
    EXPECT_EQ(shorter, (Bytes{7, 7, 7}));
}

// In a 64-byte area an option's last byte may sit at index 62, leaving 63 for the end mark.
TEST(FitRule, OptionEndingAtIndex62IsWrittenOneByteLongerIsLeftOut) {
    Bytes area(64, 0);
    std::size_t position = 4;
    WriteTextOption(12, std::string(58, 'a'), area, position);
    EXPECT_EQ(position, 4u);
    EXPECT_EQ(area, Bytes(64, 0));
    WriteTextOption(12, std::string(57, 'a'), area, position);
    EXPECT_EQ(position, 63u);
    EXPECT_EQ(area[62], 'a');
    EXPECT_EQ(area[63], 0);
}

TEST(FitRule, DegenerateAreasAndPositionsNeverWriteOutOfBounds) {
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
