#include "ProfileVocabulary.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "IniKey.h"
#include "OptionCatalogue.h"
#include "ProfileKeys.h"
#include "TextConversions.h"

namespace tarnleaf {

namespace {

// The names in the order of a load, so a tie goes to the key a load meets first.
constexpr auto kNames = [] {
    std::array<std::string_view, 2 * kHeaderKeys.size() + 3 * kOptionCatalogue.size() +
                                     kCustomKeys.size() + 1>
        names{};
    std::size_t count = 0;
    for (const HeaderKey& header : kHeaderKeys) {
        names[count++] = header.key.Name();
        names[count++] = header.alternative.Name();
    }
    for (const OptionRow& row : kOptionCatalogue) {
        names[count++] = row.key;
        names[count++] = row.alternative1;
        names[count++] = row.alternative2;
    }
    for (const IniKey& custom : kCustomKeys) names[count++] = custom.Name();
    names[count++] = kSendPortKey.Name();
    return names;
}();

bool InHeader(std::string_view name) {
    return std::any_of(kHeaderKeys.begin(), kHeaderKeys.end(), [&](const HeaderKey& header) {
        return EqualsIgnoreCase(name, header.key.Name()) ||
               (!header.alternative.empty() && EqualsIgnoreCase(name, header.alternative.Name()));
    });
}

std::size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            const bool same = FoldAsciiCase(a[i - 1]) == FoldAsciiCase(b[j - 1]);
            row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

bool IsProfileKey(std::string_view name) {
    if (name.empty()) return false;
    return std::any_of(kNames.begin(), kNames.end(),
                       [&](std::string_view known) { return EqualsIgnoreCase(name, known); });
}

bool IsHeaderKey(std::string_view name) { return !name.empty() && InHeader(name); }

std::string_view NearestProfileKey(std::string_view name) {
    // A part of a longer key ("LeaseTime") means that key, however far it is by edits.
    std::string_view nearest;
    const std::string upperName = ToUpperAscii(name);
    for (std::string_view known : kNames) {
        if (name.size() >= 4 && known.size() > name.size() &&
            ToUpperAscii(known).find(upperName) != std::string::npos &&
            (nearest.empty() || known.size() < nearest.size())) {
            nearest = known;
        }
    }
    if (!nearest.empty()) return nearest;
    std::size_t best = static_cast<std::size_t>(-1);
    for (std::string_view known : kNames) {
        if (known.empty()) continue;
        const std::size_t distance = EditDistance(name, known);
        if (distance < best) {
            best = distance;
            nearest = known;
        }
    }
    return nearest;
}

}  // namespace tarnleaf
