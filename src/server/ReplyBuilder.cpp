#include "ReplyBuilder.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "OptionWriters.h"
#include "OptionLookup.h"

namespace tarnleaf {

namespace {

// Puts "53, 1, answer" at index 4, moving the option list up by three bytes. Nothing is
// inserted when fewer than three bytes lie behind the END (the reply then goes out without
// a message type) or when the area is too small to hold a cookie and the option.
void InsertMessageType(std::vector<std::uint8_t>& area, DhcpMessageType answer) {
    if (area.size() < 8) {
        return;
    }
    const std::ptrdiff_t last = static_cast<std::ptrdiff_t>(area.size()) - 1;
    std::ptrdiff_t end = last;
    while (end >= 0 && area[static_cast<std::size_t>(end)] != kEndOption) {
        --end;
    }
    if (last - end <= 2) {
        return;
    }
    if (end <= 0) {
        // No option list: the loader left the area all zeros, cookie included.
        WriteMagicCookie(area);
        area[7] = kEndOption;
    } else {
        // Bytes 4..last-3 move to 7..last; the three that fall off lie behind the END.
        std::copy_backward(area.begin() + 4, area.begin() + (last - 2), area.end());
    }
    area[4] = kMessageTypeOption;
    area[5] = 1;
    area[6] = static_cast<std::uint8_t>(answer);
}

}  // namespace

std::optional<DhcpMessageType> AnswerTypeFor(std::uint32_t requestType) {
    switch (requestType) {
        case static_cast<std::uint32_t>(DhcpMessageType::Discover):
            return DhcpMessageType::Offer;
        case static_cast<std::uint32_t>(DhcpMessageType::Request):
        case static_cast<std::uint32_t>(DhcpMessageType::Inform):
            return DhcpMessageType::Ack;
        default:
            // DECLINE, RELEASE or another server's answer: writing a type the client does
            // not expect would be worse than sending none.
            return std::nullopt;
    }
}

void BuildReply(const ProfileSource& profiles, BootpMessage& message) {
    // An empty chaddr (the record of a datagram too short to decode) names no section.
    BuildReply(ReadProfileOverlay(profiles.Section(message.chaddr)), message);
}

void BuildReply(const ProfileOverlay& profile, BootpMessage& message) {
    if (!profile.file.has_value()) {
        return;
    }
    // The request's type must be read before the profile replaces the option area.
    const std::optional<std::uint32_t> requestType =
        FindOptionValue(kMessageTypeOption, message.options);
    // An sname that carried the request's options (overload 2 or 3) holds no name, and the
    // reply's area no longer says so: left in, the client would take those bytes for the
    // server's name. (The file always comes from the profile.)
    const std::optional<std::uint32_t> overload =
        FindOptionValue(kOverloadOption, message.options);

    message.op = kBootReply;
    ApplyProfileOverlay(profile, message);
    if ((overload == 2u || overload == 3u) && !profile.sname) message.sname.clear();

    if (FindOptionValue(kMessageTypeOption, message.options).has_value() ||
        !requestType.has_value()) {
        return;
    }
    if (const auto answer = AnswerTypeFor(*requestType)) {
        InsertMessageType(message.options, *answer);
    }
}

}  // namespace tarnleaf
