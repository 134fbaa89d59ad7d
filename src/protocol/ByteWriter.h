#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tarnleaf {

// Fills a pre-sized buffer front to back. Writes past the end are dropped and mark the writer
// as overrun, so a wrong size can lose bytes but never write outside the buffer.
class ByteWriter {
public:
    explicit ByteWriter(std::span<std::uint8_t> bytes) : bytes_(bytes) {}

    void U8(std::uint8_t value) {
        if (position_ >= bytes_.size()) {
            overrun_ = true;
            return;
        }
        bytes_[position_++] = value;
    }

    void U16(std::uint16_t value) {
        U8(static_cast<std::uint8_t>(value >> 8));
        U8(static_cast<std::uint8_t>(value & 0xFF));
    }

    void Bytes(std::span<const std::uint8_t> values) {
        const auto field = Field(values.size());
        std::copy_n(values.begin(), field.size(), field.begin());
    }

    // Hands out the next `count` bytes (fewer at the end of the buffer) for the caller to fill
    // in place, and moves past them.
    std::span<std::uint8_t> Field(std::size_t count) {
        const std::size_t available = bytes_.size() - position_;
        if (count > available) {
            overrun_ = true;
            count = available;
        }
        const auto field = bytes_.subspan(position_, count);
        position_ += count;
        return field;
    }

    std::size_t Position() const { return position_; }
    bool Overrun() const { return overrun_; }

private:
    std::span<std::uint8_t> bytes_;
    std::size_t position_ = 0;
    bool overrun_ = false;
};

}  // namespace tarnleaf
