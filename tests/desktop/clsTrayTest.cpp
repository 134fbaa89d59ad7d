#include "clsTray.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/FakeDesktop.h"

namespace tarnleaf {
namespace {

using testing::FakeDesktop;
using Strings = std::vector<std::string>;
constexpr IconHandle kIcon = 0x501;
constexpr WindowHandle kWindow = FakeDesktop::kMainWindow;

// Journals every event as a short word: "Down1", "Up2", "Click", "DblClick", "Move".
TrayEvents JournalEvents(Strings& journal) {
    const auto word = [&journal](const char* w) { return [&journal, w] { journal.push_back(w); }; };
    const auto button = [&journal](const char* w) {
        return [&journal, w](TrayButton b) { journal.push_back(w + std::to_string(int(b))); };
    };
    return {word("Click"), word("DblClick"), button("Down"), button("Up"), word("Move")};
}

class TrayIcon : public ::testing::Test {
protected:
    TrayIcon() { tray->SetEvents(JournalEvents(journal)); }
    void Show() {
        tray->SetIcon(kIcon);
        tray->SetToolTipText("Bootp Server for Win");
        ASSERT_TRUE(tray->AddIcon(kWindow));
    }
    const NotifyIconData* ShownIcon() const {
        const auto found = desktop.icons.find({kWindow, tray->Record().uID});
        return found == desktop.icons.end() ? nullptr : &found->second;
    }

    FakeDesktop desktop;
    modSubClass hooks{desktop};
    Strings journal;
    std::shared_ptr<clsTray> tray = clsTray::Create(desktop, hooks);
};

TEST_F(TrayIcon, AddIconWithoutAPictureDoesNothing) {
    EXPECT_FALSE(tray->AddIcon(kWindow));
    EXPECT_TRUE(desktop.notifyCalls.empty());
    EXPECT_FALSE(hooks.IsHooked(*tray));
    EXPECT_FALSE(tray->Visible());
}

TEST_F(TrayIcon, AddIconShowsPictureAndTipAndHooksTheWindowOnce) {
    Show();
    ASSERT_NE(ShownIcon(), nullptr);
    EXPECT_EQ(ShownIcon()->hIcon, kIcon);
    EXPECT_EQ(ShownIcon()->Tip(), u"Bootp Server for Win");
    EXPECT_TRUE(tray->Visible());
    EXPECT_EQ(tray->ProcOrg(), desktop.OwnProc(kWindow));
    EXPECT_TRUE(tray->AddIcon(kWindow));  // the shell refuses the second add
    EXPECT_EQ(desktop.installCount, 1);
    EXPECT_EQ(hooks.HookedObjectCount(), 1U);
}

TEST_F(TrayIcon, ChangesAreSentWhileShownAndWaitForTheNextAddWhileHidden) {
    Show();
    tray->SetToolTipText("changed");
    tray->SetIcon(0x777);
    EXPECT_EQ(desktop.notifyCalls.size(), 3U);  // the add and two modifications
    EXPECT_EQ(ShownIcon()->Tip(), u"changed");
    EXPECT_EQ(ShownIcon()->hIcon, 0x777U);

    tray->SetVisible(false);
    tray->SetToolTipText(std::string(100, 'z'));
    tray->SetIcon(0x778);
    EXPECT_EQ(desktop.notifyCalls.size(), 4U);  // and the delete: nothing while hidden
    tray->SetVisible(true);  // with the window it had
    ASSERT_NE(ShownIcon(), nullptr);
    EXPECT_EQ(ShownIcon()->hIcon, 0x778U);
    EXPECT_EQ(tray->ToolTipText(), std::string(63, 'z'));
}

TEST_F(TrayIcon, ShellRestartBringsAShownIconBackAndLeavesADeletedOneAlone) {
    Show();
    desktop.RestartShell();
    ASSERT_NE(ShownIcon(), nullptr);
    EXPECT_EQ(ShownIcon()->Tip(), u"Bootp Server for Win");
    EXPECT_TRUE(desktop.ownProcMessages.empty());  // handled, not passed on

    tray->DeleteIcon();
    EXPECT_EQ(desktop.CurrentProc(kWindow), 0U);  // the window's own procedure is back
    EXPECT_EQ(tray->WindowProc(kWindow, desktop.registered.at("TaskbarCreated"), 0, 0), 0);
    EXPECT_EQ(ShownIcon(), nullptr);
    EXPECT_FALSE(tray->Visible());
}

TEST_F(TrayIcon, FailedRegistrationNeverMistakesTheNullMessageForARestart) {
    desktop.failRegistration = true;
    tray = clsTray::Create(desktop, hooks);
    Show();
    EXPECT_EQ(tray->WindowProc(kWindow, 0, 0, 0), -1);
    EXPECT_EQ(desktop.notifyCalls.size(), 1U);
}

TEST_F(TrayIcon, MouseNotificationsBecomeEventsAndOtherMessagesAreLeftToTheWindow) {
    const struct {
        const char* name;
        std::vector<LParam> notifications;
        Strings events;
    } cases[] = {
        {"LeftClick", {0x201, 0x202}, {"Down1", "Up1", "Click"}},
        {"DoubleClickHasNoSecondClick", {0x201, 0x202, 0x203, 0x202},
         {"Down1", "Up1", "Click", "DblClick", "Up1"}},
        {"ClickAfterADoubleClickCounts", {0x203, 0x202, 0x201, 0x202},
         {"DblClick", "Up1", "Down1", "Up1", "Click"}},
        {"RightNeverClicks", {0x204, 0x205, 0x206}, {"Down2", "Up2"}},
        {"MiddleNeverClicks", {0x207, 0x208, 0x209}, {"Down4", "Up4"}},
        {"Move", {0x200}, {"Move"}},
        {"RightDoubleClickLeavesTheLeftFlag", {0x203, 0x206, 0x202}, {"DblClick", "Up1"}},
    };
    Show();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        journal.clear();
        for (const LParam notification : c.notifications) {
            desktop.MouseOnIcon(notification);
        }
        EXPECT_EQ(journal, c.events);
    }
    EXPECT_TRUE(desktop.ownProcMessages.empty());
    tray->SetEvents({});  // events without handlers are skipped
    desktop.MouseOnIcon(0x201);
    desktop.MouseOnIcon(0x202);
    EXPECT_EQ(tray->WindowProc(kWindow, NotifyIconData::kCallbackMessage, 0, 0x20A), -1);
    EXPECT_EQ(desktop.Deliver(kWindow, 0x0005, 1), 0);
    EXPECT_EQ(desktop.ownProcMessages.size(), 1U);
}

TEST_F(TrayIcon, PopupMenuBringsTheFormForwardThenPostsTheNullMessage) {
    Show();
    tray->PopupMenu(desktop, MenuItem::Exit);
    EXPECT_EQ(desktop.trace, (Strings{"NotifyAdd", "Foreground", "Popup", "Post"}));
    EXPECT_EQ(desktop.popupDefaults, (std::vector<MenuItem>{MenuItem::Exit}));
    EXPECT_EQ(desktop.posted[0].window, kWindow);
    EXPECT_EQ(desktop.posted[0].message, 0U);
}

TEST_F(TrayIcon, ShownObjectIsHeldByTheHookUntilTheRegistryLetsGo) {
    Show();
    std::weak_ptr<clsTray> watch = tray;
    tray.reset();
    desktop.MouseOnIcon(0x201);
    EXPECT_EQ(journal, (Strings{"Down1"}));
    hooks.Reset();  // the end of the process
    EXPECT_TRUE(watch.expired());
    EXPECT_TRUE(desktop.icons.empty());
    EXPECT_EQ(desktop.CurrentProc(kWindow), 0U);
}

TEST_F(TrayIcon, TwoIconsOnOneWindowTheFirstTakesEveryNotification) {
    Show();
    Strings secondJournal;
    auto second = clsTray::Create(desktop, hooks);
    second->SetEvents(JournalEvents(secondJournal));
    second->SetIcon(0x600);
    ASSERT_TRUE(second->AddIcon(kWindow));
    EXPECT_EQ(desktop.icons.size(), 2U);  // each object has its own identity
    EXPECT_NE(tray->Record().uID, 0U);
    desktop.MouseOnIcon(0x201);  // reaches the window once per icon
    EXPECT_EQ(journal, (Strings{"Down1", "Down1"}));
    EXPECT_TRUE(secondJournal.empty());
}

}  // namespace
}  // namespace tarnleaf
