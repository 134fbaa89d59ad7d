#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/ProfileLoader.h"
#include "config/StaticProfileSource.h"

namespace tarnleaf {
namespace {

using Bytes = std::vector<std::uint8_t>;

class ProfileOptionsLoader : public ::testing::Test {
protected:
    // The option area that the profile text of section "p" gives in an area of `size` bytes.
    static Bytes Load(const std::string& profile, std::size_t size = 64) {
        const StaticProfileSource source("[p]\n" + profile);
        Bytes area(size, 0);
        LoadProfileOptions(source, "p", area);
        return area;
    }
    static Bytes Padded(Bytes bytes, std::size_t size = 64) {
        bytes.resize(size, 0);
        return bytes;
    }
};

TEST_F(ProfileOptionsLoader, ProfileWithoutOptionKeysLeavesTheAreaAllZero) {
    EXPECT_EQ(Load("BootFile=x\nHostIP=10.0.0.5\n"), Bytes(64, 0));
}

TEST_F(ProfileOptionsLoader, ProfileWhoseOptionsAllFailLeavesTheAreaAllZero) {
    EXPECT_EQ(Load("TimeOffset=soon\nIP-ttlive=300\nCustom1=1,TEXT,x\n"), Bytes(64, 0));
}

TEST_F(ProfileOptionsLoader, OnlyAMessageTypeNameGivesCookieOptionAndEnd) {
    EXPECT_EQ(Load("DHCPMessageType=dhcpoffer\n"), Padded({99, 130, 83, 99, 53, 1, 2, 255}));
}

TEST_F(ProfileOptionsLoader, MessageTypeNumberAndNameGiveTheSameOption) {
    EXPECT_EQ(Load("DHCPMessageType=5\n"), Load("DHCPMessageType=DHCPACK\n"));
    EXPECT_EQ(Load("DHCPMessageType=1,2\n"), Padded({99, 130, 83, 99, 53, 2, 1, 2, 255}));
    EXPECT_EQ(Load("DHCPMessageType=DHCPBOGUS\n"), Bytes(64, 0));
}

TEST_F(ProfileOptionsLoader, GatewayFallsThroughEmptyNamesToRouter) {
    const Bytes router = Padded({99, 130, 83, 99, 3, 4, 10, 0, 0, 1, 255});
    EXPECT_EQ(Load("Gateway=\ngw=\nRouter=10.0.0.1\n"), router);
    EXPECT_EQ(Load("Router=10.0.0.1\n"), router);
    EXPECT_EQ(Load("Gateway=10.0.0.9\nRouter=10.0.0.1\n"),
              Padded({99, 130, 83, 99, 3, 4, 10, 0, 0, 9, 255}));
    EXPECT_EQ(Load("gw=10.0.0.8\nRouter=10.0.0.1\n"),
              Padded({99, 130, 83, 99, 3, 4, 10, 0, 0, 8, 255}));
}

TEST_F(ProfileOptionsLoader, OptionsComeInCatalogueOrderWhateverTheFileOrder) {
    const Bytes area = Load(
        "ServerIdentifier=192.168.0.1\n"
        "DHCPMessageType=DHCPACK\n"
        "IPAddressLeaseTime=3600\n"
        "SubnetMask=255.255.255.0\n");
    EXPECT_EQ(area, Padded({
                        99, 130, 83, 99,           // cookie
                        1, 4, 255, 255, 255, 0,    // subnet mask
                        51, 4, 0, 0, 14, 16,       // lease time 3600
                        53, 1, 5,                  // DHCPACK
                        54, 4, 192, 168, 0, 1,     // server identifier
                        255,                       // end
                    }));
}

TEST_F(ProfileOptionsLoader, CustomKeysFollowTheCatalogueInNumberOrder) {
    const Bytes area = Load(
        "Custom3=200,LONG\n"
        "Custom2=200,TEXT,abc\n"
        "Custom10=66,BYTE,7\n"
        "Custom1=128, IPLIST, 10.0.0.1, 10.0.0.2\n"
        "Custom11=67,BYTE,9\n"
        "Custom01=68,BYTE,9\n"
        "HostName=h\n");
    EXPECT_EQ(area, Padded({
                        99, 130, 83, 99,                        // cookie
                        12, 1, 'h',                             // host name
                        128, 8, 10, 0, 0, 1, 10, 0, 0, 2,       // Custom1
                        66, 1, 7,                               // Custom10
                        255,                                    // end
                    }));
}

TEST_F(ProfileOptionsLoader, CustomDataThatDoesNotConvertIsSkipped) {
    EXPECT_EQ(Load("Custom1=150,SHORT,-5\nCustom2=151,BYTE,1,999\nCustom3=152,LONG,\n"),
              Bytes(64, 0));
}

// A netboot reply profile and its full option area, field by field.
TEST_F(ProfileOptionsLoader, NetbootProfileGivesItsGoldenArea) {
    const Bytes area = Load(
        "SubnetMask=255.255.255.0\n"
        "Gateway=192.168.0.1\n"
        "DomainNameServer=192.168.0.1, 192.168.0.2\n"
        "HostName=pc-07\n"
        "IP-forward=off\n"
        "IP-mtu-sz=1500\n"
        "DHCPMessageType=DHCPOFFER\n"
        "ServerIdentifier=192.168.0.1\n"
        "IPAddressLeaseTime=86400\n"
        "RenewalTimeValue=43200\n"
        "VendorClassIdentifier=PXEClient\n",
        340);
    const Bytes golden = Padded(
        {
            99, 130, 83, 99,                                  // magic cookie
            1, 4, 255, 255, 255, 0,                           // 1 subnet mask
            3, 4, 192, 168, 0, 1,                             // 3 router
            6, 8, 192, 168, 0, 1, 192, 168, 0, 2,             // 6 name servers
            12, 5, 'p', 'c', '-', '0', '7',                   // 12 host name
            19, 1, 0,                                         // 19 IP forwarding off
            26, 2, 5, 220,                                    // 26 MTU 1500
            51, 4, 0, 1, 81, 128,                             // 51 lease 86400
            53, 1, 2,                                         // 53 DHCPOFFER
            54, 4, 192, 168, 0, 1,                            // 54 server identifier
            58, 4, 0, 0, 168, 192,                            // 58 T1 43200
            60, 9, 'P', 'X', 'E', 'C', 'l', 'i', 'e', 'n', 't',  // 60 vendor class
            255,                                              // end
        },
        340);
    EXPECT_EQ(area, golden);
}

TEST_F(ProfileOptionsLoader, FullAreaKeepsTheEndMarkInside) {
    std::string profile;
    for (const char* key : {"HostName", "MeritDumpFile", "DomainName", "RootPath"}) {
        profile += std::string(key) + "=" + std::string(30, 'x') + "\n";
    }
    const Bytes area = Load(profile + "IP-forward=yes\n");
    // One 32-byte text option fits (indexes 4..35), the other three do not; the flag
    // still does, and the end mark follows it.
    EXPECT_EQ(area[4], 12);
    EXPECT_EQ(area[36], 19);
    EXPECT_EQ(area[39], 255);
    EXPECT_EQ(area.size(), 64u);
}

}  // namespace
}  // namespace tarnleaf
