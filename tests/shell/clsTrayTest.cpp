#include "shell/clsTray.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "support/FakeDesktop.h"

namespace tarnleaf {
namespace {

using testing::FakeDesktop;

constexpr IconHandle kIcon = 0x501;
constexpr WindowHandle kWindow = FakeDesktop::kMainWindow;

// Journals every event as a short word: "Down1", "Up2", "Click", "DblClick", "Move".
TrayEvents JournalEvents(std::vector<std::string>& journal) {
    TrayEvents events;
    events.Click = [&journal] { journal.push_back("Click"); };
    events.DblClick = [&journal] { journal.push_back("DblClick"); };
    events.MouseMove = [&journal] { journal.push_back("Move"); };
    events.MouseDown = [&journal](TrayButton b) {
        journal.push_back("Down" + std::to_string(static_cast<int>(b)));
    };
    events.MouseUp = [&journal](TrayButton b) {
        journal.push_back("Up" + std::to_string(static_cast<int>(b)));
    };
    return events;
}

class TrayIcon : public ::testing::Test {
protected:
    TrayIcon() {
        tray = clsTray::Create(desktop, hooks);
        tray->SetEvents(JournalEvents(journal));
    }
    void Show() {
        tray->SetIcon(kIcon);
        tray->SetToolTipText("Bootp Server for Win");
        ASSERT_TRUE(tray->AddIcon(kWindow));
    }
    std::size_t CountCalls(NotifyIconMessage message) const {
        std::size_t n = 0;
        for (const auto& call : desktop.notifyCalls) {
            n += call.message == message ? 1 : 0;
        }
        return n;
    }
    const NotifyIconData* ShownIcon() const {
        const auto found = desktop.icons.find({kWindow, tray->Record().uID});
        return found == desktop.icons.end() ? nullptr : &found->second;
    }

    FakeDesktop desktop;
    modSubClass hooks{desktop};
    std::vector<std::string> journal;
    std::shared_ptr<clsTray> tray;
};

TEST_F(TrayIcon, NewObjectHasTheFirstVersionRecordAndAUniqueIdentity) {
    const NotifyIconData& record = tray->Record();
    EXPECT_EQ(record.cbSize, 88U);
    EXPECT_EQ(record.uFlags, 7U);
    EXPECT_EQ(record.uCallbackMessage, 1025U);
    EXPECT_EQ(record.hIcon, 0U);
    EXPECT_EQ(record.hWnd, 0U);
    EXPECT_TRUE(record.Tip().empty());
    EXPECT_NE(record.uID, 0U);
    auto other = clsTray::Create(desktop, hooks);
    EXPECT_NE(other->Record().uID, record.uID);
    EXPECT_FALSE(tray->Visible());
    EXPECT_NE(desktop.RegisteredNumber("TaskbarCreated"), 0U);
}

TEST_F(TrayIcon, AddIconWithoutAnIconReturnsFalseAndHooksNothing) {
    tray->SetToolTipText("tip");
    EXPECT_FALSE(tray->AddIcon(kWindow));
    EXPECT_TRUE(desktop.notifyCalls.empty());
    EXPECT_EQ(desktop.installCount, 0);
    EXPECT_FALSE(hooks.IsHooked(*tray));
    EXPECT_FALSE(tray->Visible());
    EXPECT_EQ(tray->hWnd(), 0U);
}

TEST_F(TrayIcon, AddIconShowsTheIconWithPictureAndTipAndHooksTheWindow) {
    Show();
    const NotifyIconData* icon = ShownIcon();
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->hIcon, kIcon);
    EXPECT_EQ(icon->hWnd, kWindow);
    EXPECT_EQ(icon->Tip(), u"Bootp Server for Win");
    EXPECT_TRUE(tray->Visible());
    EXPECT_TRUE(hooks.IsHooked(*tray));
    EXPECT_EQ(tray->ProcOrg(), desktop.OwnProc(kWindow));
}

TEST_F(TrayIcon, DeleteIconRemovesTheIconAndRestoresTheWindowProcedure) {
    Show();
    tray->DeleteIcon();
    EXPECT_EQ(ShownIcon(), nullptr);
    EXPECT_FALSE(tray->Visible());
    EXPECT_FALSE(hooks.IsHooked(*tray));
    EXPECT_EQ(desktop.CurrentProc(kWindow), 0U);
    desktop.Deliver(kWindow, 1025, 0, clsTray::kLeftButtonDown);
    EXPECT_TRUE(journal.empty());
    EXPECT_EQ(desktop.ownProcMessages[kWindow].size(), 1U);
}

TEST_F(TrayIcon, ChangesWhileShownAreSentAtOnce) {
    Show();
    tray->SetToolTipText("changed");
    tray->SetIcon(0x777);
    EXPECT_EQ(CountCalls(NotifyIconMessage::Modify), 2U);
    ASSERT_NE(ShownIcon(), nullptr);
    EXPECT_EQ(ShownIcon()->Tip(), u"changed");
    EXPECT_EQ(ShownIcon()->hIcon, 0x777U);
}

TEST_F(TrayIcon, ChangesWhileHiddenWaitForTheNextAdd) {
    Show();
    tray->DeleteIcon();
    tray->SetToolTipText("later");
    tray->SetIcon(0x778);
    EXPECT_EQ(CountCalls(NotifyIconMessage::Modify), 0U);
    ASSERT_TRUE(tray->AddIcon(kWindow));
    ASSERT_NE(ShownIcon(), nullptr);
    EXPECT_EQ(ShownIcon()->Tip(), u"later");
    EXPECT_EQ(ShownIcon()->hIcon, 0x778U);
}

TEST_F(TrayIcon, VisibleAddsWithTheKeptWindowAndRemoves) {
    Show();
    tray->SetVisible(false);
    EXPECT_EQ(ShownIcon(), nullptr);
    tray->SetVisible(true);
    EXPECT_NE(ShownIcon(), nullptr);
    EXPECT_TRUE(tray->Visible());
    EXPECT_TRUE(hooks.IsHooked(*tray));
}

TEST_F(TrayIcon, AddingWhileShownIsRefusedByTheShellAndChangesNothing) {
    Show();
    EXPECT_TRUE(tray->AddIcon(kWindow));
    EXPECT_EQ(CountCalls(NotifyIconMessage::Add), 2U);
    EXPECT_EQ(desktop.installCount, 1);
    EXPECT_EQ(hooks.HookedObjectCount(), 1U);
}

TEST_F(TrayIcon, ShellRestartBringsTheIconBackUnchanged) {
    Show();
    desktop.RestartShell();
    const NotifyIconData* icon = ShownIcon();
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->Tip(), u"Bootp Server for Win");
    EXPECT_EQ(icon->hIcon, kIcon);
    EXPECT_TRUE(desktop.ownProcMessages[kWindow].empty());  // handled, not passed on
}

TEST_F(TrayIcon, ShellRestartWhileHiddenChangesNothing) {
    Show();
    tray->DeleteIcon();
    const std::size_t calls = desktop.notifyCalls.size();
    EXPECT_EQ(tray->WindowProc(kWindow, desktop.RegisteredNumber("TaskbarCreated"), 0, 0), 0);
    EXPECT_EQ(desktop.notifyCalls.size(), calls);
    EXPECT_FALSE(tray->Visible());
}

TEST(TrayIconRegistration, FailedRegistrationNeverMistakesTheNullMessageForARestart) {
    FakeDesktop desktop;
    desktop.failRegistration = true;
    modSubClass hooks(desktop);
    auto tray = clsTray::Create(desktop, hooks);
    tray->SetIcon(kIcon);
    ASSERT_TRUE(tray->AddIcon(kWindow));
    EXPECT_EQ(tray->WindowProc(kWindow, 0, 0, 0), -1);
    EXPECT_EQ(desktop.notifyCalls.size(), 1U);
    tray->DeleteIcon();
}

TEST_F(TrayIcon, OtherMessagesAreLeftToTheWindow) {
    Show();
    EXPECT_EQ(tray->WindowProc(kWindow, 0x0005, 0, 0), -1);
    EXPECT_EQ(tray->WindowProc(kWindow, 1025, 0, 0x20A), -1);  // an unknown mouse message
    desktop.ownProcResult = 99;
    EXPECT_EQ(desktop.Deliver(kWindow, 0x0005), 99);
    EXPECT_TRUE(journal.empty());
}

struct ClickCase {
    const char* name;
    std::vector<LParam> notifications;
    std::vector<std::string> events;
};

std::ostream& operator<<(std::ostream& out, const ClickCase& c) { return out << c.name; }

class TrayMouse : public TrayIcon, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(TrayMouse, NotificationsBecomeEventsAndAreHandled) {
    Show();
    for (const LParam notification : GetParam().notifications) {
        desktop.MouseOnIcon(notification);
    }
    EXPECT_EQ(journal, GetParam().events);
    EXPECT_TRUE(desktop.ownProcMessages[kWindow].empty());
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, TrayMouse,
    ::testing::Values(
        ClickCase{"LeftClick", {0x201, 0x202}, {"Down1", "Up1", "Click"}},
        ClickCase{"LeftDoubleClickHasNoSecondClick",
                  {0x201, 0x202, 0x203, 0x202},
                  {"Down1", "Up1", "Click", "DblClick", "Up1"}},
        ClickCase{"ClickAfterADoubleClickCountsAgain",
                  {0x203, 0x202, 0x201, 0x202},
                  {"DblClick", "Up1", "Down1", "Up1", "Click"}},
        ClickCase{"RightClickNeverClicks", {0x204, 0x205}, {"Down2", "Up2"}},
        ClickCase{"RightDoubleClickRaisesNothing", {0x206}, {}},
        ClickCase{"MiddleClickNeverClicks", {0x207, 0x208}, {"Down4", "Up4"}},
        ClickCase{"MiddleDoubleClickRaisesNothing", {0x209}, {}},
        ClickCase{"MoveRaisesMouseMove", {0x200}, {"Move"}},
        ClickCase{"RightDoubleClickLeavesTheLeftFlagAlone",
                  {0x203, 0x206, 0x202},
                  {"DblClick", "Up1"}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(TrayIcon, EventsWithoutHandlersAreSkipped) {
    Show();
    tray->SetEvents({});
    desktop.MouseOnIcon(0x201);
    desktop.MouseOnIcon(0x202);
    EXPECT_TRUE(journal.empty());
}

TEST_F(TrayIcon, PopupMenuBringsTheFormForwardShowsTheMenuThenPostsTheNullMessage) {
    Show();
    tray->PopupMenu(desktop, MenuItem::Exit);
    EXPECT_EQ(desktop.trace, (std::vector<std::string>{"NotifyAdd", "Foreground", "Popup", "Post"}));
    EXPECT_EQ(desktop.foregroundCalls, (std::vector<WindowHandle>{kWindow}));
    EXPECT_EQ(desktop.popupDefaults, (std::vector<MenuItem>{MenuItem::Exit}));
    ASSERT_EQ(desktop.posted.size(), 1U);
    EXPECT_EQ(desktop.posted[0].window, kWindow);
    EXPECT_EQ(desktop.posted[0].message, 0U);
}

TEST_F(TrayIcon, MessagesDuringThePopupAreDispatchedNested) {
    Show();
    int popups = 0;
    TrayEvents events;
    events.MouseDown = [&](TrayButton b) {
        journal.push_back("Down" + std::to_string(static_cast<int>(b)));
        if (++popups == 1) {
            tray->PopupMenu(desktop, MenuItem::Exit);
        }
    };
    tray->SetEvents(events);
    desktop.onPopup = [&] {
        desktop.MouseOnIcon(0x204);  // another press while the menu is open
        desktop.Deliver(kWindow, 0x0005);
    };
    desktop.MouseOnIcon(0x201);
    EXPECT_EQ(journal, (std::vector<std::string>{"Down1", "Down2"}));
    EXPECT_EQ(desktop.ownProcMessages[kWindow].size(), 1U);
    EXPECT_EQ(desktop.posted.size(), 1U);
}

TEST_F(TrayIcon, HandlerThatLetsGoOfTheObjectDuringThePopupIsSafe) {
    Show();
    std::weak_ptr<clsTray> watch = tray;
    TrayEvents events;
    events.MouseDown = [&](TrayButton) { tray->PopupMenu(desktop, MenuItem::Exit); };
    tray->SetEvents(events);
    desktop.onPopup = [&] {
        tray->DeleteIcon();
        tray.reset();  // the owner lets go while the menu is still open
    };
    desktop.MouseOnIcon(0x201);
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(desktop.posted.size(), 1U);
    EXPECT_EQ(desktop.CurrentProc(kWindow), 0U);
}

TEST_F(TrayIcon, ShownObjectIsHeldByTheHookUntilTheRegistryLetsGo) {
    Show();
    std::weak_ptr<clsTray> watch = tray;
    tray.reset();
    ASSERT_FALSE(watch.expired());
    desktop.MouseOnIcon(0x201);
    EXPECT_EQ(journal, (std::vector<std::string>{"Down1"}));

    hooks.Reset();  // the end of the process
    EXPECT_TRUE(watch.expired());
    EXPECT_TRUE(desktop.icons.empty());
    EXPECT_EQ(desktop.CurrentProc(kWindow), 0U);
}

TEST_F(TrayIcon, HiddenObjectEndsWhenItsOwnerLetsGo) {
    Show();
    tray->DeleteIcon();
    std::weak_ptr<clsTray> watch = tray;
    tray.reset();
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(desktop.restoreCount, 1);
}

TEST_F(TrayIcon, TwoIconsOnOneWindowTheFirstTakesEveryNotification) {
    Show();
    std::vector<std::string> secondJournal;
    auto second = clsTray::Create(desktop, hooks);
    second->SetEvents(JournalEvents(secondJournal));
    second->SetIcon(0x600);
    ASSERT_TRUE(second->AddIcon(kWindow));
    EXPECT_EQ(desktop.icons.size(), 2U);

    desktop.MouseOnIcon(0x201);  // reaches the window once per icon
    EXPECT_EQ(journal, (std::vector<std::string>{"Down1", "Down1"}));
    EXPECT_TRUE(secondJournal.empty());

    tray->DeleteIcon();
    EXPECT_EQ(second->ProcOrg(), desktop.OwnProc(kWindow));
    EXPECT_NE(desktop.CurrentProc(kWindow), 0U);
    desktop.MouseOnIcon(0x204);
    EXPECT_EQ(secondJournal, (std::vector<std::string>{"Down2"}));

    second->DeleteIcon();
    EXPECT_EQ(desktop.CurrentProc(kWindow), 0U);
}

TEST_F(TrayIcon, RefusedShellCallsLeaveTheStateAsItIs) {
    desktop.refuseNotify = true;
    Show();
    EXPECT_TRUE(tray->Visible());
    EXPECT_TRUE(hooks.IsHooked(*tray));
    tray->DeleteIcon();
    EXPECT_FALSE(tray->Visible());
}

}  // namespace
}  // namespace tarnleaf
