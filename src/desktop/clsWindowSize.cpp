#include "clsWindowSize.h"

#include <algorithm>
#include <limits>

namespace tarnleaf {
namespace {

using Wide = std::int64_t;

std::int32_t Clamp32(Wide value) {
    return static_cast<std::int32_t>(std::clamp<Wide>(value, std::numeric_limits<std::int32_t>::min(),
                                                      std::numeric_limits<std::int32_t>::max()));
}

// floor(value / 2) for negative values too (-3 gives -2).
Wide HalfRoundedDown(Wide value) { return value >= 0 ? value / 2 : -((-value + 1) / 2); }

}  // namespace

WindowSize clsWindowSize::TrueWindowSize(WindowHandle window) const {
    const PixelRect rect = screen_.WindowOuterRect(window);
    return {Clamp32(Wide{rect.right} - rect.left), Clamp32(Wide{rect.bottom} - rect.top)};
}

TaskbarSize clsWindowSize::TrueTaskbarSize() const {
    const PixelRect rect = screen_.TaskbarRect();
    const Wide screenWidth = screen_.ScreenWidth();
    const Wide screenHeight = screen_.ScreenHeight();
    Wide width = Wide{rect.right} - rect.left;
    Wide height = Wide{rect.bottom} - rect.top;

    TaskbarSize size;
    if (width < screenWidth) {
        // Vertical: half of what sticks out along the long side comes off the short side.
        const Wide excess = height - screenHeight;
        width -= HalfRoundedDown(excess);
        height = screenHeight;
        size.edge = rect.right >= screenWidth ? TaskbarEdge::Right : TaskbarEdge::Left;
    } else {
        const Wide excess = width - screenWidth;
        width = screenWidth;
        height -= HalfRoundedDown(excess);
        size.edge = rect.bottom >= screenHeight ? TaskbarEdge::Bottom : TaskbarEdge::Top;
    }
    size.width = Clamp32(width);
    size.height = Clamp32(height);
    return size;
}

PixelPoint clsWindowSize::TrueTasktraySide(WindowHandle window) const {
    const WindowSize win = TrueWindowSize(window);
    const TaskbarSize bar = TrueTaskbarSize();
    const Wide w = win.width;
    const Wide h = win.height;
    const Wide tw = bar.width;
    const Wide th = bar.height;
    switch (bar.edge) {
        case TaskbarEdge::Left:
            return {Clamp32(tw), Clamp32(th - h)};
        case TaskbarEdge::Top:
            return {Clamp32(tw - w), Clamp32(th)};
        case TaskbarEdge::Right:
            return {Clamp32(Wide{screen_.ScreenWidth()} - tw - w), Clamp32(th - h)};
        case TaskbarEdge::Bottom:
            return {Clamp32(tw - w), Clamp32(Wide{screen_.ScreenHeight()} - th - h)};
    }
    return {};
}

}  // namespace tarnleaf
