#pragma once

#include <string>

#include "ConsoleOptions.h"
#include "FilePath.h"

namespace tarnleaf {

// What a one-shot console command says and how it ends; the entry point prints it.
struct ToolOutcome {
    int exitCode = 0;
    std::string out;  // for standard output
    std::string err;  // for standard error
};

// tarnleafd --check: reads the profiles file as the server does and reports each mistake as
// "FILE:LINE: message", or one line saying the file is fine. Exit code 0 when fine, 1 when
// there is a mistake or the file cannot be read.
ToolOutcome RunCheck(const FilePath& configPath);

// tarnleafd --preview: what the log would show for the reply to the smallest request from
// the options' hardware address, answered on the interface with the address `localAddress`
// (dotted text) of a host named `hostName`. Opens no socket. Exit code 0 when the reply
// would go out, 1 when the log would show an error instead, 2 for a bad argument.
ToolOutcome RunPreview(const ConsoleOptions& options, const FilePath& configPath,
                       const std::string& localAddress, const std::string& hostName);

// Prints the outcome to standard output and error and gives its exit code.
int PrintOutcome(const ToolOutcome& outcome);

}  // namespace tarnleaf
