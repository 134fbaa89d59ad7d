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

void AppendTextLine(std::string& out, std::string_view label, std::string_view text) {
    out.append(label);
    AppendLogText(out, text);
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

// A text as it came from the network or the file, its control characters shown as \xHH: a
// line break would split the log entry (and an empty line end it early), a NUL would cut the
// text short in a view that takes it as a C string, and an escape sequence would reach the
// console that shows the log. The second set of controls (U+0080 to U+009F, two bytes in
// UTF-8) counts too: terminals take U+009B as the start of a sequence and U+0085 as a line
// break.
void AppendLogText(std::string& out, std::string_view text) {
    // Plain runs are appended whole: on the reply path nearly every text is one.
    std::size_t plain = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        const bool control = byte < 0x20 || byte == 0x7F;
        const bool c1Control = byte == 0xC2 && next >= 0x80 && next <= 0x9F;
        if (!control && !c1Control) continue;
        out.append(text.substr(plain, i - plain));
        AppendEscapedByte(out, byte);
        if (c1Control) AppendEscapedByte(out, static_cast<unsigned char>(text[++i]));
        plain = i + 1;
    }
    out.append(text.substr(plain));
}

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
    // Decoded from a request these texts are plain, but a profile may have put anything in.
    AppendTextLine(out, "client IP address [", message.ciaddr);
    AppendTextLine(out, "'your' (client) IP address [", message.yiaddr);
    AppendTextLine(out, "server IP address [", message.siaddr);
    AppendTextLine(out, "gateway IP address [", message.giaddr);
    AppendTextLine(out, "client hardware address [", message.chaddr);
    AppendTextLine(out, "server host name [", message.sname);
    AppendTextLine(out, "Boot file name [", message.file);
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
