#include "QtScreenGeometry.h"

#include <gtest/gtest.h>

namespace tarnleaf {
namespace {

TEST(QtScreenGeometryTest, WorkAreaIsWhatPanelsLeaveAndTheTaskbarWhatTheyKeep) {
    const QRect kScreen(0, 0, 1024, 768);
    EXPECT_EQ(PublishedWorkArea(kScreen, {0, 0, 1024, 738}), (PixelRect{0, 0, 1024, 738}));
    EXPECT_EQ(PublishedWorkArea(kScreen, kScreen), std::nullopt) << "the whole screen: none";
    EXPECT_EQ(PublishedWorkArea({1920, 100, 1024, 768}, {1980, 100, 964, 768}),
              (PixelRect{60, 0, 1024, 768})) << "counted from the screen's corner";
    const struct { const char* name; QRect available; PixelRect strip; } rows[] = {
        {"left panel", {60, 0, 964, 768}, {0, 0, 60, 768}},
        {"a horizontal panel wins over a dock", {70, 27, 954, 741}, {0, 0, 1024, 27}},
        {"the thicker of top and bottom wins", {0, 24, 1024, 696}, {0, 720, 1024, 768}},
        {"no panel: under the bottom edge", kScreen, {0, 768, 1024, 768}}};
    for (const auto& row : rows) {
        EXPECT_EQ(TaskbarStrip(kScreen, row.available), row.strip) << row.name;
    }
}

}  // namespace
}  // namespace tarnleaf
