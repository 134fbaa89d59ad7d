#include "platform/qt/QtDesktop.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QFile>
#include <QSysInfo>
#include <QFontInfo>
#include <QFontMetrics>
#include <QMessageBox>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/qt/QtLogText.h"
#include "platform/qt/QtScreenGeometry.h"
#include "server/LogModel.h"
#include "shell/clsTray.h"
#include "shell/modSubClass.h"
#include "ui/FormLayout.h"
#include "ui/frmMain.h"
#include "platform/qt/QtTestSupport.h"

namespace tarnleaf {
namespace {

using testing::ProcessEventsUntil;
using testing::ProcessPendingEvents;
using testing::TestApplication;

// What the window reports, in order.
class RecordingEvents : public DesktopEvents {
public:
    void OnResize() override { calls.push_back("Resize"); }
    void OnCloseRequest() override { calls.push_back("Close"); }
    void OnMenuClick(MenuItem item) override {
        calls.push_back("Menu" + std::to_string(static_cast<int>(item)));
    }
    void OnButtonClick(FormButton button) override {
        calls.push_back("Button" + std::to_string(static_cast<int>(button)));
    }
    std::vector<std::string> calls;
};

struct Message {
    std::uint32_t message;
    WParam wParam;
    LParam lParam;
    friend bool operator==(const Message&, const Message&) = default;
};

class QtDesktopTest : public ::testing::Test {
protected:
    QtDesktopTest() { TestApplication(); }
    void TearDown() override {
        desktop.reset();
        testing::ClearPendingQuit();
    }

    QtDesktopOptions Options() {
        QtDesktopOptions options;
        options.lockFilePath = lockDir.filePath(QStringLiteral("tarnleaf.lock"));
        options.programFolder = "/opt/tarnleaf";
        options.openUrl = [this](const QUrl& url) { openedUrls.push_back(url); };
        options.runMenu = [this](QMenu& menu, const QPoint&) { return RunMenu(menu); };
        options.systemTrayAvailable = true;
        return options;
    }

    QtDesktop& Desktop() {
        if (!desktop) {
            desktop = std::make_unique<QtDesktop>(Options());
        }
        return *desktop;
    }

    // The pop-up menu as the user sees it when it opens, then the chosen item (or none).
    QAction* RunMenu(QMenu& menu) {
        ++menusShown;
        shownMenu.clear();
        for (QAction* action : menu.actions()) {
            shownMenu.push_back({action->text(), action->isChecked(), action->font().bold()});
        }
        if (!choice) {
            return nullptr;
        }
        QAction* chosen = &desktop->MenuAction(*choice);
        if (chosen->isCheckable()) {
            chosen->toggle();  // as QMenu does for a checkable item
        }
        return chosen;
    }

    // Records every message that reaches the main window's procedure.
    void InstallProbe() {
        Desktop().InstallWindowProc(Desktop().MainWindow(),
                                    [this](WindowHandle, std::uint32_t m, WParam w, LParam l) {
                                        delivered.push_back({m, w, l});
                                        return MessageResult{0};
                                    });
    }

    struct ShownItem {
        QString text;
        bool checked;
        bool bold;
    };

    QTemporaryDir lockDir;
    std::unique_ptr<QtDesktop> desktop;
    std::vector<QUrl> openedUrls;
    std::optional<MenuItem> choice;
    int menusShown = 0;
    std::vector<ShownItem> shownMenu;
    std::vector<Message> delivered;
};

NotifyIconData IconRecord(QtDesktop& desktop, IconHandle icon, std::uint32_t id = 7) {
    NotifyIconData record;
    record.hWnd = desktop.MainWindow();
    record.uID = id;
    record.hIcon = icon;
    const std::u16string tip = u"Bootp Server for Win";
    std::copy(tip.begin(), tip.end(), record.szTip.begin());
    return record;
}

// --- the window and its controls ---------------------------------------------------------

TEST_F(QtDesktopTest, WindowHasItsCaptionAndAFixedClientAreaOf5820By4800Twips) {
    QtMainWindow& window = Desktop().Window();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Tarnleaf - Verion 0.1b"));
    const float tx = Desktop().TwipsPerPixelX();
    const float ty = Desktop().TwipsPerPixelY();
    const QSize client(TwipsToPixels(5820, tx), TwipsToPixels(4800, ty));
    EXPECT_EQ(window.size(), client);
    EXPECT_EQ(window.minimumSize(), client);
    EXPECT_EQ(window.maximumSize(), client);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(QtDesktopTest, ControlsStandAtTheirTwipPositionsWithTheirCaptions) {
    QtMainWindow& window = Desktop().Window();
    const float tx = Desktop().TwipsPerPixelX();
    const float ty = Desktop().TwipsPerPixelY();
    const auto pixels = [&](const form_layout::Control& c) {
        return QRect(TwipsToPixels(c.left, tx), TwipsToPixels(c.top, ty),
                     TwipsToPixels(c.width, tx), TwipsToPixels(c.height, ty));
    };
    const std::tuple<QWidget*, form_layout::Control, QString> rows[] = {
        {&window.LogView(), form_layout::kLogView, QString()},
        {&window.Button(FormButton::Test), form_layout::kTestButton, "Send Test Message"},
        {&window.Button(FormButton::Cancel), form_layout::kCancelButton, "Minimize To Tray"},
        {&window.Button(FormButton::Edit), form_layout::kEditButton, "Edit Config"},
    };
    for (const auto& [widget, control, caption] : rows) {
        SCOPED_TRACE(widget->objectName().toStdString());
        EXPECT_EQ(widget->geometry(), pixels(control));
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            EXPECT_EQ(button->text(), caption);
        }
    }
    EXPECT_TRUE(window.LogView().toPlainText().isEmpty());
}

TEST_F(QtDesktopTest, TabGoesFromTheLogViewThroughTestCancelAndEditBackToTheView) {
    QtMainWindow& window = Desktop().Window();
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window, 2000));
    window.LogView().setFocus();
    ASSERT_TRUE(ProcessEventsUntil([&] { return window.LogView().hasFocus(); }));
    const std::vector<QWidget*> expected = {
        &window.Button(FormButton::Test), &window.Button(FormButton::Cancel),
        &window.Button(FormButton::Edit), &window.LogView()};
    for (QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
    }
    window.hide();
}

TEST_F(QtDesktopTest, LogViewCannotBeTypedIntoButItsTextCanBeSelectedAndCopied) {
    QPlainTextEdit& view = Desktop().Window().LogView();
    Desktop().ViewSetText("date [x]\r\nsize [300]\r\n");
    const QString before = view.toPlainText();
    QTest::keyClicks(&view, "typed");
    QTest::keyClick(&view, Qt::Key_Backspace);
    QTest::keyClick(&view, Qt::Key_Delete);
    EXPECT_EQ(view.toPlainText(), before);

    EXPECT_TRUE(view.isReadOnly());
    EXPECT_TRUE(view.textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
    EXPECT_TRUE(view.textInteractionFlags().testFlag(Qt::TextSelectableByKeyboard));
    view.selectAll();
    view.copy();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("date [x]\nsize [300]\n"));
}

TEST_F(QtDesktopTest, LogViewWrapsLongLinesAndScrollsOnlyVertically) {
    QPlainTextEdit& view = Desktop().Window().LogView();
    EXPECT_EQ(view.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(view.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(view.lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_FALSE(view.isUndoRedoEnabled());
}

TEST_F(QtDesktopTest, LogViewUsesAFixedPitchNinePointFont) {
    const QFont font = Desktop().Window().LogView().font();
    EXPECT_EQ(font.pointSize(), 9);
    // Fonts with wide CJK glyphs do not call themselves fixed-pitch; the columns of the
    // dump only need the Latin letters and digits to line up.
    const QFontMetrics metrics(font);
    for (const QChar c : QStringLiteral("W0.[")) {
        EXPECT_EQ(metrics.horizontalAdvance(c), metrics.horizontalAdvance(QLatin1Char('i')))
            << QFontInfo(font).family().toStdString();
    }
}

TEST_F(QtDesktopTest, ButtonsAndTheCloseBoxReportToTheEvents) {
    RecordingEvents events;
    Desktop().SetEvents(events);
    QtMainWindow& window = Desktop().Window();
    QTest::mouseClick(&window.Button(FormButton::Edit), Qt::LeftButton);
    QTest::mouseClick(&window.Button(FormButton::Test), Qt::LeftButton);
    QTest::mouseClick(&window.Button(FormButton::Cancel), Qt::LeftButton);
    window.close();
    EXPECT_EQ(events.calls,
              (std::vector<std::string>{"Button0", "Button1", "Button2", "Close"}));
    EXPECT_FALSE(Desktop().Quitting()) << "the close box only asks";
}

// --- window state and the first showing --------------------------------------------------

TEST_F(QtDesktopTest, FirstShowingIsFollowedByOneSizeNotification) {
    RecordingEvents events;
    Desktop().SetEvents(events);
    Desktop().SetWindowVisible(true);
    EXPECT_EQ(events.calls, std::vector<std::string>{"Resize"});
    EXPECT_TRUE(Desktop().Window().isVisible());
    Desktop().SetWindowVisible(false);
    EXPECT_FALSE(Desktop().Window().isVisible());
}

TEST_F(QtDesktopTest, HidingDuringTheFirstSizeNotificationLeavesTheWindowHidden) {
    // What start-up does while the tray icon is there.
    class HideOnResize : public RecordingEvents {
    public:
        explicit HideOnResize(QtDesktop& d) : desktop(d) {}
        void OnResize() override {
            RecordingEvents::OnResize();
            desktop.SetWindowVisible(false);
        }
        QtDesktop& desktop;
    } events(Desktop());
    Desktop().SetEvents(events);
    Desktop().SetWindowVisible(true);
    ProcessPendingEvents();
    EXPECT_FALSE(Desktop().Window().isVisible());
}

TEST_F(QtDesktopTest, MinimisingIsReportedFromTheLoopAndCanBeUndoneThere) {
    RecordingEvents events;
    Desktop().SetEvents(events);
    Desktop().SetWindowVisible(true);
    events.calls.clear();
    Desktop().SetWindowState(WindowState::Minimized);
    EXPECT_EQ(Desktop().GetWindowState(), WindowState::Minimized);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !events.calls.empty(); }));
    EXPECT_EQ(events.calls.front(), "Resize");
    Desktop().SetWindowState(WindowState::Normal);
    EXPECT_EQ(Desktop().GetWindowState(), WindowState::Normal);
    Desktop().SetWindowVisible(false);
}

TEST_F(QtDesktopTest, WindowLeftAndTopAreTwipsOfTheOuterFrame) {
    Desktop().SetWindowLeft(1500);
    Desktop().SetWindowTop(3000);
    const PixelRect outer = Desktop().WindowOuterRect(Desktop().MainWindow());
    EXPECT_EQ(outer.left, TwipsToPixels(1500, Desktop().TwipsPerPixelX()));
    EXPECT_EQ(outer.top, TwipsToPixels(3000, Desktop().TwipsPerPixelY()));
    EXPECT_EQ(outer.right - outer.left, Desktop().Window().frameGeometry().width());
    EXPECT_EQ(Desktop().WindowOuterRect(Desktop().MainWindow() + 1), PixelRect{});
}

TEST_F(QtDesktopTest, ScreenSizeIsThePrimaryScreensAndTheStripBesideItIsEmptyWithoutPanels) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(Desktop().ScreenWidth(), screen.width());
    EXPECT_EQ(Desktop().ScreenHeight(), screen.height());
    // The offscreen screen has no panels: the strip puts the window bottom right.
    EXPECT_EQ(Desktop().TaskbarRect(),
              (PixelRect{0, screen.height(), screen.width(), screen.height()}));
}

// --- log view ------------------------------------------------------------------------------

TEST_F(QtDesktopTest, AppendedTextGoesToTheEndAndTheCaretMapsByteOffsets) {
    QPlainTextEdit& view = Desktop().Window().LogView();
    Desktop().ViewSetText("Ab\r\n");
    Desktop().ViewAppend("設定\r\nxy");
    EXPECT_EQ(view.toPlainText(), QStringLiteral("Ab\n設定\nxy"));
    Desktop().ViewSetCaret(4 + 3);  // after "Ab\r\n" and the first character of "設定"
    EXPECT_EQ(view.textCursor().position(), 4);
    EXPECT_FALSE(view.textCursor().hasSelection());
    Desktop().ViewSetCaret(1000);
    EXPECT_EQ(view.textCursor().position(), view.document()->characterCount() - 1);
}

// --- the pop-up menu -----------------------------------------------------------------------

TEST_F(QtDesktopTest, MenuShowsItsThreeItemsWithCheckMarksAndTheDefaultInBold) {
    RecordingEvents events;
    Desktop().SetEvents(events);
    Desktop().SetMenuChecked(MenuItem::Log, true);
    Desktop().ShowPopupMenu(MenuItem::Exit);
    ASSERT_EQ(shownMenu.size(), 3U);
    EXPECT_EQ(shownMenu[0].text, QStringLiteral("設定"));
    EXPECT_EQ(shownMenu[1].text, QStringLiteral("ログ"));
    EXPECT_EQ(shownMenu[2].text, QStringLiteral("終了"));
    EXPECT_FALSE(shownMenu[0].checked);
    EXPECT_TRUE(shownMenu[1].checked);
    EXPECT_FALSE(shownMenu[2].checked);
    EXPECT_FALSE(shownMenu[0].bold);
    EXPECT_FALSE(shownMenu[1].bold);
    EXPECT_TRUE(shownMenu[2].bold);
    EXPECT_EQ(Desktop().Menu().defaultAction(), &Desktop().MenuAction(MenuItem::Exit));
    EXPECT_TRUE(events.calls.empty()) << "a cancelled menu chooses nothing";
}

TEST_F(QtDesktopTest, ChoosingAnItemReportsItAndLeavesTheCheckMarksToTheLogic) {
    RecordingEvents events;
    Desktop().SetEvents(events);
    Desktop().SetMenuChecked(MenuItem::Log, true);
    choice = MenuItem::Log;
    Desktop().ShowPopupMenu(MenuItem::Exit);
    EXPECT_EQ(events.calls, std::vector<std::string>{"Menu1"});
    EXPECT_TRUE(Desktop().MenuAction(MenuItem::Log).isChecked());
}

TEST_F(QtDesktopTest, NotifyIconAddsChangesAndRemovesAQtTrayIcon) {
    const IconHandle icon = Desktop().LoadProgramIcon();
    ASSERT_NE(icon, 0U) << "the program icon resource is missing";
    NotifyIconData record = IconRecord(Desktop(), icon);
    EXPECT_TRUE(Desktop().ShellNotifyIcon(NotifyIconMessage::Add, record));
    EXPECT_FALSE(Desktop().ShellNotifyIcon(NotifyIconMessage::Add, record)) << "already there";
    QSystemTrayIcon* tray = Desktop().TrayIcon(record.hWnd, record.uID);
    ASSERT_NE(tray, nullptr);
    EXPECT_EQ(tray->toolTip(), QStringLiteral("Bootp Server for Win"));
    EXPECT_FALSE(tray->icon().isNull());

    record.szTip.fill(u'\0');
    record.szTip[0] = u'x';
    EXPECT_TRUE(Desktop().ShellNotifyIcon(NotifyIconMessage::Modify, record));
    EXPECT_EQ(tray->toolTip(), QStringLiteral("x"));

    EXPECT_TRUE(Desktop().ShellNotifyIcon(NotifyIconMessage::Delete, record));
    EXPECT_EQ(Desktop().TrayIcon(record.hWnd, record.uID), nullptr);
    EXPECT_FALSE(Desktop().ShellNotifyIcon(NotifyIconMessage::Delete, record));
    EXPECT_FALSE(Desktop().ShellNotifyIcon(NotifyIconMessage::Modify, record));
}

TEST_F(QtDesktopTest, NotifyIconForAWindowItDoesNotKnowIsRefused) {
    NotifyIconData record = IconRecord(Desktop(), Desktop().LoadProgramIcon());
    record.hWnd += 1;
    EXPECT_FALSE(Desktop().ShellNotifyIcon(NotifyIconMessage::Add, record));
    EXPECT_EQ(Desktop().TrayIconCount(), 0U);
}

struct ActivationCase {
    const char* name;
    QSystemTrayIcon::ActivationReason reason;
    std::vector<LParam> notifications;
};

class TrayActivation : public QtDesktopTest,
                       public ::testing::WithParamInterface<ActivationCase> {};

TEST_P(TrayActivation, ArrivesAsTheShellsMouseNotificationsThroughTheWindowProcedure) {
    InstallProbe();
    const NotifyIconData record = IconRecord(Desktop(), Desktop().LoadProgramIcon(), 42);
    ASSERT_TRUE(Desktop().ShellNotifyIcon(NotifyIconMessage::Add, record));
    emit Desktop().TrayIcon(record.hWnd, record.uID)->activated(GetParam().reason);
    EXPECT_TRUE(delivered.empty()) << "delivered from the loop, not inside Qt's handler";
    ProcessPendingEvents();
    std::vector<Message> expected;
    for (const LParam notification : GetParam().notifications) {
        expected.push_back({NotifyIconData::kCallbackMessage, 42, notification});
    }
    EXPECT_EQ(delivered, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, TrayActivation,
    ::testing::Values(
        ActivationCase{"LeftClickIsPressAndRelease", QSystemTrayIcon::Trigger, {0x201, 0x202}},
        ActivationCase{"DoubleClickIsDoubleClickAndRelease", QSystemTrayIcon::DoubleClick,
                       {0x203, 0x202}},
        ActivationCase{"RightClickIsRightPressAndRelease", QSystemTrayIcon::Context,
                       {0x204, 0x205}},
        ActivationCase{"MiddleClickIsMiddlePressAndRelease", QSystemTrayIcon::MiddleClick,
                       {0x207, 0x208}},
        ActivationCase{"UnknownIsNothing", QSystemTrayIcon::Unknown, {}}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(QtDesktopTest, TrayObjectRaisesItsEventsFromQtActivations) {
    modSubClass hooks(Desktop());
    std::shared_ptr<clsTray> tray = clsTray::Create(Desktop(), hooks);
    std::vector<std::string> raised;
    TrayEvents events;
    events.Click = [&] { raised.push_back("Click"); };
    events.DblClick = [&] { raised.push_back("DblClick"); };
    events.MouseDown = [&](TrayButton b) {
        raised.push_back("Down" + std::to_string(static_cast<int>(b)));
    };
    events.MouseUp = [&](TrayButton b) {
        raised.push_back("Up" + std::to_string(static_cast<int>(b)));
    };
    tray->SetEvents(events);
    tray->SetIcon(Desktop().LoadProgramIcon());
    tray->SetToolTipText("Bootp Server for Win");
    ASSERT_TRUE(tray->AddIcon(Desktop().MainWindow()));
    QSystemTrayIcon* icon = Desktop().TrayIcon(Desktop().MainWindow(), tray->HookId());
    ASSERT_NE(icon, nullptr);

    emit icon->activated(QSystemTrayIcon::Trigger);
    emit icon->activated(QSystemTrayIcon::DoubleClick);
    emit icon->activated(QSystemTrayIcon::Context);
    emit icon->activated(QSystemTrayIcon::MiddleClick);
    ProcessPendingEvents();
    EXPECT_EQ(raised, (std::vector<std::string>{"Down1", "Up1", "Click", "DblClick", "Up1",
                                                "Down2", "Up2", "Down4", "Up4"}));

    tray->DeleteIcon();
    EXPECT_EQ(Desktop().TrayIconCount(), 0U);
    EXPECT_EQ(Desktop().InstallWindowProc(Desktop().MainWindow(), [](auto...) { return 0; }),
              QtDesktop::kOwnProcedure)
        << "the window's own procedure is back";
}

TEST_F(QtDesktopTest, IconRemovedByTheFirstNotificationGetsNoSecond) {
    InstallProbe();
    NotifyIconData record = IconRecord(Desktop(), Desktop().LoadProgramIcon());
    ASSERT_TRUE(Desktop().ShellNotifyIcon(NotifyIconMessage::Add, record));
    delivered.clear();
    Desktop().InstallWindowProc(Desktop().MainWindow(),
                                [&](WindowHandle, std::uint32_t m, WParam w, LParam l) {
                                    delivered.push_back({m, w, l});
                                    Desktop().ShellNotifyIcon(NotifyIconMessage::Delete, record);
                                    return MessageResult{0};
                                });
    emit Desktop().TrayIcon(record.hWnd, record.uID)->activated(QSystemTrayIcon::Context);
    ProcessPendingEvents();
    ASSERT_EQ(delivered.size(), 1U);
    EXPECT_EQ(delivered[0].lParam, 0x204);
}

// --- window procedures ---------------------------------------------------------------------

TEST_F(QtDesktopTest, InstalledProceduresChainAndComeOffInAnyOrder) {
    const WindowHandle window = Desktop().MainWindow();
    std::vector<std::string> calls;
    const WindowProcHandle own = Desktop().InstallWindowProc(
        window, [&](WindowHandle, std::uint32_t, WParam, LParam) {
            calls.push_back("first");
            return MessageResult{5};
        });
    EXPECT_EQ(own, QtDesktop::kOwnProcedure);
    const WindowProcHandle first = Desktop().InstallWindowProc(
        window, [&](WindowHandle, std::uint32_t, WParam, LParam) {
            calls.push_back("second");
            return MessageResult{6};
        });
    EXPECT_NE(first, own);

    EXPECT_EQ(Desktop().Deliver(window, 0x401, 0, 0), 6);
    EXPECT_EQ(Desktop().CallPreviousWindowProc(first, window, 0x401, 0, 0), 5);
    EXPECT_EQ(Desktop().CallPreviousWindowProc(own, window, 0x401, 0, 0), 0);
    EXPECT_EQ(Desktop().CallPreviousWindowProc(999, window, 0x401, 0, 0), 0);

    // The older one leaves first: the newer one now hands on to the window's own.
    Desktop().RestoreWindowProc(window, own);
    EXPECT_EQ(Desktop().Deliver(window, 0x401, 0, 0), 6);
    Desktop().RestoreWindowProc(window, first);  // no longer in the chain: nothing happens
    EXPECT_EQ(Desktop().Deliver(window, 0x401, 0, 0), 6);
    EXPECT_EQ(calls, (std::vector<std::string>{"second", "first", "second", "second"}));
}

TEST_F(QtDesktopTest, ProceduresForUnknownWindowsAreRefused) {
    const WindowHandle other = Desktop().MainWindow() + 1;
    EXPECT_EQ(Desktop().InstallWindowProc(other, [](auto...) { return MessageResult{1}; }), 0U);
    EXPECT_EQ(Desktop().InstallWindowProc(Desktop().MainWindow(), WindowProcedure{}), 0U);
    EXPECT_EQ(Desktop().Deliver(other, 0x401, 0, 0), 0);
    Desktop().RestoreWindowProc(Desktop().MainWindow(), 0);
    EXPECT_EQ(Desktop().Deliver(Desktop().MainWindow(), 0x401, 0, 0), 0);
}

TEST_F(QtDesktopTest, PostedMessagesArriveFromTheLoopInOrder) {
    InstallProbe();
    Desktop().PostWindowMessage(Desktop().MainWindow(), 0, 1, 2);
    Desktop().PostWindowMessage(Desktop().MainWindow(), 0x401, 3, 4);
    EXPECT_TRUE(delivered.empty());
    ProcessPendingEvents();
    EXPECT_EQ(delivered, (std::vector<Message>{{0, 1, 2}, {0x401, 3, 4}}));
}

TEST_F(QtDesktopTest, RegisteredMessageNamesKeepTheirNumbers) {
    const std::uint32_t created = Desktop().RegisterMessageName("TaskbarCreated");
    EXPECT_GE(created, 0xC000U);
    EXPECT_EQ(Desktop().RegisterMessageName("TaskbarCreated"), created);
    EXPECT_NE(Desktop().RegisterMessageName("Other"), created);
    EXPECT_EQ(Desktop().RegisterMessageName(""), 0U);
}

// --- program -------------------------------------------------------------------------------

TEST_F(QtDesktopTest, OnlyOneCopyHoldsTheLockUntilItEnds) {
    EXPECT_FALSE(Desktop().PreviousInstanceRunning());
    EXPECT_FALSE(Desktop().PreviousInstanceRunning()) << "asking again is not a second copy";
    {
        QtDesktop second(Options());
        EXPECT_TRUE(second.PreviousInstanceRunning());
    }
    desktop.reset();
    QtDesktop third(Options());
    EXPECT_FALSE(third.PreviousInstanceRunning());
}

TEST_F(QtDesktopTest, ALockLeftByACopyThatDiedIsTakenOver) {
    // QLockFile's own format: process id, program name, host name.
    QFile stale(lockDir.filePath(QStringLiteral("tarnleaf.lock")));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write(QByteArray::number(0x3FFFFFFF) + "\n" +
                QCoreApplication::applicationName().toUtf8() + "\n" +
                QSysInfo::machineHostName().toUtf8() + "\n");
    stale.close();
    EXPECT_FALSE(Desktop().PreviousInstanceRunning());
}

TEST(QtInstanceLockTest, LivesInTheUsersRuntimeFolder) {
    TestApplication();
    QTemporaryDir runtime;
    ASSERT_TRUE(QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                          QFile::ExeOwner));
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    const QString path = QtInstanceLock::DefaultPath();
    qputenv("XDG_RUNTIME_DIR", saved);
    EXPECT_EQ(path, runtime.filePath(QStringLiteral("tarnleaf.lock")));
}

TEST_F(QtDesktopTest, ArgumentsBecomeOneTextWithBlankOrEmptyOnesQuoted) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, ""},
        {{"-NOLOG"}, "-NOLOG"},
        {{"--config", "/a b/Tarnleaf.ini", "-nolog"}, "--config \"/a b/Tarnleaf.ini\" -nolog"},
        {{"", "x"}, "\"\" x"},
        {{"設定"}, "設定"},
    };
    for (const auto& [arguments, text] : cases) {
        EXPECT_EQ(JoinCommandLine(arguments), text);
    }
    QtDesktopOptions options = Options();
    options.arguments = {"-NOLOG"};
    EXPECT_EQ(QtDesktop(options).CommandLineText(), "-NOLOG");
}

TEST_F(QtDesktopTest, QuitBeforeTheLoopMakesRunReturnAtOnce) {
    Desktop().Quit(3);
    Desktop().Quit(4);
    EXPECT_EQ(Desktop().Run(), 3);
}

TEST_F(QtDesktopTest, QuitEndsTheRunningLoopWithItsCode) {
    QtDesktop& desktopRef = Desktop();
    QTimer::singleShot(0, [&desktopRef] { desktopRef.Quit(5); });
    // Should the quit be lost, the loop still ends: the test must not hang.
    QTimer safety;
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    safety.start(5000);
    EXPECT_EQ(desktopRef.Run(), 5);
    EXPECT_FALSE(desktopRef.Window().isVisible());
}

TEST_F(QtDesktopTest, ErrorBoxShowsTheTextModally) {
    QString seen;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&seen] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seen = box->windowTitle() + "|" + box->text();
            box->accept();
        }
    });
    closer.start(10);
    QTimer safety;
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
    });
    safety.start(5000);
    Desktop().ShowErrorBox("Tarnleaf", "port 67 is in use");
    EXPECT_EQ(seen, QStringLiteral("Tarnleaf|port 67 is in use"));
}

// --- the window logic on Qt ----------------------------------------------------------------

class FormOnQt : public QtDesktopTest {
protected:
    void Start() {
        hooks = std::make_unique<modSubClass>(Desktop());
        form = std::make_unique<frmMain>(
            Desktop(), *hooks, log, [this] { ++testMessages; },
            []() -> std::optional<SocketError> { return std::nullopt; });
        Desktop().SetEvents(*form);
        form->Start();
        ProcessPendingEvents();
    }
    void TearDown() override {
        form.reset();
        hooks.reset();
        QtDesktopTest::TearDown();
    }
    // The user right-clicks the icon and picks `item` from the menu.
    void Choose(MenuItem item) {
        choice = item;
        QSystemTrayIcon* icon = Desktop().TrayIcon(Desktop().MainWindow(), form->Tray()->HookId());
        ASSERT_NE(icon, nullptr);
        emit icon->activated(QSystemTrayIcon::Context);
        ProcessPendingEvents();
        choice.reset();
    }

    LogModel log;
    int testMessages = 0;
    std::unique_ptr<modSubClass> hooks;
    std::unique_ptr<frmMain> form;
};

TEST_F(FormOnQt, StartsHiddenBehindItsTrayIcon) {
    Start();
    EXPECT_EQ(Desktop().TrayIconCount(), 1U);
    EXPECT_FALSE(Desktop().Window().isVisible());
    EXPECT_FALSE(Desktop().Window().windowIcon().isNull());
    EXPECT_EQ(Desktop().WindowOuterRect(Desktop().MainWindow()).left, 0);
}

TEST_F(FormOnQt, ConfigShowsTheWindowInTheBottomRightCornerAndHidesItAgain) {
    Start();
    Choose(MenuItem::Config);
    ASSERT_EQ(menusShown, 1);
    EXPECT_TRUE(shownMenu[2].bold);
    ASSERT_TRUE(Desktop().Window().isVisible());
    EXPECT_TRUE(Desktop().MenuAction(MenuItem::Config).isChecked());
    const PixelRect outer = Desktop().WindowOuterRect(Desktop().MainWindow());
    // Twips round trip: within a pixel of the corner.
    EXPECT_NEAR(outer.right, Desktop().ScreenWidth(), 1);
    EXPECT_NEAR(outer.bottom, Desktop().ScreenHeight(), 1);

    Choose(MenuItem::Config);
    EXPECT_FALSE(Desktop().Window().isVisible());
    EXPECT_FALSE(Desktop().MenuAction(MenuItem::Config).isChecked());
}

TEST_F(FormOnQt, MinimizeToTrayHidesTheWindowAndClearsTheCheckMark) {
    Start();
    Choose(MenuItem::Config);
    ASSERT_TRUE(Desktop().Window().isVisible());
    QTest::mouseClick(&Desktop().Window().Button(FormButton::Cancel), Qt::LeftButton);
    EXPECT_FALSE(Desktop().Window().isVisible());
    EXPECT_FALSE(Desktop().MenuAction(MenuItem::Config).isChecked());
}

TEST_F(FormOnQt, MinimisingTheShownWindowSendsItToTheTray) {
    Start();
    Choose(MenuItem::Config);
    Desktop().Window().setWindowState(Qt::WindowMinimized);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !Desktop().Window().isVisible(); }));
    EXPECT_EQ(Desktop().GetWindowState(), WindowState::Normal);
    EXPECT_FALSE(Desktop().MenuAction(MenuItem::Config).isChecked());
}

TEST_F(FormOnQt, SendTestMessageAndEditConfigReachTheirHandlers) {
    QtDesktopOptions options = Options();
    options.arguments = {"--config", "/etc/tarnleaf/Tarnleaf.ini"};
    desktop = std::make_unique<QtDesktop>(options);
    Start();
    QTest::mouseClick(&Desktop().Window().Button(FormButton::Test), Qt::LeftButton);
    EXPECT_EQ(testMessages, 1);
    QTest::mouseClick(&Desktop().Window().Button(FormButton::Edit), Qt::LeftButton);
    ASSERT_EQ(openedUrls.size(), 1U);
    EXPECT_EQ(openedUrls[0], QUrl::fromLocalFile("/etc/tarnleaf/Tarnleaf.ini"));
}

TEST_F(FormOnQt, LogToggleFromTheMenuFollowsTheCheckMark) {
    Start();
    EXPECT_TRUE(Desktop().MenuAction(MenuItem::Log).isChecked());
    Choose(MenuItem::Log);
    EXPECT_FALSE(log.LoggingEnabled());
    EXPECT_FALSE(Desktop().MenuAction(MenuItem::Log).isChecked());
    Choose(MenuItem::Log);
    EXPECT_TRUE(log.LoggingEnabled());
    EXPECT_FALSE(shownMenu[1].checked) << "the menu showed the state before the click";
}

TEST_F(FormOnQt, ExitRemovesTheIconAndEndsTheLoop) {
    Start();
    Choose(MenuItem::Exit);
    EXPECT_TRUE(Desktop().Quitting());
    EXPECT_EQ(Desktop().ExitCode(), 0);
    EXPECT_EQ(Desktop().TrayIconCount(), 0U);
    EXPECT_EQ(Desktop().Run(), 0);
}

TEST_F(FormOnQt, WithoutANotificationAreaTheWindowStaysOnScreen) {
    QtDesktopOptions options = Options();
    options.systemTrayAvailable = false;
    desktop = std::make_unique<QtDesktop>(options);
    Start();
    // The icon is there for Qt to dock once a notification area appears.
    EXPECT_EQ(Desktop().TrayIconCount(), 1U);
    EXPECT_TRUE(Desktop().Window().isVisible());
}

TEST_F(FormOnQt, LogViewFollowsTheLogWithTheCaretAtTheEnd) {
    Start();
    QPlainTextEdit& view = Desktop().Window().LogView();
    log.AppendErrorEntry("Error!\r\n10054 (reset)");
    log.AppendMessageEntry(300, "dump line\r\n", "2026/12/06 21:00:00");
    EXPECT_EQ(view.toPlainText(), DisplayText(log.Text()));
    EXPECT_EQ(view.textCursor().position(), view.document()->characterCount() - 1);
}

TEST_F(FormOnQt, LogViewDropsTheOldestEntriesAsTheLogIsTrimmed) {
    Start();
    QPlainTextEdit& view = Desktop().Window().LogView();
    Desktop().Window().show();
    const std::string dump(700, 'x');
    for (int i = 0; i < 40; ++i) {
        log.AppendMessageEntry(300, dump + "\r\n", "2026/12/06 21:00:" + std::to_string(i));
    }
    ASSERT_LT(log.Text().size(), 40U * dump.size()) << "the log was trimmed";
    EXPECT_EQ(view.toPlainText(), DisplayText(log.Text()));
    EXPECT_EQ(view.textCursor().position(), view.document()->characterCount() - 1);
    ProcessPendingEvents();
    EXPECT_EQ(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum())
        << "the newest entry is in view";
}

}  // namespace
}  // namespace tarnleaf
