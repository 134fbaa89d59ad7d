#include "ProfileCheck.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace tarnleaf {
namespace {

// A profiles file with one mistake, and the start of the line the check must print for it.
struct MistakeCase {
    const char* name;
    std::string ini;
    std::string expected;  // "LINE: message", or its beginning
};

const MistakeCase kMistakes[] = {
    {"UnknownKeyGetsNearestName", "[TestMessage]\nSubnetMsk=255.0.0.0\n",
     "2: unknown key \"SubnetMsk\": ignored (did you mean \"SubnetMask\"?)"},
    {"PartOfAKeyNamesThatKey", "[TestMessage]\nLeaseTime=60\n",
     "2: unknown key \"LeaseTime\": ignored (did you mean \"IPAddressLeaseTime\"?)"},
    {"LeaseWithUnitIsNoNumber", "[TestMessage]\nIPAddressLeaseTime=1d\n",
     "2: IPAddressLeaseTime=1d is not a whole number: ignored, the option is left out"},
    {"HeaderNumberOutOfRange", "[TestMessage]\nHardwareLength=300\n",
     "2: HardwareLength=300 is not a number from 1 to 255: ignored, the field stays as it was"},
    {"AddressPieceAbove255", "[TestMessage]\nsm=255.255.300.0\n",
     "2: sm=255.255.300.0 has the address piece \"300\", which is not 0 to 255"},
    {"BadByteListValue", "[TestMessage]\nParameterRequestList=1, 3, x\n",
     "2: ParameterRequestList=1, 3, x has the value \"x\", which is not a whole number"},
    {"CustomKindUnknown", "[TestMessage]\nCustom1=150, TEXT, abc\n",
     "2: Custom1=150, TEXT, abc has the kind \"TEXT\""},
    {"CustomCodeZero", "[TestMessage]\nCustom2=0, BYTE, 1\n",
     "2: Custom2=0, BYTE, 1 has the code \"0\", which reads as 0 or 255"},
    {"AddressThatCannotBeEncoded", "[TestMessage]\nHostIP=10.0.0.300\n",
     "2: HostIP=10.0.0.300 cannot be put on the wire (yiaddr): the test message is not sent"},
    {"AddressWithThreePieces", "[TestMessage]\nGateway=10.0.0\n",
     "2: Gateway=10.0.0 is read as 10.0.0.0"},
    {"FlagsWithoutPrefix", "[TestMessage]\nFlags=8000\n",
     "2: Flags=8000 is read as 0x0000 (its first two characters are a prefix)"},
    {"ShortAboveSixteenBits", "[TestMessage]\nIP-mtu-sz=70000\n",
     "2: IP-mtu-sz=70000 is above 65535: only its low 16 bits are sent (4464)"},
    {"MessageSizeOutOfRange", "[TestMessage]\nMessageSize=2000\n",
     "2: MessageSize=2000 is not a size from 301 to 1536: the message stays 300 bytes"},
    {"OneMeansOff", "[TestMessage]\nIP-forward=1\n",
     "2: IP-forward=1 is not a truth word, so it means off"},
    {"TextCutToItsField", "[TestMessage]\nMessageSize=576\nDomainName=" + std::string(81, 'd'),
     "3: DomainName=" + std::string(81, 'd') + " is longer than 80 bytes"},
    {"OptionWithoutRoom", "[TestMessage]\nHostName=" + std::string(58, 'h') + "\n",
     "2: HostName=" + std::string(58, 'h') + " does not fit"},
    {"LowerCaseTypeName", "[TestMessage]\nHardwareType=ethernet\n",
     "2: HardwareType=ethernet is neither a type name nor a number from 1 to 255, so the type "
     "becomes 0 (names are upper case: ETHERNET)"},
    {"SectionNamedWithColons", "[00:A0:C9:12:34:56]\nbf=x\n",
     "1: section [00:A0:C9:12:34:56] is neither a hardware address"},
    {"ClientWithoutBootFile", "[00-a0-c9-12-34-56]\nHostIP=10.0.0.5\n",
     "1: section [00-a0-c9-12-34-56] has no BootFile (or bf)"},
    {"RepeatedSection", "[TestMessage]\n[testmessage]\n",
     "2: section [testmessage] repeats line 1: the first wins"},
    {"RepeatedKey", "[TestMessage]\nFlags=0x8000\nflags=0x0\n",
     "3: key \"flags\" repeats line 2: the first wins"},
    {"TagShadowedByLongName", "[TestMessage]\nSubnetMask=255.0.0.0\nsm=255.255.0.0\n",
     "3: \"sm\" is ignored: \"SubnetMask\" (line 2) gives the same field"},
    {"HashIsNoComment", "[TestMessage]\n# note\n", "2: neither a section, a key nor a comment"},
    {"TestMessageWithoutDestination", "[TestMessage]\nSendPort=BOOTPX\n",
     "1: [TestMessage] has no ServerIP (or sa)"},
    {"SendPortNamesNoPort", "[TestMessage]\nsa=10.0.0.1\nSendPort=BOOTPX\n",
     "3: SendPort=BOOTPX names no port"},
    {"KeyBeforeAnySection", "BootFile=x\n[TestMessage]\n", "1: key \"BootFile\" outside"},
};

class ProfileCheckMistake : public ::testing::TestWithParam<MistakeCase> {};

TEST_P(ProfileCheckMistake, IsReportedOnItsLine) {
    std::string reported;
    for (const CheckFinding& finding : CheckProfiles(GetParam().ini)) {
        reported += std::to_string(finding.line) + ": " + finding.message + "\n";
    }
    EXPECT_NE(reported.find(GetParam().expected), std::string::npos) << reported;
}

INSTANTIATE_TEST_SUITE_P(Kinds, ProfileCheckMistake, ::testing::ValuesIn(kMistakes),
                         [](const auto& mistake) { return std::string(mistake.param.name); });

TEST(ProfileCheck, DocumentedExampleHasNoMistake) {
    std::stringstream example;
    example << std::ifstream(TARNLEAF_EXAMPLE_INI, std::ios::binary).rdbuf();
    EXPECT_EQ(FormatFindings("Tarnleaf.ini", CheckProfiles(example.str())), "");
}

}  // namespace
}  // namespace tarnleaf
