#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "FilePath.h"
#include "Result.h"

namespace tarnleaf {

// Gives up what binding port 67 needed, once the socket is bound, so that a fault in the
// request path cannot be turned into root's rights.
//
// Started as root, the process becomes `user` (a name or a number), or by default the user
// who ran sudo (SUDO_UID/SUDO_GID), else "nobody": supplementary groups, group and user
// are all switched, the capability bounding and ambient sets emptied. "root" keeps
// everything: the one way to stay root. Started as anyone else (with the file capability,
// or under a service manager's ambient capability), the process keeps its user and drops
// every capability; naming another user then is an error, since only root could switch.
//
// The outcome is checked afterwards: no real, effective or saved user or group id is 0
// (unless root was asked for) and the effective and permitted capability sets are empty.
// On success: one line saying whom the process runs as; on failure: why. A failure must end
// the program: it may be half-way and must not go on serving.
Result<std::string, std::string> DropPrivileges(const std::optional<std::string>& user);

// A note when the profiles file exists but the process (as whom it now runs) cannot read
// it; empty otherwise.
std::string UnreadableFileNote(const FilePath& path, std::string_view program);

}  // namespace tarnleaf
