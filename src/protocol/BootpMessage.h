#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tarnleaf {

// One BOOTP/DHCP message in the server's working form: small numbers as integers, the
// transaction id and flags as raw wire bytes, addresses as display text and the whole
// option area (magic cookie included) as raw bytes. The request record is changed in
// place into the reply.
//
// Texts are byte strings in the system's 8-bit code page and travel unconverted; lengths
// and cuts count bytes.
struct BootpMessage {
    std::int16_t op = 0;     // 1 BOOTREQUEST, 2 BOOTREPLY
    std::int16_t htype = 0;  // hardware address type
    std::int16_t hlen = 0;   // hardware address length
    std::int16_t hops = 0;
    std::array<std::uint8_t, 4> xid{};  // wire order, never read as a number
    std::int32_t secs = 0;              // 0..65535 on the wire
    std::array<std::uint8_t, 2> flags{};
    std::string ciaddr;  // dotted decimal
    std::string yiaddr;
    std::string siaddr;
    std::string giaddr;
    std::string chaddr;  // "00-A0-C9-12-34-56"
    std::string sname;
    std::string file;
    std::vector<std::uint8_t> options;  // from the magic cookie on

    friend bool operator==(const BootpMessage&, const BootpMessage&) = default;
};

}  // namespace tarnleaf
