#pragma once

#include <optional>

#include <QRect>

#include "ScreenGeometry.h"

namespace tarnleaf {

// The primary screen as Qt knows it, in pixels relative to the screen's top-left corner.
//
// Qt's available geometry is the work area that the window manager publishes
// (_NET_WORKAREA under X11; the taskbar's complement under Windows and macOS). A desktop
// that publishes none gets the whole screen as available geometry, so an available
// geometry equal to the screen's means "no work area": then the window is placed by the
// tray icon's own place. A desktop that truly has no panel loses nothing by that.
class QtScreenGeometry final : public ScreenGeometry {
public:
    PixelSize ScreenSize() const override;
    std::optional<PixelRect> TaskbarRect() const override;
    std::optional<PixelRect> WorkArea() const override;
};

// The work area of a screen with this available geometry; no value when it is the whole
// screen (or nothing of it).
std::optional<PixelRect> PublishedWorkArea(const QRect& screen, const QRect& available);

// The taskbar of a Qt desktop: the strip of the screen that panels keep for themselves, that
// is, what lies in the screen's geometry but not in its available geometry.
//
// When panels stand on more than one edge, a horizontal one wins over a vertical one (the
// notification area sits in the horizontal panel on the usual desktops; vertical strips are
// mostly docks), the thicker of two wins, and a tie goes to the bottom or the right. With no
// panel at all the result is an empty strip under the bottom edge, which puts the window in
// the bottom-right corner.
PixelRect TaskbarStrip(const QRect& screen, const QRect& available);

}  // namespace tarnleaf
