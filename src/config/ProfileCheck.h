#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarnleaf {

// One mistake in a profiles file: the line it is on (1-based) and what is wrong, with what
// the program does about it.
struct CheckFinding {
    std::size_t line = 0;
    std::string message;

    friend bool operator==(const CheckFinding&, const CheckFinding&) = default;
};

// Reads the text of Tarnleaf.ini as the server does and reports, in line order, everything
// that will not work as written: lines that are no section, key or comment; repeated sections
// and keys; section names no request can have; client sections without a boot file; unknown
// keys (with the nearest known one); keys shadowed by another name for the same field; values
// that a load skips or takes differently; values that make a reply fail to encode. The
// verdicts on values come from the loaders themselves, so the check cannot disagree with them.
std::vector<CheckFinding> CheckProfiles(std::string_view text);

// "FILE:LINE: message", one line per finding, as a compiler prints them.
std::string FormatFindings(std::string_view fileName, const std::vector<CheckFinding>& findings);

}  // namespace tarnleaf
