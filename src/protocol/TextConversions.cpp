#include "TextConversions.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "HexDigits.h"

namespace tarnleaf {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool HasHexPrefix(std::string_view text) {
    return text.size() >= 2 && text[0] == '&' && UpperAscii(text[1]) == 'H';
}

// Hexadecimal digits as a non-negative number. Beyond 2^53 the value is no longer exact, but
// by then it lies outside every range the program stores into; an absurdly long run of digits
// saturates at the largest finite double instead of turning into infinity.
double HexValue(std::string_view digits) {
    double value = 0.0;
    for (char c : digits) {
        value = value * 16.0 + HexDigitValue(c);
        if (value > std::numeric_limits<double>::max()) return std::numeric_limits<double>::max();
    }
    return value;
}

// The length of the longest prefix of `text` that is an unsigned decimal number: digits with
// at most one '.', at least one digit, then an exponent only when it has digits.
std::size_t DecimalNumberLength(std::string_view text) {
    std::size_t i = 0;
    std::size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        const std::size_t exponentStart = j;
        while (j < text.size() && IsDigit(text[j])) ++j;
        if (j > exponentStart) i = j;
    }
    return i;
}

// Reads an unsigned decimal number that DecimalNumberLength accepted in full. from_chars is
// exact and ignores the locale; when the value is beyond a double's range it reports that
// without a value, so the direction is worked out here from the digits: the result saturates
// to the largest finite double or falls to zero, never infinity or NaN.
double DecimalValue(std::string_view number) {
    // Short runs of plain digits (address pieces, header values) are exact in a double and
    // far cheaper to add up directly; they are nearly every number the server reads.
    if (number.size() <= 15) {
        std::uint64_t whole = 0;
        bool plain = true;
        for (char c : number) {
            if (!IsDigit(c)) {
                plain = false;
                break;
            }
            whole = whole * 10 + static_cast<std::uint64_t>(c - '0');
        }
        if (plain) return static_cast<double>(whole);
    }
    double value = 0.0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value,
                                           std::chars_format::general);
    if (ec == std::errc{} && end == number.data() + number.size() && std::isfinite(value)) {
        return value;
    }
    // Out of range: estimate the decimal magnitude. Only |magnitude| > 300 lands here, so a
    // rough estimate decides the direction without doubt.
    std::int64_t magnitude = 0;
    std::size_t i = 0;
    bool seenNonZero = false;
    while (i < number.size() && IsDigit(number[i])) {
        if (number[i] != '0') seenNonZero = true;
        if (seenNonZero) ++magnitude;
        ++i;
    }
    if (i < number.size() && number[i] == '.') {
        ++i;
        while (i < number.size() && IsDigit(number[i]) && !seenNonZero) {
            if (number[i] != '0') seenNonZero = true;
            else --magnitude;
            ++i;
        }
        while (i < number.size() && IsDigit(number[i])) ++i;
    }
    if (!seenNonZero) return 0.0;
    if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
        ++i;
        bool negative = false;
        if (i < number.size() && (number[i] == '+' || number[i] == '-')) negative = number[i++] == '-';
        std::int64_t exponent = 0;
        for (; i < number.size() && IsDigit(number[i]); ++i) {
            if (exponent < 1'000'000'000) exponent = exponent * 10 + (number[i] - '0');
        }
        magnitude += negative ? -exponent : exponent;
    }
    return magnitude > 0 ? std::numeric_limits<double>::max() : 0.0;
}

bool IsLeadingBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

}  // namespace

double LeadingNumber(std::string_view text) {
    // Blanks count nowhere, so "1 2" is 12 and "- 3" is -3. Most texts carry none; only
    // those that do are copied.
    std::string compact;
    std::string_view s = text;
    for (char c : text) {
        if (IsLeadingBlank(c)) {
            compact.reserve(text.size());
            for (char d : text) {
                if (!IsLeadingBlank(d)) compact.push_back(d);
            }
            s = compact;
            break;
        }
    }

    if (HasHexPrefix(s)) {
        std::size_t end = 2;
        while (end < s.size() && HexDigitValue(s[end]) >= 0) ++end;
        return HexValue(s.substr(2, end - 2));
    }

    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    const std::size_t length = DecimalNumberLength(s);
    if (length == 0) return 0.0;
    const double value = DecimalValue(s.substr(0, length));
    return negative ? -value : value;
}

std::optional<std::int64_t> RoundHalfEven(double value, std::int64_t min, std::int64_t max) {
    if (!std::isfinite(value)) return std::nullopt;
    // Worked out by hand rather than through the FPU's rounding mode, which another part of
    // the process could have changed.
    const double floor = std::floor(value);
    const double fraction = value - floor;
    double rounded = floor;
    if (fraction > 0.5) {
        rounded = floor + 1.0;
    } else if (fraction == 0.5) {
        rounded = std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
    }
    // 2^63 is exactly representable; anything at or above it does not fit an int64.
    constexpr double kTwoTo63 = 9223372036854775808.0;
    if (rounded < -kTwoTo63 || rounded >= kTwoTo63) return std::nullopt;
    const auto whole = static_cast<std::int64_t>(rounded);
    if (whole < min || whole > max) return std::nullopt;
    return whole;
}

std::optional<std::int64_t> WholeNumber(std::string_view text, std::int64_t min, std::int64_t max) {
    std::string_view s = TrimBlanks(text);
    if (s.empty()) return std::nullopt;

    if (HasHexPrefix(s)) {
        const std::string_view digits = s.substr(2);
        if (digits.empty()) return std::nullopt;
        std::uint64_t value = 0;
        for (char c : digits) {
            const int d = HexDigitValue(c);
            if (d < 0) return std::nullopt;
            if (value > (std::numeric_limits<std::uint64_t>::max() >> 4)) return std::nullopt;
            value = value * 16 + static_cast<std::uint64_t>(d);
        }
        if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return std::nullopt;
        }
        const auto whole = static_cast<std::int64_t>(value);
        if (whole < min || whole > max) return std::nullopt;
        return whole;
    }

    bool negative = false;
    std::string_view unsignedPart = s;
    if (unsignedPart[0] == '+' || unsignedPart[0] == '-') {
        negative = unsignedPart[0] == '-';
        unsignedPart.remove_prefix(1);
    }
    const std::size_t length = DecimalNumberLength(unsignedPart);
    if (length == 0 || length != unsignedPart.size()) return std::nullopt;

    // Plain integers are read exactly, even where a double would lose the last digits.
    bool plainInteger = true;
    for (char c : unsignedPart) plainInteger = plainInteger && IsDigit(c);
    if (plainInteger) {
        std::uint64_t magnitude = 0;
        const auto [end, ec] = std::from_chars(unsignedPart.data(),
                                               unsignedPart.data() + unsignedPart.size(), magnitude);
        if (ec != std::errc{} || end != unsignedPart.data() + unsignedPart.size()) {
            return std::nullopt;
        }
        constexpr auto kMaxMagnitude =
            static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
        std::int64_t whole = 0;
        if (negative) {
            if (magnitude > kMaxMagnitude + 1) return std::nullopt;
            whole = magnitude == kMaxMagnitude + 1 ? std::numeric_limits<std::int64_t>::min()
                                                   : -static_cast<std::int64_t>(magnitude);
        } else {
            if (magnitude > kMaxMagnitude) return std::nullopt;
            whole = static_cast<std::int64_t>(magnitude);
        }
        if (whole < min || whole > max) return std::nullopt;
        return whole;
    }

    const double value = DecimalValue(unsignedPart);
    return RoundHalfEven(negative ? -value : value, min, max);
}

std::optional<std::uint8_t> ConvertTextToByte(std::string_view text) {
    const auto whole = RoundHalfEven(LeadingNumber(text), 0, 255);
    if (!whole) return std::nullopt;
    return static_cast<std::uint8_t>(*whole);
}

std::string ToUpperAscii(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) c = UpperAscii(c);
    return upper;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    }
    return true;
}

std::string_view TrimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

std::string_view TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

}  // namespace tarnleaf
