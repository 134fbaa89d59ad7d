#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tarnleaf {

// Reads a datagram front to back. A read past the end yields zeros (or a shorter span) and
// marks the reader as overrun, so a mistake in a caller's length check can never touch memory
// outside the datagram.
class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::uint8_t U8() {
        if (position_ >= bytes_.size()) {
            overrun_ = true;
            return 0;
        }
        return bytes_[position_++];
    }

    std::uint16_t U16() {
        const auto high = U8();
        const auto low = U8();
        return static_cast<std::uint16_t>((high << 8) | low);
    }

    // The next `count` bytes, fewer when the datagram ends first.
    std::span<const std::uint8_t> Take(std::size_t count) {
        const std::size_t available = Remaining();
        if (count > available) {
            overrun_ = true;
            count = available;
        }
        const auto piece = bytes_.subspan(position_, count);
        position_ += count;
        return piece;
    }

    std::span<const std::uint8_t> TakeRest() { return Take(Remaining()); }

    std::size_t Remaining() const { return bytes_.size() - position_; }
    bool Overrun() const { return overrun_; }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
    bool overrun_ = false;
};

}  // namespace tarnleaf
