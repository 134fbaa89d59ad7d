#pragma once

#include <string_view>

namespace tarnleaf {

// Every key name a profile can hold: the header keys, the catalogue's option keys, their
// short tags and alternatives, Custom1..Custom10, and SendPort (read in TestMessage only).
// Names match regardless of ASCII letter case.
bool IsProfileKey(std::string_view name);
bool IsHeaderKey(std::string_view name);

// The known key name nearest to `name` by edit distance (ignoring letter case); the first
// such name in the order above when several are as near. Empty when none is near enough to
// be a slip of the keyboard: within a third of the name's length, and at least two edits.
std::string_view NearestProfileKey(std::string_view name);

}  // namespace tarnleaf
