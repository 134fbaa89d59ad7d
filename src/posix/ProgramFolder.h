#pragma once

#include <string>
#include <string_view>

namespace tarnleaf {

// The folder that holds the running program (from /proc/self/exe), without a trailing
// slash; the current folder "." when the link cannot be read.
std::string ProgramFolder();

// Where Tarnleaf.ini is looked for when no --config names it: beside the program, unless
// the program was installed with the system (the Debian package puts it in /usr/bin), whose
// configuration belongs in /etc/tarnleaf.
std::string ConfigFolder();
std::string ConfigFolderFor(std::string_view programFolder);

// The folder part of a path: "/usr/bin/tarnleafd" gives "/usr/bin", "/tarnleafd" gives "/",
// a bare name gives ".".
std::string FolderOf(std::string_view path);

}  // namespace tarnleaf
