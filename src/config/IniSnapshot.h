#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "IniKey.h"

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
// - a value keeps at most its first 254 bytes (the private-profile buffer of 255);
// - a key name of 16 MiB or more (more than a profiles file may hold) is no key.
// Lookups cost the same whatever the size of the file and allocate nothing. A caller that
// reads many keys of one section looks the section up once (FindSection) and probes its keys
// from there.
class IniSnapshot {
public:
    static constexpr std::size_t kMaxValueBytes = 254;

    // One section of a snapshot, found once and then asked for any number of keys. A view:
    // it stays valid while its snapshot is neither replaced nor moved, which a profile source
    // guarantees from one Refresh() to the next.
    class Section {
    public:
        Section() = default;  // no section: every key is missing

        bool Exists() const { return snapshot_ != nullptr; }
        // The stored value, or no value when the key does not exist.
        std::optional<std::string_view> Find(const IniKey& key) const;
        // What GetIniString answers with an empty default: the value trimmed of spaces.
        std::string_view Value(const IniKey& key) const;

    private:
        friend class IniSnapshot;
        Section(const IniSnapshot* snapshot, std::uint32_t index)
            : snapshot_(snapshot), index_(index) {}

        const IniSnapshot* snapshot_ = nullptr;
        std::uint32_t index_ = 0;
    };

    IniSnapshot() = default;  // the state of a missing file: no sections at all
    static IniSnapshot Parse(std::string_view text);
    // As Parse, taking over the text instead of copying it (a whole file's content).
    static IniSnapshot Adopt(std::string&& text);

    // The section, or one that does not exist when there is none of that name. An empty
    // name never matches.
    Section FindSection(const IniKey& section) const;

    // The stored value, or no value when the section or key does not exist. An empty
    // section or key name never matches.
    std::optional<std::string_view> Find(std::string_view section, const IniKey& key) const;
    bool HasSection(std::string_view section) const;
    std::size_t SectionCount() const { return sections_.size(); }

    // Tells states apart: every Parse or Adopt gives a new serial, a copy keeps it. What
    // lets a cache of worked-out profiles know that the state it was filled from is gone.
    std::uint64_t Serial() const { return serial_; }

    // What GetIniString answers: the value (or `defaultValue` when there is none), cut to
    // 254 bytes, then trimmed of spaces.
    std::string GetIniString(std::string_view section, std::string_view key,
                             std::string_view defaultValue) const;

private:
    // Names and values are kept as places in text_, so a snapshot may be moved freely and
    // parsing allocates nothing per name. Entries are kept small: a file of one-letter keys
    // or sections costs only a few times its own size. A name's hash is kept as 32 bits
    // (Hash32), enough to tell names apart before their text is compared; it also picks the
    // home slot and a section's key bit.
    struct KeyEntry {
        std::uint32_t hash = 0;
        std::uint32_t nameOffset = 0;
        std::uint32_t valueOffset = 0;
        std::uint32_t lengths = 0;  // name length << 8 | value length (at most 254)
    };
    struct SectionEntry {
        std::uint32_t hash = 0;
        std::uint32_t nameOffset = 0;
        std::uint32_t nameLength = 0;
        std::uint32_t firstKey = 0;  // its keys are keys_[firstKey, firstKey + keyCount)
        std::uint32_t keyCount = 0;
        std::uint32_t firstSlot = 0;  // its key index is keySlots_[firstSlot, + slotCount)
        std::uint32_t slotCount = 0;  // a power of two, or 0 for no keys
        // One bit per key, picked by its hash: most keys a profile load asks for are not
        // there, and a clear bit says so without a walk through the slots.
        std::uint32_t keyBits = 0;
    };
    static constexpr std::uint32_t kMaxKeyNameBytes = (1u << 24) - 1;

    // The indexes are open-addressed tables: each slot holds an entry's position + 1, or 0
    // when free. A table is at most half full, so a name that is missing ends its probe at
    // the first or second slot.
    // Makes the section index room for `sections` names, as many as it holds or more.
    void ResizeSectionIndex(std::size_t sections);
    // Adds the section and indexes it; false, adding nothing, for a name already there.
    bool AddSection(const SectionEntry& section);
    // Adds the key to the last section and to `index`, that section's key index so far;
    // false, adding nothing, for a name already there.
    bool AddKey(const KeyEntry& key, std::vector<std::uint32_t>& index);
    // Makes `index`, the key index of `section`, room for `keys` names.
    void ResizeKeyIndex(const SectionEntry& section, std::size_t keys,
                        std::vector<std::uint32_t>& index) const;
    // Hands the last section's key index over to the snapshot and empties `index`.
    void EndSection(std::vector<std::uint32_t>& index);
    std::span<const std::uint32_t> KeySlots(const SectionEntry& section) const;
    std::string_view NameOf(const KeyEntry& key) const;
    std::string_view NameOf(const SectionEntry& section) const;
    std::string_view ValueOf(const KeyEntry& key) const;
    template <typename Entry>
    bool NameMatches(const Entry& entry, std::uint32_t hash, std::string_view name) const;

    std::string text_;
    std::vector<SectionEntry> sections_;  // in file order, each name once
    std::vector<KeyEntry> keys_;          // in file order, section by section
    std::vector<std::uint32_t> sectionSlots_;
    std::vector<std::uint32_t> keySlots_;
    std::uint64_t serial_ = 0;       // 0: the empty state of a missing file
};

}  // namespace tarnleaf
