#include "frmMain.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/FakeDesktop.h"

namespace tarnleaf {
namespace {

using testing::FakeDesktop;
constexpr WindowHandle kWindow = FakeDesktop::kMainWindow;

class MainWindow : public ::testing::Test {
protected:
    void Start() {
        form = std::make_unique<frmMain>(desktop, hooks, log, [this] { ++testMessages; },
                                         [this] { ++bindCalls; return bindError; });
        desktop.events = form.get();
        form->Start();
    }
    // The user presses a button on the icon and chooses a menu item.
    void Choose(MenuItem item) {
        desktop.onPopup = [this, item] { form->OnMenuClick(item); };
        desktop.MouseOnIcon(clsTray::kRightButtonDown);
    }
    void ExpectShownInTheCorner(int left = 9450, int top = 5880) {  // 630 x 392 px, 15 twips
        EXPECT_TRUE(desktop.windowVisible);
        EXPECT_TRUE(desktop.menuChecked[MenuItem::Config]);
        EXPECT_EQ(desktop.lefts.back(), left);
        EXPECT_EQ(desktop.windowTop, top);
    }

    FakeDesktop desktop;
    modSubClass hooks{desktop};
    LogModel log;
    int testMessages = 0;
    int bindCalls = 0;
    std::optional<SocketError> bindError;
    std::unique_ptr<frmMain> form;
};

TEST_F(MainWindow, StartsAsATrayIconAfterOneOffScreenShowing) {
    Start();
    const NotifyIconData& icon = desktop.icons.at({kWindow, form->Tray()->Record().uID});
    EXPECT_EQ(icon.Tip(), u"Bootp Server for Win");
    EXPECT_EQ(icon.hIcon, desktop.programIcon);
    EXPECT_EQ(desktop.windowIcon, desktop.programIcon);
    EXPECT_TRUE(desktop.everShown);
    EXPECT_FALSE(desktop.windowVisible);
    EXPECT_EQ(desktop.lefts, (std::vector<int>{frmMain::kOffScreenLeft, 0}));
    EXPECT_FALSE(desktop.menuChecked[MenuItem::Config]);
    EXPECT_TRUE(log.LoggingEnabled());
    EXPECT_TRUE(desktop.menuChecked[MenuItem::Log]);
    EXPECT_EQ(form->ConfigFile(), desktop.programFolder / "Tarnleaf.ini");
    EXPECT_EQ(bindCalls, 1);
    EXPECT_FALSE(desktop.quitCode);
}

TEST_F(MainWindow, SecondCopyEndsAtOnceWithoutWindowIconOrSocket) {
    desktop.previousInstance = true;
    Start();
    EXPECT_EQ(desktop.quitCode, 0);
    EXPECT_TRUE(desktop.notifyCalls.empty());
    EXPECT_EQ(bindCalls, 0);
    EXPECT_FALSE(desktop.everShown);
}

TEST_F(MainWindow, PortThatCannotBeBoundIsExplainedAndEndsWithExitCodeOne) {
    bindError = SocketError{10048, "Address already in use"};
    Start();
    ASSERT_EQ(desktop.errorTexts.size(), 1U);
    for (const char* part : {"67", "10048", "Address already in use"}) {
        EXPECT_NE(desktop.errorTexts[0].find(part), std::string::npos) << part;
    }
    EXPECT_EQ(desktop.quitCode, 1);
    EXPECT_TRUE(desktop.icons.empty());
    EXPECT_EQ(desktop.CurrentProc(kWindow), 0U);
    EXPECT_FALSE(desktop.everShown);

    const std::size_t calls = desktop.trace.size();  // later events are ignored
    form->OnMenuClick(MenuItem::Config);
    form->OnButtonClick(FormButton::Test);
    form->OnResize();
    form->OnCloseRequest();
    EXPECT_EQ(desktop.trace.size(), calls);
    EXPECT_EQ(testMessages, 0);
}

class MainWindowWithoutTray : public MainWindow, public ::testing::WithParamInterface<bool> {};

TEST_P(MainWindowWithoutTray, WindowStaysOnScreenInTheCornerAndReachable) {
    desktop.trayAvailable = !GetParam();       // no notification area...
    if (!GetParam()) desktop.programIcon = 0;  // ...or no picture for the icon
    Start();
    EXPECT_TRUE(desktop.icons.empty());
    EXPECT_EQ(form->IconShown(), GetParam());  // added all the same: a shell restart shows it
    ExpectShownInTheCorner();
    desktop.UserSetsWindowState(WindowState::Minimized);
    EXPECT_TRUE(desktop.windowVisible);
    desktop.windowState = WindowState::Normal;
    form->OnButtonClick(FormButton::Cancel);  // "Minimize To Tray" with no tray
    EXPECT_EQ(desktop.windowState, WindowState::Minimized);
    desktop.UserSetsWindowState(WindowState::Maximized);
    EXPECT_TRUE(desktop.windowVisible);
    EXPECT_EQ(desktop.windowState, WindowState::Normal);
}

INSTANTIATE_TEST_SUITE_P(NoNotificationAreaOrNoIconPicture, MainWindowWithoutTray,
                         ::testing::Bool());

TEST_F(MainWindow, AnyButtonPressedOnTheIconOpensTheMenuWithExitAsDefault) {
    Start();
    // Left click and double click, right click and double click, middle likewise, a move.
    for (const LParam m : {0x201, 0x202, 0x203, 0x202, 0x204, 0x205, 0x206, 0x207, 0x208,
                           0x209, 0x200}) {
        desktop.MouseOnIcon(m);
    }
    EXPECT_EQ(desktop.popupDefaults, std::vector<MenuItem>(3, MenuItem::Exit));
    EXPECT_EQ(desktop.posted.size(), 3U);
}

TEST_F(MainWindow, SettingsShowsTheWindowBesideTheTrayAndHidesItAgain) {
    Start();
    Choose(MenuItem::Config);
    ExpectShownInTheCorner();
    desktop.UserSetsWindowState(WindowState::Normal);  // later resizes neither hide nor move
    ExpectShownInTheCorner();
    Choose(MenuItem::Config);
    EXPECT_FALSE(desktop.windowVisible);
    EXPECT_FALSE(desktop.menuChecked[MenuItem::Config]);

    desktop.taskbarRect = PixelRect{-2, -2, 1026, 30};  // placed anew at every showing
    desktop.twipsX = 12.0F;
    desktop.twipsY = 12.5F;
    Choose(MenuItem::Config);
    ExpectShownInTheCorner(7560, 375);  // 630 px x 12, 30 px x 12.5

    desktop.windowRects[kWindow] = PixelRect{-2'000'000'000, 0, 2'000'000'000, 10};
    desktop.twipsX = 1e30F;  // absurd geometry gives a position, not a crash
    Choose(MenuItem::Config);
    Choose(MenuItem::Config);
    EXPECT_TRUE(desktop.windowVisible);
}

TEST_F(MainWindow, MinimisingMaximisingOrMinimizeToTraySendTheShownWindowToTheTray) {
    Start();
    for (const int way : {0, 1, 2}) {
        SCOPED_TRACE(way);
        Choose(MenuItem::Config);
        if (way == 2) {
            form->OnButtonClick(FormButton::Cancel);
        } else {
            desktop.UserSetsWindowState(way == 0 ? WindowState::Minimized : WindowState::Maximized);
        }
        EXPECT_FALSE(desktop.windowVisible);
        EXPECT_EQ(desktop.windowState, WindowState::Normal);
        EXPECT_FALSE(desktop.menuChecked[MenuItem::Config]);
    }
    Choose(MenuItem::Config);  // one click brings it back in the corner
    ExpectShownInTheCorner();
    desktop.trayAvailable = false;  // with the notification area gone it only minimises
    form->OnButtonClick(FormButton::Cancel);
    EXPECT_TRUE(desktop.windowVisible);
    EXPECT_EQ(desktop.windowState, WindowState::Minimized);
}

TEST_F(MainWindow, LogSwitchesLoggingAndKeepsTheText) {
    Start();
    log.AppendErrorEntry("Error! 1");
    const std::string before = desktop.viewText;
    for (const bool on : {false, true}) {
        Choose(MenuItem::Log);
        EXPECT_EQ(desktop.menuChecked[MenuItem::Log], on);
        EXPECT_EQ(log.LoggingEnabled(), on);
    }
    EXPECT_EQ(desktop.viewText, before);
}

TEST_F(MainWindow, CommandLineNamesTheConfigFileAndTurnsLoggingOff) {
    desktop.commandLine = "--config \"site conf/my.ini\" -nolog";
    Start();
    EXPECT_FALSE(log.LoggingEnabled());
    EXPECT_FALSE(desktop.menuChecked[MenuItem::Log]);
    form->OnButtonClick(FormButton::Edit);
    const FilePath expected =
        (std::filesystem::current_path() / "site conf" / "my.ini").lexically_normal();
    EXPECT_EQ(desktop.opened, (std::vector{expected, expected.parent_path()}));
    form->OnButtonClick(FormButton::Test);
    form->OnButtonClick(FormButton::Test);
    EXPECT_EQ(testMessages, 2);
}

class MainWindowEnding : public MainWindow, public ::testing::WithParamInterface<bool> {};

TEST_P(MainWindowEnding, ExitOrCloseRemovesTheIconAndTheHookAndQuitsOnceWithZero) {
    Start();
    std::weak_ptr<clsTray> tray = form->Tray();
    GetParam() ? Choose(MenuItem::Exit) : form->OnCloseRequest();
    EXPECT_TRUE(desktop.icons.empty());
    EXPECT_EQ(desktop.CurrentProc(kWindow), 0U);
    EXPECT_TRUE(tray.expired());
    form->OnCloseRequest();
    EXPECT_EQ(desktop.quitCode, 0);
    EXPECT_EQ(desktop.quitCalls, 1);
}

INSTANTIATE_TEST_SUITE_P(FromTheMenuOrByCloseRequest, MainWindowEnding, ::testing::Bool());

TEST_F(MainWindow, TrayAndLogOutlivingTheWindowReachNobody) {
    Start();
    form.reset();  // the window ends without its close handler; the hook still holds the tray
    desktop.MouseOnIcon(clsTray::kLeftButtonDown);
    log.AppendErrorEntry("late");
    EXPECT_TRUE(desktop.popupDefaults.empty());
    EXPECT_EQ(desktop.viewText, "");
}

TEST_F(MainWindow, LogViewFollowsTheLogWithItsCaret) {
    log.AppendErrorEntry("early");
    Start();
    log.AppendMessageEntry(300, "dump\r\n", "2026/12/06 10:00:00");
    EXPECT_EQ(desktop.viewText, log.Text());
    EXPECT_EQ(desktop.viewCaret, log.Text().size());
    const std::size_t before = log.Text().size();
    log.AppendErrorEntry("Message Send Error! 10065");
    EXPECT_EQ(desktop.viewText, log.Text());
    EXPECT_EQ(desktop.viewCaret, before);  // errors leave the caret at their start

    for (int i = 0; i < 40; ++i) {  // the log trims its front: the view follows
        log.AppendMessageEntry(300, std::string(1000, 'x') + "\r\n", "2026/12/06 10:00:00");
    }
    EXPECT_EQ(log.Text().find("early"), std::string::npos);
    EXPECT_EQ(desktop.viewText, log.Text());
    EXPECT_EQ(desktop.viewCaret, log.Text().size());
}

}  // namespace
}  // namespace tarnleaf
