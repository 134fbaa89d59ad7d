#pragma once

#include <string>
#include <string_view>

namespace tarnleaf {

// The Windows API's UTF-16 text as the UTF-8 the programs hold (a lone surrogate becomes
// U+FFFD): file names, command lines, the platform's error texts.
std::string Narrow(std::wstring_view wide);

}  // namespace tarnleaf
