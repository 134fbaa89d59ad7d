#include "QtTrayIcon.h"

#include <gtest/gtest.h>

#include <QPixmap>

#include <vector>

#include "QtTestSupport.h"

namespace tarnleaf {
namespace {

TEST(QtTrayIconTest, ActivationsMapToTheButtonPressedAndDoubleClicks) {
    using Press = std::optional<std::pair<MouseButton, ClickCount>>;
    const std::pair<QSystemTrayIcon::ActivationReason, Press> rows[] = {
        {QSystemTrayIcon::Trigger, std::pair{MouseButton::Left, ClickCount::Single}},
        {QSystemTrayIcon::Context, std::pair{MouseButton::Right, ClickCount::Single}},
        {QSystemTrayIcon::MiddleClick, std::pair{MouseButton::Middle, ClickCount::Single}},
        {QSystemTrayIcon::DoubleClick, std::pair{MouseButton::Left, ClickCount::Double}},
        {QSystemTrayIcon::Unknown, std::nullopt}};
    for (const auto& [reason, press] : rows) {
        EXPECT_EQ(PressOf(reason), press) << reason;
    }
}

TEST(QtTrayIconTest, MenuShowsTheEntriesWithCheckMarksAndABoldDefaultAndReturnsTheChoice) {
    testing::TestApplication();
    QPixmap picture(32, 32);
    picture.fill(Qt::green);
    int choose = 1;
    std::vector<QString> shown;
    QtTrayIcon tray(QIcon(picture), [&](QMenu& menu) -> QAction* {
        shown.clear();
        for (QAction* action : menu.actions()) {
            shown.push_back(action->text() + (action->isChecked() ? "[x]" : "") +
                            (action->font().bold() ? "*" : "") +
                            (menu.defaultAction() == action ? "!" : ""));
        }
        return choose < 0 ? nullptr : menu.actions().at(choose);
    });
    const MenuEntry entries[] = {
        {MenuItem::Config, "設定", false}, {MenuItem::Log, "ログ", true}, {MenuItem::Exit, "終了"}};

    EXPECT_EQ(tray.PopUpMenu(entries, MenuItem::Exit), MenuItem::Log);
    EXPECT_EQ(shown, (std::vector<QString>{"設定", "ログ[x]", "終了*!"}));
    choose = -1;  // a click elsewhere
    EXPECT_EQ(tray.PopUpMenu(entries, MenuItem::Exit), std::nullopt);
    EXPECT_EQ(shown.size(), 3U) << "built afresh, not added to";

    EXPECT_TRUE(tray.Show("Bootp Server for Win"));
    EXPECT_EQ(tray.Icon().toolTip(), QStringLiteral("Bootp Server for Win"));
    EXPECT_FALSE(QtTrayIcon(QIcon()).Show("tip")) << "no picture, no icon";
}

}  // namespace
}  // namespace tarnleaf
