#include "QtMainWindow.h"

#include <gtest/gtest.h>

#include <QTest>

#include <string>
#include <vector>

#include "QtTestSupport.h"

namespace tarnleaf {
namespace {

using namespace tarnleaf::testing;

struct RecordingEvents : MainWindowEvents {
    void OnResized() override { calls.push_back("Resized"); }
    void OnCloseRequested() override { calls.push_back("Close"); }
    void OnButtonClicked(WindowButton b) override {
        calls.push_back("Button" + std::to_string(static_cast<int>(b)));
    }
    std::vector<std::string> calls;
};

class QtMainWindowTest : public ::testing::Test {
protected:
    QtMainWindowTest() { window.SetEvents(&events); }
    QApplication& application = TestApplication();  // before the window
    QtMainWindow window;
    RecordingEvents events;
};

TEST_F(QtMainWindowTest, LaysOutTheControlsFromTwipsAtTheScreensDotsPerInch) {
    ASSERT_DOUBLE_EQ(QGuiApplication::primaryScreen()->logicalDotsPerInchX(), 96.0);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Tarnleaf - Verion 0.1b"));
    EXPECT_EQ(window.size(), QSize(388, 320));  // 5820 x 4800 twips at 15 a pixel
    EXPECT_EQ(window.LogView().geometry(), QRect(8, 8, 369, 273));
    const struct {
        WindowButton button;
        const char* caption;
        int left;
    } rows[] = {{WindowButton::EditConfig, "Edit Config", 8},
                {WindowButton::SendTestMessage, "Send Test Message", 136},
                {WindowButton::MinimizeToTray, "Minimize To Tray", 264}};
    for (const auto& row : rows) {
        EXPECT_EQ(window.Button(row.button).text(), QString::fromLatin1(row.caption));
        EXPECT_EQ(window.Button(row.button).geometry(), QRect(row.left, 288, 113, 25));
    }
    // Tab order: the log view, "Send Test Message", "Minimize To Tray", "Edit Config".
    QWidget* next = &window.LogView();
    for (const WindowButton b : {WindowButton::SendTestMessage, WindowButton::MinimizeToTray,
                                 WindowButton::EditConfig}) {
        do {
            next = next->nextInFocusChain();
        } while ((next->focusPolicy() & Qt::TabFocus) == 0);
        EXPECT_EQ(next, &window.Button(b));
    }
    EXPECT_EQ(TwipsToPixels(1440, 0.0), 96) << "a screen without dots per inch counts as 96";
}

TEST_F(QtMainWindowTest, LogViewIsReadOnlyAndItsCaretFollowsTheLogsByteOffsets) {
    const std::string text = "date [設定]\r\nx\r\n";
    window.SetLogText(text);
    window.AppendLogText("Error!\r\n");
    EXPECT_EQ(window.LogView().toPlainText(), QStringLiteral("date [設定]\nx\n" "Error!\n"));
    window.SetLogCaret(text.size());  // before "Error!": 18 bytes, 12 characters
    EXPECT_EQ(window.LogView().textCursor().position(), 12);
    EXPECT_FALSE(window.LogView().textCursor().hasSelection());
    window.SetLogCaret(1000);
    EXPECT_EQ(window.LogView().textCursor().position(), 19);

    window.LogView().setFocus();
    QTest::keyClicks(&window.LogView(), QStringLiteral("typed"));
    QTest::keyClick(&window.LogView(), Qt::Key_Backspace);
    EXPECT_EQ(window.LogView().toPlainText(), QStringLiteral("date [設定]\nx\n" "Error!\n"));
    EXPECT_TRUE(window.LogView().textInteractionFlags() & Qt::TextSelectableByMouse);
}

TEST_F(QtMainWindowTest, ReportsTheFirstShowingOnceButtonsAndTheCloseBoxWithoutClosing) {
    window.Show();
    EXPECT_EQ(events.calls, (std::vector<std::string>{"Resized"}));
    window.MoveTo({40, 30});
    EXPECT_EQ(window.pos(), QPoint(40, 30));
    window.Hide();
    ProcessPendingEvents();
    events.calls.clear();

    window.Show();  // later showings report only what changes
    ProcessPendingEvents();
    window.Button(WindowButton::MinimizeToTray).click();
    window.close();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(events.calls, (std::vector<std::string>{"Button2", "Close"}));

    window.SetState(WindowState::Minimized);  // reported from the loop
    EXPECT_EQ(window.State(), WindowState::Minimized);
    EXPECT_TRUE(ProcessEventsUntil([&] { return events.calls.size() == 3; }));
    EXPECT_EQ(events.calls.back(), "Resized");
}

}  // namespace
}  // namespace tarnleaf
