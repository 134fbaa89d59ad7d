#include "IniSnapshot.h"

#include "IniLine.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <limits>
#include <span>
#include <utility>

namespace tarnleaf {

namespace {

std::string_view TrimSpaceChars(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

// Slots for `entries` names: none for none, else a power of two at least twice as many.
std::size_t SlotCountFor(std::size_t entries) {
    return entries == 0 ? 0 : std::bit_ceil(entries * 2);
}

// The 32 bits of a name's hash that a snapshot keeps. FNV-1a leaves its high bits the best
// mixed; folding them in serves the slot index.
constexpr std::uint32_t Hash32(std::uint64_t hash) {
    return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

std::size_t HomeSlot(std::uint32_t hash) { return hash; }

// The bit of a section's key mask that stands for `hash`: its top five bits pick one of 32.
std::uint32_t KeyBit(std::uint32_t hash) { return std::uint32_t{1} << (hash >> 27); }

// Walks `table` from the home slot of `hash` and returns the slot holding the entry for which
// `matches(position)` holds, or the free slot that ends the walk; nullptr for a table of no
// slots. Tables are never more than half full, so every walk meets a free slot.
template <typename Slot, typename Matches>
Slot* ProbeSlot(std::span<Slot> table, std::uint32_t hash, Matches&& matches) {
    if (table.empty()) return nullptr;
    const std::size_t mask = table.size() - 1;
    for (std::size_t i = HomeSlot(hash) & mask;; i = (i + 1) & mask) {
        Slot& slot = table[i];
        if (slot == 0 || matches(slot - 1)) return &slot;
    }
}

bool EqualsFolded(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char x, char y) { return FoldAsciiCase(x) == FoldAsciiCase(y); });
}

}  // namespace

IniSnapshot IniSnapshot::Parse(std::string_view text) { return Adopt(std::string(text)); }

IniSnapshot IniSnapshot::Adopt(std::string&& text) {
    static std::atomic<std::uint64_t> lastSerial{0};
    IniSnapshot snapshot;
    snapshot.serial_ = lastSerial.fetch_add(1, std::memory_order_relaxed) + 1;
    snapshot.text_ = IniTextFromFile(std::move(text));
    std::string_view all = snapshot.text_;
    // Offsets are 32-bit; the reader never hands over a file anywhere near that size, but a
    // caller could, so the text is cut rather than the offsets overflowing.
    constexpr std::size_t kMaxText = std::numeric_limits<std::uint32_t>::max();
    if (all.size() > kMaxText) all = all.substr(0, kMaxText);
    all = SkipByteOrderMark(all);

    const auto offsetOf = [&](std::string_view part) {
        return static_cast<std::uint32_t>(part.data() - snapshot.text_.data());
    };
    // Keys go to the last section header met; none before the first. Names are indexed as
    // they are met, and the first of duplicate names wins: a section or key whose name is
    // taken is skipped (a section with its keys), as it would never be read. A file of one
    // line over and over then costs its text alone.
    IniLineReader lines(all);
    bool inSection = false;
    std::vector<std::uint32_t> keyIndex;  // the current section's, until its end
    while (auto rawLine = lines.Next()) {
        const IniLine line = TokeniseIniLine(*rawLine);
        if (line.kind == IniLineKind::Section) {
            if (inSection) snapshot.EndSection(keyIndex);
            SectionEntry section;
            section.hash = Hash32(FoldedNameHash(line.name));
            section.nameOffset = offsetOf(line.name);
            section.nameLength = static_cast<std::uint32_t>(line.name.size());
            section.firstKey = static_cast<std::uint32_t>(snapshot.keys_.size());
            inSection = snapshot.AddSection(section);
            continue;
        }
        if (line.kind != IniLineKind::Key || !inSection) continue;
        if (line.name.size() > kMaxKeyNameBytes) continue;
        const std::string_view value =
            line.value.substr(0, std::min(line.value.size(), kMaxValueBytes));
        snapshot.AddKey(
            KeyEntry{Hash32(FoldedNameHash(line.name)), offsetOf(line.name), offsetOf(value),
                     static_cast<std::uint32_t>(line.name.size() << 8 | value.size())},
            keyIndex);
    }
    if (inSection) snapshot.EndSection(keyIndex);
    // Growth by doubling leaves up to half of each table unused; a snapshot lives long.
    snapshot.sections_.shrink_to_fit();
    snapshot.keys_.shrink_to_fit();
    snapshot.keySlots_.shrink_to_fit();
    return snapshot;
}

void IniSnapshot::ResizeSectionIndex(std::size_t sections) {
    sectionSlots_.assign(SlotCountFor(sections), 0);
    for (std::size_t s = 0; s < sections_.size(); ++s) {
        *ProbeSlot(std::span(sectionSlots_), sections_[s].hash,
                   [](std::uint32_t) { return false; }) = static_cast<std::uint32_t>(s + 1);
    }
}

bool IniSnapshot::AddSection(const SectionEntry& section) {
    // The index stays at most half full.
    if (SlotCountFor(sections_.size() + 1) > sectionSlots_.size()) {
        ResizeSectionIndex(sections_.size() + 1);
    }
    std::uint32_t* slot =
        ProbeSlot(std::span(sectionSlots_), section.hash, [&](std::uint32_t position) {
            return NameMatches(sections_[position], section.hash, NameOf(section));
        });
    if (*slot != 0) return false;
    *slot = static_cast<std::uint32_t>(sections_.size() + 1);
    sections_.push_back(section);
    return true;
}

bool IniSnapshot::AddKey(const KeyEntry& key, std::vector<std::uint32_t>& index) {
    SectionEntry& section = sections_.back();
    // The index stays at most half full. It starts with room for a usual profile's keys, so
    // that a section is not indexed afresh at its second, third and fifth key.
    constexpr std::size_t kUsualKeys = 8;
    if (SlotCountFor(section.keyCount + 1) > index.size()) {
        ResizeKeyIndex(section, std::max<std::size_t>(section.keyCount + 1, kUsualKeys), index);
    }
    std::uint32_t* slot = ProbeSlot(std::span(index), key.hash, [&](std::uint32_t position) {
        return NameMatches(keys_[position], key.hash, NameOf(key));
    });
    if (*slot != 0) return false;
    *slot = static_cast<std::uint32_t>(keys_.size() + 1);
    keys_.push_back(key);
    ++section.keyCount;
    section.keyBits |= KeyBit(key.hash);
    return true;
}

void IniSnapshot::ResizeKeyIndex(const SectionEntry& section, std::size_t keys,
                                 std::vector<std::uint32_t>& index) const {
    index.assign(SlotCountFor(keys), 0);
    for (std::uint32_t k = section.firstKey; k < section.firstKey + section.keyCount; ++k) {
        *ProbeSlot(std::span(index), keys_[k].hash, [](std::uint32_t) { return false; }) = k + 1;
    }
}

void IniSnapshot::EndSection(std::vector<std::uint32_t>& index) {
    SectionEntry& section = sections_.back();
    if (SlotCountFor(section.keyCount) < index.size()) {
        ResizeKeyIndex(section, section.keyCount, index);  // no more room than it needs
    }
    section.firstSlot = static_cast<std::uint32_t>(keySlots_.size());
    section.slotCount = static_cast<std::uint32_t>(index.size());
    keySlots_.insert(keySlots_.end(), index.begin(), index.end());
    index.clear();
}

std::span<const std::uint32_t> IniSnapshot::KeySlots(const SectionEntry& section) const {
    return std::span(keySlots_).subspan(section.firstSlot, section.slotCount);
}

std::string_view IniSnapshot::NameOf(const KeyEntry& key) const {
    return std::string_view(text_.data() + key.nameOffset, key.lengths >> 8);
}

std::string_view IniSnapshot::NameOf(const SectionEntry& section) const {
    return std::string_view(text_.data() + section.nameOffset, section.nameLength);
}

std::string_view IniSnapshot::ValueOf(const KeyEntry& key) const {
    return std::string_view(text_.data() + key.valueOffset, key.lengths & 0xFF);
}

template <typename Entry>
bool IniSnapshot::NameMatches(const Entry& entry, std::uint32_t hash,
                              std::string_view name) const {
    return entry.hash == hash && EqualsFolded(NameOf(entry), name);
}

IniSnapshot::Section IniSnapshot::FindSection(const IniKey& name) const {
    if (name.empty()) return {};
    const std::uint32_t hash = Hash32(name.Hash());
    const std::uint32_t* slot =
        ProbeSlot(std::span(sectionSlots_), hash, [&](std::uint32_t position) {
            return NameMatches(sections_[position], hash, name.Name());
        });
    if (slot == nullptr || *slot == 0) return {};
    return Section(this, *slot - 1);
}

std::optional<std::string_view> IniSnapshot::Section::Find(const IniKey& key) const {
    if (snapshot_ == nullptr || key.empty()) return std::nullopt;
    const IniSnapshot& snapshot = *snapshot_;
    const SectionEntry& section = snapshot.sections_[index_];
    const std::uint32_t hash = Hash32(key.Hash());
    if ((section.keyBits & KeyBit(hash)) == 0) return std::nullopt;
    const std::uint32_t* slot =
        ProbeSlot(snapshot.KeySlots(section), hash, [&](std::uint32_t position) {
            return snapshot.NameMatches(snapshot.keys_[position], hash, key.Name());
        });
    if (slot == nullptr || *slot == 0) return std::nullopt;
    return snapshot.ValueOf(snapshot.keys_[*slot - 1]);
}

std::string_view IniSnapshot::Section::Value(const IniKey& key) const {
    // Stored values are already cut to the buffer's size.
    return TrimSpaceChars(Find(key).value_or(std::string_view{}));
}

std::optional<std::string_view> IniSnapshot::Find(std::string_view section,
                                                  const IniKey& key) const {
    return FindSection(section).Find(key);
}

bool IniSnapshot::HasSection(std::string_view section) const {
    return FindSection(section).Exists();
}

std::string IniSnapshot::GetIniString(std::string_view section, std::string_view key,
                                      std::string_view defaultValue) const {
    std::string_view value = Find(section, key).value_or(defaultValue);
    value = value.substr(0, std::min(value.size(), kMaxValueBytes));
    return std::string(TrimSpaceChars(value));
}

}  // namespace tarnleaf
