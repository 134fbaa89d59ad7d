#include "TaskbarGeometry.h"

#include <gtest/gtest.h>

#include <limits>

#include "support/FakeDesktop.h"

namespace tarnleaf {
namespace {

// A 1024 x 768 screen with a window of outer size 394 x 346.
class TaskbarGeometryTest : public ::testing::Test {
protected:
    PixelPoint Position() const {
        return TaskbarGeometry(desktop, desktop).WindowPosition({394, 346});
    }
    TaskbarSize Visible() const { return TaskbarGeometry(desktop, desktop).VisibleTaskbar(); }
    testing::FakeDesktop desktop;
};

TEST_F(TaskbarGeometryTest, WindowStandsBesideTheTaskbarAtTheNotificationAreasEnd) {
    const struct {
        const char* name;
        PixelRect taskbar;
        TaskbarSize size;
        PixelPoint position;
    } rows[] = {
        {"BottomExact", {0, 738, 1024, 768}, {TaskbarEdge::Bottom, 1024, 30}, {630, 392}},
        {"BottomOverhanging", {-2, 738, 1026, 770}, {TaskbarEdge::Bottom, 1024, 30}, {630, 392}},
        {"TopOverhanging", {-2, -2, 1026, 30}, {TaskbarEdge::Top, 1024, 30}, {630, 30}},
        {"LeftOverhanging", {-2, -2, 60, 770}, {TaskbarEdge::Left, 60, 768}, {60, 422}},
        {"RightOverhanging", {964, -2, 1026, 770}, {TaskbarEdge::Right, 60, 768}, {570, 422}},
        // Narrower than the screen counts as vertical, and its negative excess widens it.
        {"NarrowHorizontal", {100, 738, 900, 768}, {TaskbarEdge::Left, 1169, 768}, {1169, 422}},
        {"OddExcessRoundsDown", {-2, 738, 1027, 768}, {TaskbarEdge::Bottom, 1024, 28}, {630, 394}},
        {"OddNegativeExcessRoundsDown", {0, 0, 60, 765}, {TaskbarEdge::Left, 62, 768}, {62, 422}},
        {"ZerosOfAFailedQuery", {0, 0, 0, 0}, {TaskbarEdge::Left, 384, 768}, {384, 422}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        desktop.taskbar = row.taskbar;
        desktop.iconRect = PixelRect{1000, 740, 1024, 764};  // a work area is published: unused
        EXPECT_EQ(Visible(), row.size);
        EXPECT_EQ(Position(), row.position);
    }
}

TEST_F(TaskbarGeometryTest, WithoutAWorkAreaTheWindowStandsBesideThePanelAroundTheIcon) {
    const struct {
        const char* name;
        std::optional<PixelRect> icon;
        PixelPoint position;
    } rows[] = {
        {"BottomPanel", PixelRect{990, 736, 1022, 768}, {630, 390}},
        {"IconCentredInAThickerPanel", PixelRect{990, 740, 1014, 764}, {630, 390}},
        {"TopPanel", PixelRect{990, 0, 1022, 24}, {630, 24}},
        {"LeftPanel", PixelRect{2, 700, 26, 724}, {28, 422}},
        {"RightPanel", PixelRect{1000, 10, 1024, 34}, {606, 422}},
        {"IconReachingBeyondTheEdge", PixelRect{990, 740, 1022, 800}, {630, 394}},
        // Nothing to go by: the taskbar as the desktop tells it, else the bare corner.
        {"IconUnknown", std::nullopt, {630, 392}},
        {"IconOffTheScreen", PixelRect{-40, -40, -8, -8}, {630, 392}},
        {"IconEmpty", PixelRect{990, 740, 990, 764}, {630, 392}},
    };
    desktop.workArea.reset();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        desktop.iconRect = row.icon;
        EXPECT_EQ(Position(), row.position);
    }
    desktop.taskbar.reset();
    EXPECT_EQ(Position(), (PixelPoint{630, 422}));
}

TEST_F(TaskbarGeometryTest, ExtremeDesktopValuesAreClampedNotWrapped) {
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    desktop.taskbar = PixelRect{kMin, kMin, kMax, kMax};
    desktop.screen = {kMax, kMin};
    EXPECT_EQ(Visible(), (TaskbarSize{TaskbarEdge::Bottom, kMax, kMax}));
    EXPECT_EQ(TaskbarGeometry(desktop, desktop).WindowPosition({kMax, kMax}),
              (PixelPoint{0, kMin}));
    desktop.screen = {kMax, kMax};  // a panel around an icon as large as everything
    desktop.workArea.reset();
    desktop.iconRect = PixelRect{kMin, kMin, kMax, kMax};
    EXPECT_EQ(TaskbarGeometry(desktop, desktop).WindowPosition({kMax, kMax}),
              (PixelPoint{0, -kMax}));
}

}  // namespace
}  // namespace tarnleaf
