#include "platform/qt/QtScreenGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace tarnleaf {
namespace {

struct StripCase {
    const char* name;
    QRect available;
    PixelRect strip;
    QRect screen = QRect(0, 0, 1024, 768);
};

class TaskbarStripTest : public ::testing::TestWithParam<StripCase> {};

TEST_P(TaskbarStripTest, IsThePartOfTheScreenThatPanelsKeep) {
    EXPECT_EQ(TaskbarStrip(GetParam().screen, GetParam().available), GetParam().strip);
}

INSTANTIATE_TEST_SUITE_P(
    Panels, TaskbarStripTest,
    ::testing::Values(
        StripCase{"BottomPanel", QRect(0, 0, 1024, 738), {0, 738, 1024, 768}},
        StripCase{"TopPanel", QRect(0, 30, 1024, 738), {0, 0, 1024, 30}},
        StripCase{"LeftPanel", QRect(60, 0, 964, 768), {0, 0, 60, 768}},
        StripCase{"RightPanel", QRect(0, 0, 964, 768), {964, 0, 1024, 768}},
        StripCase{"NoPanelGivesAnEmptyStripUnderTheBottom", QRect(0, 0, 1024, 768),
                  {0, 768, 1024, 768}},
        StripCase{"HorizontalPanelWinsOverADock", QRect(70, 27, 954, 741), {0, 0, 1024, 27}},
        StripCase{"ThickerOfTopAndBottomWins", QRect(0, 24, 1024, 696), {0, 720, 1024, 768}},
        StripCase{"TieOfTopAndBottomGoesToTheBottom", QRect(0, 30, 1024, 708),
                  {0, 738, 1024, 768}},
        StripCase{"TieOfLeftAndRightGoesToTheRight", QRect(50, 0, 924, 768),
                  {974, 0, 1024, 768}},
        StripCase{"ScreenAwayFromTheOriginCountsFromItsCorner", QRect(1920, 100, 1024, 738),
                  {0, 738, 1024, 768}, QRect(1920, 100, 1024, 768)},
        StripCase{"AvailableAreaOutsideTheScreenIsNoPanel", QRect(2000, 0, 100, 100),
                  {0, 768, 1024, 768}},
        StripCase{"EmptyAvailableAreaIsNoPanel", QRect(), {0, 768, 1024, 768}},
        StripCase{"EmptyScreenGivesAnEmptyStrip", QRect(), {0, 0, 0, 0}, QRect()}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(TwipsPerPixelTest, FollowsTheDotsPerInchAndFallsBackTo96) {
    EXPECT_FLOAT_EQ(TwipsPerPixel(120.0), 12.0F);
    for (const double broken : {0.0, -96.0, std::nan(""), HUGE_VAL}) {
        EXPECT_FLOAT_EQ(TwipsPerPixel(broken), 15.0F) << broken;
    }
}

TEST(TwipsToPixelsTest, RoundsToTheNearestPixelAndStaysWithinInt) {
    constexpr int kMax = std::numeric_limits<int>::max();
    constexpr int kMin = std::numeric_limits<int>::min();
    EXPECT_EQ(TwipsToPixels(5820, 15.0F), 388);
    EXPECT_EQ(TwipsToPixels(-10005, 15.0F), -667);
    EXPECT_EQ(TwipsToPixels(22, 15.0F), 1);
    EXPECT_EQ(TwipsToPixels(5535, 12.0F), 461);
    EXPECT_EQ(TwipsToPixels(kMax, 0.001F), kMax);
    EXPECT_EQ(TwipsToPixels(kMin, 0.001F), kMin);
    EXPECT_EQ(TwipsToPixels(1500, 0.0F), 100) << "a broken factor counts as 96 dpi";
}

}  // namespace
}  // namespace tarnleaf
