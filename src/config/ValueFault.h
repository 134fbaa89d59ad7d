#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace tarnleaf {

// Why a profile value is not taken as written. The loaders and option writers decide this
// once, as they convert; they act on it (skip the value, or take it in the form noted) and
// hand it to a ProfileObserver, so a check of the file reports exactly what a load does.
enum class FaultKind {
    // The value is skipped: the field keeps what it had, or the option is left out.
    NotANumber,      // no number where a whole one is needed
    OutOfRange,      // a number outside [low, high]
    AddressPiece,    // an address piece (`piece`) whose number does not round into 0..255
    ListValue,       // a BYTE list value (`piece`) that is not a whole number 0..255
    TooManyValues,   // more list entries than the option's length byte can carry (`high`)
    FlagsTooShort,   // "Flags" of two characters or fewer: no digits after the prefix
    FlagsNotHex,     // "Flags" whose characters after the prefix are not hexadecimal
    CustomTooFewParts,
    CustomCode,          // a Custom code (`piece`) that does not round into 0..255
    CustomReservedCode,  // a Custom code of 0 or 255, the pad and end marks
    CustomKind,          // a Custom kind word (`piece`) that names no writer
    NoRoom,              // the option does not fit what is left of the option area
    // The value is taken, but not as written.
    NotATruthWord,   // a boolean neither on (TRUE/YES/ON) nor off (FALSE/NO/OFF): off
    Cut,             // a text longer than its field: its first `high` bytes are kept
    LowBitsOnly,     // a SHORT above 65535: only its low 16 bits (`piece`) are sent
    ReadAs,          // an address not in plain dotted form, read as `piece`
    NotATypeName,    // a hardware type neither a name nor a number 1..255: the type becomes
                     // 0 (`piece`: the name it matches in another letter case, if any)
};

struct ValueFault {
    ValueFault() = default;
    ValueFault(FaultKind faultKind, std::string faultPiece = {}, std::int64_t lowest = 0,
               std::int64_t highest = 0)
        : kind(faultKind), piece(std::move(faultPiece)), low(lowest), high(highest) {}

    FaultKind kind = FaultKind::NotANumber;
    std::string piece;   // the part of the value at fault, or what it is read as
    std::int64_t low = 0;
    std::int64_t high = 0;
};

// True for the kinds under which the value is skipped rather than taken differently.
constexpr bool SkipsValue(FaultKind kind) { return kind < FaultKind::NotATruthWord; }

}  // namespace tarnleaf
