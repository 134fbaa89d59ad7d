#include "FaultText.h"

#include "ProfileVocabulary.h"
#include "TextConversions.h"

namespace tarnleaf {

namespace {

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string Range(const ValueFault& fault) {
    return std::to_string(fault.low) + " to " + std::to_string(fault.high);
}

// Why the value is not taken, or how it is taken instead.
std::string Reason(std::string_view key, const ValueFault& fault) {
    switch (fault.kind) {
        case FaultKind::NotANumber:
            return "is not a whole number";
        case FaultKind::OutOfRange:
            if (EqualsIgnoreCase(key, "MessageType")) {
                return "is neither BOOTREQUEST, BOOTREPLY nor a number from 1 to 255";
            }
            if (EqualsIgnoreCase(key, "MessageSize")) return "is not a size from 301 to 1536";
            return "is not a number from " + Range(fault);
        case FaultKind::AddressPiece:
            return "has the address piece " + Quoted(fault.piece) + ", which is not 0 to 255";
        case FaultKind::ListValue:
            if (EqualsIgnoreCase(key, "DHCPMessageType")) {
                return "is neither a DHCP message type name nor numbers from 0 to 255";
            }
            return "has the value " + Quoted(fault.piece) +
                   ", which is not a whole number from 0 to 255";
        case FaultKind::TooManyValues:
            return "has more than " + std::to_string(fault.high) + " values";
        case FaultKind::FlagsTooShort:
            return "has no hexadecimal digits after its two-character prefix (e.g. 0x8000)";
        case FaultKind::FlagsNotHex:
            return "is not hexadecimal after its two-character prefix (e.g. 0x8000)";
        case FaultKind::CustomTooFewParts:
            return "is not \"code, kind, data\"";
        case FaultKind::CustomCode:
            return "has the code " + Quoted(fault.piece) + ", which is not a number from 1 to 254";
        case FaultKind::CustomReservedCode:
            return "has the code " + Quoted(fault.piece) +
                   ", which reads as 0 or 255 (the pad and end marks carry no option)";
        case FaultKind::CustomKind:
            return "has the kind " + Quoted(fault.piece) +
                   ", which is none of SHORT, LONG, IP (IPLIST, IP LIST, IP_LIST), BYTE (ARRAY)";
        case FaultKind::NoRoom:
            return "does not fit in what is left of the option area (a larger MessageSize "
                   "gives more room)";
        case FaultKind::NotATruthWord:
            return "is not a truth word, so it means off (TRUE, YES or ON mean on; FALSE, NO "
                   "or OFF off)";
        case FaultKind::Cut:
            return "is longer than " + std::to_string(fault.high) + " bytes: only the first " +
                   std::to_string(fault.high) + " are used";
        case FaultKind::LowBitsOnly:
            return "is above 65535: only its low 16 bits are sent (" + fault.piece + ")";
        case FaultKind::ReadAs:
            return "is read as " + fault.piece;
        case FaultKind::NotATypeName:
            return "is neither a type name nor a number from 1 to 255, so the type becomes 0" +
                   (fault.piece.empty() ? std::string()
                                        : " (names are upper case: " + fault.piece + ")");
    }
    return "is not taken as written";
}

// What the program does with a value it skips.
std::string_view Consequence(std::string_view key) {
    if (EqualsIgnoreCase(key, "MessageSize")) return ": the message stays 300 bytes";
    if (IsHeaderKey(key)) return ": ignored, the field stays as it was";
    return ": ignored, the option is left out";
}

}  // namespace

std::string DescribeFault(std::string_view key, std::string_view value, const ValueFault& fault) {
    std::string text = std::string(key) + "=" + std::string(value) + " " + Reason(key, fault);
    if (SkipsValue(fault.kind)) text += Consequence(key);
    return text;
}

}  // namespace tarnleaf
