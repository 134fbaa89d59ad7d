#include "SendPort.h"

#include <string>

#include "TextConversions.h"

namespace tarnleaf {

namespace {

constexpr std::uint16_t kServerPort = 67;
constexpr std::uint16_t kClientPort = 68;

}  // namespace

std::optional<std::uint16_t> ChooseSendPort(std::string_view sendPort) {
    const std::string value = ToUpperAscii(TrimBlanks(sendPort));
    if (value.empty() || value == "BOOTPS" || value == "67") {
        return kServerPort;
    }
    if (value == "BOOTPC" || value == "68") {
        return kClientPort;
    }
    if (value.size() > 5) {
        return std::nullopt;
    }
    std::uint32_t port = 0;
    for (const char c : value) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        port = port * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (port < 1 || port > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(port);
}

}  // namespace tarnleaf
