#include "TaskbarGeometry.h"

#include <gtest/gtest.h>

#include <limits>

#include "support/FakeDesktop.h"

namespace tarnleaf {
namespace {

// A 1024 x 768 screen with a window of outer size 394 x 346.
class TaskbarGeometryTest : public ::testing::Test {
protected:
    PixelPoint Position(PixelSize window = {394, 346}) const {
        return TaskbarGeometry(desktop, desktop).WindowPosition(window);
    }
    testing::FakeDesktop desktop;
};

TEST_F(TaskbarGeometryTest, WindowStandsBesideTheTaskbarAtTheNotificationAreasEnd) {
    const struct { const char* name; PixelRect taskbar; PixelPoint position; } rows[] = {
        {"BottomExact", {0, 738, 1024, 768}, {630, 392}},
        {"BottomOverhanging", {-2, 738, 1026, 770}, {630, 392}},
        {"TopOverhanging", {-2, -2, 1026, 30}, {630, 30}},
        {"LeftOverhanging", {-2, -2, 60, 770}, {60, 422}},
        {"RightOverhanging", {964, -2, 1026, 770}, {570, 422}},
        // Narrower than the screen counts as vertical, and its negative excess widens it.
        {"NarrowHorizontal", {100, 738, 900, 768}, {1169, 422}},
        {"OddExcessRoundsDown", {-2, 738, 1027, 768}, {630, 394}},
        {"OddNegativeExcessRoundsDown", {0, 0, 60, 765}, {62, 422}},
        {"ZerosOfAFailedQuery", {0, 0, 0, 0}, {384, 422}},
    };
    desktop.iconRect = PixelRect{1000, 740, 1024, 764};  // a work area is published: unused
    for (const auto& row : rows) {
        desktop.taskbar = row.taskbar;
        EXPECT_EQ(Position(), row.position) << row.name;
    }
}

TEST_F(TaskbarGeometryTest, WithoutAWorkAreaTheWindowStandsBesideThePanelAroundTheIcon) {
    struct Row { const char* name; std::optional<PixelRect> icon; PixelPoint position; };
    const Row rows[] = {
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
        desktop.iconRect = row.icon;
        EXPECT_EQ(Position(), row.position) << row.name;
    }
    desktop.taskbar.reset();
    EXPECT_EQ(Position(), (PixelPoint{630, 422}));
}

TEST_F(TaskbarGeometryTest, ExtremeDesktopValuesAreClampedNotWrapped) {
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    desktop.taskbar = PixelRect{kMin, kMin, kMax, kMax};
    desktop.screen = {kMax, kMin};
    EXPECT_EQ(Position({kMax, kMax}), (PixelPoint{0, kMin}));
    desktop.screen = {kMax, kMax};  // a panel around an icon as large as everything
    desktop.workArea.reset();
    desktop.iconRect = PixelRect{kMin, kMin, kMax, kMax};
    EXPECT_EQ(Position({kMax, kMax}), (PixelPoint{0, -kMax}));
}

}  // namespace
}  // namespace tarnleaf
