#include "DesktopController.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/FakeDesktop.h"

namespace tarnleaf {
namespace {

using Calls = std::vector<std::string>;
constexpr PixelPoint kCorner{630, 392};  // 394 x 346 above a 30-pixel bottom taskbar

class DesktopControllerTest : public ::testing::Test {
protected:
    // `desktop.calls` then holds only what follows the start.
    void Start() {
        controller = std::make_unique<DesktopController>(
            desktop, desktop, desktop, desktop, log, settings, [this] { ++testMessages; },
            [this] { return bindError; });
        controller->Start();
        startCalls = std::exchange(desktop.calls, {});
    }
    std::string Menu() { return desktop.Click(std::nullopt), desktop.menu; }

    testing::FakeDesktop desktop;
    LogModel log;
    DesktopController::Settings settings{"/etc/tarnleaf/Tarnleaf.ini", true};
    std::optional<SocketError> bindError;
    int testMessages = 0;
    std::unique_ptr<DesktopController> controller;
    Calls startCalls;
};

TEST_F(DesktopControllerTest, StartsAsAnIconWhoseSinglePressOpensOneMenuWithChecksAndDefault) {
    Start();
    EXPECT_EQ(startCalls, (Calls{"ShowIcon", "Show", "Hide"})) << "the first resize hides";
    EXPECT_EQ(desktop.tip, "Bootp Server for Win");
    desktop.Click(std::nullopt, ClickCount::Double);
    desktop.pressInMenu = true;
    EXPECT_EQ(Menu(), "設定 ログ[x] 終了* ");
    EXPECT_EQ(desktop.calls, Calls{"Menu"}) << "no double click, no menu inside the menu";
    desktop.Click(MenuItem::Log);
    desktop.Click(MenuItem::Config);
    EXPECT_EQ(Menu(), "設定[x] ログ 終了* ");
    EXPECT_FALSE(log.LoggingEnabled());
}

TEST_F(DesktopControllerTest, SettingsShowsTheWindowBesideTheTrayAndEachWayToMinimiseHidesIt) {
    Start();
    const std::function<void()> ways[] = {
        [&] { desktop.UserSetsState(WindowState::Minimized); },
        [&] { desktop.UserSetsState(WindowState::Maximized); },
        [&] { controller->OnButtonClicked(WindowButton::MinimizeToTray); },
        [&] { desktop.Click(MenuItem::Config); }};
    for (std::size_t way = 0; way < std::size(ways); ++way) {
        desktop.Click(MenuItem::Config);
        EXPECT_TRUE(desktop.visible && desktop.position == kCorner) << way;
        ways[way]();
        EXPECT_TRUE(!desktop.visible && desktop.state == WindowState::Normal) << way;
        EXPECT_EQ(Menu().substr(0, 7), "設定 ") << way;
    }
    controller->OnButtonClicked(WindowButton::EditConfig);
    controller->OnButtonClicked(WindowButton::SendTestMessage);
    EXPECT_EQ(desktop.opened, (std::vector<FilePath>{settings.configFile}));
    EXPECT_EQ(testMessages, 1);
}

TEST_F(DesktopControllerTest, WithoutATrayTheWindowOnlyMinimisesUntilTheTrayComesBack) {
    desktop.trayAvailable = false;
    Start();
    EXPECT_TRUE(desktop.visible && desktop.position == kCorner);
    desktop.UserSetsState(WindowState::Minimized);
    EXPECT_TRUE(desktop.visible && desktop.state == WindowState::Minimized);
    desktop.UserSetsState(WindowState::Maximized);
    EXPECT_EQ(desktop.state, WindowState::Normal);
    controller->OnButtonClicked(WindowButton::MinimizeToTray);
    EXPECT_TRUE(desktop.visible && desktop.state == WindowState::Minimized);
    desktop.calls.clear();
    desktop.trayAvailable = true;
    desktop.trayEvents->OnTrayCameBack();
    EXPECT_EQ(desktop.calls, (Calls{"ShowIcon"}));
    controller->OnButtonClicked(WindowButton::MinimizeToTray);
    EXPECT_FALSE(desktop.visible);
}

TEST_F(DesktopControllerTest, ExitRemovesTheIconBeforeQuittingOnceWithZero) {
    Start();
    desktop.Click(MenuItem::Exit);
    controller->OnCloseRequested();
    desktop.trayEvents->OnTrayCameBack();
    EXPECT_EQ(desktop.calls, (Calls{"Menu", "RemoveIcon", "Quit0"}));
}

TEST_F(DesktopControllerTest, PortThatCannotBeBoundIsExplainedRemovesTheIconAndExitsWithOne) {
    bindError = SocketError{98, "Address already in use"};
    desktop.whileErrorShown = [this] {
        desktop.Click(MenuItem::Exit);
        desktop.windowEvents->OnButtonClicked(WindowButton::SendTestMessage);
    };
    Start();
    EXPECT_EQ(testMessages, 0);
    for (const char* part : {"port 67", "98", "Address already in use"}) {
        EXPECT_NE(desktop.error.find(part), std::string::npos) << part;
    }
    EXPECT_EQ(startCalls, (Calls{"ShowIcon", "RemoveIcon", "Quit1"}));
    // A stop request (a signal, the session ending) does not wait for the box's OK.
    controller.reset();
    desktop.whileErrorShown = [this] {
        desktop.windowEvents->OnCloseRequested();
        EXPECT_EQ(desktop.calls.back(), "Quit1") << "before the box's OK";
    };
    Start();
    EXPECT_EQ(startCalls, (Calls{"ShowIcon", "RemoveIcon", "Quit1"})) << "and only once";
    desktop.Click(MenuItem::Config);  // whatever comes later is ignored
    controller->OnCloseRequested();
    desktop.trayEvents->OnTrayCameBack();
    EXPECT_EQ(desktop.calls, Calls{});
}

TEST_F(DesktopControllerTest, LogViewFollowsTheLogWhileShownAndCatchesUpWhenShownAgain) {
    log.AppendErrorEntry("early");
    Start();
    EXPECT_EQ(desktop.viewText, log.Text());
    desktop.Click(MenuItem::Config);
    const std::size_t before = log.Text().size();
    log.AppendErrorEntry("Message Send Error! 10065");
    EXPECT_EQ(desktop.caret, before);  // an error leaves the caret at its start
    const auto trimFront = [&] {
        for (int i = 0; i < 20; ++i) {
            log.AppendMessageEntry(300, std::string(1000, 'x') + "\r\n", "2026/12/06 10:00:00");
        }
    };
    trimFront();
    EXPECT_EQ(log.Text().find("early"), std::string::npos);
    EXPECT_EQ(desktop.viewText, log.Text());
    EXPECT_EQ(desktop.caret, log.Text().size());

    // In the tray the view is left alone, however much is logged and trimmed meanwhile.
    desktop.Click(MenuItem::Config);
    const std::string hiddenView = desktop.viewText;
    log.AppendErrorEntry("while hidden");
    trimFront();
    const std::size_t errorStart = log.Text().size();
    log.AppendErrorEntry("last");
    EXPECT_EQ(desktop.viewText, hiddenView);
    desktop.Click(MenuItem::Config);
    EXPECT_EQ(desktop.viewText, log.Text());
    EXPECT_EQ(desktop.caret, errorStart);

    controller.reset();  // a log that outlives the controller reaches nobody
    log.AppendErrorEntry("late");
    EXPECT_EQ(desktop.viewText.find("late"), std::string::npos);
}

}  // namespace
}  // namespace tarnleaf
