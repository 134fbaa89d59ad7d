#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "BootpMessage.h"
#include "ProfileObserver.h"
#include "ProfileSection.h"

namespace tarnleaf {

// What a profile does to a message, worked out once: every header field its keys set, and
// the option area it builds. A field the profile leaves alone has no value and keeps what
// the message holds. Reading a profile is by far the costliest step of a reply, and its
// outcome depends on the section alone, so a server reads each profile once per state of
// the file and lays the result over every request of that client.
struct ProfileOverlay {
    std::optional<std::int16_t> op;
    std::optional<std::int16_t> htype;
    std::optional<std::int16_t> hlen;
    std::optional<std::int16_t> hops;
    std::optional<std::int32_t> secs;
    std::optional<std::array<std::uint8_t, 2>> flags;
    std::optional<std::string> ciaddr;
    std::optional<std::string> yiaddr;
    std::optional<std::string> siaddr;
    std::optional<std::string> giaddr;
    std::optional<std::string> chaddr;
    std::optional<std::string> sname;
    std::optional<std::string> file;  // set exactly when "BootFile" (or "bf") is given
    std::vector<std::uint8_t> options;  // the whole area, always replaced

    friend bool operator==(const ProfileOverlay&, const ProfileOverlay&) = default;
};

// Reads the header keys and the option keys of `profile`, in the order a load reads them; an
// observer, when given, hears of every value that is not taken as written.
ProfileOverlay ReadProfileOverlay(const ProfileSection& profile,
                                  ProfileObserver* observer = nullptr);

// Lays the overlay over `message`. Reuses the message's storage, so a message that has held
// a reply before takes the next one without allocating.
void ApplyProfileOverlay(const ProfileOverlay& overlay, BootpMessage& message);

}  // namespace tarnleaf
