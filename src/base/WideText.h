#pragma once

#include <string>
#include <string_view>

namespace tarnleaf {

// The Windows API's UTF-16 text as the UTF-8 the programs hold (a lone surrogate becomes
// U+FFFD): file names, command lines, the platform's error texts.
std::string Narrow(std::wstring_view wide);

// The system's message for a Windows or Winsock error code, in UTF-8 and without its closing
// full stop and line break: in the user's language unless `language` (a LANGID) names
// another. Empty when the system has no message for the code. (The narrow call would give
// the ANSI code page's bytes, which a UTF-8 log or console shows as junk for every accented
// or Japanese letter.)
std::string SystemMessage(unsigned long code, unsigned language = 0);

}  // namespace tarnleaf
