#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "DesktopTypes.h"

namespace tarnleaf {

// One line of the pop-up menu as the logic wants it drawn.
struct MenuEntry {
    MenuItem item;
    std::string_view text;
    bool checked = false;
};

// What the tray icon reports, on the UI thread, one call at a time.
class TrayIconEvents {
public:
    virtual ~TrayIconEvents() = default;

    // A mouse button was pressed on the icon (single), or the left one double-clicked.
    virtual void OnTrayActivated(MouseButton button, ClickCount count) = 0;

    // The notification area came back (the shell restarted): an icon that was shown
    // must be shown again.
    virtual void OnTrayCameBack() = 0;
};

// The program's icon in the notification area, with its tip and its pop-up menu.
class TrayIcon {
public:
    virtual ~TrayIcon() = default;

    virtual void SetEvents(TrayIconEvents* events) = 0;

    // Whether the desktop has a notification area that can show icons right now.
    virtual bool Available() const = 0;

    // Shows the program's icon with the tip, or updates the tip of the icon shown. False
    // when the icon cannot be shown (no picture, the shell refused).
    virtual bool Show(std::string_view tip) = 0;
    virtual void Remove() = 0;

    // Pops the menu up at the pointer, `defaultItem` drawn as the default, and returns the
    // item chosen, if any. Runs a nested event loop until the menu closes, and makes sure
    // the menu closes on a click elsewhere.
    virtual std::optional<MenuItem> PopUpMenu(std::span<const MenuEntry> entries,
                                              MenuItem defaultItem) = 0;

    // Where the icon is on the screen, where the platform can tell.
    virtual std::optional<PixelRect> Geometry() const = 0;
};

}  // namespace tarnleaf
