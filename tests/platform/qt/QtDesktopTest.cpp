#include "platform/qt/QtDesktop.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QFile>
#include <QFontMetrics>
#include <QScreen>
#include <QScrollBar>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/qt/QtLogText.h"
#include "platform/qt/QtScreenGeometry.h"
#include "platform/qt/QtTestSupport.h"
#include "server/LogModel.h"
#include "shell/modSubClass.h"
#include "ui/FormLayout.h"
#include "ui/frmMain.h"

namespace tarnleaf {
namespace {

using namespace tarnleaf::testing;
using Strings = std::vector<std::string>;
using Message = std::tuple<std::uint32_t, WParam, LParam>;

// What the window reports, in order; `onResize` answers a size notification as the logic may.
struct RecordingEvents : DesktopEvents {
    void OnResize() override {
        calls.push_back("Resize");
        if (onResize) {
            onResize();
        }
    }
    void OnCloseRequest() override { calls.push_back("Close"); }
    void OnMenuClick(MenuItem i) override { calls.push_back("Menu" + Number(i)); }
    void OnButtonClick(FormButton b) override { calls.push_back("Button" + Number(b)); }
    static std::string Number(auto value) { return std::to_string(static_cast<int>(value)); }
    Strings calls;
    std::function<void()> onResize;
};

class QtDesktopTest : public ::testing::Test {
protected:
    QtDesktopTest() { TestApplication(); }
    void TearDown() override {
        desktop.reset();
        ClearPendingQuit();
    }
    QtDesktopOptions Options() {
        QtDesktopOptions options;
        options.lockFilePath = lockDir.filePath(QStringLiteral("tarnleaf.lock"));
        options.runMenu = [this](QMenu& menu, const QPoint&) { return RunMenu(menu); };
        options.systemTrayAvailable = true;
        return options;
    }
    QtDesktop& Desktop() {
        if (!desktop) {
            desktop = std::make_unique<QtDesktop>(Options());
            desktop->SetEvents(events);
        }
        return *desktop;
    }
    // Notes the menu as the user sees it ("[x]": checked, "*": bold) and picks `choice`,
    // toggling it as QMenu does a checkable item.
    QAction* RunMenu(QMenu& menu) {
        shownMenu.clear();
        for (QAction* action : menu.actions()) {
            shownMenu.push_back(action->text().toStdString() + (action->isChecked() ? "[x]" : "") +
                                (action->font().bold() ? "*" : ""));
        }
        QAction* chosen = choice ? &desktop->MenuAction(*choice) : nullptr;
        if (chosen != nullptr && chosen->isCheckable()) {
            chosen->toggle();
        }
        return chosen;
    }
    // Records every message that reaches the main window's procedure, then runs `also`.
    void InstallProbe(std::function<void()> also = [] {}) {
        Desktop().InstallWindowProc(Desktop().MainWindow(), [this, also](auto, auto m, auto w, auto l) {
            delivered.emplace_back(m, w, l);
            also();
            return MessageResult{0};
        });
    }
    NotifyIconData IconRecord() {
        NotifyIconData record;
        record.hWnd = Desktop().MainWindow();
        record.uID = 7;
        record.hIcon = Desktop().LoadProgramIcon();
        const std::u16string_view tip = u"Bootp Server for Win";
        std::copy(tip.begin(), tip.end(), record.szTip.begin());
        return record;
    }
    bool Notify(NotifyIconMessage message, const NotifyIconData& record) {
        return Desktop().ShellNotifyIcon(message, record);
    }
    QPushButton& Button(FormButton which) { return Desktop().Window().Button(which); }

    QTemporaryDir lockDir;
    RecordingEvents events;
    std::unique_ptr<QtDesktop> desktop;
    std::optional<MenuItem> choice;
    Strings shownMenu;
    std::vector<Message> delivered;
};

TEST_F(QtDesktopTest, WindowHasItsCaptionFixedSizeAndControlsAtTheirTwipPositions) {
    QtMainWindow& window = Desktop().Window();
    const float tx = Desktop().TwipsPerPixelX();
    const float ty = Desktop().TwipsPerPixelY();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Tarnleaf - Verion 0.1b"));
    const QSize client(TwipsToPixels(5820, tx), TwipsToPixels(4800, ty));
    EXPECT_EQ(window.minimumSize(), client);
    EXPECT_EQ(window.maximumSize(), client);
    const std::tuple<QWidget*, form_layout::Control, QString> controls[] = {
        {&window.LogView(), form_layout::kLogView, ""},
        {&Button(FormButton::Test), form_layout::kTestButton, "Send Test Message"},
        {&Button(FormButton::Cancel), form_layout::kCancelButton, "Minimize To Tray"},
        {&Button(FormButton::Edit), form_layout::kEditButton, "Edit Config"}};
    for (const auto& [widget, at, caption] : controls) {
        EXPECT_EQ(widget->geometry(), QRect(TwipsToPixels(at.left, tx), TwipsToPixels(at.top, ty),
                                            TwipsToPixels(at.width, tx), TwipsToPixels(at.height, ty)));
        EXPECT_EQ(widget->property("text").toString(), caption);
    }
}

TEST_F(QtDesktopTest, TabGoesFromTheLogViewThroughTestCancelAndEditBackToTheView) {
    QtMainWindow& window = Desktop().Window();
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window, 2000));
    window.LogView().setFocus();
    for (QWidget* next : std::vector<QWidget*>{&Button(FormButton::Test), &Button(FormButton::Cancel),
                                               &Button(FormButton::Edit), &window.LogView()}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
    }
    window.hide();
}

TEST_F(QtDesktopTest, LogViewCannotBeTypedIntoButItsTextCanBeCopied) {
    QPlainTextEdit& view = Desktop().Window().LogView();
    Desktop().ViewSetText("date [x]\r\nsize [300]\r\n");
    QTest::keyClicks(&view, "typed");
    QTest::keyClick(&view, Qt::Key_Delete);
    view.selectAll();
    view.copy();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("date [x]\nsize [300]\n"));
}

TEST_F(QtDesktopTest, LogViewUsesANinePointFontWhoseLatinColumnsLineUp) {
    // Fonts with wide CJK glyphs do not call themselves fixed-pitch; the dump's columns only
    // need Latin letters and digits to line up.
    const QFont font = Desktop().Window().LogView().font();
    EXPECT_EQ(font.pointSize(), 9);
    for (const QChar c : QStringLiteral("W0.[")) {
        EXPECT_EQ(QFontMetrics(font).horizontalAdvance(c), QFontMetrics(font).horizontalAdvance('i'));
    }
}

TEST_F(QtDesktopTest, ButtonsAndTheCloseBoxOnlyReportToTheEvents) {
    for (const FormButton button : {FormButton::Edit, FormButton::Test, FormButton::Cancel}) {
        QTest::mouseClick(&Button(button), Qt::LeftButton);
    }
    Desktop().Window().close();
    EXPECT_EQ(events.calls, (Strings{"Button0", "Button1", "Button2", "Close"}));
    EXPECT_FALSE(Desktop().Quitting());
}

TEST_F(QtDesktopTest, FirstShowingIsFollowedByOneSizeNotificationThatMayHideTheWindow) {
    events.onResize = [this] { Desktop().SetWindowVisible(false); };  // as start-up does
    Desktop().SetWindowVisible(true);
    ProcessPendingEvents();
    EXPECT_EQ(events.calls, Strings{"Resize"});
    EXPECT_FALSE(Desktop().Window().isVisible());
}

TEST_F(QtDesktopTest, GeometryIsThePrimaryScreensAndTheWindowPlaceIsTwipsOfItsFrame) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(Desktop().ScreenWidth(), screen.width());
    EXPECT_EQ(Desktop().ScreenHeight(), screen.height());
    Desktop().SetWindowLeft(1500);
    Desktop().SetWindowTop(3000);
    const PixelRect outer = Desktop().WindowOuterRect(Desktop().MainWindow());
    EXPECT_EQ(outer.left, TwipsToPixels(1500, Desktop().TwipsPerPixelX()));
    EXPECT_EQ(outer.top, TwipsToPixels(3000, Desktop().TwipsPerPixelY()));
    EXPECT_EQ(outer.right - outer.left, Desktop().Window().frameGeometry().width());
    EXPECT_EQ(Desktop().WindowOuterRect(Desktop().MainWindow() + 1), PixelRect{});
}

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

TEST_F(QtDesktopTest, MenuShowsCheckMarksAndTheDefaultInBoldAndLeavesTheMarksToTheLogic) {
    Desktop().SetMenuChecked(MenuItem::Log, true);
    Desktop().ShowPopupMenu(MenuItem::Exit);
    EXPECT_EQ(shownMenu, (Strings{"設定", "ログ[x]", "終了*"}));
    EXPECT_TRUE(events.calls.empty()) << "a cancelled menu chooses nothing";
    choice = MenuItem::Log;
    Desktop().ShowPopupMenu(MenuItem::Config);
    EXPECT_EQ(shownMenu, (Strings{"設定*", "ログ[x]", "終了"}));
    EXPECT_EQ(events.calls, Strings{"Menu1"});
    EXPECT_TRUE(Desktop().MenuAction(MenuItem::Log).isChecked());
}

TEST_F(QtDesktopTest, NotifyIconAddsChangesAndRemovesOneQtTrayIconOfTheMainWindow) {
    NotifyIconData record = IconRecord();
    ASSERT_NE(record.hIcon, 0U) << "the program icon resource is missing";
    EXPECT_TRUE(Notify(NotifyIconMessage::Add, record));
    EXPECT_FALSE(Notify(NotifyIconMessage::Add, record)) << "already there";
    QSystemTrayIcon* tray = Desktop().TrayIcon(record.hWnd, record.uID);
    ASSERT_NE(tray, nullptr);
    EXPECT_EQ(tray->toolTip(), QStringLiteral("Bootp Server for Win"));
    EXPECT_FALSE(tray->icon().isNull());
    record.szTip = {u'x'};
    EXPECT_TRUE(Notify(NotifyIconMessage::Modify, record));
    EXPECT_EQ(tray->toolTip(), QStringLiteral("x"));
    EXPECT_TRUE(Notify(NotifyIconMessage::Delete, record));
    EXPECT_EQ(Desktop().TrayIconCount(), 0U);
    EXPECT_FALSE(Notify(NotifyIconMessage::Delete, record));
    EXPECT_FALSE(Notify(NotifyIconMessage::Modify, record));
    record.hWnd += 1;
    EXPECT_FALSE(Notify(NotifyIconMessage::Add, record)) << "not a window it knows";
}

TEST_F(QtDesktopTest, TrayActivationsArriveFromTheLoopAsTheShellsMouseNotifications) {
    const NotifyIconData record = IconRecord();
    ASSERT_TRUE(Notify(NotifyIconMessage::Add, record));
    InstallProbe();
    const std::pair<QSystemTrayIcon::ActivationReason, std::vector<LParam>> rows[] = {
        {QSystemTrayIcon::Trigger, {0x201, 0x202}},      // left press, release
        {QSystemTrayIcon::DoubleClick, {0x203, 0x202}},  // double click, release
        {QSystemTrayIcon::Context, {0x204, 0x205}},      // right press, release
        {QSystemTrayIcon::MiddleClick, {0x207, 0x208}},  // middle press, release
        {QSystemTrayIcon::Unknown, {}}};
    for (const auto& [reason, notifications] : rows) {
        delivered.clear();
        emit Desktop().TrayIcon(record.hWnd, record.uID)->activated(reason);
        EXPECT_TRUE(delivered.empty()) << "not from inside Qt's handler";
        ProcessPendingEvents();
        std::vector<Message> expected;
        for (const LParam notification : notifications) {
            expected.emplace_back(NotifyIconData::kCallbackMessage, 7, notification);
        }
        EXPECT_EQ(delivered, expected) << "reason " << reason;
    }
}

TEST_F(QtDesktopTest, IconRemovedByTheFirstNotificationGetsNoSecond) {
    const NotifyIconData record = IconRecord();
    ASSERT_TRUE(Notify(NotifyIconMessage::Add, record));
    InstallProbe([&] { Notify(NotifyIconMessage::Delete, record); });
    emit Desktop().TrayIcon(record.hWnd, record.uID)->activated(QSystemTrayIcon::Context);
    ProcessPendingEvents();
    EXPECT_EQ(delivered, (std::vector<Message>{{NotifyIconData::kCallbackMessage, 7, 0x204}}));
}

TEST_F(QtDesktopTest, InstalledProceduresChainAndComeOffInAnyOrder) {
    const WindowHandle window = Desktop().MainWindow();
    const WindowHandle other = window + 1;
    EXPECT_EQ(Desktop().InstallWindowProc(other, [](auto...) { return MessageResult{1}; }), 0U);
    EXPECT_EQ(Desktop().InstallWindowProc(window, WindowProcedure{}), 0U);
    const auto returns = [](MessageResult result) { return [result](auto...) { return result; }; };
    const WindowProcHandle own = Desktop().InstallWindowProc(window, returns(5));
    EXPECT_EQ(own, QtDesktop::kOwnProcedure);
    const WindowProcHandle first = Desktop().InstallWindowProc(window, returns(6));
    EXPECT_EQ(Desktop().Deliver(window, 0x401, 0, 0), 6);
    EXPECT_EQ(Desktop().Deliver(other, 0x401, 0, 0), 0);
    EXPECT_EQ(Desktop().CallPreviousWindowProc(first, window, 0x401, 0, 0), 5);
    EXPECT_EQ(Desktop().CallPreviousWindowProc(own, window, 0x401, 0, 0), 0);
    EXPECT_EQ(Desktop().CallPreviousWindowProc(999, window, 0x401, 0, 0), 0);
    // The older one leaves first: the newer one now hands on to the window's own.
    Desktop().RestoreWindowProc(window, own);
    EXPECT_EQ(Desktop().Deliver(window, 0x401, 0, 0), 6);
    EXPECT_EQ(Desktop().CallPreviousWindowProc(first, window, 0x401, 0, 0), 0);
    Desktop().RestoreWindowProc(window, first);  // no longer in the chain: nothing happens
    Desktop().RestoreWindowProc(window, 0);
    EXPECT_EQ(Desktop().Deliver(window, 0x401, 0, 0), 6);
}

TEST_F(QtDesktopTest, PostedMessagesArriveFromTheLoopInOrderAndNamesKeepTheirNumbers) {
    InstallProbe();
    Desktop().PostWindowMessage(Desktop().MainWindow(), 0, 1, 2);
    Desktop().PostWindowMessage(Desktop().MainWindow(), 0x401, 3, 4);
    EXPECT_TRUE(delivered.empty());
    ProcessPendingEvents();
    EXPECT_EQ(delivered, (std::vector<Message>{{0, 1, 2}, {0x401, 3, 4}}));
    const std::uint32_t created = Desktop().RegisterMessageName("TaskbarCreated");
    EXPECT_GE(created, 0xC000U);
    EXPECT_EQ(Desktop().RegisterMessageName("TaskbarCreated"), created);
    EXPECT_NE(Desktop().RegisterMessageName("Other"), created);
    EXPECT_EQ(Desktop().RegisterMessageName(""), 0U);
}

TEST_F(QtDesktopTest, OneLiveCopyHoldsTheLockUntilItEndsAndADeadCopysLockIsTakenOver) {
    // QLockFile's own format (process id, program name, host name), of a process long gone.
    QFile stale(lockDir.filePath(QStringLiteral("tarnleaf.lock")));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("1073741823\n" + QCoreApplication::applicationName().toUtf8() + "\n" +
                QSysInfo::machineHostName().toUtf8() + "\n");
    stale.close();
    EXPECT_FALSE(Desktop().PreviousInstanceRunning());
    EXPECT_FALSE(Desktop().PreviousInstanceRunning()) << "asking again is not a second copy";
    EXPECT_TRUE(QtDesktop(Options()).PreviousInstanceRunning());
    desktop.reset();
    EXPECT_FALSE(QtDesktop(Options()).PreviousInstanceRunning());
}

TEST(QtInstanceLockTest, LivesInTheUsersRuntimeFolder) {
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    EXPECT_EQ(QtInstanceLock::DefaultPath(), runtime.filePath(QStringLiteral("tarnleaf.lock")));
    qputenv("XDG_RUNTIME_DIR", saved);
}

TEST(JoinCommandLineTest, QuotesOnlyBlankOrEmptyArguments) {
    const std::pair<Strings, std::string> cases[] = {
        {{}, ""},
        {{"--config", "/a b/Tarnleaf.ini", "-nolog"}, "--config \"/a b/Tarnleaf.ini\" -nolog"},
        {{"", "x"}, "\"\" x"},
        {{"a\tb", "設定"}, "\"a\tb\" 設定"}};
    for (const auto& [arguments, text] : cases) {
        EXPECT_EQ(JoinCommandLine(arguments), text);
    }
}

TEST_F(QtDesktopTest, QuitEndsTheLoopWithTheFirstCodeEvenBeforeItRuns) {
    Desktop().Quit(3);
    Desktop().Quit(4);
    EXPECT_EQ(Desktop().Run(), 3);
    ClearPendingQuit();
    desktop.reset();
    QObject guard;
    QTimer::singleShot(0, &guard, [this] { Desktop().Quit(5); });
    QTimer::singleShot(5000, &guard, [] { QCoreApplication::exit(99); });  // never hang
    EXPECT_EQ(Desktop().Run(), 5);
    EXPECT_FALSE(Desktop().Window().isVisible());
}

// The window logic on Qt, driven as the user drives it.
class FormOnQt : public QtDesktopTest {
protected:
    void Start(bool trayAvailable = true) {
        QtDesktopOptions options = Options();
        options.systemTrayAvailable = trayAvailable;
        desktop = std::make_unique<QtDesktop>(options);
        hooks = std::make_unique<modSubClass>(Desktop());
        form = std::make_unique<frmMain>(
            Desktop(), *hooks, log, [] {}, [] { return std::optional<SocketError>(); });
        Desktop().SetEvents(*form);
        form->Start();
        ProcessPendingEvents();
    }
    void TearDown() override {
        form.reset();
        hooks.reset();
        QtDesktopTest::TearDown();
    }
    // The user right-clicks the icon and picks `item` from its menu.
    void Choose(MenuItem item) {
        choice = item;
        emit Desktop().TrayIcon(Desktop().MainWindow(), form->Tray()->HookId())->activated(
            QSystemTrayIcon::Context);
        ProcessPendingEvents();
        choice.reset();
    }
    bool Shown() { return Desktop().Window().isVisible(); }

    LogModel log;
    std::unique_ptr<modSubClass> hooks;
    std::unique_ptr<frmMain> form;
};

TEST_F(FormOnQt, ConfigShowsTheWindowInTheCornerAndEveryWayOfHidingSendsItToTheTray) {
    Start();
    EXPECT_FALSE(Shown());
    QtMainWindow& window = Desktop().Window();
    const std::pair<const char*, std::function<void()>> hides[] = {
        {"menu", [&] { Choose(MenuItem::Config); }},
        {"button", [&] { QTest::mouseClick(&Button(FormButton::Cancel), Qt::LeftButton); }},
        {"minimise", [&] { window.setWindowState(Qt::WindowMinimized); }},
        {"maximise", [&] { window.setWindowState(Qt::WindowMaximized); }}};
    for (const auto& [name, hide] : hides) {
        SCOPED_TRACE(name);
        Choose(MenuItem::Config);
        ASSERT_TRUE(Shown());
        EXPECT_EQ(shownMenu, (Strings{"設定", "ログ[x]", "終了*"}));
        EXPECT_TRUE(Desktop().MenuAction(MenuItem::Config).isChecked());
        const PixelRect outer = Desktop().WindowOuterRect(Desktop().MainWindow());
        EXPECT_NEAR(outer.right, Desktop().ScreenWidth(), 1);  // twips round trip: a pixel
        EXPECT_NEAR(outer.bottom, Desktop().ScreenHeight(), 1);
        hide();
        EXPECT_TRUE(ProcessEventsUntil([&] { return !Shown(); }));
        EXPECT_FALSE(Desktop().MenuAction(MenuItem::Config).isChecked());
        EXPECT_EQ(Desktop().GetWindowState(), WindowState::Normal);
    }
}

TEST_F(FormOnQt, WithoutANotificationAreaTheWindowStaysOnScreen) {
    Start(false);
    EXPECT_EQ(Desktop().TrayIconCount(), 1U) << "for Qt to dock once an area appears";
    EXPECT_TRUE(Shown());
}

TEST_F(FormOnQt, LogViewFollowsTheTrimmedLogWithTheNewestEntryInView) {
    Start();
    QPlainTextEdit& view = Desktop().Window().LogView();
    Desktop().Window().show();
    log.AppendErrorEntry("Error!\r\n10054 (reset)");
    for (int i = 0; i < 40; ++i) {
        log.AppendMessageEntry(300, std::string(700, 'x') + "\r\n", "2026/12/06 21:00:00");
    }
    ASSERT_LT(log.Text().size(), 40U * 700U) << "the log was trimmed";
    EXPECT_EQ(view.toPlainText(), DisplayText(log.Text()));
    EXPECT_EQ(view.textCursor().position(), view.document()->characterCount() - 1);
    ProcessPendingEvents();
    EXPECT_EQ(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());
}

}  // namespace
}  // namespace tarnleaf
