#pragma once

#include <ostream>
#include <string>

#include "ConsoleOptions.h"
#include "FilePath.h"

namespace tarnleaf {

// tarnleafd --check: reads the profiles file as the server does and prints each mistake as
// "FILE:LINE: message" to `out`, or one line saying the file is fine. Returns the exit code:
// 0 when fine, 1 when there is a mistake or the file cannot be read.
int RunCheck(const FilePath& configPath, std::ostream& out, std::ostream& err);

// tarnleafd --preview: prints what the log would show for the reply to the smallest request
// from the options' hardware address, answered on the interface with the address
// `localAddress` (dotted text) of a host named `hostName`. Opens no socket. Returns 0 when
// the reply would go out, 1 when the log would show an error instead.
int RunPreview(const ConsoleOptions& options, const FilePath& configPath,
               const std::string& localAddress, const std::string& hostName, std::ostream& out,
               std::ostream& err);

}  // namespace tarnleaf
