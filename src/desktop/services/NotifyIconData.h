#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "DesktopTypes.h"

namespace tarnleaf {

// The icon record of the notify-icon call, field by field as the shell's first-version
// record has them. cbSize is 88, the size of that record with 32-bit handles; a backend
// built for 64-bit handles passes the first-version size of its own platform instead.
struct NotifyIconData {
    static constexpr std::uint32_t kFirstVersionSize = 88;
    static constexpr std::uint32_t kFlagMessage = 1;
    static constexpr std::uint32_t kFlagIcon = 2;
    static constexpr std::uint32_t kFlagTip = 4;
    // The first user message number: the icon's mouse notifications arrive as this.
    static constexpr std::uint32_t kCallbackMessage = 0x401;
    static constexpr std::size_t kTipCapacity = 64;

    std::uint32_t cbSize = kFirstVersionSize;
    WindowHandle hWnd = 0;
    std::uint32_t uID = 0;
    std::uint32_t uFlags = kFlagMessage | kFlagIcon | kFlagTip;
    std::uint32_t uCallbackMessage = kCallbackMessage;
    IconHandle hIcon = 0;
    // The tip in UTF-16 characters, at most 63 of them, then NUL. A backend whose call
    // wants 8-bit text converts it to the system code page when it passes the record.
    std::array<char16_t, kTipCapacity> szTip{};

    // The tip's characters before the first NUL.
    std::u16string_view Tip() const {
        std::size_t length = 0;
        while (length < szTip.size() && szTip[length] != u'\0') {
            ++length;
        }
        return {szTip.data(), length};
    }
};

}  // namespace tarnleaf
