#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FilePath.h"

namespace tarnleaf {

// The argument text with the "--config FILE" pair taken out. The value may be written in
// double quotes (for paths with spaces); only the first pair counts, and a "--config"
// without a value stays in the rest as it was.
struct CommandLineParts {
    std::optional<std::string> configPath;
    std::string rest;
};

CommandLineParts SplitCommandLine(std::string_view text);

// The same for separate arguments (after the program's name), where "--config" and its value
// are two of them and the value is taken as it stands, quotes and all. The rest is the other
// arguments joined by single spaces, one that is empty or holds a blank in double quotes.
CommandLineParts SplitArguments(const std::vector<std::string>& arguments);

// Logging starts off when the rest, upper-cased, is exactly "-NOLOG": "-nolog" turns it
// off, "-NOLOG -X" or " -NOLOG" do not.
bool LoggingStartsOff(std::string_view rest);

// The configuration file the program reads and offers for editing: the --config file
// (relative to the current folder), else Tarnleaf.ini in the program's folder.
FilePath ResolveConfigFile(const CommandLineParts& parts,
                                        const FilePath& programFolder);

}  // namespace tarnleaf
