#include "QtDesktop.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QFile>
#include <QFontMetrics>
#include <QScrollBar>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "QtScreenGeometry.h"
#include "QtTestSupport.h"

namespace tarnleaf {
namespace {

using namespace tarnleaf::testing;
using Strings = std::vector<std::string>;
using Message = std::tuple<std::uint32_t, WParam, LParam>;

// What the window reports, in order; `onResize` answers a size notification as the logic may.
struct RecordingEvents : DesktopEvents {
    void OnResize() override {
        calls.push_back("Resize");
        onResize();
    }
    void OnCloseRequest() override { calls.push_back("Close"); }
    void OnMenuClick(MenuItem i) override { calls.push_back("Menu" + Number(i)); }
    void OnButtonClick(FormButton b) override { calls.push_back("Button" + Number(b)); }
    static std::string Number(auto value) { return std::to_string(static_cast<int>(value)); }
    Strings calls;
    std::function<void()> onResize = [] {};
};

class QtDesktopTest : public ::testing::Test {
protected:
    QtDesktopTest() {
        TestApplication();
        desktop = std::make_unique<QtDesktop>(Options());
        desktop->SetEvents(events);
        window = desktop->MainWindow();
    }
    ~QtDesktopTest() override {
        desktop.reset();
        ClearPendingQuit();
    }
    QtDesktopOptions Options() {
        QtDesktopOptions options;
        options.lockFilePath = lockDir.filePath(QStringLiteral("tarnleaf.lock"));
        options.runMenu = [this](QMenu& menu, const QPoint&) { return RunMenu(menu); };
        return options;
    }
    // Notes the menu as the user sees it ("[x]": checked, "*": bold) and picks `choice`,
    // toggling it as QMenu does a checkable item.
    QAction* RunMenu(QMenu& menu) {
        shownMenu.clear();
        for (QAction* action : menu.actions()) {
            shownMenu.push_back(action->text().toStdString() + (action->isChecked() ? "[x]" : "") +
                                (action->font().bold() ? "*" : ""));
        }
        if (choice && desktop->MenuAction(*choice).isCheckable()) {
            desktop->MenuAction(*choice).toggle();
        }
        return choice ? &desktop->MenuAction(*choice) : nullptr;
    }
    // Records every message that reaches the main window's procedure, then runs `also`.
    void InstallProbe(std::function<void()> also = [] {}) {
        desktop->InstallWindowProc(window, [this, also](auto, auto message, auto w, auto l) {
            delivered.emplace_back(message, w, l);
            also();
            return MessageResult{0};
        });
    }
    // The icon record of the tray logic: the program icon and its tip, id 7.
    NotifyIconData IconRecord() {
        NotifyIconData record{.hWnd = window, .uID = 7, .hIcon = desktop->LoadProgramIcon()};
        const std::u16string_view tip = u"Bootp Server for Win";
        std::copy(tip.begin(), tip.end(), record.szTip.begin());
        return record;
    }
    bool Notify(NotifyIconMessage message, const NotifyIconData& record) {
        return desktop->ShellNotifyIcon(message, record);
    }
    QPushButton& Button(FormButton which) { return desktop->Window().Button(which); }

    QTemporaryDir lockDir;
    RecordingEvents events;
    std::unique_ptr<QtDesktop> desktop;
    WindowHandle window = 0;
    std::optional<MenuItem> choice;
    Strings shownMenu;
    std::vector<Message> delivered;
};

TEST_F(QtDesktopTest, WindowHasAFixedSizeAndTabGoesFromTheLogViewThroughTheButtonsAndBack) {
    QtMainWindow& form = desktop->Window();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Tarnleaf - Verion 0.1b"));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_EQ(form.width(), TwipsToPixels(5820, desktop->TwipsPerPixelX()));
    EXPECT_EQ(form.height(), TwipsToPixels(4800, desktop->TwipsPerPixelY()));
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form, 2000));
    form.LogView().setFocus();
    const std::vector<QWidget*> order = {&Button(FormButton::Test), &Button(FormButton::Cancel),
                                         &Button(FormButton::Edit), &form.LogView()};
    for (QWidget* next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
    }
}

TEST_F(QtDesktopTest, LogViewIsReadOnlyButCopyableAndItsLatinColumnsLineUp) {
    QPlainTextEdit& view = desktop->Window().LogView();
    desktop->ViewSetText("date [x]\r\nsize [300]\r\n");
    QTest::keyClicks(&view, "typed");
    view.selectAll();
    view.copy();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("date [x]\nsize [300]\n"));
    // At 9 points; fonts with wide CJK glyphs do not call themselves fixed-pitch, but the
    // dump's columns only need Latin letters and digits to line up.
    EXPECT_EQ(view.font().pointSize(), 9);
    const QFontMetrics metrics(view.font());
    for (const QChar c : QStringLiteral("W0.[")) {
        EXPECT_EQ(metrics.horizontalAdvance(c), metrics.horizontalAdvance('i'));
    }
}

TEST_F(QtDesktopTest, AppendedTextGoesToTheEndAndTheCaretMapsByteOffsets) {
    QPlainTextEdit& view = desktop->Window().LogView();
    desktop->ViewSetText("Ab\r\n");
    desktop->ViewAppend("設定\r\nxy");
    EXPECT_EQ(view.toPlainText(), QStringLiteral("Ab\n設定\nxy"));
    desktop->ViewSetCaret(4 + 3);  // after "Ab\r\n" and the first character of "設定"
    EXPECT_EQ(view.textCursor().position(), 4);
    EXPECT_FALSE(view.textCursor().hasSelection());
    // A long line wraps; the caret at the end keeps the newest text in view.
    desktop->Window().show();
    desktop->ViewAppend(std::string(30000, 'x'));
    desktop->ViewSetCaret(40000);
    EXPECT_EQ(view.textCursor().position(), view.document()->characterCount() - 1);
    ProcessPendingEvents();
    EXPECT_GT(view.verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());
}

TEST_F(QtDesktopTest, ButtonsAndTheCloseBoxOnlyReportToTheEvents) {
    for (const FormButton button : {FormButton::Edit, FormButton::Test, FormButton::Cancel}) {
        QTest::mouseClick(&Button(button), Qt::LeftButton);
    }
    desktop->Window().show();
    desktop->Window().close();
    EXPECT_EQ(events.calls, (Strings{"Button0", "Button1", "Button2", "Close"}));
    EXPECT_TRUE(desktop->Window().isVisible()) << "the close box only asks";
}

TEST_F(QtDesktopTest, SizeNotificationsComeAfterTheFirstShowingAndFromTheLoopAndMayHide) {
    events.onResize = [this] { desktop->SetWindowVisible(false); };  // as the logic may
    desktop->SetWindowVisible(true);
    ProcessPendingEvents();
    EXPECT_EQ(events.calls, Strings{"Resize"}) << "one after the first showing";
    EXPECT_FALSE(desktop->Window().isVisible());
    for (const WindowState state : {WindowState::Minimized, WindowState::Maximized}) {
        events.onResize = [] {};
        desktop->SetWindowVisible(true);
        EXPECT_EQ(desktop->GetWindowState(), WindowState::Normal) << "shown in its normal state";
        events.calls.clear();
        events.onResize = [this] { desktop->SetWindowVisible(false); };
        desktop->SetWindowState(state);
        EXPECT_EQ(desktop->GetWindowState(), state);
        EXPECT_TRUE(events.calls.empty()) << "not from inside Qt's event handler";
        EXPECT_TRUE(ProcessEventsUntil([&] { return !desktop->Window().isVisible(); }));
    }
}

TEST_F(QtDesktopTest, WindowPlaceIsTwipsOfItsOuterFrame) {
    desktop->SetWindowLeft(1500);
    desktop->SetWindowTop(3000);
    const PixelRect outer = desktop->WindowOuterRect(window);
    EXPECT_EQ(outer.left, TwipsToPixels(1500, desktop->TwipsPerPixelX()));
    EXPECT_EQ(outer.top, TwipsToPixels(3000, desktop->TwipsPerPixelY()));
    EXPECT_EQ(outer.right - outer.left, desktop->Window().frameGeometry().width());
    EXPECT_EQ(desktop->WindowOuterRect(window + 1), PixelRect{});
}

TEST_F(QtDesktopTest, MenuShowsCheckMarksAndTheDefaultInBoldAndLeavesTheMarksToTheLogic) {
    desktop->SetMenuChecked(MenuItem::Log, true);
    desktop->ShowPopupMenu(MenuItem::Exit);
    EXPECT_EQ(shownMenu, (Strings{"設定", "ログ[x]", "終了*"}));
    EXPECT_TRUE(events.calls.empty()) << "a cancelled menu chooses nothing";
    choice = MenuItem::Log;
    desktop->ShowPopupMenu(MenuItem::Config);
    EXPECT_EQ(shownMenu, (Strings{"設定*", "ログ[x]", "終了"}));
    EXPECT_EQ(events.calls, Strings{"Menu1"});
    EXPECT_TRUE(desktop->MenuAction(MenuItem::Log).isChecked());
}

TEST_F(QtDesktopTest, NotifyIconAddsChangesAndRemovesOneQtTrayIconOfTheMainWindow) {
    NotifyIconData record = IconRecord();
    EXPECT_TRUE(Notify(NotifyIconMessage::Add, record));
    EXPECT_FALSE(Notify(NotifyIconMessage::Add, record)) << "already there";
    QSystemTrayIcon* tray = desktop->TrayIcon(window, 7);
    ASSERT_NE(tray, nullptr);
    EXPECT_EQ(tray->toolTip(), QStringLiteral("Bootp Server for Win"));
    EXPECT_FALSE(tray->icon().isNull()) << "the program icon resource is missing";
    record.szTip = {u'x'};
    EXPECT_TRUE(Notify(NotifyIconMessage::Modify, record));
    EXPECT_EQ(tray->toolTip(), QStringLiteral("x"));
    EXPECT_TRUE(Notify(NotifyIconMessage::Delete, record));
    EXPECT_EQ(desktop->TrayIconCount(), 0U);
    EXPECT_FALSE(Notify(NotifyIconMessage::Modify, record)) << "gone";
    record.hWnd += 1;
    EXPECT_FALSE(Notify(NotifyIconMessage::Add, record)) << "not a window it knows";
}

TEST_F(QtDesktopTest, TrayActivationsArriveFromTheLoopAsTheShellsMouseNotifications) {
    ASSERT_TRUE(Notify(NotifyIconMessage::Add, IconRecord()));
    InstallProbe();
    const std::pair<QSystemTrayIcon::ActivationReason, std::vector<LParam>> rows[] = {
        {QSystemTrayIcon::Trigger, {0x201, 0x202}},      // left press, release
        {QSystemTrayIcon::DoubleClick, {0x203, 0x202}},  // double click, release
        {QSystemTrayIcon::Context, {0x204, 0x205}},      // right press, release
        {QSystemTrayIcon::MiddleClick, {0x207, 0x208}},  // middle press, release
        {QSystemTrayIcon::Unknown, {}}};
    for (const auto& [reason, notifications] : rows) {
        delivered.clear();
        emit desktop->TrayIcon(window, 7)->activated(reason);
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
    emit desktop->TrayIcon(window, 7)->activated(QSystemTrayIcon::Context);
    ProcessPendingEvents();
    EXPECT_EQ(delivered, (std::vector<Message>{{NotifyIconData::kCallbackMessage, 7, 0x204}}));
}

TEST_F(QtDesktopTest, InstalledProceduresChainAndComeOffInAnyOrderButOnlyOnTheMainWindow) {
    EXPECT_EQ(desktop->InstallWindowProc(window + 1, [](auto...) { return 1; }), 0U);
    EXPECT_EQ(desktop->InstallWindowProc(window, WindowProcedure{}), 0U);
    const WindowProcHandle own = desktop->InstallWindowProc(window, [](auto...) { return 5; });
    EXPECT_EQ(own, QtDesktop::kOwnProcedure);
    const WindowProcHandle first = desktop->InstallWindowProc(window, [](auto...) { return 6; });
    EXPECT_EQ(desktop->Deliver(window, 0x401, 0, 0), 6);
    EXPECT_EQ(desktop->CallPreviousWindowProc(first, window, 0x401, 0, 0), 5);
    EXPECT_EQ(desktop->CallPreviousWindowProc(own, window, 0x401, 0, 0), 0);
    // The older one leaves first: the newer one now hands on to the window's own...
    desktop->RestoreWindowProc(window, own);
    EXPECT_EQ(desktop->CallPreviousWindowProc(first, window, 0x401, 0, 0), 0);
    desktop->RestoreWindowProc(window, first);  // no longer in the chain: nothing happens
    EXPECT_EQ(desktop->Deliver(window, 0x401, 0, 0), 6);
    desktop->RestoreWindowProc(window, own);  // ...and comes off when restored to it
    EXPECT_EQ(desktop->Deliver(window, 0x401, 0, 0), 0);
}

TEST_F(QtDesktopTest, PostedMessagesArriveFromTheLoopInOrderAndNamesKeepTheirNumbers) {
    InstallProbe();
    desktop->PostWindowMessage(window, 0, 1, 2);
    desktop->PostWindowMessage(window, 0x401, 3, 4);
    EXPECT_TRUE(delivered.empty());
    ProcessPendingEvents();
    EXPECT_EQ(delivered, (std::vector<Message>{{0, 1, 2}, {0x401, 3, 4}}));
    const std::uint32_t created = desktop->RegisterMessageName("TaskbarCreated");
    EXPECT_NE(desktop->RegisterMessageName("Other"), created);
    EXPECT_EQ(desktop->RegisterMessageName("TaskbarCreated"), created);
    EXPECT_EQ(desktop->RegisterMessageName(""), 0U);
}

TEST_F(QtDesktopTest, OneLiveCopyHoldsTheLockUntilItEndsAndADeadCopysLockIsTakenOver) {
    // QLockFile's own format (process id, program name, host name), of a process long gone.
    QFile stale(lockDir.filePath(QStringLiteral("tarnleaf.lock")));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("1073741823\n" + QCoreApplication::applicationName().toUtf8() + "\n" +
                QSysInfo::machineHostName().toUtf8() + "\n");
    stale.close();
    EXPECT_FALSE(desktop->PreviousInstanceRunning());
    EXPECT_FALSE(desktop->PreviousInstanceRunning()) << "asking again is not a second copy";
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
        {{}, ""}, {{"", "x"}, "\"\" x"}, {{"a\tb", "設定"}, "\"a\tb\" 設定"},
        {{"--config", "/a b/Tarnleaf.ini", "-nolog"}, "--config \"/a b/Tarnleaf.ini\" -nolog"}};
    for (const auto& [arguments, text] : cases) {
        EXPECT_EQ(JoinCommandLine(arguments), text);
    }
}

TEST_F(QtDesktopTest, QuitEndsTheLoopWithTheFirstCodeEvenBeforeItRuns) {
    desktop->Quit(3);
    desktop->Quit(4);
    EXPECT_EQ(desktop->Run(), 3);
    ClearPendingQuit();
    desktop = std::make_unique<QtDesktop>(Options());
    desktop->Window().show();
    QObject guard;
    QTimer::singleShot(0, &guard, [this] { desktop->Quit(5); });
    QTimer::singleShot(5000, &guard, [] { QCoreApplication::exit(99); });  // never hang
    EXPECT_EQ(desktop->Run(), 5);
    EXPECT_FALSE(desktop->Window().isVisible());
}

}  // namespace
}  // namespace tarnleaf
