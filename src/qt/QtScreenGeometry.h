#pragma once

#include <QRect>

#include "DesktopTypes.h"

namespace tarnleaf {

// The taskbar of a Qt desktop: the strip of the screen that panels keep for themselves, that
// is, what lies in the screen's geometry but not in its available geometry. Coordinates are
// relative to the screen's top-left corner.
//
// When panels stand on more than one edge, a horizontal one wins over a vertical one (the
// notification area sits in the horizontal panel on the usual desktops; vertical strips are
// mostly docks), the thicker of two wins, and a tie goes to the bottom or the right. With no
// panel at all the result is an empty strip under the bottom edge, which puts the window in
// the bottom-right corner.
PixelRect TaskbarStrip(const QRect& screen, const QRect& available);

// The twips per pixel of a screen with this many logical dots per inch; 15 (96 dpi) when
// the screen reports nothing usable.
float TwipsPerPixel(double dotsPerInch);

// Twips to pixels at the given factor, rounded to the nearest pixel and held within int.
int TwipsToPixels(int twips, float twipsPerPixel);

}  // namespace tarnleaf
