#include "ProfileLoader.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "OptionCatalogue.h"
#include "StaticProfileSource.h"

namespace tarnleaf {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A client request as the reply builder hands it over, op already 2.
const BootpMessage kRequest{.op = 2, .htype = 1, .hlen = 6, .hops = 1,
                            .xid = {0xDE, 0xAD, 0xBE, 0xEF}, .secs = 4, .flags = {0x80, 0x00},
                            .ciaddr = "0.0.0.0", .yiaddr = "0.0.0.0", .siaddr = "192.168.0.1",
                            .giaddr = "0.0.0.0", .chaddr = "00-A0-C9-12-34-56",
                            .sname = "", .file = "", .options = {99, 130, 83, 99, 53, 1, 1, 255}};

BootpMessage Loaded(const std::string& profile) {
    BootpMessage message = kRequest;
    LoadProfile(StaticProfileSource("[00-A0-C9-12-34-56]\n" + profile), message.chaddr, message);
    return message;
}

// The cookie, then `options` and the end mark, zero-filled to `size`.
Bytes Area(Bytes options, std::size_t size = 64) {
    options.insert(options.begin(), {99, 130, 83, 99});
    options.push_back(255);
    options.resize(size, 0);
    return options;
}

void EveryField(BootpMessage& m) {
    m.op = 7, m.htype = 6, m.hlen = 16, m.hops = 3, m.secs = 65535, m.flags = {128, 255};
    m.ciaddr = "192.168.100.200", m.yiaddr = "10.0.0.2", m.siaddr = "10.0.0.3";
    m.giaddr = "10.0.0.4", m.chaddr = "aa", m.sname = "sv", m.file = "f";
}

// A profile and what loading it does to the request (nothing at all without a change).
const std::tuple<const char*, std::string, std::function<void(BootpMessage&)>> kHeaderCases[] = {
    {"LongNamesReachTheirFields",
     "MessageType=7\nHardwareType=IEEE802\nHardwareLength=16\nGatewayHops=3\nSecondsElapsed=65535\n"
     "Flags=0x80FF\nClientIP=192 .168 .100 .200\nHostIP=10.0.0.2\nServerIP=10.0.0.3\n"
     "CrossGateway=10.0.0.4\nHardwareAddress=aa\nServerName=sv\nBootFile=f\n", EveryField},
    {"TagsAreReadBehindEmptyLongNames",
     "MessageType=7\nHardwareType=\nht=6\nHardwareLength=16\nGatewayHops=\nHops=3\n"
     "SecondsElapsed=65535\nFlags=0x80FF\nClientIP=192.168.100.200\nHostIP=\nip=10.0.0.2\n"
     "ServerIP=\nsa=10.0.0.3\nCrossGateway=10.0.0.4\nHardwareAddress=\nha=aa\nServerName=\nsn=sv\n"
     "BootFile=\nbf=f\n", EveryField},
    {"NameIgnoresCaseNumberRoundsHalfToEvenAndSmallFractionPasses",
     "MessageType=bootrequest\nHardwareLength=4.5\nGatewayHops=0.3\n",
     [](auto& m) { m.op = 1, m.hlen = 4, m.hops = 0; }},
    {"NumbersOutOfRangeLeaveTheirFieldsEvenOnceRounded",
     "MessageType=0\nHardwareLength=256\nHardwareType=255.5\nSecondsElapsed=65535.5\n", nullptr},
    {"HardwareTypeNamesAreUpperCaseOnly", "HardwareType=ethernet\n", [](auto& m) { m.htype = 0; }},
    {"HardwareTypeOutOfRangeSetsZero", "HardwareType=300\n", [](auto& m) { m.htype = 0; }},
    {"FlagsSkipTheirFirstTwoCharacters", "Flags=8000\n", [](auto& m) { m.flags = {0, 0}; }},
    {"FlagsKeepTheLow16Bits", "Flags=0x12345\n", [](auto& m) { m.flags = {0x23, 0x45}; }},
    {"FlagsBeyond32BitsLeaveThem", "Flags=0x1FFFFFFFF\n", nullptr},
    {"TextsAreCutToTheirFields", "HostIP=192.168.100.2001\nha=" + std::string(50, 'A') +
         "\nServerName=" + std::string(70, 's') + "\nbf=" + std::string(130, 'f') + "\n",
     [](auto& m) { m.yiaddr = "192.168.100.200", m.chaddr = std::string(47, 'A'),
                   m.sname = std::string(64, 's'), m.file = std::string(128, 'f'); }},
};

TEST(LoadProfile, LaysEachHeaderKeyOverTheRequestAndLeavesTheRest) {
    for (const auto& [name, profile, change] : kHeaderCases) {
        BootpMessage expected = kRequest;
        expected.options.assign(64, 0);  // no option keys: an all-zero default area
        if (change) change(expected);
        EXPECT_EQ(Loaded(profile), expected) << name;
    }
    for (const auto& [size, areaSize] : std::vector<std::pair<std::string, std::size_t>>{
             {"300", 64}, {"2000", 64}, {"576", 340}, {"1536", 1300}, {"300.4", 64}, {"300.6", 65}})
        EXPECT_EQ(Loaded("MessageSize=" + size).options.size(), areaSize) << size;
    const BootpMessage m = Loaded("ha=00-11-22-33-44-55\nBootFile=mine.img\nSubnetMask=255.0.0.0\n"
                                  "[00-11-22-33-44-55]\nBootFile=theirs.img\nServerName=theirs\n");
    EXPECT_EQ(std::tie(m.chaddr, m.file, m.sname, m.options[4]),  // not the new address's section
              std::tuple("00-11-22-33-44-55", "mine.img", "", 1));
}

TEST(LoadProfileOptions, EveryNameOfEveryCatalogueRowWritesItsOptionWithTheKindsBytes) {
    // A value of each kind, in the order of OptionKind, and the data bytes it gives.
    const std::pair<std::string, Bytes> samples[] = {
        {"10.1.2.3, 10.1.2.4", {10, 1, 2, 3, 10, 1, 2, 4}}, {"-18000", {255, 255, 185, 176}},
        {"1500", {5, 220}}, {"yes", {1}}, {"pxe", {'p', 'x', 'e'}}, {"1,&H10,255", {1, 16, 255}}};
    for (const OptionRow& row : kOptionCatalogue) {
        auto [text, data] = samples[static_cast<int>(row.kind)];
        if (row.code == kMessageTypeOption) text = "5", data = {5};
        data.insert(data.begin(), {row.code, static_cast<std::uint8_t>(data.size())});
        for (std::string_view key : {row.key, row.alternative1, row.alternative2}) {
            if (key.empty()) continue;
            EXPECT_EQ(Loaded(std::string(key) + '=' + text).options, Area(data));
        }
    }
    EXPECT_EQ(Loaded("TimeOffset=soon\nDHCPMessageType=DHCPBOGUS\nCustom1=1,TEXT,x\n").options,
              Bytes(64, 0)) << "unreadable values write nothing: no cookie without an option";
    EXPECT_EQ(Loaded("Gateway=   \ngw=\nRouter=10.0.0.1\n").options, Area({3, 4, 10, 0, 0, 1}));
}

// A netboot reply profile, its keys in no particular order, and its whole option area:
// catalogue options by code, then Custom1..Custom10 by number (Custom11, Custom01: no keys).
TEST(LoadProfileOptions, NetbootProfileGivesItsGoldenArea) {
    EXPECT_EQ(Loaded(
        "Custom10=66,BYTE,7\nVendorClassIdentifier=PXEClient\nServerIdentifier=192.168.0.1\n"
        "SubnetMask=255.255.255.0\nDHCPMessageType=dhcpoffer\nGateway=192.168.0.1\n"
        "Custom1=128, IPLIST, 10.0.0.1, 10.0.0.2\nCustom11=67,BYTE,9\nCustom01=68,BYTE,9\n"
        "DomainNameServer=192.168.0.1, 192.168.0.2\nHostName=pc-07\nIP-forward=off\n"
        "IPAddressLeaseTime=86400\nMessageSize=576\n").options,
              Area({1, 4, 255, 255, 255, 0, /* router */ 3, 4, 192, 168, 0, 1,
                    /* name servers */ 6, 8, 192, 168, 0, 1, 192, 168, 0, 2,
                    /* host name */ 12, 5, 'p', 'c', '-', '0', '7', /* forwarding */ 19, 1, 0,
                    /* lease */ 51, 4, 0, 1, 81, 128, /* OFFER */ 53, 1, 2,
                    /* server id */ 54, 4, 192, 168, 0, 1,
                    60, 9, 'P', 'X', 'E', 'C', 'l', 'i', 'e', 'n', 't',
                    /* Custom1 */ 128, 8, 10, 0, 0, 1, 10, 0, 0, 2, /* Custom10 */ 66, 1, 7}, 340));
}

}  // namespace
}  // namespace tarnleaf
