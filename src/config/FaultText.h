#pragma once

#include <string>
#include <string_view>

#include "ValueFault.h"

namespace tarnleaf {

// What a check of the file says about a value that a load does not take as written: the key,
// the value, why, and what the program does instead, in one line.
std::string DescribeFault(std::string_view key, std::string_view value, const ValueFault& fault);

}  // namespace tarnleaf
