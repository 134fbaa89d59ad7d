#include "TaskbarGeometry.h"

#include <gtest/gtest.h>

#include <limits>

#include "support/FakeDesktop.h"

namespace tarnleaf {
namespace {

// A 1024 x 768 screen with a window of outer size 394 x 346.
TEST(TaskbarGeometryTest, WindowStandsBesideTheTaskbarElseBesideThePanelAroundTheIcon) {
    constexpr PixelRect kBottom{0, 738, 1024, 768}, kTopIcon{990, 0, 1022, 24};
    const struct { const char* name; std::optional<PixelRect> taskbar; bool workArea;
                   std::optional<PixelRect> icon; PixelPoint position; } rows[] = {
        // A work area is published: the taskbar decides, the icon (at the top) does not.
        {"BottomOverhanging", PixelRect{-2, 738, 1026, 770}, true, kTopIcon, {630, 392}},
        {"TopOverhanging", PixelRect{-2, -2, 1026, 30}, true, kTopIcon, {630, 30}},
        {"LeftOverhanging", PixelRect{-2, -2, 60, 770}, true, kTopIcon, {60, 422}},
        {"RightOverhanging", PixelRect{964, -2, 1026, 770}, true, kTopIcon, {570, 422}},
        // Narrower than the screen counts as vertical, and its negative excess widens it.
        {"NarrowHorizontal", PixelRect{100, 738, 900, 768}, true, kTopIcon, {1169, 422}},
        {"OddExcessRoundsDown", PixelRect{-2, 738, 1027, 768}, true, kTopIcon, {630, 394}},
        {"ZerosOfAFailedQuery", PixelRect{0, 0, 0, 0}, true, kTopIcon, {384, 422}},
        // None: the panel around the icon; nothing to go by: the taskbar, else the corner.
        {"BottomPanel", kBottom, false, PixelRect{990, 736, 1022, 768}, {630, 390}},
        {"IconCentredInAThickerPanel", kBottom, false, PixelRect{990, 740, 1014, 764}, {630, 390}},
        {"TopPanel", kBottom, false, kTopIcon, {630, 24}},
        {"LeftPanel", kBottom, false, PixelRect{2, 700, 26, 724}, {28, 422}},
        {"RightPanel", kBottom, false, PixelRect{1000, 10, 1024, 34}, {606, 422}},
        {"IconReachingBeyondTheEdge", kBottom, false, PixelRect{990, 740, 1022, 800}, {630, 394}},
        {"IconUnknown", kBottom, false, std::nullopt, {630, 392}},
        {"IconOffTheScreen", kBottom, false, PixelRect{-40, -40, -8, -8}, {630, 392}},
        {"IconEmpty", kBottom, false, PixelRect{990, 740, 990, 764}, {630, 392}},
        {"NothingKnown", std::nullopt, false, std::nullopt, {630, 422}},
    };
    testing::FakeDesktop desktop;
    for (const auto& row : rows) {
        desktop.taskbar = row.taskbar, desktop.iconRect = row.icon;
        desktop.workArea = row.workArea ? PixelRect{0, 0, 1024, 738} : std::optional<PixelRect>();
        EXPECT_EQ(TaskbarGeometry(desktop, desktop).WindowPosition({394, 346}), row.position)
            << row.name;
    }
    // Two panels, the icon in the top one: it decides, though the bottom one is thicker.
    desktop.taskbar = PixelRect{0, 740, 1024, 768}, desktop.iconRect = kTopIcon;
    desktop.workArea = PixelRect{0, 24, 1024, 740};
    EXPECT_EQ(TaskbarGeometry(desktop, desktop).WindowPosition({394, 346}), (PixelPoint{630, 24}));
}

TEST(TaskbarGeometryTest, ExtremeDesktopValuesAreClampedNotWrapped) {
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min(), kMax = -(kMin + 1);
    constexpr PixelSize kHuge{kMax, kMax};
    testing::FakeDesktop desktop;
    const auto Position = [&] { return TaskbarGeometry(desktop, desktop).WindowPosition(kHuge); };
    desktop.taskbar = PixelRect{kMin, kMin, kMax, kMax};
    desktop.screen = {kMax, kMin};
    EXPECT_EQ(Position(), (PixelPoint{0, kMin}));
    desktop.screen = {kMax, kMax};  // a panel around an icon as large as everything
    desktop.workArea.reset();
    desktop.iconRect = PixelRect{kMin, kMin, kMax, kMax};
    EXPECT_EQ(Position(), (PixelPoint{0, -kMax}));
}

}  // namespace
}  // namespace tarnleaf
