#include "OptionCatalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "OptionWriters.h"
#include "TextConversions.h"

namespace tarnleaf {
namespace {

using K = OptionKind;

TEST(OptionCatalogue, RowsRiseByCodeAndEachKeyNameIsUniqueAndDocumented) {
    std::stringstream example;
    example << std::ifstream(TARNLEAF_EXAMPLE_INI, std::ios::binary).rdbuf();
    // Header keys share the section with the option keys.
    std::vector<std::string_view> names{
        "MessageType", "HardwareType", "ht", "HardwareLength", "GatewayHops", "Hops",
        "SecondsElapsed", "Flags", "ClientIP", "HostIP", "ip", "ServerIP", "sa", "CrossGateway",
        "HardwareAddress", "ha", "ServerName", "sn", "BootFile", "bf", "MessageSize", "SendPort",
        "Custom1", "Custom10"};
    int previous = 0;  // options are written in row order
    for (const auto& row : kOptionCatalogue) {
        EXPECT_GT(row.code, std::exchange(previous, row.code)) << row.key;
        names.insert(names.end(), {row.key, row.alternative1, row.alternative2});
        EXPECT_TRUE(row.alternative2.empty() || !row.alternative1.empty()) << row.key;
    }
    std::set<std::string> folded;
    for (std::string_view name : names) {
        if (name.empty()) continue;
        EXPECT_TRUE(folded.insert(ToUpperAscii(name)).second) << name;
        EXPECT_NE(example.str().find(name), std::string::npos) << name;
    }
}

TEST(ParseCustomOption, SplitsCodeKindAndDataOrIgnoresTheKey) {
    constexpr auto kIgnored = K::Text;  // a kind no custom option can have
    const struct { const char *name, *value; int code; K kind; const char* data; } cases[] = {
        {"IpListKeepsTheCommasOfItsData", "128, IPLIST, 1.0.0.1, 1.0.0.2", 128, K::IpList,
         "1.0.0.1, 1.0.0.2"},
        {"IpWord", "150,ip,1.2.3.4", 150, K::IpList, "1.2.3.4"},
        {"IpSpaceListWord", "150,Ip List,1.2.3.4", 150, K::IpList, "1.2.3.4"},
        {"LongWordAndBlanks", "\t52 ,Long, 3", 52, K::Long, "3"},
        {"ShortWord", "13,short,9", 13, K::Short, "9"},
        {"ByteWord", "61,BYTE,1,2,3", 61, K::ByteList, "1,2,3"},
        {"ArrayWord", "61,array,&H01", 61, K::ByteList, "&H01"},
        {"CodeIsRounded", "127.5,BYTE,1", 128, K::ByteList, "1"},
        {"TextKindIsNotOffered", "200,TEXT,abc", 0, kIgnored, ""},
        {"TwoPartsAreIgnored", "200,LONG", 0, kIgnored, ""},
        {"PadCodeIsIgnored", ",BYTE,1", 0, kIgnored, ""},
        {"EndCodeIsIgnored", "255,BYTE,1", 0, kIgnored, ""},
        {"CodeRoundingToTheEndCodeIsIgnored", "254.6,BYTE,1", 0, kIgnored, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto parsed = ParseCustomOption(c.value);
        const auto got = parsed ? std::tuple(int{parsed->code}, parsed->kind, parsed->data)
                                : std::tuple(0, kIgnored, std::string_view(""));
        EXPECT_EQ(got, std::tuple(c.code, c.kind, std::string_view(c.data)));
    }
}

using Bytes = std::vector<std::uint8_t>;

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

// Every case writes option 7 into a roomy area: code, length and data, or nothing at all.
struct WriterCase { const char* name; K kind; std::string value; Bytes written; };
const WriterCase kWriterCases[] = {
    {"IpSpacedParts", K::IpList, " 10 . 0 .0. 1 , 10.0.0.2", {7, 8, 10, 0, 0, 1, 10, 0, 0, 2}},
    {"IpTrailingCommaGivesAZeroAddress", K::IpList, "1.2.3.4,", {7, 8, 1, 2, 3, 4, 0, 0, 0, 0}},
    {"IpPiecesAreLeadingNumbers", K::IpList, "&H0A.1e1.2x.y", {7, 4, 10, 10, 2, 0}},
    {"IpPiecesBeyondTheFourthAreIgnored", K::IpList, "10.0.0.255.5", {7, 4, 10, 0, 0, 255}},
    {"IpMissingPiecesAreZero", K::IpList, "1.2.3", {7, 4, 1, 2, 3, 0}},
    {"IpFourDigitPieceIsStillANumber", K::IpList, "0010.0.0.1", {7, 4, 10, 0, 0, 1}},
    {"IpSixtyThreeAddressesFit", K::IpList, Joined("1.2.3.4", 63), Repeated(7, {1, 2, 3, 4}, 63)},
    {"IpSixtyFourAddressesAreSkipped", K::IpList, Joined("1.2.3.4", 64), {}},
    {"IpPieceAboveAByteSkipsTheOption", K::IpList, "1.2.3.4,10.0.0.256", {}},
    {"LongSmallestValue", K::Long, "-2147483648", {7, 4, 128, 0, 0, 0}},
    {"LongHexIsUnsignedThirtyTwoBits", K::Long, "&HFFFFFFFF", {7, 4, 255, 255, 255, 255}},
    {"LongDecimalBeyondSignedRangeIsSkipped", K::Long, "2147483648", {}},
    {"LongHexBeyondThirtyTwoBitsIsSkipped", K::Long, "&H100000000", {}},
    {"ShortAboveSixteenBitsKeepsTheLowBits", K::Short, "70000", {7, 2, 17, 112}},
    {"ShortNegativeIsSkipped", K::Short, "-1", {}},
    {"FlagTrue", K::Flag, "true", {7, 1, 1}},
    {"FlagOneIsOff", K::Flag, "1", {7, 1, 0}},
    {"TextCutToEightyBytes", K::Text, std::string(100, 'r'), Repeated(7, {'r'}, 80)},
    {"ByteTwoFiftyFiveValuesFit", K::ByteList, Joined("7", 255), Repeated(7, {7}, 255)},
    {"ByteTwoFiftySixValuesAreSkipped", K::ByteList, Joined("7", 256), {}},
    {"ByteValueAboveAByteIsSkipped", K::ByteList, "256", {}},
    {"ByteEmptyItemIsSkipped", K::ByteList, "1,,3", {}},
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

// In a 64-byte area an option's last byte may sit at index 62, leaving 63 for the end mark.
TEST(FitRule, OptionEndingAtIndex62IsWrittenOneByteLongerIsLeftOut) {
    Bytes area(64, 0);
    std::size_t position = 4;
    WriteTextOption(12, std::string(58, 'a'), area, position);
    EXPECT_EQ(position, 4u);
    EXPECT_EQ(area, Bytes(64, 0));
    WriteTextOption(12, std::string(57, 'a'), area, position);
    EXPECT_EQ(std::tie(position, area[62], area[63]), std::tuple(63u, 'a', 0));
}

TEST(FitRule, DegenerateAreasAndPositionsNeverWriteOutOfBounds) {
    for (std::size_t size : {0u, 1u, 2u, 3u, 4u, 5u, 6u}) {
        Bytes area(size, 0), expected(size, 0);
        std::size_t position = 4;
        WriteMagicCookie(area);
        WriteFlagOption(19, "yes", area, position);
        WriteTextOption(12, "x", area, position);
        if (size >= 4) std::copy_n(Bytes{99, 130, 83, 99}.begin(), 4, expected.begin());
        EXPECT_EQ(position, 4u) << size;
        EXPECT_EQ(area, expected) << size;
    }
    Bytes area(64, 0);
    std::size_t position = 1000;
    WriteByteListOption(55, "1", area, position);
    EXPECT_EQ(position, 1000u);
}

}  // namespace
}  // namespace tarnleaf
