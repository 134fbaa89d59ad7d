#include <array>
#include <optional>
#include <charconv>
#include <string_view>

#include "IniKey.h"
#include "OptionCatalogue.h"
#include "OptionWriters.h"
#include "ProfileKeys.h"
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

}  // namespace

void LoadProfileOptions(const ProfileSource& source, std::string_view section,
                        std::vector<std::uint8_t>& area) {
    LoadProfileOptions(source.Section(section), area);
}

void LoadProfileOptions(const ProfileSection& profile, std::vector<std::uint8_t>& area,
                        ProfileObserver* observer) {
    const auto report = [observer](const ProfileSection::Entry& entry,
                                   const std::optional<ValueFault>& fault) {
        if (observer != nullptr && fault) observer->OnFault(entry.name, entry.value, *fault);
    };
    WriteMagicCookie(area);
    std::size_t position = kMagicCookieSize;

    for (std::size_t i = 0; i < kOptionCatalogue.size(); ++i) {
        const OptionRow& row = kOptionCatalogue[i];
        const RowKeys& keys = kCatalogueKeys[i];
        const auto entry = profile.ReadProfileEntry(keys.key, keys.alternative1, keys.alternative2);
        std::string_view value = entry.value;
        // Most keys of the catalogue are absent from any one profile.
        if (value.empty()) continue;
        char number[4];
        if (row.code == kMessageTypeOption) {
            if (const auto type = DhcpMessageTypeNumber(value)) {
                const auto written = std::to_chars(std::begin(number), std::end(number), *type);
                value = std::string_view(number, static_cast<std::size_t>(written.ptr - number));
            }
        }
        report(entry, WriteOption(row.kind, row.code, value, area, position));
    }

    for (const IniKey& key : kCustomKeys) {
        const auto entry = profile.ReadProfileEntry(key);
        if (entry.value.empty()) continue;
        const auto custom = CheckCustomOption(entry.value);
        if (!custom.ok()) {
            report(entry, custom.error());
            continue;
        }
        const CustomOption& option = custom.value();
        report(entry, WriteOption(option.kind, option.code, option.data, area, position));
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
