#include "Win32ScreenGeometry.h"

#include <windows.h>
#include <shellapi.h>

namespace tarnleaf {

PixelSize Win32ScreenGeometry::ScreenSize() const {
    return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

std::optional<PixelRect> Win32ScreenGeometry::TaskbarRect() const {
    APPBARDATA data{};
    data.cbSize = sizeof data;
    if (SHAppBarMessage(ABM_GETTASKBARPOS, &data) == 0) return std::nullopt;
    return PixelRect{data.rc.left, data.rc.top, data.rc.right, data.rc.bottom};
}

std::optional<PixelRect> Win32ScreenGeometry::WorkArea() const {
    RECT area{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0)) return std::nullopt;
    return PixelRect{area.left, area.top, area.right, area.bottom};
}

}  // namespace tarnleaf
