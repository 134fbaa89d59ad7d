#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tarnleaf {

// The destination port a "SendPort" value of the test message selects: "BOOTPS", "67" and an
// empty value give 67, "BOOTPC" and "68" give 68 (letter case and surrounding blanks do not
// matter), any other decimal number from 1 to 65535 gives itself. No value for anything else.
std::optional<std::uint16_t> ChooseSendPort(std::string_view sendPort);

}  // namespace tarnleaf
