#pragma once

#include <optional>

#include "DesktopTypes.h"

namespace tarnleaf {

// The primary screen and its taskbar, asked afresh at every call.
class ScreenGeometry {
public:
    virtual ~ScreenGeometry() = default;

    virtual PixelSize ScreenSize() const = 0;

    // The taskbar's (panel's) bounding rectangle; it may reach a few pixels beyond the
    // screen. No value when the platform cannot tell.
    virtual std::optional<PixelRect> TaskbarRect() const = 0;

    // The part of the screen that windows may cover without hiding a panel, when the
    // desktop publishes one; no value on a desktop that publishes none (a bare X server
    // with a tray panel, some tiling window managers).
    virtual std::optional<PixelRect> WorkArea() const = 0;
};

}  // namespace tarnleaf
