#include "ProfileLoader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "OptionCatalogue.h"
#include "StaticProfileSource.h"

namespace tarnleaf {
namespace {

// A client request as the reply builder hands it over, op already 2.
const BootpMessage kRequest{.op = 2, .htype = 1, .hlen = 6, .hops = 1,
                            .xid = {0xDE, 0xAD, 0xBE, 0xEF}, .secs = 4, .flags = {0x80, 0x00},
                            .ciaddr = "0.0.0.0", .yiaddr = "0.0.0.0", .siaddr = "192.168.0.1",
                            .giaddr = "0.0.0.0", .chaddr = "00-A0-C9-12-34-56",
                            .sname = "", .file = "", .options = {99, 130, 83, 99, 53, 1, 1, 255}};

BootpMessage Loaded(const std::string& profile) {
    const StaticProfileSource source("[00-A0-C9-12-34-56]\n" + profile);
    BootpMessage message = kRequest;
    LoadProfile(source, message.chaddr, message);
    return message;
}

// A profile and what loading it does to the request (nothing at all without a change).
struct HeaderCase {
    const char* name;
    std::string profile;
    std::function<void(BootpMessage&)> change;
};

void EveryField(BootpMessage& m) {
    m.op = 7, m.htype = 6, m.hlen = 16, m.hops = 3, m.secs = 65535, m.flags = {128, 255};
    m.ciaddr = "10.0.0.1", m.yiaddr = "10.0.0.2", m.siaddr = "10.0.0.3", m.giaddr = "10.0.0.4";
    m.chaddr = "aa", m.sname = "sv", m.file = "f";
}

const HeaderCase kHeaderCases[] = {
    {"LongNamesReachTheirFields",
     "MessageType=7\nHardwareType=IEEE802\nHardwareLength=16\nGatewayHops=3\nSecondsElapsed=65535\n"
     "Flags=0x80FF\nClientIP=10. 0. 0. 1\nHostIP=10.0.0.2\nServerIP=10.0.0.3\n"
     "CrossGateway=10.0.0.4\nHardwareAddress=aa\nServerName=sv\nBootFile=f\n",
     EveryField},
    {"TagsAreReadBehindEmptyLongNames",
     "MessageType=7\nHardwareType=\nht=6\nHardwareLength=16\nGatewayHops=\nHops=3\n"
     "SecondsElapsed=65535\nFlags=0x80FF\nClientIP=10.0.0.1\nHostIP=\nip=10.0.0.2\nServerIP=\n"
     "sa=10.0.0.3\nCrossGateway=10.0.0.4\nHardwareAddress=\nha=aa\nServerName=\nsn=sv\n"
     "BootFile=\nbf=f\n",
     EveryField},
    {"OtherProfilesDoNotApply", "[other]\nMessageType=1\n", nullptr},
    {"NameIgnoresCaseNumberRoundsHalfToEvenAndSmallFractionPasses",
     "MessageType=bootrequest\nHardwareLength=4.5\nGatewayHops=0.3\n",
     [](auto& m) { m.op = 1, m.hlen = 4, m.hops = 0; }},
    {"NumbersOutOfRangeLeaveTheirFieldsEvenOnceRounded",
     "MessageType=0\nHardwareLength=256\nHardwareType=255.5\nSecondsElapsed=65535.5\n",
     nullptr},
    {"HardwareTypeNamesAreUpperCaseOnly", "HardwareType=ethernet\n", [](auto& m) { m.htype = 0; }},
    {"HardwareTypeOutOfRangeSetsZero", "HardwareType=300\n", [](auto& m) { m.htype = 0; }},
    {"FlagsSkipTheirFirstTwoCharacters", "Flags=8000\n", [](auto& m) { m.flags = {0, 0}; }},
    {"FlagsKeepTheLow16Bits", "Flags=0x12345\n", [](auto& m) { m.flags = {0x23, 0x45}; }},
    {"FlagsNotHexadecimalLeaveThem", "Flags=0xZZ\n", nullptr},
    {"FlagsBeyond32BitsLeaveThem", "Flags=0x1FFFFFFFF\n", nullptr},
    {"AddressFitsOnceCompacted", "ClientIP=192 .168 .100 .200\n",
     [](auto& m) { m.ciaddr = "192.168.100.200"; }},
    {"TextsAreCutToTheirFields",
     "HostIP=192.168.100.2001\nha=" + std::string(50, 'A') + "\nServerName=" +
         std::string(70, 's') + "\nbf=" + std::string(130, 'f') + "\n",
     [](auto& m) {
         m.yiaddr = "192.168.100.200", m.chaddr = std::string(47, 'A');
         m.sname = std::string(64, 's'), m.file = std::string(128, 'f');
     }},
};

TEST(LoadProfile, LaysEachHeaderKeyOverTheRequestAndLeavesTheRest) {
    for (const HeaderCase& c : kHeaderCases) {
        SCOPED_TRACE(c.name);
        BootpMessage expected = kRequest;
        expected.options.assign(64, 0);  // no option keys: an all-zero default area
        if (c.change) c.change(expected);
        EXPECT_EQ(Loaded(c.profile), expected);
    }
}

TEST(LoadProfile, MessageSizeSetsTheOptionAreaFrom301To1536) {
    const std::pair<const char*, std::size_t> sizes[] = {
        {"300", 64},   {"2000", 64},  {"576", 340},   {"1536", 1300},
        {"300.4", 64}, {"300.6", 65}, {"1536.4", 64}, {"x", 64},
    };
    for (const auto& [size, areaSize] : sizes) {
        EXPECT_EQ(Loaded("MessageSize=" + std::string(size)).options.size(), areaSize) << size;
    }
}

TEST(LoadProfile, KeepsToTheSectionNamedAtItsStart) {
    // The load is handed the message's own hardware address, which the profile changes.
    const BootpMessage message = Loaded(
        "ha=00-11-22-33-44-55\nBootFile=mine.img\nSubnetMask=255.0.0.0\n"
        "[00-11-22-33-44-55]\nBootFile=theirs.img\nServerName=theirs\n");
    EXPECT_EQ(std::tie(message.chaddr, message.file, message.sname, message.options[4]),
              std::tuple("00-11-22-33-44-55", "mine.img", "", 1));
}

using Bytes = std::vector<std::uint8_t>;

// The option area that a client profile gives.
Bytes Load(const std::string& profile) { return Loaded(profile).options; }

// The cookie, then `options` and the end mark, zero-filled to `size`.
Bytes Area(const Bytes& options, std::size_t size = 64) {
    Bytes bytes{99, 130, 83, 99};
    bytes.insert(bytes.end(), options.begin(), options.end());
    bytes.push_back(255);
    bytes.resize(size, 0);
    return bytes;
}

TEST(LoadProfileOptions, AreaWithoutASingleOptionStaysAllZeroWithoutCookie) {
    EXPECT_EQ(Load("BootFile=x\nHostIP=10.0.0.5\n"), Bytes(64, 0));
    EXPECT_EQ(Load("TimeOffset=soon\nIP-ttlive=300\nDHCPMessageType=DHCPBOGUS\n"
                   "Custom1=1,TEXT,x\nCustom2=150,SHORT,-5\nCustom3=151,BYTE,1,999\n"
                   "Custom4=152,LONG,\n"),
              Bytes(64, 0));
}

// A value of each kind, in the order of OptionKind, and the data bytes it gives.
const std::pair<std::string, Bytes> kSamples[] = {
    {"10.1.2.3, 10.1.2.4", {10, 1, 2, 3, 10, 1, 2, 4}},
    {"-18000", {255, 255, 185, 176}},
    {"1500", {5, 220}},
    {"yes", {1}},
    {"pxe", {'p', 'x', 'e'}},
    {"1,&H10,255", {1, 16, 255}},
};

class CatalogueRow : public ::testing::TestWithParam<OptionRow> {};

TEST_P(CatalogueRow, EveryNameOfTheRowWritesItsOptionWithTheKindsBytes) {
    const OptionRow& row = GetParam();
    auto [value, data] = kSamples[static_cast<int>(row.kind)];
    if (row.code == kMessageTypeOption) value = "5", data = {5};
    data.insert(data.begin(), {row.code, static_cast<std::uint8_t>(data.size())});
    for (std::string_view name : {row.key, row.alternative1, row.alternative2}) {
        if (name.empty()) continue;
        EXPECT_EQ(Load(std::string(name) + "=" + value), Area(data)) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(AllRows, CatalogueRow, ::testing::ValuesIn(kOptionCatalogue),
                         [](const auto& row) {
                             std::string name(row.param.key);
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(LoadProfileOptions, GatewayFallsThroughEmptyNamesToRouter) {
    EXPECT_EQ(Load("Gateway=   \ngw=\nRouter=10.0.0.1\n"), Area({3, 4, 10, 0, 0, 1}));
    EXPECT_EQ(Load("Gateway=10.0.0.9\ngw=10.0.0.8\nRouter=10.0.0.1\n"), Area({3, 4, 10, 0, 0, 9}));
    EXPECT_EQ(Load("gw=10.0.0.8\nRouter=10.0.0.1\n"), Area({3, 4, 10, 0, 0, 8}));
}

// A netboot reply profile, its keys in no particular order, and its whole option area:
// catalogue options by code, then Custom1..Custom10 by number.
TEST(LoadProfileOptions, NetbootProfileGivesItsGoldenArea) {
    EXPECT_EQ(Load(
        "Custom10=66,BYTE,7\nVendorClassIdentifier=PXEClient\nServerIdentifier=192.168.0.1\n"
        "SubnetMask=255.255.255.0\nDHCPMessageType=dhcpoffer\nGateway=192.168.0.1\n"
        "Custom1=128, IPLIST, 10.0.0.1, 10.0.0.2\nCustom11=67,BYTE,9\nCustom01=68,BYTE,9\n"
        "DomainNameServer=192.168.0.1, 192.168.0.2\nHostName=pc-07\nIP-forward=off\n"
        "IPAddressLeaseTime=86400\nMessageSize=576\n"),
              Area(
        {
            1, 4, 255, 255, 255, 0,                               // 1 subnet mask
            3, 4, 192, 168, 0, 1,                                 // 3 router
            6, 8, 192, 168, 0, 1, 192, 168, 0, 2,                 // 6 name servers
            12, 5, 'p', 'c', '-', '0', '7',                       // 12 host name
            19, 1, 0,                                             // 19 IP forwarding off
            51, 4, 0, 1, 81, 128,                                 // 51 lease 86400
            53, 1, 2,                                             // 53 DHCPOFFER
            54, 4, 192, 168, 0, 1,                                // 54 server identifier
            60, 9, 'P', 'X', 'E', 'C', 'l', 'i', 'e', 'n', 't',  // 60 vendor class
            128, 8, 10, 0, 0, 1, 10, 0, 0, 2,                     // Custom1
            66, 1, 7,                                             // Custom10; 11, 01 are no keys
        },
        340));
}

}  // namespace
}  // namespace tarnleaf
