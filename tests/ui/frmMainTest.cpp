#include "ui/frmMain.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
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
        form = std::make_unique<frmMain>(
            desktop, hooks, log, [this] { ++testMessages; },
            [this]() -> std::optional<SocketError> {
                ++bindCalls;
                return bindError;
            });
        desktop.SetEvents(form.get());
        form->Start();
    }
    // The user presses a button on the icon and chooses a menu item.
    void Choose(MenuItem item, LParam press = clsTray::kRightButtonDown) {
        desktop.onPopup = [this, item] { desktop.ChooseMenuItem(item); };
        desktop.MouseOnIcon(press);
        desktop.onPopup = nullptr;
    }
    bool IconThere() const { return !desktop.icons.empty(); }

    FakeDesktop desktop;
    modSubClass hooks{desktop};
    LogModel log;
    int testMessages = 0;
    int bindCalls = 0;
    std::optional<SocketError> bindError;
    std::unique_ptr<frmMain> form;
};

// --- start-up -----------------------------------------------------------------------------

TEST_F(MainWindow, StartsAsATrayIconWithTheWindowHiddenAtLeftZero) {
    Start();
    ASSERT_EQ(desktop.icons.size(), 1U);
    const NotifyIconData& icon = desktop.icons.begin()->second;
    EXPECT_EQ(icon.Tip(), u"Bootp Server for Win");
    EXPECT_EQ(icon.hIcon, desktop.programIcon);
    EXPECT_EQ(icon.hWnd, kWindow);
    EXPECT_EQ(desktop.windowIcon, desktop.programIcon);
    EXPECT_NE(desktop.CurrentProc(kWindow), 0U);

    EXPECT_FALSE(desktop.windowVisible);
    EXPECT_EQ(desktop.windowLeft, 0);
    EXPECT_FALSE(desktop.menuChecked[MenuItem::Config]);
    EXPECT_FALSE(form->WindowShown());
    EXPECT_EQ(bindCalls, 1);
    EXPECT_FALSE(desktop.quitCode.has_value());
}

TEST_F(MainWindow, TheOneShowingAtStartHappensOffScreen) {
    Start();
    // Moved off-screen before the start procedure's show; back to 0 once hidden again.
    const std::vector<std::pair<char, int>> expected{{'L', frmMain::kOffScreenLeft}, {'L', 0}};
    EXPECT_EQ(desktop.placements, expected);
    std::vector<std::string> visibility;
    for (const std::string& call : desktop.trace) {
        if (call == "Show" || call == "Hide") {
            visibility.push_back(call);
        }
    }
    EXPECT_EQ(visibility, (std::vector<std::string>{"Hide", "Show", "Hide"}));
}

TEST_F(MainWindow, LaterResizesDoNotHideOrMoveTheWindowAgain) {
    Start();
    Choose(MenuItem::Config);
    desktop.UserSetsWindowState(WindowState::Normal);
    EXPECT_TRUE(desktop.windowVisible);
    EXPECT_EQ(desktop.windowLeft, 9450);
}

struct ArgumentCase {
    const char* name;
    std::string commandLine;
    bool logging;
};

std::ostream& operator<<(std::ostream& out, const ArgumentCase& c) { return out << c.name; }

class MainWindowArguments : public MainWindow,
                            public ::testing::WithParamInterface<ArgumentCase> {};

TEST_P(MainWindowArguments, LoggingSwitchFollowsTheCommandLine) {
    desktop.commandLine = GetParam().commandLine;
    Start();
    EXPECT_EQ(log.LoggingEnabled(), GetParam().logging);
    EXPECT_EQ(desktop.menuChecked[MenuItem::Log], GetParam().logging);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, MainWindowArguments,
    ::testing::Values(ArgumentCase{"NoArguments", "", true},
                      ArgumentCase{"NologUpper", "-NOLOG", false},
                      ArgumentCase{"NologLower", "-nolog", false},
                      ArgumentCase{"NologMixed", "-nOlOg", false},
                      ArgumentCase{"NologWithASecondWord", "-NOLOG extra", true},
                      ArgumentCase{"SecondWordFirst", "extra -NOLOG", true},
                      ArgumentCase{"NologBesideConfigPair", "--config x.ini -nolog", false},
                      ArgumentCase{"ConfigPairOnly", "--config x.ini", true}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(MainWindow, NologStartsWithOnlyErrorLinesInTheView) {
    desktop.commandLine = "-nolog";
    Start();
    if (log.LoggingEnabled()) {
        log.AppendMessageEntry(300, "dump\r\n", "2026/12/06 10:00:00");
    }
    log.AppendErrorEntry("Error!");
    EXPECT_EQ(desktop.viewText, "Error!\r\n\r\n");
}

TEST_F(MainWindow, SecondCopyEndsAtOnceWithoutWindowIconOrSocket) {
    desktop.previousInstance = true;
    Start();
    EXPECT_EQ(desktop.quitCode, 0);
    EXPECT_TRUE(form->Ended());
    EXPECT_TRUE(desktop.notifyCalls.empty());
    EXPECT_EQ(desktop.installCount, 0);
    EXPECT_EQ(bindCalls, 0);
    EXPECT_FALSE(desktop.everShown);
    EXPECT_TRUE(desktop.errorBoxes.empty());
}

TEST_F(MainWindow, PortThatCannotBeBoundIsExplainedAndEndsWithExitCodeOne) {
    bindError = SocketError{10048, "Address already in use"};
    Start();
    ASSERT_EQ(desktop.errorBoxes.size(), 1U);
    const std::string& text = desktop.errorBoxes[0].text;
    EXPECT_NE(text.find("67"), std::string::npos);
    EXPECT_NE(text.find("10048"), std::string::npos);
    EXPECT_NE(text.find("Address already in use"), std::string::npos);
    EXPECT_EQ(desktop.quitCode, 1);
    EXPECT_EQ(desktop.quitCalls, 1);
    EXPECT_FALSE(IconThere());
    EXPECT_EQ(desktop.CurrentProc(kWindow), 0U);
    EXPECT_FALSE(desktop.everShown);
    EXPECT_EQ(hooks.HookedObjectCount(), 0U);
}

TEST_F(MainWindow, EventsAfterAFailedStartAreIgnored) {
    bindError = SocketError{13, "Permission denied"};
    Start();
    const std::size_t calls = desktop.trace.size();
    form->OnMenuClick(MenuItem::Config);
    form->OnButtonClick(FormButton::Test);
    form->OnResize();
    form->OnCloseRequest();
    EXPECT_EQ(desktop.trace.size(), calls);
    EXPECT_EQ(testMessages, 0);
    EXPECT_EQ(desktop.quitCalls, 1);
}

class MainWindowWithoutTray : public MainWindow,
                              public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        if (std::string(GetParam()) == "NoNotificationArea") {
            desktop.trayAvailable = false;
        } else {
            desktop.programIcon = 0;  // no icon picture: the icon cannot be added
        }
    }
};

TEST_P(MainWindowWithoutTray, WindowStaysOnScreenInTheCorner) {
    Start();
    EXPECT_FALSE(IconThere());
    EXPECT_TRUE(desktop.windowVisible);
    EXPECT_EQ(desktop.windowLeft, 9450);
    EXPECT_EQ(desktop.windowTop, 5880);
    EXPECT_TRUE(desktop.menuChecked[MenuItem::Config]);
    EXPECT_FALSE(desktop.quitCode.has_value());
}

TEST_P(MainWindowWithoutTray, MinimisingKeepsTheWindowReachable) {
    Start();
    desktop.UserSetsWindowState(WindowState::Minimized);
    EXPECT_TRUE(desktop.windowVisible);
    EXPECT_EQ(desktop.windowState, WindowState::Minimized);

    desktop.windowState = WindowState::Normal;
    form->OnButtonClick(FormButton::Cancel);  // "Minimize To Tray" with no tray
    EXPECT_TRUE(desktop.windowVisible);
    EXPECT_EQ(desktop.windowState, WindowState::Minimized);

    desktop.UserSetsWindowState(WindowState::Maximized);
    EXPECT_TRUE(desktop.windowVisible);
    EXPECT_EQ(desktop.windowState, WindowState::Normal);
}

TEST_F(MainWindow, NotificationAreaThatAppearsLaterTakesTheIconAndTheWindow) {
    desktop.trayAvailable = false;
    Start();
    EXPECT_TRUE(desktop.windowVisible);
    desktop.trayAvailable = true;
    desktop.RestartShell();  // the shell announces its new notification area
    EXPECT_EQ(desktop.icons.size(), 1U);
    desktop.UserSetsWindowState(WindowState::Minimized);
    EXPECT_FALSE(desktop.windowVisible);
    EXPECT_FALSE(desktop.menuChecked[MenuItem::Config]);
    Choose(MenuItem::Config);
    EXPECT_TRUE(desktop.windowVisible);
}

TEST_F(MainWindow, NotificationAreaThatGoesAwayKeepsTheWindowReachable) {
    Start();
    Choose(MenuItem::Config);
    desktop.trayAvailable = false;
    form->OnButtonClick(FormButton::Cancel);
    EXPECT_TRUE(desktop.windowVisible);
    EXPECT_EQ(desktop.windowState, WindowState::Minimized);
}

INSTANTIATE_TEST_SUITE_P(Causes, MainWindowWithoutTray,
                         ::testing::Values("NoNotificationArea", "NoIconPicture"));

// --- the pop-up menu and the window commands ---------------------------------------------

class MainWindowPress : public MainWindow, public ::testing::WithParamInterface<LParam> {};

TEST_P(MainWindowPress, AnyButtonOpensTheMenuWithExitAsDefault) {
    Start();
    desktop.MouseOnIcon(GetParam());
    EXPECT_EQ(desktop.popupDefaults, (std::vector<MenuItem>{MenuItem::Exit}));
    EXPECT_EQ(desktop.foregroundCalls, (std::vector<WindowHandle>{kWindow}));
    ASSERT_EQ(desktop.posted.size(), 1U);
    EXPECT_EQ(desktop.posted[0].message, 0U);
}

INSTANTIATE_TEST_SUITE_P(Buttons, MainWindowPress,
                         ::testing::Values(clsTray::kLeftButtonDown, clsTray::kRightButtonDown,
                                           clsTray::kMiddleButtonDown));

TEST_F(MainWindow, DoubleClickOpensTheMenuOnTheFirstPressOnly) {
    Start();
    for (const LParam m : {clsTray::kLeftButtonDown, clsTray::kLeftButtonUp,
                           clsTray::kLeftButtonDoubleClick, clsTray::kLeftButtonUp}) {
        desktop.MouseOnIcon(m);
    }
    EXPECT_EQ(desktop.popupDefaults.size(), 1U);
}

TEST_F(MainWindow, MovesReleasesAndDoubleClicksOpenNoMenu) {
    Start();
    for (const LParam m : {clsTray::kMouseMove, clsTray::kLeftButtonUp, clsTray::kRightButtonUp,
                           clsTray::kRightButtonDoubleClick, clsTray::kMiddleButtonDoubleClick}) {
        desktop.MouseOnIcon(m);
    }
    EXPECT_TRUE(desktop.popupDefaults.empty());
}

TEST_F(MainWindow, SettingsTwiceShowsBesideTheTrayAndHidesAgain) {
    Start();
    Choose(MenuItem::Config);
    EXPECT_TRUE(desktop.windowVisible);
    EXPECT_TRUE(desktop.menuChecked[MenuItem::Config]);
    EXPECT_EQ(desktop.windowLeft, 9450);  // 630 px x 15
    EXPECT_EQ(desktop.windowTop, 5880);   // 392 px x 15

    Choose(MenuItem::Config);
    EXPECT_FALSE(desktop.windowVisible);
    EXPECT_FALSE(desktop.menuChecked[MenuItem::Config]);
}

TEST_F(MainWindow, PlacementIsWorkedOutAnewAtEveryShowing) {
    Start();
    Choose(MenuItem::Config);
    Choose(MenuItem::Config);
    desktop.taskbarRect = PixelRect{-2, -2, 1026, 30};  // the taskbar moved to the top
    desktop.twipsX = 12.0F;
    desktop.twipsY = 12.5F;
    Choose(MenuItem::Config);
    EXPECT_EQ(desktop.windowLeft, 7560);  // 630 px x 12
    EXPECT_EQ(desktop.windowTop, 375);    // 30 px x 12.5
}

TEST_F(MainWindow, AbsurdGeometryGivesAPositionNotACrash) {
    Start();
    desktop.windowRects[kWindow] = PixelRect{-2'000'000'000, 0, 2'000'000'000, 10};
    desktop.twipsX = 1e30F;
    Choose(MenuItem::Config);
    EXPECT_TRUE(desktop.windowVisible);
}

TEST_F(MainWindow, MinimisingTheShownWindowSendsItToTheTray) {
    Start();
    Choose(MenuItem::Config);
    desktop.UserSetsWindowState(WindowState::Minimized);
    EXPECT_FALSE(desktop.windowVisible);
    EXPECT_EQ(desktop.windowState, WindowState::Normal);
    EXPECT_FALSE(desktop.menuChecked[MenuItem::Config]);

    Choose(MenuItem::Config);  // comes back as a normal window in the corner
    EXPECT_TRUE(desktop.windowVisible);
    EXPECT_EQ(desktop.windowState, WindowState::Normal);
    EXPECT_EQ(desktop.windowLeft, 9450);
}

TEST_F(MainWindow, MaximisingTheShownWindowSendsItToTheTrayToo) {
    Start();
    Choose(MenuItem::Config);
    desktop.UserSetsWindowState(WindowState::Maximized);
    EXPECT_FALSE(desktop.windowVisible);
    EXPECT_EQ(desktop.windowState, WindowState::Normal);
    EXPECT_FALSE(form->WindowShown());
}

TEST_F(MainWindow, MinimizeToTrayHidesAndClearsTheCheckMark) {
    Start();
    Choose(MenuItem::Config);
    form->OnButtonClick(FormButton::Cancel);
    EXPECT_FALSE(desktop.windowVisible);
    EXPECT_FALSE(desktop.menuChecked[MenuItem::Config]);
    Choose(MenuItem::Config);  // one click shows it again
    EXPECT_TRUE(desktop.windowVisible);
}

TEST_F(MainWindow, LogTwiceRestoresTheSwitchAndKeepsTheText) {
    Start();
    log.AppendErrorEntry("Error! 1");
    const std::string before = desktop.viewText;
    Choose(MenuItem::Log);
    EXPECT_FALSE(log.LoggingEnabled());
    EXPECT_FALSE(desktop.menuChecked[MenuItem::Log]);
    Choose(MenuItem::Log);
    EXPECT_TRUE(log.LoggingEnabled());
    EXPECT_TRUE(desktop.menuChecked[MenuItem::Log]);
    EXPECT_EQ(desktop.viewText, before);
    EXPECT_EQ(log.Text(), before);
}

TEST_F(MainWindow, EditConfigOpensTarnleafIniFromTheProgramsFolder) {
    Start();
    form->OnButtonClick(FormButton::Edit);
    ASSERT_EQ(desktop.openedDocuments.size(), 1U);
    EXPECT_EQ(desktop.openedDocuments[0].file, desktop.programFolder / "Tarnleaf.ini");
    EXPECT_EQ(desktop.openedDocuments[0].directory, desktop.programFolder);
    EXPECT_EQ(desktop.openedDocuments[0].owner, kWindow);
    EXPECT_TRUE(desktop.errorBoxes.empty());
}

TEST_F(MainWindow, EditConfigOpensTheFileNamedOnTheCommandLine) {
    desktop.commandLine = "--config \"site conf/my.ini\"";
    Start();
    form->OnButtonClick(FormButton::Edit);
    ASSERT_EQ(desktop.openedDocuments.size(), 1U);
    const std::filesystem::path expected =
        (std::filesystem::current_path() / "site conf" / "my.ini").lexically_normal();
    EXPECT_EQ(desktop.openedDocuments[0].file, expected);
    EXPECT_EQ(desktop.openedDocuments[0].directory, expected.parent_path());
    EXPECT_EQ(form->ConfigFile(), expected);
}

TEST_F(MainWindow, SendTestMessageButtonSendsOnePerClick) {
    Start();
    form->OnButtonClick(FormButton::Test);
    form->OnButtonClick(FormButton::Test);
    EXPECT_EQ(testMessages, 2);
}

// --- ending -----------------------------------------------------------------------------

class MainWindowEnding : public MainWindow, public ::testing::WithParamInterface<const char*> {
protected:
    void End() {
        const std::string how = GetParam();
        if (how == "ExitFromTheMenu") {
            Choose(MenuItem::Exit);
        } else {
            desktop.UserClosesWindow();  // close box and session end alike
        }
    }
};

TEST_P(MainWindowEnding, RemovesTheIconAndTheHookAndQuitsWithZero) {
    Start();
    std::weak_ptr<clsTray> tray = form->Tray();
    End();
    EXPECT_FALSE(IconThere());
    EXPECT_EQ(desktop.CurrentProc(kWindow), 0U);
    EXPECT_EQ(desktop.quitCode, 0);
    EXPECT_TRUE(tray.expired());
    EXPECT_TRUE(form->Ended());
}

TEST_P(MainWindowEnding, SecondCloseRequestChangesNothing) {
    Start();
    End();
    const std::size_t calls = desktop.notifyCalls.size();
    desktop.UserClosesWindow();
    EXPECT_EQ(desktop.quitCalls, 1);
    EXPECT_EQ(desktop.notifyCalls.size(), calls);
}

INSTANTIATE_TEST_SUITE_P(Ways, MainWindowEnding,
                         ::testing::Values("ExitFromTheMenu", "CloseRequest"));

TEST_F(MainWindow, ExitWhileTheWindowIsShownEndsToo) {
    Start();
    Choose(MenuItem::Config);
    Choose(MenuItem::Exit);
    EXPECT_EQ(desktop.quitCode, 0);
    EXPECT_FALSE(IconThere());
}

TEST_F(MainWindow, MessagesDuringTheMenuAreServedAndTheMenuStillEnds) {
    Start();
    desktop.onPopup = [this] {
        desktop.MouseOnIcon(clsTray::kMouseMove);
        desktop.Deliver(kWindow, 0x0005);  // the window's own messages pass through
        desktop.ChooseMenuItem(MenuItem::Log);
    };
    desktop.MouseOnIcon(clsTray::kRightButtonDown);
    EXPECT_FALSE(log.LoggingEnabled());
    EXPECT_EQ(desktop.ownProcMessages[kWindow].size(), 1U);
    EXPECT_EQ(desktop.posted.size(), 1U);
}

TEST_F(MainWindow, TrayEventsAfterTheWindowIsGoneReachNobody) {
    Start();
    form.reset();  // the window ends without its close handler, the hook still holds the tray
    desktop.MouseOnIcon(clsTray::kLeftButtonDown);
    EXPECT_TRUE(desktop.popupDefaults.empty());
}

// --- the log view -----------------------------------------------------------------------

TEST_F(MainWindow, EntriesAreAppendedAndTheCaretFollowsTheLog) {
    Start();
    log.AppendMessageEntry(300, "dump\r\n", "2026/12/06 10:00:00");
    EXPECT_EQ(desktop.viewText, log.Text());
    EXPECT_EQ(desktop.viewCaret, log.Text().size());

    const std::size_t before = log.Text().size();
    log.AppendErrorEntry("Message Send Error! 10065");
    EXPECT_EQ(desktop.viewText, log.Text());
    EXPECT_EQ(desktop.viewCaret, before);  // errors leave the caret at their start
}

TEST_F(MainWindow, TrimmedLogReplacesTheViewText) {
    Start();
    const std::string dump(1000, 'x');
    for (int i = 0; i < 40; ++i) {
        log.AppendMessageEntry(300, dump + "\r\n", "2026/12/06 10:00:00");
    }
    EXPECT_LT(log.Text().size(), LogModel::kTrimThreshold + 2000);
    EXPECT_EQ(desktop.viewText, log.Text());
    EXPECT_EQ(desktop.viewCaret, log.Text().size());
}

TEST_F(MainWindow, ViewStartsWithWhatTheLogAlreadyHolds) {
    log.AppendErrorEntry("early");
    Start();
    EXPECT_EQ(desktop.viewText, log.Text());
}

TEST_F(MainWindow, LogThatOutlivesTheWindowWritesNowhere) {
    Start();
    form.reset();
    log.AppendErrorEntry("late");
    EXPECT_EQ(desktop.viewText, "");
}

}  // namespace
}  // namespace tarnleaf
