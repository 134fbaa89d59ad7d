#include "QtScreenGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

namespace tarnleaf {
namespace {

TEST(TaskbarStripTest, IsThePartOfTheScreenThatPanelsKeep) {
    const QRect screen(0, 0, 1024, 768);
    const PixelRect none{0, 768, 1024, 768};  // under the bottom edge: window bottom right
    const struct {
        const char* name;
        QRect screen, available;
        PixelRect strip;
    } rows[] = {
        {"bottom panel", screen, {0, 0, 1024, 738}, {0, 738, 1024, 768}},
        {"top panel", screen, {0, 30, 1024, 738}, {0, 0, 1024, 30}},
        {"left panel", screen, {60, 0, 964, 768}, {0, 0, 60, 768}},
        {"right panel", screen, {0, 0, 964, 768}, {964, 0, 1024, 768}},
        {"no panel", screen, screen, none},
        {"a horizontal panel wins over a dock", screen, {70, 27, 954, 741}, {0, 0, 1024, 27}},
        {"the thicker of top and bottom wins", screen, {0, 24, 1024, 696}, {0, 720, 1024, 768}},
        {"a tie of top and bottom goes to the bottom", screen, {0, 30, 1024, 708},
         {0, 738, 1024, 768}},
        {"a tie of left and right goes to the right", screen, {50, 0, 924, 768},
         {974, 0, 1024, 768}},
        {"a screen away from the origin counts from its corner", {1920, 100, 1024, 768},
         {1920, 100, 1024, 738}, {0, 738, 1024, 768}},
        {"an available area outside the screen is no panel", screen, {2000, 0, 100, 100}, none},
        {"an empty available area is no panel", screen, {}, none},
        {"an empty screen gives an empty strip", {}, {}, {0, 0, 0, 0}}};
    for (const auto& row : rows) {
        EXPECT_EQ(TaskbarStrip(row.screen, row.available), row.strip) << row.name;
    }
}

TEST(TwipsPerPixelTest, FollowsTheDotsPerInchAndFallsBackTo96) {
    EXPECT_FLOAT_EQ(TwipsPerPixel(120.0), 12.0F);
    for (const double broken : {0.0, -96.0, std::nan(""), HUGE_VAL}) {
        EXPECT_FLOAT_EQ(TwipsPerPixel(broken), 15.0F) << broken;
    }
}

TEST(TwipsToPixelsTest, RoundsToTheNearestPixelAndStaysWithinInt) {
    constexpr int kMax = std::numeric_limits<int>::max();
    constexpr int kMin = std::numeric_limits<int>::min();
    const std::tuple<int, float, int> rows[] = {
        {5820, 15.0F, 388}, {-10005, 15.0F, -667}, {22, 15.0F, 1},  {5535, 12.0F, 461},
        {kMax, 0.001F, kMax}, {kMin, 0.001F, kMin},
        {1500, 0.0F, 100}};  // a broken factor counts as 96 dpi
    for (const auto& [twips, factor, pixels] : rows) {
        EXPECT_EQ(TwipsToPixels(twips, factor), pixels) << twips << " twips at " << factor;
    }
}

}  // namespace
}  // namespace tarnleaf
