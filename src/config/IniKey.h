#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnleaf {

constexpr char FoldAsciiCase(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

// FNV-1a over the name with its ASCII letters lower-cased: names that match regardless of
// letter case hash alike. Bytes outside ASCII are taken as they are.
constexpr std::uint64_t FoldedNameHash(std::string_view name) {
    std::uint64_t hash = 14695981039346656037ull;
    for (char c : name) {
        hash ^= static_cast<unsigned char>(FoldAsciiCase(c));
        hash *= 1099511628211ull;
    }
    return hash;
}

// A section or key name together with its folded hash. The names a profile load asks for are
// fixed, so they are made constexpr and cost no hashing at all at the time of the lookup.
class IniKey {
public:
    constexpr IniKey() = default;  // the empty name, which never matches
    constexpr IniKey(std::string_view name) : name_(name), hash_(FoldedNameHash(name)) {}
    constexpr IniKey(const char* name) : IniKey(std::string_view(name)) {}
    IniKey(const std::string& name) : IniKey(std::string_view(name)) {}

    constexpr std::string_view Name() const { return name_; }
    constexpr std::uint64_t Hash() const { return hash_; }
    constexpr bool empty() const { return name_.empty(); }

private:
    std::string_view name_;
    std::uint64_t hash_ = FoldedNameHash({});
};

}  // namespace tarnleaf
