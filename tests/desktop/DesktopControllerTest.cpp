#include "DesktopController.h"

#include <gtest/gtest.h>

#include "support/FakeDesktop.h"

namespace tarnleaf {
namespace {

using Calls = std::vector<std::string>;
constexpr PixelPoint kCorner{630, 392};  // 394 x 346 above a 30-pixel bottom taskbar

class DesktopControllerTest : public ::testing::Test {
protected:
    // `desktop.calls` then holds only what follows the start.
    void Start() {
        controller.reset();
        controller = std::make_unique<DesktopController>(
            desktop, desktop, desktop, desktop, log, settings, [this] { ++testMessages; },
            [this] { return bindError; });
        controller->Start();
        startCalls = std::exchange(desktop.calls, {});
    }
    // The menu as a press on the icon shows it now.
    std::string Menu() { return desktop.Click(std::nullopt), desktop.menu; }
    void ExpectShownInTheCorner() {
        EXPECT_TRUE(desktop.visible);
        EXPECT_EQ(desktop.position, kCorner);
        EXPECT_EQ(Menu().substr(0, 9), "設定[x]");
    }

    testing::FakeDesktop desktop;
    LogModel log;
    DesktopController::Settings settings{"/etc/tarnleaf/Tarnleaf.ini", true};
    std::optional<SocketError> bindError;
    int testMessages = 0;
    std::unique_ptr<DesktopController> controller;
    Calls startCalls;
};

TEST_F(DesktopControllerTest, StartsAsATrayIconAfterOneOffScreenShowingAndPressesOpenTheMenu) {
    Start();
    EXPECT_EQ(startCalls, (Calls{"ShowIcon", "Show", "Hide"}));
    EXPECT_EQ(desktop.tip, "Bootp Server for Win");
    EXPECT_FALSE(desktop.visible);
    EXPECT_EQ(desktop.position, (PixelPoint{0, 0}));
    EXPECT_EQ(Menu(), "設定 ログ[x] 終了* ");
    // Any single press on the icon opens the menu; a double click does not.
    for (const MouseButton button : {MouseButton::Left, MouseButton::Right, MouseButton::Middle}) {
        desktop.Click(std::nullopt, button, ClickCount::Double);
        desktop.Click(std::nullopt, button);
    }
    EXPECT_EQ(desktop.calls, Calls(4, "Menu"));
}

// A second copy's silent end is checked end to end, on both desktops.
TEST_F(DesktopControllerTest, PortThatCannotBeBoundIsExplainedRemovesTheIconAndExitsWithOne) {
    bindError = SocketError{98, "Address already in use"};
    Start();
    for (const char* part : {"port 67", "98", "Address already in use"}) {
        EXPECT_NE(desktop.error.find(part), std::string::npos) << part;
    }
    EXPECT_EQ(startCalls, (Calls{"ShowIcon", "RemoveIcon", "Quit1"}));
    desktop.Click(MenuItem::Config);  // whatever comes later is ignored
    controller->OnResized();
    controller->OnButtonClicked(WindowButton::SendTestMessage);
    controller->OnCloseRequested();
    controller->OnTrayCameBack();
    EXPECT_EQ(desktop.calls, Calls{});
    EXPECT_EQ(testMessages, 0);
}

TEST_F(DesktopControllerTest, SettingsShowsTheWindowBesideTheTrayWithItsButtonsAndHidesIt) {
    Start();
    desktop.Click(MenuItem::Config);
    ExpectShownInTheCorner();
    controller->OnButtonClicked(WindowButton::EditConfig);
    controller->OnButtonClicked(WindowButton::SendTestMessage);
    EXPECT_EQ(desktop.opened, (std::vector<FilePath>{settings.configFile}));
    EXPECT_EQ(testMessages, 1);
    desktop.position = {5, 5};  // the user drags it; a later resize neither hides nor moves it
    desktop.UserSetsState(WindowState::Normal);
    EXPECT_TRUE(desktop.visible);
    EXPECT_EQ(desktop.position, (PixelPoint{5, 5}));
    desktop.Click(MenuItem::Config);
    EXPECT_FALSE(desktop.visible);
    desktop.taskbar = PixelRect{-2, -2, 1026, 30};  // placed anew at every showing
    desktop.Click(MenuItem::Config);
    EXPECT_EQ(desktop.position, (PixelPoint{630, 30}));
}

TEST_F(DesktopControllerTest, MinimisingMaximisingOrMinimizeToTraySendTheWindowToTheTray) {
    Start();
    for (const int way : {0, 1, 2}) {
        desktop.Click(MenuItem::Config);
        way == 2 ? controller->OnButtonClicked(WindowButton::MinimizeToTray)
                 : desktop.UserSetsState(way ? WindowState::Maximized : WindowState::Minimized);
        EXPECT_FALSE(desktop.visible) << way;
        EXPECT_EQ(desktop.state, WindowState::Normal) << way;
        EXPECT_EQ(Menu().substr(0, 7), "設定 ") << way;  // one click brings it back
    }
}

TEST_F(DesktopControllerTest, WithoutATrayTheWindowOnlyMinimisesUntilTheTrayComesBack) {
    desktop.trayAvailable = false;
    Start();
    ExpectShownInTheCorner();
    desktop.UserSetsState(WindowState::Minimized);
    EXPECT_TRUE(desktop.visible);
    EXPECT_EQ(desktop.state, WindowState::Minimized);
    desktop.UserSetsState(WindowState::Maximized);
    EXPECT_EQ(desktop.state, WindowState::Normal);
    controller->OnButtonClicked(WindowButton::MinimizeToTray);
    EXPECT_TRUE(desktop.visible);
    EXPECT_EQ(desktop.state, WindowState::Minimized);
    desktop.calls.clear();
    desktop.trayAvailable = true;
    desktop.trayEvents->OnTrayCameBack();
    EXPECT_EQ(desktop.calls, (Calls{"ShowIcon"}));
    EXPECT_EQ(desktop.tip, "Bootp Server for Win");
    controller->OnButtonClicked(WindowButton::MinimizeToTray);
    EXPECT_FALSE(desktop.visible);
}

TEST_F(DesktopControllerTest, LogSwitchesLoggingBothWaysAndKeepsTheText) {
    settings.loggingOn = false;  // -NOLOG
    Start();
    EXPECT_FALSE(log.LoggingEnabled());
    log.AppendErrorEntry("Error! 1");
    const std::string before = desktop.viewText;
    desktop.Click(MenuItem::Log);
    EXPECT_EQ(Menu(), "設定 ログ[x] 終了* ");
    desktop.Click(MenuItem::Log);
    EXPECT_EQ(Menu(), "設定 ログ 終了* ");
    EXPECT_EQ(desktop.viewText, before);
}

TEST_F(DesktopControllerTest, ExitOrCloseRemovesTheIconAndQuitsOnceWithZero) {
    for (const bool fromMenu : {true, false}) {
        desktop = testing::FakeDesktop{};
        Start();
        fromMenu ? desktop.Click(MenuItem::Exit) : controller->OnCloseRequested();
        controller->OnCloseRequested();
        desktop.trayEvents->OnTrayCameBack();
        EXPECT_EQ(desktop.calls, fromMenu ? (Calls{"Menu", "RemoveIcon", "Quit0"})
                                          : (Calls{"RemoveIcon", "Quit0"}));
    }
}

TEST_F(DesktopControllerTest, LogViewFollowsTheLogAndItsTrimWithTheCaret) {
    log.AppendErrorEntry("early");
    Start();
    EXPECT_EQ(desktop.viewText, log.Text());
    log.AppendMessageEntry(300, "dump\r\n", "2026/12/06 10:00:00");
    EXPECT_EQ(desktop.caret, log.Text().size());
    const std::size_t before = log.Text().size();
    log.AppendErrorEntry("Message Send Error! 10065");
    EXPECT_EQ(desktop.viewText, log.Text());
    EXPECT_EQ(desktop.caret, before);  // an error leaves the caret at its start
    for (int i = 0; i < 20; ++i) {  // the log trims its front: the view follows
        log.AppendMessageEntry(300, std::string(1000, 'x') + "\r\n", "2026/12/06 10:00:00");
    }
    EXPECT_EQ(log.Text().find("early"), std::string::npos);
    EXPECT_EQ(desktop.viewText, log.Text());
    EXPECT_EQ(desktop.caret, log.Text().size());
    controller.reset();  // a log that outlives the controller reaches nobody
    log.AppendErrorEntry("late");
    EXPECT_EQ(desktop.viewText.find("late"), std::string::npos);
}

}  // namespace
}  // namespace tarnleaf
