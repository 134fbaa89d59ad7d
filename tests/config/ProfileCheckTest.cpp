#include "ProfileCheck.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <tuple>

namespace tarnleaf {
namespace {

using Mistake = std::tuple<const char*, std::string, std::string>;
const std::string kT = "[TestMessage]\n", k58(58, 'h'), k81(81, 'd');

// A profiles file with one mistake, and the start of the line the check must print for it.
const Mistake kMistakes[] = {
    {"UnknownKeyGetsNearestName", kT + "SubnetMsk=1\n",
     "2: unknown key \"SubnetMsk\": ignored (did you mean \"SubnetMask\"?)"},
    {"FarUnknownKeyGetsNoGuess", kT + "Colour=blue\n", "2: unknown key \"Colour\": ignored\n"},
    {"PartOfAKeyNamesThatKey", kT + "LeaseTime=60\n",
     "2: unknown key \"LeaseTime\": ignored (did you mean \"IPAddressLeaseTime\"?)"},
    {"LeaseWithUnitIsNoNumber", kT + "IPAddressLeaseTime=1d\n",
     "2: IPAddressLeaseTime=1d is not a whole number: ignored, the option is left out"},
    {"HeaderNumberOutOfRange", kT + "HardwareLength=300\n",
     "2: HardwareLength=300 is not a number from 1 to 255: ignored, the field stays as it was"},
    {"AddressPiece", kT + "sm=1.1.300.0\n", "2: sm=1.1.300.0 has the address piece \"300\", which"},
    {"BadByteListValue", kT + "ParameterRequestList=1, x\n", "1, x has the value \"x\", which is"},
    {"CustomKindUnknown", kT + "Custom1=150, TEXT, a\n", "2: Custom1=150, TEXT, a has the kind"},
    {"CustomCodeZero", kT + "Custom2=0, BYTE, 1\n", "has the code \"0\", which reads as 0 or 255"},
    {"AddressThatCannotBeEncoded", kT + "HostIP=10.0.0.300\n",
     "2: HostIP=10.0.0.300 cannot be put on the wire (yiaddr): the test message is not sent"},
    {"AddressWithThreePieces", kT + "Gateway=10.0.0\n", "2: Gateway=10.0.0 is read as 10.0.0.0"},
    {"HostNameForAnAddress", kT + "HostIP=pc-07\n", "2: HostIP=pc-07 is read as 0.0.0.0"},
    {"FlagsWithoutPrefix", kT + "Flags=8000\n", "2: Flags=8000 is read as 0x0000 (its first two"},
    {"ShortAbove16Bits", kT + "IP-mtu-sz=70000\n", "above 65535: only its low 16 bits are sent"},
    {"MessageSizeOutOfRange", kT + "MessageSize=2000\n",
     "2: MessageSize=2000 is not a size from 301 to 1536: the message stays 300 bytes"},
    {"OneMeansOff", kT + "IP-forward=1\n", "2: IP-forward=1 is not a truth word, so it means off"},
    {"TextCut", kT + "MessageSize=576\nDomainName=" + k81, "3: DomainName=" + k81 + " is longer"},
    {"OptionWithoutRoom", kT + "HostName=" + k58 + "\n", "2: HostName=" + k58 + " does not fit"},
    {"LowerCaseTypeName", kT + "HardwareType=ethernet\n",
     "so the type becomes 0 (names are upper case: ETHERNET)"},
    {"ColonsInSectionName", "[00:A0:C9:12:34:56]\n", "1: section [00:A0:C9:12:34:56] is neit"},
    {"ClientWithoutBootFile", "[00-a0-c9-12-34-56]\n", "has no BootFile (or bf)"},
    {"RepeatedSection", kT + "[testmessage]\n", "2: section [testmessage] repeats line 1"},
    {"RepeatedKey", kT + "Flags=0x8000\nflags=0x0\n", "3: key \"flags\" repeats line 2: the first"},
    {"TagShadowedByLongName", kT + "SubnetMask=1\nsm=1\n",
     "3: \"sm\" is ignored: \"SubnetMask\" (line 2) gives the same field"},
    {"HashIsNoComment", kT + "# note\n", "2: neither a section, a key nor a comment"},
    {"TestMessageWithoutDestination", kT, "1: [TestMessage] has no ServerIP (or sa)"},
    {"SendPortNamesNoPort", kT + "sa=10.0.0.1\nSendPort=BOOTPX\n", "3: SendPort=BOOTPX names no"},
    {"KeyBeforeAnySection", "BootFile=x\n" + kT, "1: key \"BootFile\" outside"},
};

class ProfileCheckMistake : public ::testing::TestWithParam<Mistake> {};

TEST_P(ProfileCheckMistake, IsReportedOnItsLine) {
    const auto& [name, ini, expected] = GetParam();
    std::string reported;
    for (const CheckFinding& finding : CheckProfiles(ini))
        reported += std::to_string(finding.line) + ": " + finding.message + "\n";
    EXPECT_NE(reported.find(expected), std::string::npos) << reported;
}

INSTANTIATE_TEST_SUITE_P(Kinds, ProfileCheckMistake, ::testing::ValuesIn(kMistakes),
                         [](const auto& row) { return std::string(std::get<0>(row.param)); });

TEST(ProfileCheck, DocumentedExampleHasNoMistakeAlsoWhenSavedAsUtf16) {
    std::stringstream example;
    example << std::ifstream(TARNLEAF_EXAMPLE_INI, std::ios::binary).rdbuf();
    EXPECT_EQ(FormatFindings("Tarnleaf.ini", CheckProfiles(example.str())), "");
    std::string utf16 = "\xFF\xFE";  // the example is ASCII: each byte and a zero
    for (const char c : example.str()) utf16 += {c, '\0'};
    EXPECT_EQ(FormatFindings("Tarnleaf.ini", CheckProfiles(utf16)), "");
}

}  // namespace
}  // namespace tarnleaf
