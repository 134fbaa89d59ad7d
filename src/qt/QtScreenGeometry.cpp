#include "QtScreenGeometry.h"

#include <QGuiApplication>
#include <QScreen>

namespace tarnleaf {
namespace {

PixelRect ToPixelRect(const QRect& rect) {
    return {rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
}

}  // namespace

PixelSize QtScreenGeometry::ScreenSize() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? PixelSize{screen->geometry().width(), screen->geometry().height()}
                             : PixelSize{};
}

std::optional<PixelRect> QtScreenGeometry::TaskbarRect() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr || !WorkArea()) {
        return std::nullopt;
    }
    return TaskbarStrip(screen->geometry(), screen->availableGeometry());
}

std::optional<PixelRect> QtScreenGeometry::WorkArea() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return std::nullopt;
    }
    return PublishedWorkArea(screen->geometry(), screen->availableGeometry());
}

std::optional<PixelRect> PublishedWorkArea(const QRect& screen, const QRect& available) {
    const QRect inside = available.intersected(screen);
    if (inside.isEmpty() || inside == screen) {
        return std::nullopt;
    }
    return ToPixelRect(inside.translated(-screen.topLeft()));
}

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

}  // namespace tarnleaf
