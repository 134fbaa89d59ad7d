#include "ProfileRefresh.h"

namespace tarnleaf {

std::string ConfigReadErrorBody(const ProfileReadFault& fault) {
    return "Config Read Error!\r\nfile [" + fault.file + "] reason [" + fault.reason + "]";
}

void RefreshProfiles(ProfileSource& profiles, LogModel& log) {
    profiles.Refresh();
    if (const auto fault = profiles.TakeReadFault()) {
        log.AppendErrorEntry(ConfigReadErrorBody(*fault));
    }
}

}  // namespace tarnleaf
