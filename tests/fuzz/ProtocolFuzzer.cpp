// Any datagram and any profile text go through the codec, the dump and the number readings
// without a crash or sanitizer finding; a decoded datagram always encodes.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "FieldSplitter.h"
#include "MessageCodec.h"
#include "PacketDump.h"
#include "TextConversions.h"

using namespace tarnleaf;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const BootpMessage decoded = DecodeMessage(bytes);
    (void)DumpMessage(decoded);
    const auto encoded = EncodeMessage(decoded);
    if (!encoded.ok()) std::abort();
    if (size >= kMinimumMessageSize) {
        // What the record can carry survives another trip unchanged.
        const auto again = EncodeMessage(DecodeMessage(encoded.value()));
        if (!again.ok() || again.value() != encoded.value()) std::abort();
    }

    // The same bytes as profile texts.
    BootpMessage fromProfile;
    fromProfile.ciaddr = std::string(text.substr(0, size / 2));
    fromProfile.chaddr = std::string(text.substr(size / 2));
    fromProfile.sname = std::string(text);
    (void)EncodeMessage(fromProfile);
    (void)DumpMessage(fromProfile);

    (void)LeadingNumber(text);
    (void)WholeNumber(text, INT32_MIN, INT32_MAX);
    (void)ConvertTextToByte(text);
    std::uint8_t targets[10] = {};
    std::uint8_t* slots[10] = {};
    for (std::size_t i = 0; i < 10 && i < size; ++i) slots[i] = data[i] & 1 ? &targets[i] : nullptr;
    (void)SplitToFields(text, size > 0 && data[0] & 2 ? "\r" : ",", slots);
    return 0;
}
