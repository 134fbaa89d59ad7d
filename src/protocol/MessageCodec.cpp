#include "MessageCodec.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "ByteReader.h"
#include "ByteWriter.h"
#include "FieldSplitter.h"
#include "HexDigits.h"
#include "Ipv4Address.h"

namespace tarnleaf {

namespace {

constexpr std::size_t kChaddrSize = 16;
constexpr std::size_t kSnameSize = 64;
constexpr std::size_t kFileSize = 128;

// Texts are put together in a buffer on the stack and stored with one assign, which reuses
// the record's storage: decoding is on every request's road.
void DecodeAddress(ByteReader& reader, std::string& text) {
    Ipv4Address address;
    for (auto& octet : address.octets) octet = reader.U8();
    text.assign(address.ToText().View());
}

// Pairs up to the client's own hardware length; a length of 0 or beyond the field says
// nothing usable, so the whole field is shown.
void DecodeHardwareAddress(ByteReader& reader, int hlen, std::string& text) {
    const auto field = reader.Take(kChaddrSize);
    const std::size_t shown =
        (hlen >= 1 && static_cast<std::size_t>(hlen) <= kChaddrSize) ? hlen : kChaddrSize;
    std::array<char, kChaddrSize * 3> buffer;
    char* end = buffer.data();
    for (std::size_t i = 0; i < shown && i < field.size(); ++i) {
        if (i > 0) *end++ = '-';
        *end++ = kHexDigits[field[i] >> 4];
        *end++ = kHexDigits[field[i] & 0x0F];
    }
    text.assign(buffer.data(), end);
}

// The bytes before the first zero; the whole field when it holds none.
void DecodeName(ByteReader& reader, std::size_t size, std::string& text) {
    const auto field = reader.Take(size);
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    text.assign(field.begin(), end);
}

bool FitsByte(int value) { return value >= 0 && value <= 255; }

// Four pieces of one to three decimal digits, each at most 255: what nearly every address
// field holds, read directly. It gives the bytes the lenient reading below would give; any
// other text is left to that reading (false, the field untouched).
bool EncodePlainAddress(std::string_view text, std::span<std::uint8_t> field) {
    // Gathered in a register: bytes stored one by one and read back as a word stall.
    std::uint32_t address = 0;
    std::size_t piece = 0;
    unsigned value = 0;
    int digits = 0;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            if (++digits > 3) return false;
            value = value * 10 + static_cast<unsigned>(c - '0');
        } else if (c == '.' && digits > 0 && value <= 255 && piece < 3) {
            address = address << 8 | value;
            ++piece;
            value = 0;
            digits = 0;
        } else {
            return false;
        }
    }
    if (piece != 3 || digits == 0 || value > 255 || field.size() < 4) return false;
    address = address << 8 | value;
    for (std::size_t i = 0; i < 4; ++i) {
        field[i] = static_cast<std::uint8_t>(address >> (24 - 8 * i));
    }
    return true;
}

// Dotted text into four bytes, read leniently: each piece is its leading number, missing
// pieces stay 0 and anything after a fourth '.' is ignored. False when a piece does not
// round into 0..255.
bool EncodeAddress(std::string_view text, std::span<std::uint8_t> field) {
    if (text.empty()) return true;  // no pieces: the field stays zero
    if (EncodePlainAddress(text, field)) return true;
    std::array<std::uint8_t*, 4> slots{};
    for (std::size_t i = 0; i < slots.size() && i < field.size(); ++i) slots[i] = &field[i];
    return !SplitToFields(text, ".", slots).failedPiece.has_value();
}

// One hardware address piece: hexadecimal digits, nothing else, value 0..255.
std::optional<std::uint8_t> HardwareAddressByte(std::string_view piece) {
    if (piece.empty()) return std::nullopt;
    unsigned value = 0;
    for (char c : piece) {
        const int digit = HexDigitValue(c);
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<unsigned>(digit);
        if (value > 255) return std::nullopt;
    }
    return static_cast<std::uint8_t>(value);
}

// Cut at every '-' into at most 16 pieces, the last keeping any further text, so an address
// of more than 16 pairs fails on its 16th piece instead of being cut short unnoticed.
bool EncodeHardwareAddress(std::string_view text, std::span<std::uint8_t> field) {
    if (text.empty()) return true;
    std::size_t start = 0;
    for (std::size_t i = 0; i < field.size(); ++i) {
        const bool last = i + 1 == field.size();
        const std::size_t dash = last ? std::string_view::npos : text.find('-', start);
        const std::string_view piece =
            text.substr(start, dash == std::string_view::npos ? std::string_view::npos
                                                              : dash - start);
        const auto value = HardwareAddressByte(piece);
        if (!value) return false;
        field[i] = *value;
        if (dash == std::string_view::npos) break;
        start = dash + 1;
    }
    return true;
}

// At most size - 1 bytes, so the field always ends in a zero byte.
void EncodeName(std::string_view text, std::span<std::uint8_t> field) {
    if (field.empty()) return;
    const std::size_t count = std::min(text.size(), field.size() - 1);
    std::transform(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(count), field.begin(),
                   [](char c) { return static_cast<std::uint8_t>(c); });
}

EncodeError Fault(std::string field, std::string text) {
    return EncodeError{std::move(field), std::move(text)};
}

}  // namespace

std::optional<std::array<std::uint8_t, 4>> EncodedAddress(std::string_view text) {
    std::array<std::uint8_t, 4> bytes{};
    if (!EncodeAddress(text, bytes)) return std::nullopt;
    return bytes;
}

BootpMessage DecodeMessage(std::span<const std::uint8_t> datagram) {
    BootpMessage message;
    DecodeMessage(datagram, message);
    return message;
}

void DecodeMessage(std::span<const std::uint8_t> datagram, BootpMessage& message) {
    if (datagram.size() < kMinimumMessageSize) {
        message.op = message.htype = message.hlen = message.hops = 0;
        message.xid = {};
        message.secs = 0;
        message.flags = {};
        for (std::string* text : {&message.ciaddr, &message.yiaddr, &message.siaddr,
                                  &message.giaddr, &message.chaddr, &message.sname,
                                  &message.file}) {
            text->clear();
        }
        message.options.clear();
        return;
    }

    ByteReader reader(datagram);
    message.op = reader.U8();
    message.htype = reader.U8();
    message.hlen = reader.U8();
    message.hops = reader.U8();
    const auto xid = reader.Take(message.xid.size());
    std::copy(xid.begin(), xid.end(), message.xid.begin());
    message.secs = reader.U16();
    const auto flags = reader.Take(message.flags.size());
    std::copy(flags.begin(), flags.end(), message.flags.begin());
    DecodeAddress(reader, message.ciaddr);
    DecodeAddress(reader, message.yiaddr);
    DecodeAddress(reader, message.siaddr);
    DecodeAddress(reader, message.giaddr);
    DecodeHardwareAddress(reader, message.hlen, message.chaddr);
    DecodeName(reader, kSnameSize, message.sname);
    DecodeName(reader, kFileSize, message.file);
    const auto options = reader.TakeRest();
    message.options.assign(options.begin(), options.end());
}

Result<std::vector<std::uint8_t>, EncodeError> EncodeMessage(const BootpMessage& message) {
    using R = Result<std::vector<std::uint8_t>, EncodeError>;
    std::vector<std::uint8_t> bytes;
    if (auto fault = EncodeMessage(message, bytes)) return R::Fail(std::move(*fault));
    return R::Ok(std::move(bytes));
}

std::optional<EncodeError> EncodeMessage(const BootpMessage& message,
                                         std::vector<std::uint8_t>& bytes) {
    using R = std::optional<EncodeError>;

    const std::pair<const char*, int> header[] = {
        {"op", message.op}, {"htype", message.htype}, {"hlen", message.hlen}, {"hops", message.hops}};
    for (const auto& [name, value] : header) {
        if (!FitsByte(value)) return R(Fault(name, std::to_string(value)));
    }
    if (message.secs < 0) return R(Fault("secs", std::to_string(message.secs)));

    bytes.assign(kFixedHeaderSize + message.options.size(), 0);
    ByteWriter writer(bytes);
    for (const auto& entry : header) writer.U8(static_cast<std::uint8_t>(entry.second));
    writer.Bytes(message.xid);
    writer.U16(static_cast<std::uint16_t>(message.secs % 65536));
    writer.Bytes(message.flags);

    const std::pair<const char*, const std::string*> addresses[] = {{"ciaddr", &message.ciaddr},
                                                                    {"yiaddr", &message.yiaddr},
                                                                    {"siaddr", &message.siaddr},
                                                                    {"giaddr", &message.giaddr}};
    for (const auto& [name, text] : addresses) {
        if (!EncodeAddress(*text, writer.Field(4))) return R(Fault(name, *text));
    }
    if (!EncodeHardwareAddress(message.chaddr, writer.Field(kChaddrSize))) {
        return R(Fault("chaddr", message.chaddr));
    }
    EncodeName(message.sname, writer.Field(kSnameSize));
    EncodeName(message.file, writer.Field(kFileSize));
    writer.Bytes(message.options);
    return std::nullopt;
}

}  // namespace tarnleaf
