#include "QtScreenGeometry.h"

#include <gtest/gtest.h>

namespace tarnleaf {
namespace {

const QRect kScreen(0, 0, 1024, 768);

TEST(QtScreenGeometryTest, AWorkAreaIsPublishedOnlyWhereItLeavesPartOfTheScreenOut) {
    const struct {
        const char* name;
        QRect screen, available;
        std::optional<PixelRect> workArea;
    } rows[] = {
        {"bottom panel", kScreen, {0, 0, 1024, 738}, PixelRect{0, 0, 1024, 738}},
        {"whole screen: none published", kScreen, kScreen, std::nullopt},
        {"nothing of the screen", kScreen, {2000, 0, 100, 100}, std::nullopt},
        {"a screen away from the origin counts from its corner", {1920, 100, 1024, 768},
         {1980, 100, 964, 768}, PixelRect{60, 0, 1024, 768}}};
    for (const auto& row : rows) {
        EXPECT_EQ(PublishedWorkArea(row.screen, row.available), row.workArea) << row.name;
    }
}

TEST(QtScreenGeometryTest, TaskbarIsThePartOfTheScreenThatPanelsKeep) {
    const struct {
        const char* name;
        QRect available;
        PixelRect strip;
    } rows[] = {
        {"bottom panel", {0, 0, 1024, 738}, {0, 738, 1024, 768}},
        {"top panel", {0, 30, 1024, 738}, {0, 0, 1024, 30}},
        {"left panel", {60, 0, 964, 768}, {0, 0, 60, 768}},
        {"right panel", {0, 0, 964, 768}, {964, 0, 1024, 768}},
        {"a horizontal panel wins over a dock", {70, 27, 954, 741}, {0, 0, 1024, 27}},
        {"the thicker of top and bottom wins", {0, 24, 1024, 696}, {0, 720, 1024, 768}},
        {"no panel: under the bottom edge", kScreen, {0, 768, 1024, 768}}};
    for (const auto& row : rows) {
        EXPECT_EQ(TaskbarStrip(kScreen, row.available), row.strip) << row.name;
    }
}

}  // namespace
}  // namespace tarnleaf
