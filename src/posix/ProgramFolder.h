#pragma once

#include <string>
#include <string_view>

namespace tarnleaf {

// The folder that holds the running program (from /proc/self/exe), without a trailing
// slash; the current folder "." when the link cannot be read.
std::string ProgramFolder();

// The folder part of a path: "/usr/bin/tarnleafd" gives "/usr/bin", "/tarnleafd" gives "/",
// a bare name gives ".".
std::string FolderOf(std::string_view path);

}  // namespace tarnleaf
