#include <string>

#include "config/OptionCatalogue.h"
#include "config/OptionWriters.h"
#include "config/ProfileLoader.h"

namespace tarnleaf {

void LoadProfileOptions(const ProfileSource& source, const std::string& section,
                        std::vector<std::uint8_t>& area) {
    WriteMagicCookie(area);
    std::size_t position = kMagicCookieSize;

    for (const OptionRow& row : kOptionCatalogue) {
        std::string value =
            source.ReadProfileValue(section, row.key, row.alternative1, row.alternative2);
        if (row.code == kDhcpMessageTypeCode) {
            if (const auto number = DhcpMessageTypeNumber(value)) value = std::to_string(*number);
        }
        WriteOption(row.kind, row.code, value, area, position);
    }

    for (int n = 1; n <= kCustomKeyCount; ++n) {
        const std::string value = source.ReadProfileValue(section, "Custom" + std::to_string(n));
        if (const auto custom = ParseCustomOption(value)) {
            WriteOption(custom->kind, custom->code, custom->data, area, position);
        }
    }

    if (position > kMagicCookieSize) {
        // The fit rule kept one byte free behind the last option.
        area[position] = kEndOption;
    } else {
        // Without a single option the area carries no cookie either.
        area.assign(area.size(), 0);
    }
}

}  // namespace tarnleaf
