#include "ProfileCheck.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <unordered_map>
#include <utility>

#include "FaultText.h"
#include "IniKey.h"
#include "IniLine.h"
#include "IniSnapshot.h"
#include "Ipv4Address.h"
#include "MessageCodec.h"
#include "ProfileKeys.h"
#include "ProfileLoader.h"
#include "ProfileVocabulary.h"
#include "SendPort.h"
#include "TextConversions.h"

namespace tarnleaf {

namespace {

struct KeyLine {
    std::string_view name;
    std::string_view value;  // as the line gives it, not yet cut
    std::size_t line = 0;
};

// Names as the reader matches them, regardless of ASCII letter case. A file of 100,000
// clients is one the server takes, so the check finds repeats by hashing, not by comparing
// every name with every earlier one.
struct FoldedHash {
    std::size_t operator()(std::string_view name) const {
        return static_cast<std::size_t>(FoldedNameHash(name));
    }
};
struct FoldedEqual {
    bool operator()(std::string_view a, std::string_view b) const {
        return EqualsIgnoreCase(a, b);
    }
};
template <typename Value>
using ByFoldedName = std::unordered_map<std::string_view, Value, FoldedHash, FoldedEqual>;

struct SectionLines {
    std::string_view name;
    std::size_t line = 0;
    std::vector<KeyLine> keys;
    ByFoldedName<std::size_t> firstKey;  // a name's first key, the one a load reads
    bool repeated = false;  // an earlier section has the same name: this one is never read
};

using Findings = std::vector<CheckFinding>;

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// Two hexadecimal digits per byte joined by "-", 1 to 16 bytes: the names a request's chaddr
// can have (in either letter case, as names match regardless of it).
bool IsHardwareAddressName(std::string_view name) {
    std::size_t pairs = 0;
    while (true) {
        if (name.size() < 2 || !std::isxdigit(static_cast<unsigned char>(name[0])) ||
            !std::isxdigit(static_cast<unsigned char>(name[1]))) {
            return false;
        }
        ++pairs;
        name.remove_prefix(2);
        if (name.empty()) return pairs <= 16;
        if (name.front() != '-') return false;
        name.remove_prefix(1);
    }
}

bool IsTestMessage(std::string_view name) {
    return EqualsIgnoreCase(name, kTestMessageProfile.Name());
}

const KeyLine* FindKey(const SectionLines& section, std::string_view name) {
    const auto first = section.firstKey.find(name);
    return first == section.firstKey.end() ? nullptr : &section.keys[first->second];
}

// Splits the file into sections and keys with their lines, noting every line the reader
// ignores on the way.
std::vector<SectionLines> ReadLines(std::string_view text, Findings& findings) {
    std::vector<SectionLines> sections;
    ByFoldedName<std::size_t> firstSectionLine;
    IniLineReader reader(SkipByteOrderMark(text));
    while (const auto raw = reader.Next()) {
        const std::size_t line = reader.LineNumber();
        const IniLine parsed = TokeniseIniLine(*raw);
        switch (parsed.kind) {
            case IniLineKind::Blank:
            case IniLineKind::Comment:
                break;
            case IniLineKind::Section: {
                SectionLines section{parsed.name, line, {}, {}, false};
                const auto [first, isFirst] = firstSectionLine.try_emplace(parsed.name, line);
                if (!isFirst) {
                    section.repeated = true;
                    findings.push_back({line, "section [" + std::string(parsed.name) +
                                                  "] repeats line " +
                                                  std::to_string(first->second) +
                                                  ": the first wins, this one is ignored whole"});
                }
                sections.push_back(std::move(section));
                break;
            }
            case IniLineKind::UnclosedHeader:
                findings.push_back({line, "section header without \"]\": the line is ignored"});
                break;
            case IniLineKind::NamelessKey:
                findings.push_back({line, "key without a name: the line is ignored"});
                break;
            case IniLineKind::Other:
                findings.push_back({line, "neither a section, a key nor a comment (comments "
                                          "start with \";\"): the line is ignored"});
                break;
            case IniLineKind::Key:
                if (sections.empty()) {
                    findings.push_back({line, "key " + Quoted(parsed.name) +
                                                  " outside any section: ignored"});
                } else {
                    SectionLines& section = sections.back();
                    section.firstKey.try_emplace(parsed.name, section.keys.size());
                    section.keys.push_back({parsed.name, parsed.value, line});
                }
                break;
        }
    }
    return sections;
}

void CheckKeyNames(const SectionLines& section, Findings& findings) {
    for (std::size_t i = 0; i < section.keys.size(); ++i) {
        const KeyLine& key = section.keys[i];
        const KeyLine* first = FindKey(section, key.name);
        if (first != &key) {
            findings.push_back({key.line, "key " + Quoted(key.name) + " repeats line " +
                                              std::to_string(first->line) +
                                              ": the first wins, this value is ignored"});
            continue;
        }
        if (!IsProfileKey(key.name)) {
            const std::string_view nearest = NearestProfileKey(key.name);
            findings.push_back({key.line, "unknown key " + Quoted(key.name) + ": ignored" +
                                              (nearest.empty() ? std::string()
                                                               : " (did you mean " +
                                                                     Quoted(nearest) + "?)")});
        } else if (EqualsIgnoreCase(key.name, kSendPortKey.Name()) &&
                   !IsTestMessage(section.name)) {
            findings.push_back({key.line, "SendPort is read in [TestMessage] only: ignored here"});
        }
        if (key.value.size() > IniSnapshot::kMaxValueBytes) {
            findings.push_back({key.line, "the value of " + Quoted(key.name) + " is longer than " +
                                              std::to_string(IniSnapshot::kMaxValueBytes) +
                                              " bytes: only the first " +
                                              std::to_string(IniSnapshot::kMaxValueBytes) +
                                              " are read"});
        }
    }
}

// Names that stand for the same field, when more than one has a value: the first in reading
// order wins.
void CheckShadowedNames(const SectionLines& section, std::array<std::string_view, 3> names,
                        Findings& findings) {
    const KeyLine* winner = nullptr;
    for (std::string_view name : names) {
        const KeyLine* key = name.empty() ? nullptr : FindKey(section, name);
        if (key == nullptr || TrimSpaces(key->value).empty()) continue;
        if (winner == nullptr) {
            winner = key;
        } else {
            findings.push_back({key->line, Quoted(key->name) + " is ignored: " +
                                               Quoted(winner->name) + " (line " +
                                               std::to_string(winner->line) +
                                               ") gives the same field and is read first"});
        }
    }
}

// Hears the loaders' verdicts and files them under the line of the key concerned.
class LineObserver final : public ProfileObserver {
public:
    LineObserver(const SectionLines& section, Findings& findings)
        : section_(section), findings_(findings) {}

    void OnFault(std::string_view key, std::string_view value, const ValueFault& fault) override {
        const KeyLine* line = FindKey(section_, key);
        findings_.push_back({line ? line->line : section_.line,
                             DescribeFault(line ? line->name : key, value, fault)});
    }

private:
    const SectionLines& section_;
    Findings& findings_;
};

// The header keys behind each field the encoder can refuse.
std::optional<HeaderKey> KeyOfField(std::string_view field) {
    if (field == "ciaddr") return HeaderKey{kClientIpKey, {}};
    if (field == "yiaddr") return HeaderKey{kHostIpKey, kHostIpTag};
    if (field == "siaddr") return HeaderKey{kServerIpKey, kServerIpTag};
    if (field == "giaddr") return HeaderKey{kCrossGatewayKey, {}};
    if (field == "chaddr") return HeaderKey{kHardwareAddressKey, kHardwareAddressTag};
    return std::nullopt;
}

// Encodes the loaded message as the server would, reporting each field it refuses (after
// one refusal the field is cleared so the next can show). True when it encodes as it is.
bool CheckEncoding(const SectionLines& section, const ProfileSection& profile,
                   BootpMessage message, Findings& findings) {
    const std::string outcome = IsTestMessage(section.name)
                                    ? "the test message is not sent"
                                    : "every reply from this profile fails";
    for (int field = 0; field < 8; ++field) {
        const auto encoded = EncodeMessage(message);
        if (encoded.ok()) return field == 0;
        const EncodeError& error = encoded.error();
        const auto key = KeyOfField(error.field);
        const auto entry = key ? profile.ReadProfileEntry(key->key, key->alternative)
                               : ProfileSection::Entry{};
        const KeyLine* line = key ? FindKey(section, entry.name) : nullptr;
        findings.push_back(
            {line ? line->line : section.line,
             (line ? std::string(line->name) + "=" + error.text : "field " + error.field) +
                 " cannot be put on the wire (" + error.field + "): " + outcome +
                 " with \"Message Encode Error!\""});
        if (!key) return false;
        const std::pair<std::string_view, std::string*> fields[] = {
            {"ciaddr", &message.ciaddr}, {"yiaddr", &message.yiaddr},
            {"siaddr", &message.siaddr}, {"giaddr", &message.giaddr},
            {"chaddr", &message.chaddr}};
        for (const auto& [name, text] : fields) {
            if (name == error.field) text->clear();
        }
    }
    return false;
}

// What else keeps an encoded test message at home: a port or a destination it cannot use.
void CheckTestDestination(const SectionLines& section, const ProfileSection& profile,
                          const BootpMessage& message, Findings& findings) {
    if (const KeyLine* port = FindKey(section, kSendPortKey.Name());
        port != nullptr && !ChooseSendPort(profile.ReadProfileValue(kSendPortKey))) {
        findings.push_back({port->line, "SendPort=" + std::string(port->value) +
                                            " names no port (BOOTPS, BOOTPC or a number from "
                                            "1 to 65535): the test message is not sent"});
    }
    const auto server = profile.ReadProfileEntry(kServerIpKey, kServerIpTag);
    if (message.siaddr.empty()) {
        findings.push_back({section.line, "[TestMessage] has no ServerIP (or sa), which names "
                                          "the destination: the test message is not sent"});
    } else if (!Ipv4Address::Parse(message.siaddr)) {
        const KeyLine* line = FindKey(section, server.name);
        findings.push_back({line ? line->line : section.line,
                            std::string(server.name) + "=" + std::string(server.value) +
                                " is not an IPv4 address: the test message is not sent"});
    }
}

void CheckSection(const SectionLines& section, const IniSnapshot& snapshot, Findings& findings) {
    CheckKeyNames(section, findings);
    for (const HeaderKey& header : kHeaderKeys) {
        CheckShadowedNames(section, {header.key.Name(), header.alternative.Name(), {}}, findings);
    }
    for (const OptionRow& row : kOptionCatalogue) {
        CheckShadowedNames(section, {row.key, row.alternative1, row.alternative2}, findings);
    }

    const ProfileSection profile(snapshot.FindSection(section.name));
    BootpMessage message;  // the test message starts from an empty record
    if (IsHardwareAddressName(section.name)) {
        if (profile.ReadProfileValue(kBootFileKey, kBootFileTag).empty()) {
            findings.push_back({section.line, "section [" + std::string(section.name) +
                                                  "] has no BootFile (or bf): its client is "
                                                  "answered as unknown, with its own request"});
        }
        // A reply starts from the client's request.
        message.op = 2;
        message.htype = 1;
        message.hlen = 6;
        message.ciaddr = message.yiaddr = message.siaddr = message.giaddr = "0.0.0.0";
        message.chaddr = std::string(section.name);
    } else if (!IsTestMessage(section.name)) {
        findings.push_back({section.line,
                            "section [" + std::string(section.name) +
                                "] is neither a hardware address (two hexadecimal digits per "
                                "byte joined by \"-\", e.g. 00-A0-C9-12-34-56) nor TestMessage: "
                                "no request reads it"});
    }
    LineObserver observer(section, findings);
    LoadProfile(profile, message, &observer);
    if (CheckEncoding(section, profile, message, findings) && IsTestMessage(section.name)) {
        CheckTestDestination(section, profile, message, findings);
    }
}

}  // namespace

std::vector<CheckFinding> CheckProfiles(std::string_view text) {
    // Read as the server reads it.
    std::string decoded;
    if (IsUtf16File(text)) {
        decoded = IniTextFromFile(std::string(text));
        text = decoded;
    }
    Findings findings;
    const std::vector<SectionLines> sections = ReadLines(text, findings);
    const IniSnapshot snapshot = IniSnapshot::Parse(text);
    for (const SectionLines& section : sections) {
        if (!section.repeated) CheckSection(section, snapshot, findings);
    }
    std::stable_sort(findings.begin(), findings.end(),
                     [](const CheckFinding& a, const CheckFinding& b) { return a.line < b.line; });
    return findings;
}

std::string FormatFindings(std::string_view fileName, const std::vector<CheckFinding>& findings) {
    std::string text;
    for (const CheckFinding& finding : findings) {
        text += fileName;
        text += ':';
        text += std::to_string(finding.line);
        text += ": ";
        text += finding.message;
        text += '\n';
    }
    return text;
}

}  // namespace tarnleaf
