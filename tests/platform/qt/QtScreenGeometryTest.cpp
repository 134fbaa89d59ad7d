#include "platform/qt/QtScreenGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace tarnleaf {
namespace {

struct StripCase {
    const char* name;
    QRect screen;
    QRect available;
    PixelRect strip;
};

class TaskbarStripTest : public ::testing::TestWithParam<StripCase> {};

TEST_P(TaskbarStripTest, IsThePartOfTheScreenThatPanelsKeep) {
    EXPECT_EQ(TaskbarStrip(GetParam().screen, GetParam().available), GetParam().strip);
}

const QRect kScreen(0, 0, 1024, 768);

INSTANTIATE_TEST_SUITE_P(
    Panels, TaskbarStripTest,
    ::testing::Values(
        StripCase{"BottomPanel", kScreen, QRect(0, 0, 1024, 738), {0, 738, 1024, 768}},
        StripCase{"TopPanel", kScreen, QRect(0, 30, 1024, 738), {0, 0, 1024, 30}},
        StripCase{"LeftPanel", kScreen, QRect(60, 0, 964, 768), {0, 0, 60, 768}},
        StripCase{"RightPanel", kScreen, QRect(0, 0, 964, 768), {964, 0, 1024, 768}},
        StripCase{"NoPanelGivesAnEmptyStripUnderTheBottom", kScreen, kScreen,
                  {0, 768, 1024, 768}},
        StripCase{"HorizontalPanelWinsOverADock", kScreen, QRect(70, 27, 954, 741),
                  {0, 0, 1024, 27}},
        StripCase{"ThickerOfTopAndBottomWins", kScreen, QRect(0, 24, 1024, 696),
                  {0, 720, 1024, 768}},
        StripCase{"TieOfTopAndBottomGoesToTheBottom", kScreen, QRect(0, 30, 1024, 708),
                  {0, 738, 1024, 768}},
        StripCase{"TieOfLeftAndRightGoesToTheRight", kScreen, QRect(50, 0, 924, 768),
                  {974, 0, 1024, 768}},
        StripCase{"ScreenAwayFromTheOriginCountsFromItsCorner",
                  QRect(1920, 100, 1024, 768), QRect(1920, 100, 1024, 738),
                  {0, 738, 1024, 768}},
        StripCase{"AvailableAreaOutsideTheScreenCountsAsNoPanel", kScreen,
                  QRect(2000, 0, 100, 100), {0, 768, 1024, 768}},
        StripCase{"EmptyAvailableAreaCountsAsNoPanel", kScreen, QRect(), {0, 768, 1024, 768}},
        StripCase{"EmptyScreenGivesAnEmptyStrip", QRect(), QRect(), {0, 0, 0, 0}}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(TwipsPerPixelTest, FollowsTheDotsPerInchAndFallsBackTo96) {
    EXPECT_FLOAT_EQ(TwipsPerPixel(96.0), 15.0F);
    EXPECT_FLOAT_EQ(TwipsPerPixel(120.0), 12.0F);
    EXPECT_FLOAT_EQ(TwipsPerPixel(0.0), 15.0F);
    EXPECT_FLOAT_EQ(TwipsPerPixel(-96.0), 15.0F);
    EXPECT_FLOAT_EQ(TwipsPerPixel(std::nan("")), 15.0F);
    EXPECT_FLOAT_EQ(TwipsPerPixel(std::numeric_limits<double>::infinity()), 15.0F);
}

TEST(TwipsToPixelsTest, RoundsToTheNearestPixelAndStaysWithinInt) {
    EXPECT_EQ(TwipsToPixels(5820, 15.0F), 388);
    EXPECT_EQ(TwipsToPixels(-10005, 15.0F), -667);
    EXPECT_EQ(TwipsToPixels(22, 15.0F), 1);
    EXPECT_EQ(TwipsToPixels(5535, 12.0F), 461);
    EXPECT_EQ(TwipsToPixels(std::numeric_limits<int>::max(), 0.001F),
              std::numeric_limits<int>::max());
    EXPECT_EQ(TwipsToPixels(std::numeric_limits<int>::min(), 0.001F),
              std::numeric_limits<int>::min());
    EXPECT_EQ(TwipsToPixels(1500, 0.0F), 100) << "a broken factor counts as 96 dpi";
}

}  // namespace
}  // namespace tarnleaf
