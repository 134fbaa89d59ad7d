#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// The numbers BOOTP and its DHCP extension fix on the wire. Everything that reads or writes
// them takes them from here.
namespace tarnleaf {

// UDP ports: servers listen on "BOOTPS", clients on "BOOTPC".
inline constexpr std::uint16_t kServerPort = 67;
inline constexpr std::uint16_t kClientPort = 68;

// The op field, and the names a profile and the packet dump use for it.
inline constexpr std::int16_t kBootRequest = 1;
inline constexpr std::int16_t kBootReply = 2;
inline constexpr std::string_view kBootRequestName = "BOOTREQUEST";
inline constexpr std::string_view kBootReplyName = "BOOTREPLY";

// The four bytes that open an option area (99.130.83.99).
inline constexpr std::array<std::uint8_t, 4> kMagicCookie{0x63, 0x82, 0x53, 0x63};
inline constexpr std::size_t kMagicCookieSize = kMagicCookie.size();

// Option codes the server itself reads or writes; the profile keys' codes live in the
// option catalogue. Pad and end carry no length byte.
inline constexpr std::uint8_t kPadOption = 0;
inline constexpr std::uint8_t kOverloadOption = 52;  // options also in file and/or sname
inline constexpr std::uint8_t kMessageTypeOption = 53;
inline constexpr std::uint8_t kEndOption = 255;

// The values of option 53.
enum class DhcpMessageType : std::uint8_t {
    Discover = 1,
    Offer = 2,
    Request = 3,
    Decline = 4,
    Ack = 5,
    Nak = 6,
    Release = 7,
    Inform = 8,
};

struct DhcpMessageTypeName {
    std::string_view name;
    DhcpMessageType type;
};

inline constexpr std::array<DhcpMessageTypeName, 8> kDhcpMessageTypeNames{{
    {"DHCPDISCOVER", DhcpMessageType::Discover},
    {"DHCPOFFER", DhcpMessageType::Offer},
    {"DHCPREQUEST", DhcpMessageType::Request},
    {"DHCPDECLINE", DhcpMessageType::Decline},
    {"DHCPACK", DhcpMessageType::Ack},
    {"DHCPNAK", DhcpMessageType::Nak},
    {"DHCPRELEASE", DhcpMessageType::Release},
    {"DHCPINFORM", DhcpMessageType::Inform},
}};

}  // namespace tarnleaf
