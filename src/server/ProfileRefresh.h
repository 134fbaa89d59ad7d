#pragma once

#include <string>

#include "LogModel.h"
#include "ProfileSource.h"

namespace tarnleaf {

// "Config Read Error!" and the line "file [PATH] reason [TEXT]".
std::string ConfigReadErrorBody(const ProfileReadFault& fault);

// Brings the profiles up to date before a message (or a batch of them) is handled, and puts
// a profiles file that has become unreadable into the log as an error entry, whatever the
// logging switch says: once when the condition begins, not with every message.
void RefreshProfiles(ProfileSource& profiles, LogModel& log);

}  // namespace tarnleaf
