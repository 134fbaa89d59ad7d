#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/ProfileSource.h"
#include "protocol/BootpMessage.h"

namespace tarnleaf {

// LoadProfile: lays the header keys of `section` over `message`, re-creates its option area
// (sized by "MessageSize") and fills it with LoadProfileOptions. Every key comes from the
// section named at the start, even when the profile sets a new "HardwareAddress".
// `section` is taken by value: callers pass the message's own chaddr, which the load may change.
void LoadProfile(const ProfileSource& source, std::string section, BootpMessage& message);

// Fills a zeroed option area from the option keys of `section`: cookie, catalogue options,
// Custom1..Custom10, END; an area in which no option was written is left all zero.
void LoadProfileOptions(const ProfileSource& source, const std::string& section,
                        std::vector<std::uint8_t>& area);

}  // namespace tarnleaf
