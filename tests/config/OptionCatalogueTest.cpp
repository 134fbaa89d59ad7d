#include "config/OptionCatalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>

#include "config/ProfileLoader.h"
#include "config/StaticProfileSource.h"
#include "protocol/TextConversions.h"

namespace tarnleaf {
namespace {

TEST(OptionCatalogue, RowsRiseByCodeAndEachKeyNameIsUniqueAndDocumented) {
    std::stringstream example;
    example << std::ifstream(TARNLEAF_EXAMPLE_INI, std::ios::binary).rdbuf();
    ASSERT_FALSE(example.str().empty());
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

// A value of each kind and the data bytes it gives.
std::pair<std::string, std::vector<std::uint8_t>> SampleFor(OptionKind kind) {
    switch (kind) {
        case OptionKind::IpList: return {"10.1.2.3, 10.1.2.4", {10, 1, 2, 3, 10, 1, 2, 4}};
        case OptionKind::Long: return {"-18000", {255, 255, 185, 176}};
        case OptionKind::Short: return {"1500", {5, 220}};
        case OptionKind::Flag: return {"yes", {1}};
        case OptionKind::Text: return {"pxe", {'p', 'x', 'e'}};
        case OptionKind::ByteList: return {"1,&H10,255", {1, 16, 255}};
    }
    return {};
}

class CatalogueRow : public ::testing::TestWithParam<OptionRow> {};

TEST_P(CatalogueRow, EveryNameOfTheRowWritesItsOptionWithTheKindsBytes) {
    const OptionRow& row = GetParam();
    auto [value, data] = SampleFor(row.kind);
    if (row.code == kDhcpMessageTypeCode) value = "5", data = {5};
    for (std::string_view name : {row.key, row.alternative1, row.alternative2}) {
        if (name.empty()) continue;
        const StaticProfileSource source("[p]\n" + std::string(name) + "=" + value + "\n");
        std::vector<std::uint8_t> area(64, 0);
        LoadProfileOptions(source, "p", area);

        std::vector<std::uint8_t> expected{99, 130, 83, 99, row.code,
                                           static_cast<std::uint8_t>(data.size())};
        expected.insert(expected.end(), data.begin(), data.end());
        expected.push_back(255);
        expected.resize(64, 0);
        EXPECT_EQ(area, expected) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(AllRows, CatalogueRow, ::testing::ValuesIn(kOptionCatalogue),
                         [](const auto& row) {
                             std::string name(row.param.key);
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(ParseCustomOption, SplitsCodeKindAndDataOrIgnoresTheKey) {
    constexpr auto kIgnored = OptionKind::Text;  // a kind no custom option can have
    const struct {
        const char *name, *value;
        int code;
        OptionKind kind;
        const char* data;
    } cases[] = {
        {"IpListKeepsTheCommasOfItsData", "128, IPLIST, 10.0.0.1, 10.0.0.2", 128,
         OptionKind::IpList, "10.0.0.1, 10.0.0.2"},
        {"IpWord", "150,ip,1.2.3.4", 150, OptionKind::IpList, "1.2.3.4"},
        {"IpSpaceListWord", "150,Ip List,1.2.3.4", 150, OptionKind::IpList, "1.2.3.4"},
        {"IpUnderscoreListWord", "150,IP_LIST,1.2.3.4", 150, OptionKind::IpList, "1.2.3.4"},
        {"LongWordAndBlanks", "\t52 ,Long, 3", 52, OptionKind::Long, "3"},
        {"ShortWord", "13,short,9", 13, OptionKind::Short, "9"},
        {"ByteWord", "61,BYTE,1,2,3", 61, OptionKind::ByteList, "1,2,3"},
        {"ArrayWord", "61,array,&H01", 61, OptionKind::ByteList, "&H01"},
        {"CodeIsRounded", "127.5,BYTE,1", 128, OptionKind::ByteList, "1"},
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

}  // namespace
}  // namespace tarnleaf
