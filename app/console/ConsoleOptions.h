#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "BootpConstants.h"
#include "FilePath.h"
#include "Result.h"

namespace tarnleaf {

// What the program is asked to do: serve, or one of the tools that tell what it would do.
enum class ConsoleAction { Serve, Check, Preview };

// The command line of the console server:
//   tarnleafd [--config FILE] [-NOLOG | --nolog] [--port N] [--user NAME] [--help]
//   tarnleafd --check [--config FILE]
//   tarnleafd --preview MAC [--type discover|request|inform|bootp] [--from ADDR] [--config FILE]
// (--user exists on Linux only: it names whom to run as once the port is bound.)
// "-NOLOG" is matched in any letter case, as the desktop program matches it.
struct ConsoleOptions {
    std::string configPath;  // empty: Tarnleaf.ini beside the program
    bool logging = true;
    std::uint16_t port = kServerPort;
    bool showHelp = false;
    std::optional<std::string> user;  // none: the default unprivileged user
    ConsoleAction action = ConsoleAction::Serve;
    std::string previewMac{};   // as given; checked when parsed
    std::string previewType = "discover";
    std::string previewFrom{};  // empty: the host's primary IPv4 address
};

// The arguments without the program name. A wrong command line gives the reason as text.
Result<ConsoleOptions, std::string> ParseConsoleArguments(const std::vector<std::string>& args);

std::string ConsoleUsage(std::string_view program);

// The profiles file: the one the command line names, else Tarnleaf.ini beside the program.
FilePath ConsoleConfigPath(const ConsoleOptions& options,
                                        const FilePath& programFolder);

// A start-up note when the profiles file does not exist (yet); empty when it does. Not
// fatal: the file is looked at again for every request, so it may come later.
std::string MissingConfigNote(const FilePath& configPath, std::string_view program);

}  // namespace tarnleaf
