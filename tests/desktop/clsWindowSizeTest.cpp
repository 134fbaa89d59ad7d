#include "clsWindowSize.h"

#include <gtest/gtest.h>

#include <limits>

#include "support/FakeDesktop.h"

namespace tarnleaf {
namespace {

using testing::FakeDesktop;
constexpr WindowHandle kWindow = FakeDesktop::kMainWindow;

// A 1024 x 768 screen with a window of outer size 394 x 346.
TEST(TaskbarGeometry, VisibleSizeEdgeAndWindowPositionFollowTheTaskbar) {
    const struct {
        const char* name;
        PixelRect taskbar;
        TaskbarSize size;
        PixelPoint position;
    } cases[] = {
        {"BottomExact", {0, 738, 1024, 768}, {TaskbarEdge::Bottom, 1024, 30}, {630, 392}},
        {"BottomOverhanging", {-2, 738, 1026, 770}, {TaskbarEdge::Bottom, 1024, 30}, {630, 392}},
        {"TopOverhanging", {-2, -2, 1026, 30}, {TaskbarEdge::Top, 1024, 30}, {630, 30}},
        {"LeftOverhanging", {-2, -2, 60, 770}, {TaskbarEdge::Left, 60, 768}, {60, 422}},
        {"RightExact", {964, 0, 1024, 768}, {TaskbarEdge::Right, 60, 768}, {570, 422}},
        // Narrower than the screen counts as vertical, and its negative excess widens it.
        {"NarrowHorizontal", {100, 738, 900, 768}, {TaskbarEdge::Left, 1169, 768}, {1169, 422}},
        {"OddExcessRoundsDown", {-2, 738, 1027, 768}, {TaskbarEdge::Bottom, 1024, 28}, {630, 394}},
        {"OddNegativeExcessRoundsDown", {0, 0, 60, 765}, {TaskbarEdge::Left, 62, 768}, {62, 422}},
        {"FailedQueryGivesZeros", {0, 0, 0, 0}, {TaskbarEdge::Left, 384, 768}, {384, 422}},
    };
    FakeDesktop desktop;
    desktop.windowRects[kWindow] = PixelRect{100, 50, 494, 396};
    const clsWindowSize geometry(desktop);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        desktop.taskbarRect = c.taskbar;
        EXPECT_EQ(geometry.TrueTaskbarSize(), c.size);
        EXPECT_EQ(geometry.TrueTasktraySide(kWindow), c.position);
    }
}

TEST(TaskbarGeometry, ExtremePlatformValuesAreClampedNotWrapped) {
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    FakeDesktop desktop;
    desktop.windowRects[kWindow] = desktop.taskbarRect = PixelRect{kMin, kMin, kMax, kMax};
    desktop.screenWidth = kMax;
    desktop.screenHeight = kMin;
    const clsWindowSize geometry(desktop);
    EXPECT_EQ(geometry.TrueWindowSize(kWindow), (WindowSize{kMax, kMax}));
    EXPECT_EQ(geometry.TrueTaskbarSize(), (TaskbarSize{TaskbarEdge::Bottom, kMax, kMax}));
    EXPECT_EQ(geometry.TrueTasktraySide(kWindow), (PixelPoint{0, kMin}));
}

}  // namespace
}  // namespace tarnleaf
