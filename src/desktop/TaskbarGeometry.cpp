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

// The screen edge nearest to an icon on the screen, and the gap between them.
struct NearestEdge {
    TaskbarEdge edge;
    Wide gap;
};

std::optional<NearestEdge> EdgeNearest(PixelRect icon, PixelSize screen) {
    const Wide width = screen.width;
    const Wide height = screen.height;
    if (icon.Empty() || icon.right <= 0 || icon.bottom <= 0 || icon.left >= width ||
        icon.top >= height) {
        return std::nullopt;
    }
    // Gaps between the icon and each edge, in the order that wins a tie.
    const std::array<NearestEdge, 4> gaps{{{TaskbarEdge::Bottom, height - icon.bottom},
                                           {TaskbarEdge::Right, width - icon.right},
                                           {TaskbarEdge::Top, Wide{icon.top}},
                                           {TaskbarEdge::Left, Wide{icon.left}}}};
    NearestEdge nearest = *std::min_element(
        gaps.begin(), gaps.end(), [](const auto& a, const auto& b) { return a.gap < b.gap; });
    nearest.gap = std::max<Wide>(nearest.gap, 0);
    return nearest;
}

// The strip that the work area leaves free along one edge of the screen, if any.
std::optional<PixelRect> StripAlong(TaskbarEdge edge, PixelRect work, PixelSize screen) {
    PixelRect strip{0, 0, screen.width, screen.height};
    switch (edge) {
        case TaskbarEdge::Bottom: strip.top = work.bottom; break;
        case TaskbarEdge::Right: strip.left = work.right; break;
        case TaskbarEdge::Top: strip.bottom = work.top; break;
        case TaskbarEdge::Left: strip.right = work.left; break;
    }
    return strip.Empty() ? std::nullopt : std::optional(strip);
}

bool Overlap(PixelRect a, PixelRect b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

}  // namespace

std::optional<PixelRect> PanelAroundIcon(PixelRect icon, PixelSize screen) {
    const std::optional<NearestEdge> nearest = EdgeNearest(icon, screen);
    if (!nearest) {
        return std::nullopt;
    }
    const Wide gap = nearest->gap;
    switch (nearest->edge) {
        case TaskbarEdge::Bottom:
            return PixelRect{0, Clamp32(Wide{icon.top} - gap), screen.width, screen.height};
        case TaskbarEdge::Right:
            return PixelRect{Clamp32(Wide{icon.left} - gap), 0, screen.width, screen.height};
        case TaskbarEdge::Top:
            return PixelRect{0, 0, screen.width, Clamp32(Wide{icon.bottom} + gap)};
        case TaskbarEdge::Left:
            return PixelRect{0, 0, Clamp32(Wide{icon.right} + gap), screen.height};
    }
    return std::nullopt;
}

PixelRect TaskbarGeometry::Panel() const {
    const PixelSize size = screen_.ScreenSize();
    const std::optional<PixelRect> taskbar = screen_.TaskbarRect();
    const std::optional<PixelRect> work = screen_.WorkArea();
    if (const std::optional<PixelRect> icon = tray_.Geometry()) {
        if (!work) {
            if (const std::optional<PixelRect> panel = PanelAroundIcon(*icon, size)) {
                return *panel;
            }
        } else if (taskbar && !Overlap(*icon, *taskbar)) {
            // Two panels (the tray at the top, a window list at the bottom): the one that
            // holds the icon is the one to stand beside, thicker or not.
            if (const std::optional<NearestEdge> nearest = EdgeNearest(*icon, size)) {
                if (const auto strip = StripAlong(nearest->edge, *work, size)) {
                    return *strip;
                }
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
