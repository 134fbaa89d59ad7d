#include "config/OptionCatalogue.h"

#include <gtest/gtest.h>

#include "config/CaseName.h"

#include <cctype>
#include <set>
#include <string>

#include "config/OptionWriters.h"
#include "config/ProfileLoader.h"
#include "config/StaticProfileSource.h"
#include "protocol/TextConversions.h"

namespace tarnleaf {
namespace {

TEST(OptionCatalogue, CodesAreUniqueAndInEmissionOrder) {
    std::set<int> codes;
    int previous = 0;
    for (const auto& row : kOptionCatalogue) {
        EXPECT_TRUE(codes.insert(row.code).second) << int(row.code);
        EXPECT_GT(row.code, previous) << row.key;
        previous = row.code;
    }
    EXPECT_EQ(codes.size(), 57u);
    for (int absent : {52, 56, 57}) EXPECT_EQ(codes.count(absent), 0u) << absent;
    EXPECT_EQ(*codes.begin(), 1);
    EXPECT_EQ(*codes.rbegin(), 60);
}

TEST(OptionCatalogue, KeyNamesAndTagsAreUniqueIgnoringCase) {
    // The reader matches names without regard to case, so two names that differ only in
    // case would shadow each other; header keys share the same section.
    std::set<std::string> names;
    for (std::string_view header :
         {"MessageType", "HardwareType", "ht", "HardwareLength", "GatewayHops", "Hops",
          "SecondsElapsed", "Flags", "ClientIP", "HostIP", "ip", "ServerIP", "sa",
          "CrossGateway", "HardwareAddress", "ha", "ServerName", "sn", "BootFile", "bf",
          "MessageSize", "SendPort"}) {
        EXPECT_TRUE(names.insert(ToUpperAscii(header)).second) << header;
    }
    for (const auto& row : kOptionCatalogue) {
        for (std::string_view name : {row.key, row.alternative1, row.alternative2}) {
            if (name.empty()) continue;
            EXPECT_TRUE(names.insert(ToUpperAscii(name)).second) << name;
        }
        EXPECT_TRUE(row.alternative2.empty() || !row.alternative1.empty()) << row.key;
    }
}

// One catalogue row with a value for its kind and the data bytes that value gives.
struct KindSample {
    std::string value;
    std::vector<std::uint8_t> data;
};

KindSample SampleFor(OptionKind kind) {
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
    KindSample sample = SampleFor(row.kind);
    if (row.code == kDhcpMessageTypeCode) sample.value = "5", sample.data = {5};
    for (std::string_view name : {row.key, row.alternative1, row.alternative2}) {
        if (name.empty()) continue;
        const StaticProfileSource source("[p]\n" + std::string(name) + "=" + sample.value + "\n");
        std::vector<std::uint8_t> area(64, 0);
        LoadProfileOptions(source, "p", area);

        std::vector<std::uint8_t> expected{99, 130, 83, 99, row.code,
                                           static_cast<std::uint8_t>(sample.data.size())};
        expected.insert(expected.end(), sample.data.begin(), sample.data.end());
        expected.push_back(255);
        expected.resize(64, 0);
        EXPECT_EQ(area, expected) << name;
    }
}

struct RowName {
    std::string operator()(const ::testing::TestParamInfo<OptionRow>& param) const {
        std::string name(param.param.key);
        for (char& c : name) {
            if (c == '-') c = '_';
        }
        return name;
    }
};

INSTANTIATE_TEST_SUITE_P(AllRows, CatalogueRow, ::testing::ValuesIn(kOptionCatalogue),
                         RowName());

TEST(DhcpMessageTypeNumber, NamesMapInAnyCaseAndOthersDoNot) {
    for (const auto& entry : kDhcpMessageTypeNames) {
        EXPECT_EQ(DhcpMessageTypeNumber(ToUpperAscii(entry.name)), entry.value);
        std::string lower(entry.name);
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(DhcpMessageTypeNumber(lower), entry.value);
    }
    EXPECT_EQ(kDhcpMessageTypeNames.back().value, 8);
    for (const char* other : {"5", "DHCP", "", "DHCPACK "}) {
        EXPECT_EQ(DhcpMessageTypeNumber(other), std::nullopt) << other;
    }
}

struct CustomCase {
    const char* name;
    const char* value;
    std::optional<int> code;  // no value: the key is ignored
    OptionKind kind;
    const char* data;
};

class CustomOptionParsing : public ::testing::TestWithParam<CustomCase> {};

TEST_P(CustomOptionParsing, SplitsCodeKindAndData) {
    const auto& c = GetParam();
    const auto parsed = ParseCustomOption(c.value);
    ASSERT_EQ(parsed.has_value(), c.code.has_value());
    if (!parsed) return;
    EXPECT_EQ(parsed->code, *c.code);
    EXPECT_EQ(parsed->kind, c.kind);
    EXPECT_EQ(parsed->data, c.data);
}

INSTANTIATE_TEST_SUITE_P(
    Values, CustomOptionParsing,
    ::testing::Values(
        CustomCase{"IpListKeepsTheCommasOfItsData", "128, IPLIST, 10.0.0.1, 10.0.0.2", 128,
                   OptionKind::IpList, "10.0.0.1, 10.0.0.2"},
        CustomCase{"IpWord", "150,ip,1.2.3.4", 150, OptionKind::IpList, "1.2.3.4"},
        CustomCase{"IpUnderscoreListWord", "150,IP_LIST,1.2.3.4", 150, OptionKind::IpList,
                   "1.2.3.4"},
        CustomCase{"LongWord", "\t52 ,Long, 3", 52, OptionKind::Long, "3"},
        CustomCase{"ByteWord", "61,BYTE,1,2,3", 61, OptionKind::ByteList, "1,2,3"},
        CustomCase{"ArrayWord", "61,array,&H01", 61, OptionKind::ByteList, "&H01"},
        CustomCase{"CodeIsRounded", "127.5,BYTE,1", 128, OptionKind::ByteList, "1"},
        CustomCase{"EmptyDataIsParsedAndWritesNothingLater", "200,LONG,", 200, OptionKind::Long,
                   ""},
        CustomCase{"TextKindIsNotOffered", "200,TEXT,abc", std::nullopt, OptionKind::Long, ""},
        CustomCase{"TwoPartsAreIgnored", "200,LONG", std::nullopt, OptionKind::Long, ""},
        CustomCase{"CodeAboveAByteIsIgnored", "256,BYTE,1", std::nullopt, OptionKind::Long, ""},
        CustomCase{"PadCodeIsIgnored", ",BYTE,1", std::nullopt, OptionKind::Long, ""},
        CustomCase{"EndCodeIsIgnored", "255,BYTE,1", std::nullopt, OptionKind::Long, ""},
        CustomCase{"CodeRoundingAboveAByteIsIgnored", "255.5,BYTE,1", std::nullopt,
                   OptionKind::Long, ""}),
    CaseName());

}  // namespace
}  // namespace tarnleaf
