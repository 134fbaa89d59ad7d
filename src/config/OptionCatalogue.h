#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "BootpConstants.h"
#include "Result.h"
#include "ValueFault.h"

namespace tarnleaf {

// How an option's value text becomes its data bytes; each kind has one writer.
enum class OptionKind {
    IpList,    // dotted addresses separated by ","; 4 bytes each
    Long,      // one signed 32-bit whole number, 4 bytes, most significant first
    Short,     // one whole number 0 or more, its low 16 bits, most significant first
    Flag,      // TRUE / YES / ON give 1, anything else 0
    Text,      // the first 80 bytes of the text
    ByteList,  // whole numbers 0..255 separated by ","; one byte each
};

struct OptionRow {
    std::uint8_t code;
    std::string_view key;
    std::string_view alternative1;  // tried while the value is still empty
    std::string_view alternative2;
    OptionKind kind;
};

// The option keys of a profile, in the order their options are written into the area.
inline constexpr std::array<OptionRow, 57> kOptionCatalogue{{
    {1, "SubnetMask", "sm", "", OptionKind::IpList},
    {2, "TimeOffset", "to", "", OptionKind::Long},
    // The one key with two alternatives: "gw" first, then the standard's own name.
    {3, "Gateway", "gw", "Router", OptionKind::IpList},
    {4, "TimeServer", "ts", "", OptionKind::IpList},
    {5, "IEN-116NameServer", "ns", "", OptionKind::IpList},
    {6, "DomainNameServer", "ds", "", OptionKind::IpList},
    {7, "LogServer", "lg", "", OptionKind::IpList},
    {8, "CookieServer", "cs", "", OptionKind::IpList},
    {9, "LPRServer", "lp", "", OptionKind::IpList},
    {10, "ImpressServer", "im", "", OptionKind::IpList},
    {11, "RLPServer", "rl", "", OptionKind::IpList},
    {12, "HostName", "hn", "", OptionKind::Text},
    {13, "BootFileSize", "bs", "", OptionKind::Short},
    {14, "MeritDumpFile", "df", "", OptionKind::Text},
    {15, "DomainName", "dn", "", OptionKind::Text},
    // A list kind, though the option holds one address: extra addresses are written too.
    {16, "SwapServer", "sw", "", OptionKind::IpList},
    {17, "RootPath", "rp", "", OptionKind::Text},
    // The short tag is "ef" (extensions file), not "ep".
    {18, "ExtensionsPath", "ef", "", OptionKind::Text},
    {19, "IP-forward", "", "", OptionKind::Flag},
    {20, "IP-srcroute", "", "", OptionKind::Flag},
    {21, "IP-filters", "", "", OptionKind::IpList},
    {22, "IP-maxudp", "", "", OptionKind::Short},
    // A single TTL byte, written through the list writer.
    {23, "IP-ttlive", "", "", OptionKind::ByteList},
    {24, "IP-pmtuage", "", "", OptionKind::Long},
    // The standard allows a table of sizes; this key gives exactly one.
    {25, "IP-pmtutab", "", "", OptionKind::Short},
    {26, "IP-mtu-sz", "", "", OptionKind::Short},
    {27, "IP-mtu-sl", "", "", OptionKind::Flag},
    {28, "IP-bcast1", "", "", OptionKind::IpList},
    {29, "IP-mask-d", "", "", OptionKind::Flag},
    {30, "IP-mask-s", "", "", OptionKind::Flag},
    {31, "IP-rt-dsc", "", "", OptionKind::Flag},
    {32, "IP-rt-sa", "", "", OptionKind::IpList},
    // Destination and router pairs, written as a plain address list.
    {33, "IP-routes", "", "", OptionKind::IpList},
    {34, "LL-trailer", "", "", OptionKind::Flag},
    {35, "LL-arp-tmo", "", "", OptionKind::Long},
    {36, "LL-ether2", "", "", OptionKind::Flag},
    {37, "TCP-def-ttl", "", "", OptionKind::ByteList},
    {38, "TCP-KA-tmo", "", "", OptionKind::Long},
    {39, "TCP-KA-junk", "", "", OptionKind::Flag},
    {40, "NISDomain", "yd", "", OptionKind::Text},
    {41, "NISServer", "ys", "", OptionKind::IpList},
    {42, "NTPServer", "nt", "", OptionKind::IpList},
    // Vendor-specific information as raw bytes.
    {43, "VSINFO", "", "", OptionKind::ByteList},
    {44, "NBiosNS", "", "", OptionKind::IpList},
    {45, "NBiosDD", "", "", OptionKind::IpList},
    {46, "NBiosNT", "", "", OptionKind::ByteList},
    {47, "NBiosS", "", "", OptionKind::Text},
    {48, "XW-FS", "", "", OptionKind::IpList},
    {49, "XW-DM", "", "", OptionKind::IpList},
    {50, "RequestedIPAddress", "", "", OptionKind::IpList},
    {51, "IPAddressLeaseTime", "", "", OptionKind::Long},
    // Codes 52 (overload) and 56, 57 have no key; 53 takes the DHCP message type names
    // first, then goes through the list writer.
    {kMessageTypeOption, "DHCPMessageType", "", "", OptionKind::ByteList},
    {54, "ServerIdentifier", "", "", OptionKind::IpList},
    {55, "ParameterRequestList", "", "", OptionKind::ByteList},
    {58, "RenewalTimeValue", "", "", OptionKind::Long},
    {59, "RebindingTimeValue", "", "", OptionKind::Long},
    {60, "VendorClassIdentifier", "", "", OptionKind::Text},
}};

// The number of a DHCP message type name ("DHCPOFFER", any letter case), or no value.
std::optional<std::uint8_t> DhcpMessageTypeNumber(std::string_view name);

// A free option from a "Custom<N>" key: "code, kind, data".
inline constexpr int kCustomKeyCount = 10;

struct CustomOption {
    std::uint8_t code;
    OptionKind kind;
    std::string_view data;  // a view into the value given to ParseCustomOption
};

// No value when the text has fewer than three ","-separated parts or no data, the code does
// not round into 1..254 (0 and 255 are the pad and end marks), or the kind word is not SHORT,
// LONG, IP/IPLIST/IP LIST/IP_LIST or BYTE/ARRAY.
std::optional<CustomOption> ParseCustomOption(std::string_view value);
// The same, saying why a value gives no option.
Result<CustomOption, ValueFault> CheckCustomOption(std::string_view value);

}  // namespace tarnleaf
