#include <array>
#include <charconv>
#include <string_view>

#include "IniKey.h"
#include "OptionCatalogue.h"
#include "OptionWriters.h"
#include "ProfileLoader.h"

namespace tarnleaf {

namespace {

struct RowKeys {
    IniKey key;
    IniKey alternative1;
    IniKey alternative2;
};

// The catalogue's key names with their hashes, worked out by the compiler, row for row.
constexpr auto kCatalogueKeys = [] {
    std::array<RowKeys, kOptionCatalogue.size()> keys{};
    for (std::size_t i = 0; i < kOptionCatalogue.size(); ++i) {
        const OptionRow& row = kOptionCatalogue[i];
        keys[i] = {row.key, row.alternative1, row.alternative2};
    }
    return keys;
}();

constexpr std::array<IniKey, kCustomKeyCount> kCustomKeys{
    "Custom1", "Custom2", "Custom3", "Custom4", "Custom5",
    "Custom6", "Custom7", "Custom8", "Custom9", "Custom10",
};

}  // namespace

void LoadProfileOptions(const ProfileSource& source, std::string_view section,
                        std::vector<std::uint8_t>& area) {
    LoadProfileOptions(source.Section(section), area);
}

void LoadProfileOptions(const ProfileSection& profile, std::vector<std::uint8_t>& area) {
    WriteMagicCookie(area);
    std::size_t position = kMagicCookieSize;

    for (std::size_t i = 0; i < kOptionCatalogue.size(); ++i) {
        const OptionRow& row = kOptionCatalogue[i];
        const RowKeys& keys = kCatalogueKeys[i];
        std::string_view value =
            profile.ReadProfileValue(keys.key, keys.alternative1, keys.alternative2);
        char number[4];
        if (row.code == kMessageTypeOption && !value.empty()) {
            if (const auto type = DhcpMessageTypeNumber(value)) {
                const auto written = std::to_chars(std::begin(number), std::end(number), *type);
                value = std::string_view(number, static_cast<std::size_t>(written.ptr - number));
            }
        }
        WriteOption(row.kind, row.code, value, area, position);
    }

    for (const IniKey& key : kCustomKeys) {
        if (const auto custom = ParseCustomOption(profile.ReadProfileValue(key))) {
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
