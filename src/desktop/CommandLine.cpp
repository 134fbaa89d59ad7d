#include "CommandLine.h"

#include <cstddef>
#include <system_error>

namespace tarnleaf {
namespace {

constexpr std::string_view kConfigSwitch = "--config";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

struct Token {
    std::size_t begin = 0;  // in the text
    std::size_t end = 0;
    std::string value;  // quotes removed
    bool quoted = false;
};

// The token that starts at or after `from`; begin == end == text.size() when none is left.
Token NextToken(std::string_view text, std::size_t from) {
    Token token;
    std::size_t i = from;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    token.begin = i;
    bool inQuotes = false;
    while (i < text.size() && (inQuotes || !IsBlank(text[i]))) {
        if (text[i] == '"') {
            inQuotes = !inQuotes;
            token.quoted = true;
        } else {
            token.value += text[i];
        }
        ++i;
    }
    token.end = i;
    return token;
}

std::string_view TrimRight(std::string_view text) {
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view TrimLeft(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    return text;
}

}  // namespace

CommandLineParts SplitCommandLine(std::string_view text) {
    CommandLineParts parts;
    std::size_t position = 0;
    while (true) {
        const Token token = NextToken(text, position);
        if (token.begin == token.end) {
            break;
        }
        position = token.end;
        if (token.quoted || token.value != kConfigSwitch) {
            continue;
        }
        const Token value = NextToken(text, token.end);
        if (value.begin == value.end) {
            break;  // a switch without its value is left alone
        }
        if (!value.value.empty()) {
            parts.configPath = value.value;
        }
        const std::string_view before = TrimRight(text.substr(0, token.begin));
        const std::string_view after = TrimLeft(text.substr(value.end));
        parts.rest.assign(before);
        if (!before.empty() && !after.empty()) {
            parts.rest += ' ';
        }
        parts.rest.append(after);
        return parts;
    }
    parts.rest.assign(text);
    return parts;
}

CommandLineParts SplitArguments(const std::vector<std::string>& arguments) {
    CommandLineParts parts;
    bool taken = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (!taken && argument == kConfigSwitch && i + 1 < arguments.size()) {
            // Not joined and split again: a path may hold a double quote.
            taken = true;
            if (!arguments[i + 1].empty()) {
                parts.configPath = arguments[i + 1];
            }
            ++i;
            continue;
        }
        const bool quote = argument.empty() || argument.find_first_of(" \t") != std::string::npos;
        if (!parts.rest.empty()) {
            parts.rest += ' ';
        }
        parts.rest += quote ? '"' + argument + '"' : argument;
    }
    return parts;
}

bool LoggingStartsOff(std::string_view rest) {
    constexpr std::string_view kWord = "-NOLOG";
    if (rest.size() != kWord.size()) {
        return false;
    }
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const char c = rest[i];
        const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        if (upper != kWord[i]) {
            return false;
        }
    }
    return true;
}

FilePath ResolveConfigFile(const CommandLineParts& parts,
                                        const FilePath& programFolder) {
    if (!parts.configPath) {
        return programFolder / "Tarnleaf.ini";
    }
    // The text is UTF-8 on every platform, as FilePath keeps it.
    return AbsolutePath(FilePath(*parts.configPath));
}

}  // namespace tarnleaf
