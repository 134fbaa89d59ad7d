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
using Bytes = std::vector<std::uint8_t>;

TEST(OptionCatalogue, RowsRiseByCodeAndEachKeyNameIsUniqueAndDocumented) {
    std::stringstream example;
    example << std::ifstream(TARNLEAF_EXAMPLE_INI, std::ios::binary).rdbuf();
    std::vector<std::string_view> names{"MessageType", "HardwareType", "ht", "HardwareLength",
        "GatewayHops", "Hops", "SecondsElapsed", "Flags", "ClientIP", "HostIP", "ip", "ServerIP",
        "sa", "CrossGateway", "HardwareAddress", "ha", "ServerName", "sn", "BootFile", "bf",
        "MessageSize", "SendPort", "Custom1", "Custom10"};
    int previous = 0;  // options are written in row order
    for (const auto& row : kOptionCatalogue) {
        EXPECT_GT(row.code, std::exchange(previous, row.code)) << row.key;
        names.insert(names.end(), {row.key, row.alternative1, row.alternative2});
    }
    std::set<std::string> folded;
    for (std::string_view name : names) {
        if (name.empty()) continue;
        EXPECT_TRUE(folded.insert(ToUpperAscii(name)).second) << name;
        EXPECT_NE(example.str().find(name), std::string::npos) << name;
    }
}

TEST(ParseCustomOption, SplitsCodeKindAndDataOrIgnoresTheKey) {
    constexpr auto kNone = K::Text;  // a kind no custom option can have: the key is ignored
    const std::tuple<const char*, int, K, std::string_view> cases[] = {
        {"150,ip,1.2.3.4", 150, K::IpList, "1.2.3.4"}, {"150,Ip List,1", 150, K::IpList, "1"},
        {"150,IP_LIST,1", 150, K::IpList, "1"}, {"\t52 ,Long, 3", 52, K::Long, "3"},
        {"61,array,&H01", 61, K::ByteList, "&H01"}, {"127.5,BYTE,1", 128, K::ByteList, "1"},
        {"200,LONG", 0, kNone, ""}, {"200,LONG, ", 0, kNone, ""}, {",BYTE,1", 0, kNone, ""}, {"254.6,BYTE,1", 0, kNone, ""}};
    for (const auto& [value, code, kind, data] : cases) {
        const auto parsed = ParseCustomOption(value);
        EXPECT_EQ(parsed ? std::tuple(int{parsed->code}, parsed->kind, parsed->data)
                         : std::tuple(0, kNone, std::string_view("")),
                  std::tuple(code, kind, data)) << value;
    }
}

// `count` sevens joined by commas; and option 7 holding `count` copies of `byte`.
std::string Sevens(std::size_t count) {
    for (std::string text = "7";; text += ",7") if (!--count) return text;
}
Bytes Repeated(std::uint8_t byte, std::size_t count) {
    Bytes option(count + 2, byte);
    return option[0] = 7, option[1] = static_cast<std::uint8_t>(count), option;
}

const std::tuple<const char*, K, std::string, Bytes> kWriterCases[] = {
    {"IpTrailingCommaGivesAZeroAddress", K::IpList, "1.2.3.4,", {7, 8, 1, 2, 3, 4, 0, 0, 0, 0}},
    {"IpPiecesAreLeadingNumbersTheFirstFour", K::IpList, "&H0A.1e1.2x.y.5", {7, 4, 10, 10, 2, 0}},
    {"IpPieceAboveAByteSkipsTheOption", K::IpList, "1.2.3.4,10.0.0.256", {}},
    {"LongHexIsUnsignedThirtyTwoBits", K::Long, "&HFFFFFFFF", {7, 4, 255, 255, 255, 255}},
    {"LongDecimalBeyondSignedRangeIsSkipped", K::Long, "2147483648", {}},
    {"ShortAboveSixteenBitsKeepsTheLowBits", K::Short, "70000", {7, 2, 17, 112}},
    {"FlagOneIsOff", K::Flag, "1", {7, 1, 0}},
    {"TextCutToEightyBytes", K::Text, std::string(100, 'r'), Repeated('r', 80)},
    {"ByteTwoFiftyFiveValuesFit", K::ByteList, Sevens(255), Repeated(7, 255)},
    {"ByteTwoFiftySixValuesAreSkipped", K::ByteList, Sevens(256), {}},
};

TEST(OptionWriter, WritesTheOptionBytesAndMovesPastThemOrWritesNothing) {
    for (const auto& [name, kind, value, written] : kWriterCases) {
        Bytes area(400, 0), expected(400, 0);
        std::size_t position = 4;
        WriteOption(kind, 7, value, area, position);
        std::copy(written.begin(), written.end(), expected.begin() + 4);
        EXPECT_EQ(std::tie(position, area), std::tuple(4 + written.size(), expected)) << name;
    }
}

// In a 64-byte area an option's last byte may sit at index 62, leaving 63 for the end mark;
// smaller areas and positions beyond the area are never written out of bounds.
TEST(FitRule, OptionEndsByIndex62AndNothingIsWrittenOutOfBounds) {
    Bytes area(64, 0);
    std::size_t position = 4;
    WriteOption(OptionKind::Text, 12, std::string(58, 'a'), area, position);
    EXPECT_EQ(std::tie(position, area), std::tuple(4u, Bytes(64, 0)));
    WriteOption(OptionKind::Text, 12, std::string(57, 'a'), area, position);
    EXPECT_EQ(std::tie(position, area[62], area[63]), std::tuple(63u, 'a', 0));
    for (std::size_t size : {0u, 3u, 4u, 6u}) {
        Bytes small(size, 0), expected(size, 0);
        std::size_t at = 4, beyond = 1000;
        WriteMagicCookie(small);
        WriteOption(OptionKind::Flag, 19, "yes", small, at);
        WriteOption(OptionKind::ByteList, 55, "1", small, beyond);
        if (size >= 4) expected = {99, 130, 83, 99, 0, 0}, expected.resize(size);
        EXPECT_EQ(std::tuple(at, beyond, small), std::tuple(4u, 1000u, expected)) << size;
    }
}

}  // namespace
}  // namespace tarnleaf
