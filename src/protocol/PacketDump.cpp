#include "PacketDump.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

#include "BootpConstants.h"
#include "HexDigits.h"

namespace tarnleaf {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::size_t kOptionsPerRow = 16;

// Hardware types 1..7 by name; index 0 is unused.
constexpr std::array<std::string_view, 8> kHardwareTypeNames = {
    "", "ETHERNET", "EXP_ETHERNET", "AX25", "PRONET", "CHAOS", "IEEE802", "ARCNET"};

void AppendDecimal(std::string& out, std::int64_t value) {
    char buffer[24];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, end);
}

void AppendLine(std::string& out, std::string_view label, std::string_view value) {
    out.append(label);
    out.append(value);
    out.push_back(']');
    out.append(kLineEnd);
}

void AppendEscapedByte(std::string& out, unsigned char byte) {
    out.append("\\x");
    AppendHexByte(out, byte);
}

// A name as it came from the network or the file, its control characters shown as \xHH: a
// line break would split the log entry (and an empty line end it early), and an escape
// sequence would reach the console that shows the log. The second set of controls (U+0080 to
// U+009F, two bytes in UTF-8) counts too: terminals take U+009B as the start of a sequence
// and U+0085 as a line break.
void AppendNameLine(std::string& out, std::string_view label, std::string_view name) {
    out.append(label);
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        const auto next = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
        if (byte < 0x20 || byte == 0x7F) {
            AppendEscapedByte(out, byte);
        } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
            AppendEscapedByte(out, byte);
            AppendEscapedByte(out, next);
            ++i;
        } else {
            out.push_back(name[i]);
        }
    }
    out.push_back(']');
    out.append(kLineEnd);
}

void AppendNumberLine(std::string& out, std::string_view label, std::int64_t value) {
    out.append(label);
    AppendDecimal(out, value);
    out.push_back(']');
    out.append(kLineEnd);
}

template <std::size_t N>
void AppendHexLine(std::string& out, std::string_view label,
                   const std::array<std::uint8_t, N>& bytes) {
    out.append(label);
    for (std::uint8_t b : bytes) AppendHexByte(out, b);
    out.push_back(']');
    out.append(kLineEnd);
}

}  // namespace

std::string DumpMessage(const BootpMessage& message) {
    std::string out;
    AppendDump(message, out);
    return out;
}

void AppendDump(const BootpMessage& message, std::string& out) {
    // The labels take about 300 characters; each option byte takes three.
    out.reserve(out.size() + 400 + message.ciaddr.size() + message.yiaddr.size() + message.siaddr.size() +
                message.giaddr.size() + message.chaddr.size() + message.sname.size() +
                message.file.size() + message.options.size() * 3 +
                message.options.size() / kOptionsPerRow + 2);

    if (message.op == kBootRequest) {
        AppendLine(out, "Message type [", kBootRequestName);
    } else if (message.op == kBootReply) {
        AppendLine(out, "Message type [", kBootReplyName);
    } else {
        AppendNumberLine(out, "Message type [", message.op);
    }

    if (message.htype >= 1 && message.htype <= 7) {
        AppendLine(out, "Hardware type [", kHardwareTypeNames[static_cast<std::size_t>(message.htype)]);
    } else {
        AppendNumberLine(out, "Hardware type [", message.htype);
    }

    AppendNumberLine(out, "Hardware address length [", message.hlen);
    AppendNumberLine(out, "Gateway hops [", message.hops);
    AppendHexLine(out, "Transaction ID [", message.xid);
    AppendNumberLine(out, "seconds elapsed [", message.secs);
    AppendHexLine(out, "Bootp flags [", message.flags);
    AppendLine(out, "client IP address [", message.ciaddr);
    AppendLine(out, "'your' (client) IP address [", message.yiaddr);
    AppendLine(out, "server IP address [", message.siaddr);
    AppendLine(out, "gateway IP address [", message.giaddr);
    AppendLine(out, "client hardware address [", message.chaddr);
    AppendNameLine(out, "server host name [", message.sname);
    AppendNameLine(out, "Boot file name [", message.file);
    out.append("Option");
    out.append(kLineEnd);

    // A row at a time, put together on the stack: "XX XX .. XX" and the line end.
    const std::vector<std::uint8_t>& options = message.options;
    for (std::size_t row = 0; row < options.size(); row += kOptionsPerRow) {
        std::array<char, kOptionsPerRow * 3 + 1> line;
        char* end = line.data();
        const std::size_t last = std::min(options.size(), row + kOptionsPerRow);
        for (std::size_t i = row; i < last; ++i) {
            *end++ = kHexDigits[options[i] >> 4];
            *end++ = kHexDigits[options[i] & 0x0F];
            *end++ = ' ';
        }
        end[-1] = '\r';
        *end++ = '\n';
        out.append(line.data(), end);
    }
}

}  // namespace tarnleaf
