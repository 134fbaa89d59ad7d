#pragma once

#include <cstdint>

#include "DesktopTypes.h"
#include "ScreenGeometry.h"
#include "TrayIcon.h"

namespace tarnleaf {

// The screen edge the taskbar sits on.
enum class TaskbarEdge { Left, Top, Right, Bottom };

struct TaskbarSize {
    TaskbarEdge edge = TaskbarEdge::Left;
    std::int32_t width = 0;  // the part on the screen
    std::int32_t height = 0;
    friend bool operator==(const TaskbarSize&, const TaskbarSize&) = default;
};

// Where the main window goes when it is shown: in the screen corner at the end of the
// taskbar where the notification area is, touching the taskbar. Keeps no state; every call
// asks the desktop afresh. Whatever the desktop reports, results stay within 32 bits
// (clamped, never wrapped).
//
// A desktop that publishes no work area (a bare X server with a tray panel, some tiling
// window managers) cannot tell where its panel is, and the corner of the bare screen lies
// under the panel, with the icon, which then cannot be clicked. There the panel is taken
// from the tray icon itself: see PanelAroundIcon.
class TaskbarGeometry {
public:
    // Both must outlive the object.
    TaskbarGeometry(const ScreenGeometry& screen, const TrayIcon& tray)
        : screen_(screen), tray_(tray) {}

    // The rectangle the window is placed beside: the desktop's taskbar; but where the tray
    // icon's place is known and lies outside it, the strip the work area leaves free on the
    // icon's edge (a desktop with two panels), or, without a work area, the panel around the
    // icon; with nothing known, an empty strip under the bottom edge (the bottom-right
    // corner).
    PixelRect Panel() const;
    // The panel's edge and the part of it that lies on the screen.
    TaskbarSize VisibleTaskbar() const;
    // The outer top-left corner that puts a window of this outer size beside the panel.
    PixelPoint WindowPosition(PixelSize window) const;

private:
    const ScreenGeometry& screen_;
    const TrayIcon& tray_;
};

// The panel that holds a tray icon at `icon`: the icon's rectangle stretched along the
// screen edge nearest to it, reaching that edge and, on its inner side, as far beyond the
// icon as the icon stands from the edge (panels centre their icons). No value when the
// rectangle is empty or off the screen. Ties of distance go to the bottom, right, top, left.
std::optional<PixelRect> PanelAroundIcon(PixelRect icon, PixelSize screen);

}  // namespace tarnleaf
