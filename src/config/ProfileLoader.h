#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "ProfileObserver.h"
#include "ProfileSection.h"
#include "ProfileSource.h"
#include "BootpMessage.h"

namespace tarnleaf {

// LoadProfile: lays the header keys of `section` over `message`, re-creates its option area
// (sized by "MessageSize") and fills it with LoadProfileOptions. Every key comes from the
// section named at the start, even when the profile sets a new "HardwareAddress": the section
// is looked up before anything changes, so callers may pass the message's own chaddr.
// An observer, when given, hears of every value that is not taken as written.
void LoadProfile(const ProfileSource& source, std::string_view section, BootpMessage& message,
                 ProfileObserver* observer = nullptr);
void LoadProfile(const ProfileSection& profile, BootpMessage& message,
                 ProfileObserver* observer = nullptr);

// Fills a zeroed option area from the option keys of `section`: cookie, catalogue options,
// Custom1..Custom10, END; an area in which no option was written is left all zero.
void LoadProfileOptions(const ProfileSource& source, std::string_view section,
                        std::vector<std::uint8_t>& area);
// The same for a profile already looked up.
void LoadProfileOptions(const ProfileSection& profile, std::vector<std::uint8_t>& area,
                        ProfileObserver* observer = nullptr);

}  // namespace tarnleaf
