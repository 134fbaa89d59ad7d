#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tarnleaf {

// One parsed state of an INI file, immutable once built. It answers like the Windows
// private-profile call, so the program reads the same values on every platform:
// - section and key names match regardless of ASCII letter case; names are trimmed of
//   blanks, so "[ name ]" is the section "name"; a header line without "]" is ignored;
// - a key's value is everything after the first "=" of its line, blanks and tabs trimmed;
//   one pair of matching surrounding quotes (" or ') is removed; ";" inside a value is
//   part of the value; a line without "=" is no key; a line starting with ";" is a comment;
// - the first of duplicate sections wins (a later one is ignored whole), and so does the
//   first of duplicate keys within a section;
// - LF, CRLF and lone CR end lines; a UTF-8 byte-order mark at the start is skipped;
// - a value keeps at most its first 254 bytes (the private-profile buffer of 255).
// Lookups cost the same whatever the size of the file and allocate nothing.
class IniSnapshot {
public:
    static constexpr std::size_t kMaxValueBytes = 254;

    IniSnapshot() = default;  // the state of a missing file: no sections at all
    static IniSnapshot Parse(std::string_view text);
    // As Parse, taking over the text instead of copying it (a whole file's content).
    static IniSnapshot Adopt(std::string&& text);

    // The stored value, or no value when the section or key does not exist. An empty
    // section or key name never matches.
    std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;
    bool HasSection(std::string_view section) const;
    std::size_t SectionCount() const { return sections_.size(); }

    // What GetIniString answers: the value (or `defaultValue` when there is none), cut to
    // 254 bytes, then trimmed of spaces.
    std::string GetIniString(std::string_view section, std::string_view key,
                             std::string_view defaultValue) const;

private:
    // Values are kept as places in text_, so a snapshot may be moved freely.
    struct ValueSpan {
        std::uint32_t offset = 0;
        std::uint32_t length = 0;
    };
    struct CaseInsensitiveHash {
        using is_transparent = void;
        // Deliberately not noexcept: libstdc++ then stores each name's hash in its node, so
        // a lookup that misses (a client without a section) compares stored hashes instead
        // of hashing every name it meets again, and costs the same in a file of any size.
        std::size_t operator()(std::string_view text) const;
    };
    struct CaseInsensitiveEqual {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const noexcept;
    };
    template <typename V>
    using NameMap = std::unordered_map<std::string, V, CaseInsensitiveHash, CaseInsensitiveEqual>;
    using Section = NameMap<ValueSpan>;

    std::string text_;
    NameMap<Section> sections_;
};

}  // namespace tarnleaf
