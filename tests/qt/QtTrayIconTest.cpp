#include "QtTrayIcon.h"

#include <gtest/gtest.h>

#include <QPixmap>

#include "QtTestSupport.h"

namespace tarnleaf {
namespace {

TEST(QtTrayIconTest, MenuShowsTheEntriesWithCheckMarksAndABoldDefaultAndReturnsTheChoice) {
    testing::TestApplication();
    QPixmap picture(32, 32);
    picture.fill(Qt::green);
    int choose = 1;
    QString shown;
    QtTrayIcon tray(QIcon(picture), [&](QMenu& menu) -> QAction* {
        shown.clear();
        for (QAction* action : menu.actions()) {
            const bool isDefault = action->font().bold() && menu.defaultAction() == action;
            shown += action->text() + (action->isChecked() ? "[x]" : "") + (isDefault ? "* " : " ");
        }
        return choose < 0 ? nullptr : menu.actions().at(choose);
    });
    const MenuEntry entries[] = {
        {MenuItem::Config, "設定", false}, {MenuItem::Log, "ログ", true}, {MenuItem::Exit, "終了"}};
    EXPECT_EQ(tray.PopUpMenu(entries, MenuItem::Exit), MenuItem::Log);
    choose = -1;  // a click elsewhere; the menu is built afresh, not added to
    EXPECT_EQ(tray.PopUpMenu(entries, MenuItem::Exit), std::nullopt);
    EXPECT_EQ(shown, QStringLiteral("設定 ログ[x] 終了* "));

    EXPECT_TRUE(tray.Show("Bootp Server for Win"));
    EXPECT_EQ(tray.Icon().toolTip(), QStringLiteral("Bootp Server for Win"));
    EXPECT_FALSE(QtTrayIcon(QIcon()).Show("tip")) << "no picture, no icon";
}

// Which button does not matter to the logic; whether it was a double click, or a press at all.
TEST(QtTrayIconTest, ActivationsMapToPressesAndDoubleClicks) {
    using enum ClickCount;
    EXPECT_EQ(PressOf(QSystemTrayIcon::Context), std::pair(MouseButton::Right, Single));
    EXPECT_EQ(PressOf(QSystemTrayIcon::DoubleClick), std::pair(MouseButton::Left, Double));
    EXPECT_EQ(PressOf(QSystemTrayIcon::Unknown), std::nullopt);
}

}  // namespace
}  // namespace tarnleaf
