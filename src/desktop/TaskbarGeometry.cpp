#include "TaskbarGeometry.h"

#include <algorithm>
#include <array>
#include <limits>

namespace tarnleaf {
namespace {

using Wide = std::int64_t;

std::int32_t Clamp32(Wide value) {
    return static_cast<std::int32_t>(std::clamp<Wide>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// floor(value / 2) for negative values too (-3 gives -2).
Wide HalfRoundedDown(Wide value) { return value >= 0 ? value / 2 : -((-value + 1) / 2); }

}  // namespace

std::optional<PixelRect> PanelAroundIcon(PixelRect icon, PixelSize screen) {
    const Wide width = screen.width;
    const Wide height = screen.height;
    if (icon.Empty() || icon.right <= 0 || icon.bottom <= 0 || icon.left >= width ||
        icon.top >= height) {
        return std::nullopt;
    }
    // Gaps between the icon and each edge, in the order that wins a tie.
    const std::array<Wide, 4> gaps{height - icon.bottom, width - icon.right, Wide{icon.top},
                                   Wide{icon.left}};
    const auto nearest = std::min_element(gaps.begin(), gaps.end()) - gaps.begin();
    const Wide gap = std::max<Wide>(gaps[static_cast<std::size_t>(nearest)], 0);
    switch (nearest) {
        case 0:  // bottom
            return PixelRect{0, Clamp32(Wide{icon.top} - gap), screen.width, screen.height};
        case 1:  // right
            return PixelRect{Clamp32(Wide{icon.left} - gap), 0, screen.width, screen.height};
        case 2:  // top
            return PixelRect{0, 0, screen.width, Clamp32(Wide{icon.bottom} + gap)};
        default:  // left
            return PixelRect{0, 0, Clamp32(Wide{icon.right} + gap), screen.height};
    }
}

PixelRect TaskbarGeometry::Panel() const {
    const PixelSize size = screen_.ScreenSize();
    const std::optional<PixelRect> taskbar = screen_.TaskbarRect();
    if (!screen_.WorkArea()) {
        if (const std::optional<PixelRect> icon = tray_.Geometry()) {
            if (const std::optional<PixelRect> panel = PanelAroundIcon(*icon, size)) {
                return *panel;
            }
        }
    }
    return taskbar.value_or(PixelRect{0, size.height, size.width, size.height});
}

TaskbarSize TaskbarGeometry::VisibleTaskbar() const {
    const PixelRect rect = Panel();
    const PixelSize screen = screen_.ScreenSize();
    Wide width = Wide{rect.right} - rect.left;
    Wide height = Wide{rect.bottom} - rect.top;

    TaskbarSize size;
    if (width < screen.width) {
        // Vertical: half of what sticks out along the long side comes off the short side.
        width -= HalfRoundedDown(height - screen.height);
        height = screen.height;
        size.edge = rect.right >= screen.width ? TaskbarEdge::Right : TaskbarEdge::Left;
    } else {
        height -= HalfRoundedDown(width - screen.width);
        width = screen.width;
        size.edge = rect.bottom >= screen.height ? TaskbarEdge::Bottom : TaskbarEdge::Top;
    }
    size.width = Clamp32(width);
    size.height = Clamp32(height);
    return size;
}

PixelPoint TaskbarGeometry::WindowPosition(PixelSize window) const {
    const TaskbarSize bar = VisibleTaskbar();
    const PixelSize screen = screen_.ScreenSize();
    const Wide w = window.width;
    const Wide h = window.height;
    const Wide tw = bar.width;
    const Wide th = bar.height;
    switch (bar.edge) {
        case TaskbarEdge::Left:
            return {Clamp32(tw), Clamp32(th - h)};
        case TaskbarEdge::Top:
            return {Clamp32(tw - w), Clamp32(th)};
        case TaskbarEdge::Right:
            return {Clamp32(Wide{screen.width} - tw - w), Clamp32(th - h)};
        case TaskbarEdge::Bottom:
            return {Clamp32(tw - w), Clamp32(Wide{screen.height} - th - h)};
    }
    return {};
}

}  // namespace tarnleaf
