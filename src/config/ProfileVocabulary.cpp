#include "ProfileVocabulary.h"

#include <algorithm>
#include <array>
#include <string>

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

constexpr std::size_t kLongestName =
    std::ranges::max(kNames, {}, [](std::string_view name) { return name.size(); }).size();

// The names upper-cased once: a check of a large file asks for thousands of suggestions.
const std::array<std::string, kNames.size()>& UpperNames() {
    static const auto upper = [] {
        std::array<std::string, kNames.size()> names;
        for (std::size_t i = 0; i < kNames.size(); ++i) names[i] = ToUpperAscii(kNames[i]);
        return names;
    }();
    return upper;
}

// Levenshtein distance, ignoring letter case, or limit + 1 once it is sure to exceed
// `limit`. `known` is one of the names, so its row fits on the stack whatever the length of
// `name`.
std::size_t EditDistance(std::string_view name, std::string_view known, std::size_t limit) {
    std::array<std::size_t, kLongestName + 1> row{};
    for (std::size_t j = 0; j <= known.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= name.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        std::size_t least = row[0];
        for (std::size_t j = 1; j <= known.size(); ++j) {
            const std::size_t above = row[j];
            const bool same = FoldAsciiCase(name[i - 1]) == FoldAsciiCase(known[j - 1]);
            row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
            least = std::min(least, row[j]);
        }
        // No later row can fall below this one's least.
        if (least > limit) return limit + 1;
    }
    return std::min(row[known.size()], limit + 1);
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
    if (name.size() >= 4 && name.size() < kLongestName) {
        const std::string upperName = ToUpperAscii(name);
        for (std::size_t i = 0; i < kNames.size(); ++i) {
            const std::string_view known = kNames[i];
            if (known.size() > name.size() && UpperNames()[i].find(upperName) != std::string::npos &&
                (nearest.empty() || known.size() < nearest.size())) {
                nearest = known;
            }
        }
    }
    if (!nearest.empty()) return nearest;
    // Farther than this, a suggestion would be a guess ("k1788827" is no slip for "Custom2").
    std::size_t best = std::max<std::size_t>(2, name.size() / 3) + 1;
    for (std::string_view known : kNames) {
        if (known.empty()) continue;
        // The lengths' difference is a floor of the distance: no need to work out one that
        // cannot win.
        const std::size_t floor =
            name.size() > known.size() ? name.size() - known.size() : known.size() - name.size();
        if (floor >= best) continue;
        const std::size_t distance = EditDistance(name, known, best - 1);
        if (distance < best) {
            best = distance;
            nearest = known;
        }
    }
    return nearest;
}

}  // namespace tarnleaf
