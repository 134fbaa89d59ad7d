#pragma once

#include <cstdint>

namespace tarnleaf {

// A point, size or rectangle in pixels of the primary screen; right and bottom are exclusive.
struct PixelPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

struct PixelSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
    friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

struct PixelRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    bool Empty() const { return right <= left || bottom <= top; }
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// The items of the tray icon's pop-up menu, in the order it shows them:
// "設定" (show or hide the window), "ログ" (logging on or off), "終了" (quit).
enum class MenuItem { Config, Log, Exit };

// The main window's buttons: "Edit Config", "Send Test Message", "Minimize To Tray".
enum class WindowButton { EditConfig, SendTestMessage, MinimizeToTray };

enum class WindowState { Normal, Minimized, Maximized };

enum class MouseButton { Left, Right, Middle };
enum class ClickCount { Single, Double };

}  // namespace tarnleaf
