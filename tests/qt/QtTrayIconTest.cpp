#include "QtTrayIcon.h"

#include <gtest/gtest.h>

#include <QPixmap>

#include "QtTestSupport.h"

namespace tarnleaf {
namespace {

TEST(QtTrayIconTest, MenuShowsTheEntriesWithCheckMarksAndABoldDefaultAndReturnsTheChoice) {
    testing::TestApplication();
    QString shown;
    QtTrayIcon tray(QIcon(QPixmap(32, 32)), [&](QMenu& menu) -> QAction* {
        for (QAction* a : menu.actions()) {
            const bool isDefault = a->font().bold() && menu.defaultAction() == a;
            shown += a->text() + (a->isChecked() ? "[x]" : "") + (isDefault ? "* " : " ");
        }
        return shown.size() > 20 ? nullptr : menu.actions().at(1);  // the second time: elsewhere
    });
    const MenuEntry entries[] = {
        {MenuItem::Config, "設定", false}, {MenuItem::Log, "ログ", true}, {MenuItem::Exit, "終了"}};
    EXPECT_EQ(tray.PopUpMenu(entries, MenuItem::Exit), MenuItem::Log);
    EXPECT_EQ(tray.PopUpMenu(entries, MenuItem::Exit), std::nullopt);
    EXPECT_EQ(shown, QStringLiteral("設定 ログ[x] 終了* ").repeated(2)) << "built afresh";
    EXPECT_FALSE(QtTrayIcon(QIcon()).Show("tip")) << "no picture, no icon";
    EXPECT_EQ(PressOf(QSystemTrayIcon::DoubleClick)->second, ClickCount::Double);
    EXPECT_EQ(PressOf(QSystemTrayIcon::Unknown), std::nullopt);
}

}  // namespace
}  // namespace tarnleaf
