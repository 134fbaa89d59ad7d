#pragma once

#include <string_view>

#include "ValueFault.h"

namespace tarnleaf {

// Told by a profile load of every value it does not take as written. The loaders call it
// only when given one, so a load for a reply pays a pointer test per faulty key, no more.
class ProfileObserver {
public:
    virtual ~ProfileObserver() = default;

    // `key`: the name (as the program spells it) whose value was read; `value`: that value.
    virtual void OnFault(std::string_view key, std::string_view value,
                         const ValueFault& fault) = 0;
};

}  // namespace tarnleaf
