#include "shell/clsWindowSize.h"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>

#include "support/FakeDesktop.h"

namespace tarnleaf {
namespace {

using testing::FakeDesktop;

struct TaskbarCase {
    const char* name;
    PixelRect taskbar;
    TaskbarSize size;
    PixelPoint position;
};

std::ostream& operator<<(std::ostream& out, const TaskbarCase& c) { return out << c.name; }

// A 1024 x 768 screen with a window of outer size 394 x 346.
class TaskbarGeometry : public ::testing::TestWithParam<TaskbarCase> {
protected:
    TaskbarGeometry() {
        desktop.windowRects[FakeDesktop::kMainWindow] = PixelRect{100, 50, 494, 396};
    }
    FakeDesktop desktop;
    clsWindowSize geometry{desktop};
};

TEST_P(TaskbarGeometry, VisibleSizeEdgeAndWindowPosition) {
    desktop.taskbarRect = GetParam().taskbar;
    EXPECT_EQ(geometry.TrueTaskbarSize(), GetParam().size);
    EXPECT_EQ(geometry.TrueTasktraySide(FakeDesktop::kMainWindow), GetParam().position);
}

INSTANTIATE_TEST_SUITE_P(
    ScreenEdges, TaskbarGeometry,
    ::testing::Values(
        TaskbarCase{"BottomExact", {0, 738, 1024, 768}, {TaskbarEdge::Bottom, 1024, 30}, {630, 392}},
        TaskbarCase{"BottomOverhanging", {-2, 738, 1026, 770}, {TaskbarEdge::Bottom, 1024, 30},
                    {630, 392}},
        TaskbarCase{"TopOverhanging", {-2, -2, 1026, 30}, {TaskbarEdge::Top, 1024, 30}, {630, 30}},
        TaskbarCase{"LeftOverhanging", {-2, -2, 60, 770}, {TaskbarEdge::Left, 60, 768}, {60, 422}},
        TaskbarCase{"RightOverhanging", {964, -2, 1026, 770}, {TaskbarEdge::Right, 60, 768},
                    {570, 422}},
        // Narrower than the screen counts as vertical, and its negative excess widens it.
        TaskbarCase{"NarrowHorizontalCountsAsVertical", {100, 738, 900, 768},
                    {TaskbarEdge::Left, 1169, 768}, {1169, 422}},
        TaskbarCase{"OddPositiveExcessRoundsDown", {-2, 738, 1027, 768},
                    {TaskbarEdge::Bottom, 1024, 28}, {630, 394}},
        TaskbarCase{"OddNegativeExcessRoundsTowardsMinusInfinity", {0, 0, 60, 765},
                    {TaskbarEdge::Left, 62, 768}, {62, 422}},
        // A failed taskbar query leaves zeros: a left taskbar half the screen height wide.
        TaskbarCase{"FailedQueryGivesZeros", {0, 0, 0, 0}, {TaskbarEdge::Left, 384, 768},
                    {384, 422}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(WindowSizeTest, OuterSizeIsRightMinusLeftAndBottomMinusTop) {
    FakeDesktop desktop;
    desktop.windowRects[FakeDesktop::kMainWindow] = PixelRect{-10, 20, 384, 366};
    EXPECT_EQ(clsWindowSize(desktop).TrueWindowSize(FakeDesktop::kMainWindow),
              (WindowSize{394, 346}));
}

TEST(WindowSizeTest, UnreadableWindowCountsAsZeroByZero) {
    FakeDesktop desktop;
    desktop.windowRects.clear();
    const clsWindowSize geometry(desktop);
    EXPECT_EQ(geometry.TrueWindowSize(FakeDesktop::kMainWindow), (WindowSize{0, 0}));
    EXPECT_EQ(geometry.TrueTasktraySide(FakeDesktop::kMainWindow), (PixelPoint{1024, 768 - 30}));
}

TEST(WindowSizeTest, ExtremePlatformValuesAreClampedNotWrapped) {
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    FakeDesktop desktop;
    desktop.windowRects[FakeDesktop::kMainWindow] = PixelRect{kMin, kMin, kMax, kMax};
    desktop.taskbarRect = PixelRect{kMin, kMin, kMax, kMax};
    desktop.screenWidth = kMax;
    desktop.screenHeight = kMin;
    const clsWindowSize geometry(desktop);
    EXPECT_EQ(geometry.TrueWindowSize(FakeDesktop::kMainWindow), (WindowSize{kMax, kMax}));
    const TaskbarSize bar = geometry.TrueTaskbarSize();
    EXPECT_EQ(bar.edge, TaskbarEdge::Bottom);
    EXPECT_EQ(bar.width, kMax);
    const PixelPoint position = geometry.TrueTasktraySide(FakeDesktop::kMainWindow);
    EXPECT_GE(position.x, kMin);
    EXPECT_LE(position.y, kMax);
}

}  // namespace
}  // namespace tarnleaf
