#pragma once

// Wire images of the message shapes the server meets, byte for byte as a client sends them,
// with the records and the dump they must decode to. Shared by the protocol, server and
// end-to-end tests.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "BootpMessage.h"

namespace tarnleaf::golden {

// Offsets of the fixed header fields, for tests that patch an image.
inline constexpr std::size_t kOffsetHlen = 2;
inline constexpr std::size_t kOffsetSecs = 8;
inline constexpr std::size_t kOffsetCiaddr = 12;
inline constexpr std::size_t kOffsetGiaddr = 24;
inline constexpr std::size_t kOffsetChaddr = 28;
inline constexpr std::size_t kOffsetSname = 44;
inline constexpr std::size_t kOffsetFile = 108;
inline constexpr std::size_t kOffsetOptions = 236;

// An image of N bytes: `header` from op to the used part of chaddr, then the file name and
// the option area from offset 236; every byte not given (the rest of chaddr, sname, the
// rest of file, the option area's padding) is zero.
template <std::size_t N>
constexpr std::array<std::uint8_t, N> Image(std::initializer_list<std::uint8_t> header,
                                            std::string_view file,
                                            std::initializer_list<std::uint8_t> options) {
    std::array<std::uint8_t, N> image{};
    std::size_t i = 0;
    for (std::uint8_t b : header) image[i++] = b;
    i = kOffsetFile;
    for (char c : file) image[i++] = static_cast<std::uint8_t>(c);
    i = kOffsetOptions;
    for (std::uint8_t b : options) image[i++] = b;
    return image;
}

// A DHCPDISCOVER from 00-A0-C9-12-34-56 with the minimum 64-byte option area.
inline constexpr auto kDiscoverImage = Image<300>(
    {
        0x01,                                // op 1 BOOTREQUEST
        0x01,                                // htype 1 Ethernet
        0x06,                                // hlen 6
        0x00,                                // hops 0
        0x0A, 0x1B, 0x2C, 0x3D,              // xid 0A 1B 2C 3D
        0x00, 0x00,                          // secs 0
        0x80, 0x00,                          // flags: broadcast bit
        0x00, 0x00, 0x00, 0x00,              // ciaddr 0.0.0.0
        0x00, 0x00, 0x00, 0x00,              // yiaddr 0.0.0.0
        0x00, 0x00, 0x00, 0x00,              // siaddr 0.0.0.0
        0x00, 0x00, 0x00, 0x00,              // giaddr 0.0.0.0
        0x00, 0xA0, 0xC9, 0x12, 0x34, 0x56,  // chaddr 00-A0-C9-12-34-56, 10 zero bytes follow
    },
    "",  // sname and file: all zero
    {
        0x63, 0x82, 0x53, 0x63,                                // magic cookie 99.130.83.99
        0x35, 0x01, 0x01,                                      // 53 message type: DISCOVER
        0x3D, 0x07, 0x01, 0x00, 0xA0, 0xC9, 0x12, 0x34, 0x56,  // 61 client id: type 1 + chaddr
        0x37, 0x04, 0x01, 0x03, 0x06, 0x0F,                    // 55 parameter list: 1 3 6 15
        0x0C, 0x05, 0x64, 0x65, 0x73, 0x6B, 0x31,              // 12 host name: "desk1"
        0xFF,                                                  // 255 end; zeros to 64 bytes
    });

// The DHCPREQUEST that follows the offer, with the full 312-byte option area of RFC 2131.
inline constexpr auto kRequestImage = Image<548>(
    {
        0x01, 0x01, 0x06, 0x00,              // op 1, htype 1, hlen 6, hops 0
        0x0A, 0x1B, 0x2C, 0x3E,              // xid 0A 1B 2C 3E
        0x00, 0x03,                          // secs 3
        0x00, 0x00,                          // flags 0
        0x00, 0x00, 0x00, 0x00,              // ciaddr 0.0.0.0
        0x00, 0x00, 0x00, 0x00,              // yiaddr 0.0.0.0
        0x00, 0x00, 0x00, 0x00,              // siaddr 0.0.0.0
        0x00, 0x00, 0x00, 0x00,              // giaddr 0.0.0.0
        0x00, 0xA0, 0xC9, 0x12, 0x34, 0x56,  // chaddr 00-A0-C9-12-34-56
    },
    "",
    {
        0x63, 0x82, 0x53, 0x63,                                // magic cookie
        0x35, 0x01, 0x03,                                      // 53 message type: REQUEST
        0x3D, 0x07, 0x01, 0x00, 0xA0, 0xC9, 0x12, 0x34, 0x56,  // 61 client id: type 1 + chaddr
        0x32, 0x04, 0xC0, 0xA8, 0x00, 0x14,                    // 50 requested 192.168.0.20
        0x36, 0x04, 0xC0, 0xA8, 0x00, 0x01,                    // 54 server id 192.168.0.1
        0x37, 0x04, 0x01, 0x03, 0x06, 0x0F,                    // 55 parameter list: 1 3 6 15
        0xFF,                                                  // 255 end; zeros to 312 bytes
    });

// A plain BOOTP request through a relay: cookie and end mark only, no DHCP message type.
inline constexpr auto kBootpRequestImage = Image<300>(
    {
        0x01, 0x01, 0x06,                    // op 1, htype 1, hlen 6
        0x01,                                // hops 1: came through a relay
        0xDE, 0xAD, 0xBE, 0xEF,              // xid DE AD BE EF
        0x00, 0x0A,                          // secs 10
        0x00, 0x00,                          // flags 0
        0x00, 0x00, 0x00, 0x00,              // ciaddr 0.0.0.0
        0x00, 0x00, 0x00, 0x00,              // yiaddr 0.0.0.0
        0x00, 0x00, 0x00, 0x00,              // siaddr 0.0.0.0
        0x0A, 0x00, 0x00, 0x01,              // giaddr 10.0.0.1: the relay
        0x00, 0xA0, 0xC9, 0xAB, 0xCD, 0xEF,  // chaddr 00-A0-C9-AB-CD-EF
    },
    "vmunix",  // file, zero-filled to 128 bytes
    {
        0x63, 0x82, 0x53, 0x63,  // magic cookie
        0xFF,                    // 255 end: no options, so no message type; zeros to 64 bytes
    });

template <std::size_t N>
std::vector<std::uint8_t> Bytes(const std::array<std::uint8_t, N>& image) {
    return {image.begin(), image.end()};
}

template <std::size_t N>
std::vector<std::uint8_t> OptionArea(const std::array<std::uint8_t, N>& image) {
    return {image.begin() + kOffsetOptions, image.end()};
}

inline BootpMessage DiscoverRecord() {
    return {.op = 1, .htype = 1, .hlen = 6, .hops = 0, .xid = {0x0A, 0x1B, 0x2C, 0x3D},
            .secs = 0, .flags = {0x80, 0x00}, .ciaddr = "0.0.0.0", .yiaddr = "0.0.0.0",
            .siaddr = "0.0.0.0", .giaddr = "0.0.0.0", .chaddr = "00-A0-C9-12-34-56",
            .sname = "", .file = "", .options = OptionArea(kDiscoverImage)};
}

inline BootpMessage RequestRecord() {
    BootpMessage m = DiscoverRecord();
    m.xid = {0x0A, 0x1B, 0x2C, 0x3E};
    m.secs = 3;
    m.flags = {0x00, 0x00};
    m.options = OptionArea(kRequestImage);
    return m;
}

inline BootpMessage BootpRequestRecord() {
    return {.op = 1, .htype = 1, .hlen = 6, .hops = 1, .xid = {0xDE, 0xAD, 0xBE, 0xEF},
            .secs = 10, .flags = {}, .ciaddr = "0.0.0.0", .yiaddr = "0.0.0.0",
            .siaddr = "0.0.0.0", .giaddr = "10.0.0.1", .chaddr = "00-A0-C9-AB-CD-EF",
            .sname = "", .file = "vmunix", .options = OptionArea(kBootpRequestImage)};
}

inline constexpr std::string_view kDiscoverDump =
    "Message type [BOOTREQUEST]\r\n"
    "Hardware type [ETHERNET]\r\n"
    "Hardware address length [6]\r\n"
    "Gateway hops [0]\r\n"
    "Transaction ID [0A1B2C3D]\r\n"
    "seconds elapsed [0]\r\n"
    "Bootp flags [8000]\r\n"
    "client IP address [0.0.0.0]\r\n"
    "'your' (client) IP address [0.0.0.0]\r\n"
    "server IP address [0.0.0.0]\r\n"
    "gateway IP address [0.0.0.0]\r\n"
    "client hardware address [00-A0-C9-12-34-56]\r\n"
    "server host name []\r\n"
    "Boot file name []\r\n"
    "Option\r\n"
    "63 82 53 63 35 01 01 3D 07 01 00 A0 C9 12 34 56\r\n"
    "37 04 01 03 06 0F 0C 05 64 65 73 6B 31 FF 00 00\r\n"
    "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\r\n"
    "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\r\n";

}  // namespace tarnleaf::golden
