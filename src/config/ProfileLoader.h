#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "ProfileSection.h"
#include "ProfileSource.h"
#include "BootpMessage.h"

namespace tarnleaf {

// LoadProfile: lays the header keys of `section` over `message`, re-creates its option area
// (sized by "MessageSize") and fills it with LoadProfileOptions. Every key comes from the
// section named at the start, even when the profile sets a new "HardwareAddress": the section
// is looked up before anything changes, so callers may pass the message's own chaddr.
void LoadProfile(const ProfileSource& source, std::string_view section, BootpMessage& message);

// Fills a zeroed option area from the option keys of `section`: cookie, catalogue options,
// Custom1..Custom10, END; an area in which no option was written is left all zero.
void LoadProfileOptions(const ProfileSource& source, std::string_view section,
                        std::vector<std::uint8_t>& area);
// The same for a profile already looked up.
void LoadProfileOptions(const ProfileSection& profile, std::vector<std::uint8_t>& area);

}  // namespace tarnleaf
