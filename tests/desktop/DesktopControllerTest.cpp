#include "DesktopController.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/FakeDesktop.h"

namespace tarnleaf {
namespace {

using Calls = std::vector<std::string>;
constexpr PixelPoint kCorner{630, 392};  // 394 x 346 above a 30-pixel bottom taskbar

class DesktopControllerTest : public ::testing::Test {
protected:
    void Start() {
        controller.reset();
        controller = std::make_unique<DesktopController>(
            desktop, desktop, desktop, desktop, log, settings, [this] { ++testMessages; },
            [this] { return bindError; });
        controller->Start();
        desktop.calls.clear();
    }
    void ExpectShownInTheCorner() {
        EXPECT_TRUE(desktop.visible);
        EXPECT_EQ(desktop.position, kCorner);
        desktop.Click(std::nullopt);
        EXPECT_EQ(desktop.menu.substr(0, 9), "設定[x]");
    }

    testing::FakeDesktop desktop;
    LogModel log;
    DesktopController::Settings settings{"/etc/tarnleaf/Tarnleaf.ini", true};
    std::optional<SocketError> bindError;
    int testMessages = 0;
    std::unique_ptr<DesktopController> controller;
};

TEST_F(DesktopControllerTest, StartsAsATrayIconAfterOneOffScreenShowing) {
    controller = std::make_unique<DesktopController>(desktop, desktop, desktop, desktop, log,
                                                     settings, nullptr, nullptr);
    controller->Start();
    EXPECT_EQ(desktop.calls, (Calls{"ShowIcon", "Show", "Hide"}));
    EXPECT_EQ(desktop.tip, "Bootp Server for Win");
    EXPECT_FALSE(desktop.visible);
    EXPECT_EQ(desktop.position, (PixelPoint{0, 0}));
    desktop.Click(std::nullopt);
    EXPECT_EQ(desktop.menu, "設定 ログ[x] 終了* ");
    EXPECT_FALSE(controller->Ended());
}

TEST_F(DesktopControllerTest, AnySinglePressOnTheIconOpensTheMenuADoubleClickDoesNot) {
    Start();
    const struct {
        MouseButton button;
        ClickCount count;
        bool opens;
    } rows[] = {{MouseButton::Left, ClickCount::Single, true},
                {MouseButton::Right, ClickCount::Single, true},
                {MouseButton::Middle, ClickCount::Single, true},
                {MouseButton::Left, ClickCount::Double, false}};
    for (const auto& row : rows) {
        desktop.calls.clear();
        desktop.Click(std::nullopt, row.button, row.count);
        EXPECT_EQ(desktop.calls, row.opens ? Calls{"Menu"} : Calls{});
    }
}

TEST_F(DesktopControllerTest, SecondCopyEndsSilentlyWithoutIconWindowOrSocket) {
    desktop.anotherInstance = true;
    bindError = SocketError{98, "bound"};
    Start();
    EXPECT_TRUE(controller->Ended());
    EXPECT_FALSE(desktop.everShown);
    EXPECT_TRUE(desktop.errors.empty());
    EXPECT_FALSE(desktop.iconShown);
}

TEST_F(DesktopControllerTest, PortThatCannotBeBoundIsExplainedRemovesTheIconAndExitsWithOne) {
    bindError = SocketError{98, "Address already in use"};
    controller = std::make_unique<DesktopController>(
        desktop, desktop, desktop, desktop, log, settings, nullptr, [this] { return bindError; });
    controller->Start();
    ASSERT_EQ(desktop.errors.size(), 1U);
    for (const char* part : {"port 67", "98", "Address already in use"}) {
        EXPECT_NE(desktop.errors[0].find(part), std::string::npos) << part;
    }
    EXPECT_EQ(desktop.calls, (Calls{"ShowIcon", "RemoveIcon", "Quit1"}));
    // Whatever comes later is ignored.
    desktop.Click(MenuItem::Config);
    controller->OnResized();
    controller->OnButtonClicked(WindowButton::SendTestMessage);
    controller->OnCloseRequested();
    controller->OnTrayCameBack();
    EXPECT_EQ(desktop.calls, (Calls{"ShowIcon", "RemoveIcon", "Quit1"}));
}

TEST_F(DesktopControllerTest, SettingsShowsTheWindowBesideTheTrayAndHidesItAgain) {
    Start();
    desktop.Click(MenuItem::Config);
    ExpectShownInTheCorner();
    desktop.position = {5, 5};  // the user drags it; a later resize neither hides nor moves it
    desktop.UserSetsState(WindowState::Normal);
    EXPECT_TRUE(desktop.visible);
    EXPECT_EQ(desktop.position, (PixelPoint{5, 5}));
    desktop.Click(MenuItem::Config);
    EXPECT_FALSE(desktop.visible);
    desktop.Click(std::nullopt);
    EXPECT_EQ(desktop.menu, "設定 ログ[x] 終了* ");

    desktop.taskbar = PixelRect{-2, -2, 1026, 30};  // placed anew at every showing
    desktop.Click(MenuItem::Config);
    EXPECT_EQ(desktop.position, (PixelPoint{630, 30}));
}

TEST_F(DesktopControllerTest, MinimisingMaximisingOrMinimizeToTraySendTheWindowToTheTray) {
    Start();
    for (const int way : {0, 1, 2}) {
        SCOPED_TRACE(way);
        desktop.Click(MenuItem::Config);
        if (way == 2) {
            controller->OnButtonClicked(WindowButton::MinimizeToTray);
        } else {
            desktop.UserSetsState(way == 0 ? WindowState::Minimized : WindowState::Maximized);
        }
        EXPECT_FALSE(desktop.visible);
        EXPECT_EQ(desktop.state, WindowState::Normal);
        desktop.Click(std::nullopt);
        EXPECT_EQ(desktop.menu.substr(0, 7), "設定 ");
    }
    desktop.Click(MenuItem::Config);  // one click brings it back in the corner
    ExpectShownInTheCorner();
}

TEST_F(DesktopControllerTest, WithoutATrayTheWindowStaysShownAndOnlyMinimises) {
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
}

TEST_F(DesktopControllerTest, TrayThatComesBackShowsTheIconAgainAndTheWindowCanHide) {
    desktop.trayAvailable = false;
    Start();
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
    for (const char* menu : {"設定 ログ[x] 終了* ", "設定 ログ 終了* "}) {
        desktop.Click(MenuItem::Log);
        desktop.Click(std::nullopt);
        EXPECT_EQ(desktop.menu, menu);
    }
    EXPECT_FALSE(log.LoggingEnabled());
    EXPECT_EQ(desktop.viewText, before);
}

TEST_F(DesktopControllerTest, ButtonsOpenTheConfigFileAndSendTestMessages) {
    Start();
    controller->OnButtonClicked(WindowButton::EditConfig);
    controller->OnButtonClicked(WindowButton::SendTestMessage);
    controller->OnButtonClicked(WindowButton::SendTestMessage);
    EXPECT_EQ(desktop.opened, (std::vector<FilePath>{settings.configFile}));
    EXPECT_EQ(testMessages, 2);
}

TEST_F(DesktopControllerTest, ExitOrCloseRemovesTheIconAndQuitsOnceWithZero) {
    for (const bool fromMenu : {true, false}) {
        SCOPED_TRACE(fromMenu);
        desktop = testing::FakeDesktop{};
        Start();
        fromMenu ? desktop.Click(MenuItem::Exit) : controller->OnCloseRequested();
        controller->OnCloseRequested();
        desktop.trayEvents->OnTrayCameBack();
        EXPECT_EQ(desktop.calls, fromMenu ? (Calls{"Menu", "RemoveIcon", "Quit0"})
                                          : (Calls{"RemoveIcon", "Quit0"}));
        EXPECT_FALSE(desktop.iconShown);
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

    const int replaced = desktop.viewReplaced;
    for (int i = 0; i < 20; ++i) {  // the log trims its front: the view is replaced whole
        log.AppendMessageEntry(300, std::string(1000, 'x') + "\r\n", "2026/12/06 10:00:00");
    }
    EXPECT_EQ(log.Text().find("early"), std::string::npos);
    EXPECT_GT(desktop.viewReplaced, replaced);
    EXPECT_EQ(desktop.viewText, log.Text());
    EXPECT_EQ(desktop.caret, log.Text().size());

    controller.reset();  // a log that outlives the controller reaches nobody
    log.AppendErrorEntry("late");
    EXPECT_EQ(desktop.windowEvents, nullptr);
    EXPECT_EQ(desktop.viewText.find("late"), std::string::npos);
}

}  // namespace
}  // namespace tarnleaf
