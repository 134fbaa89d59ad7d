#pragma once

#include "ScreenGeometry.h"

namespace tarnleaf {

// The primary screen (GetSystemMetrics), the taskbar (SHAppBarMessage) and the work area
// (SystemParametersInfo), which Windows always publishes.
class Win32ScreenGeometry final : public ScreenGeometry {
public:
    PixelSize ScreenSize() const override;
    std::optional<PixelRect> TaskbarRect() const override;
    std::optional<PixelRect> WorkArea() const override;
};

}  // namespace tarnleaf
