#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Ipv4Address.h"
#include "ProfileSource.h"

namespace tarnleaf {

// The request a preview answers: a DHCP message of one of these types, or plain BOOTP.
enum class PreviewType { Discover, Request, Inform, Bootp };

using MacAddress = std::array<std::uint8_t, 6>;

// "discover", "request", "inform" or "bootp", in any letter case.
std::optional<PreviewType> ParsePreviewType(std::string_view text);
// Six bytes of one or two hexadecimal digits, joined by "-" or ":".
std::optional<MacAddress> ParseMacAddress(std::string_view text);

// The smallest request a client could send: 300 bytes, op 1, Ethernet, the given hardware
// address, every other header field zero, and an option area of the magic cookie, option 53
// with the type (none for BOOTP), END and zeros.
std::vector<std::uint8_t> MinimalRequest(const MacAddress& mac, PreviewType type);

// What the log shows for the server's answer to `request`, arriving on the interface with
// the address `local` of a host named `hostName`: the dump of the reply, or the error entry
// that replaces it (an encoding fault). The request goes through the server's own request
// cycle, with an endpoint that keeps the reply instead of sending it, so the preview cannot
// differ from a real answer.
struct ReplyPreview {
    std::string text;  // CRLF line ends, as in the log
    bool sent = false;  // false: `text` is the error entry
};

ReplyPreview PreviewReply(ProfileSource& profiles, const std::vector<std::uint8_t>& request,
                          Ipv4Address local, std::string hostName);

}  // namespace tarnleaf
