#pragma once

#include <cstdint>

#include "DesktopTypes.h"
#include "ScreenGeometry.h"

namespace tarnleaf {

// The screen edge the taskbar sits on, numbered as the platform's application-bar edges.
enum class TaskbarEdge : std::int32_t { Left = 0, Top = 1, Right = 2, Bottom = 3 };

struct WindowSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
    friend bool operator==(const WindowSize&, const WindowSize&) = default;
};

struct TaskbarSize {
    TaskbarEdge edge = TaskbarEdge::Left;
    std::int32_t width = 0;   // the visible part
    std::int32_t height = 0;
    friend bool operator==(const TaskbarSize&, const TaskbarSize&) = default;
};

struct PixelPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

// Where the main window goes when it is shown: in the screen corner next to the
// notification area. Keeps no state; every call asks the platform afresh. Whatever the
// platform reports, results stay within 32 bits (they are clamped, never wrapped).
class clsWindowSize {
public:
    explicit clsWindowSize(ScreenGeometry& screen) : screen_(screen) {}

    // The window's outer size, frame and caption included (0 x 0 if it cannot be read).
    WindowSize TrueWindowSize(WindowHandle window) const;
    // The taskbar's edge and the part of it that lies on the screen.
    TaskbarSize TrueTaskbarSize() const;
    // The top-left position that puts the window beside the notification area.
    PixelPoint TrueTasktraySide(WindowHandle window) const;

private:
    ScreenGeometry& screen_;
};

}  // namespace tarnleaf
