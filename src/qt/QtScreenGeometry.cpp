#include "QtScreenGeometry.h"

#include <cmath>
#include <limits>

namespace tarnleaf {

PixelRect TaskbarStrip(const QRect& screen, const QRect& available) {
    const int width = screen.width();
    const int height = screen.height();
    const PixelRect none{0, height, width, height};
    const QRect inside = available.intersected(screen).translated(-screen.topLeft());
    if (inside.isEmpty() || screen.isEmpty()) {
        return none;
    }
    const int top = inside.top();
    const int bottom = height - (inside.y() + inside.height());
    const int left = inside.left();
    const int right = width - (inside.x() + inside.width());

    if (bottom > 0 || top > 0) {
        if (bottom >= top) {
            return {0, height - bottom, width, height};
        }
        return {0, 0, width, top};
    }
    if (right > 0 || left > 0) {
        if (right >= left) {
            return {width - right, 0, width, height};
        }
        return {0, 0, left, height};
    }
    return none;
}

float TwipsPerPixel(double dotsPerInch) {
    constexpr float kTwipsPerInch = 1440.0F;
    if (!std::isfinite(dotsPerInch) || dotsPerInch < 1.0 || dotsPerInch > 10000.0) {
        return 15.0F;
    }
    return kTwipsPerInch / static_cast<float>(dotsPerInch);
}

int TwipsToPixels(int twips, float twipsPerPixel) {
    if (!(twipsPerPixel > 0.0F) || !std::isfinite(twipsPerPixel)) {
        twipsPerPixel = 15.0F;
    }
    const double pixels = std::round(static_cast<double>(twips) / twipsPerPixel);
    if (pixels <= static_cast<double>(std::numeric_limits<int>::min())) {
        return std::numeric_limits<int>::min();
    }
    if (pixels >= static_cast<double>(std::numeric_limits<int>::max())) {
        return std::numeric_limits<int>::max();
    }
    return static_cast<int>(pixels);
}

}  // namespace tarnleaf
