#pragma once

#include <cstdint>
#include <optional>

#include "BootpConstants.h"
#include "BootpMessage.h"
#include "ProfileOverlay.h"
#include "ProfileOverlayCache.h"
#include "ProfileSource.h"

namespace tarnleaf {

// The type that answers a request of type `requestType` when the profile names none:
// DISCOVER gets OFFER, REQUEST and INFORM get ACK; other types get no answer type.
std::optional<DhcpMessageType> AnswerTypeFor(std::uint32_t requestType);

// BuildReply: turns the request in `message` into the reply, in place. A client is known
// when its section (named by chaddr) gives "BootFile" (or "bf"); an unknown client's record
// is left exactly as it came. A known client's reply is the request with op 2 and the
// profile laid over it; when the request was DHCP and the profile names no message type,
// option 53 with the answering type is inserted at the head of the option list.
void BuildReply(const ProfileSource& profiles, BootpMessage& message);

// The same with the profile already read (`profile`: the overlay of chaddr's section).
void BuildReply(const ProfileOverlay& profile, BootpMessage& message);

// BuildReply for a server: reads each client's profile once per state of the file.
class ReplyBuilder {
public:
    void Build(const ProfileSource& profiles, BootpMessage& message) {
        BuildReply(overlays_.Find(profiles, message.chaddr), message);
    }

private:
    ProfileOverlayCache overlays_;
};

}  // namespace tarnleaf
