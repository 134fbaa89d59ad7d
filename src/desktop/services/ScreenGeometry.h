#pragma once

#include <cstdint>

#include "DesktopTypes.h"

namespace tarnleaf {

// Geometry of the primary screen, in pixels; asked afresh at every call, never cached.
class ScreenGeometry {
public:
    virtual ~ScreenGeometry() = default;

    // The taskbar's bounding rectangle (it may reach a few pixels beyond the screen);
    // all zeros when the platform cannot tell.
    virtual PixelRect TaskbarRect() = 0;

    virtual std::int32_t ScreenWidth() = 0;
    virtual std::int32_t ScreenHeight() = 0;

    // The window's outer rectangle, frame and caption included; all zeros on failure.
    virtual PixelRect WindowOuterRect(WindowHandle window) = 0;
};

}  // namespace tarnleaf
