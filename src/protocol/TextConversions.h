#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnleaf {

// The leading-number reading: blanks, tabs and line feeds anywhere are skipped, then the
// longest leading number is taken (sign, digits, one '.', exponent; "&H" for hexadecimal).
// No number at all reads as 0. Never fails, and never gives infinity or NaN: a number beyond a
// double's range gives the largest finite double with its sign, one too small for it gives 0.
// "&H" numbers are read as non-negative.
double LeadingNumber(std::string_view text);

// Rounds to the nearest whole number, halves to the even neighbour; no value when the
// result lies outside [min, max] or the input is not finite.
std::optional<std::int64_t> RoundHalfEven(double value, std::int64_t min, std::int64_t max);

// The whole-number reading: the whole text (blanks around it allowed) must be one number,
// decimal or "&H" hexadecimal (read as non-negative); fractions round half to even. No
// value for anything else or for a result outside [min, max]. Only '.' is a decimal point;
// thousands separators and decimal commas make the text not a number.
std::optional<std::int64_t> WholeNumber(std::string_view text, std::int64_t min, std::int64_t max);

// Stores a text into a byte target: its leading number, rounded; no value when that does
// not fit 0..255.
std::optional<std::uint8_t> ConvertTextToByte(std::string_view text);

// ASCII-only helpers: the texts are byte strings in an 8-bit code page, so only the ASCII
// letters change case and only ASCII blanks are trimmed.
std::string ToUpperAscii(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
std::string_view TrimSpaces(std::string_view text);  // the space character only
std::string_view TrimBlanks(std::string_view text);  // spaces and tabs

}  // namespace tarnleaf
