#include "config/ProfileSource.h"

namespace tarnleaf {

std::string ProfileSource::ReadProfileValue(std::string_view section, std::string_view key,
                                            std::string_view alternative1,
                                            std::string_view alternative2) const {
    std::string value = GetIniString(section, key, {});
    // The second alternative is tried only behind the first: a key with one alternative
    // never looks further, however it is called.
    if (value.empty() && !alternative1.empty()) {
        value = GetIniString(section, alternative1, {});
        if (value.empty() && !alternative2.empty()) {
            value = GetIniString(section, alternative2, {});
        }
    }
    return value;
}

}  // namespace tarnleaf
