#include "QtMainWindow.h"

#include <gtest/gtest.h>

#include <string>

#include "QtTestSupport.h"

namespace tarnleaf {
namespace {

// Journals "s" for a size notification, "c" for a close request, the button's number.
struct Events : MainWindowEvents {
    void OnResized() override { said += 's'; }
    void OnCloseRequested() override { said += 'c'; }
    void OnButtonClicked(WindowButton button) override { said += std::to_string(int(button)); }
    std::string said;
};

class QtMainWindowTest : public ::testing::Test {
protected:
    QtMainWindowTest() { window.SetEvents(&events); }
    QApplication& application = testing::TestApplication();  // before the window
    QtMainWindow window;
    Events events;
};

// Sizes and places are checked end to end, where the buttons are clicked by their twips.
TEST_F(QtMainWindowTest, HasItsCaptionAndTabOrder) {
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Tarnleaf - Verion 0.1b"));
    QWidget* next = &window.LogView();
    for (const WindowButton b : {WindowButton::SendTestMessage, WindowButton::MinimizeToTray,
                                 WindowButton::EditConfig}) {
        do next = next->nextInFocusChain();
        while ((next->focusPolicy() & Qt::TabFocus) == 0);
        EXPECT_EQ(next, &window.Button(b));
    }
    EXPECT_EQ(TwipsToPixels(1440, 0.0), 96) << "a screen without dots per inch counts as 96";
}

TEST_F(QtMainWindowTest, LogViewIsReadOnlyAndItsCaretFollowsTheLogsByteOffsets) {
    const std::string text = "date [設定]\r\nx\r\n";
    window.SetLogText(text);
    window.AppendLogText("Error!\r\n");
    window.SetLogCaret(text.size());  // before "Error!": 18 bytes, 12 characters
    EXPECT_EQ(window.LogView().textCursor().position(), 12);
    EXPECT_TRUE(window.LogView().isReadOnly());
    EXPECT_EQ(window.LogView().toPlainText(), QStringLiteral("date [設定]\nx\n" "Error!\n"));
}

TEST_F(QtMainWindowTest, ReportsTheFirstShowingOnceButtonsAndTheCloseBoxWithoutClosing) {
    window.Show();
    EXPECT_EQ(events.said, "s");
    window.Hide();
    window.Show();  // later showings report only what changes
    testing::ProcessEventsUntil([] { return false; }, 50);
    window.Button(WindowButton::MinimizeToTray).click();
    window.close();
    EXPECT_TRUE(window.isVisible());
    window.SetState(WindowState::Minimized);  // reported from the loop
    EXPECT_EQ(window.State(), WindowState::Minimized);
    EXPECT_TRUE(testing::ProcessEventsUntil([&] { return events.said.size() == 4; }));
    EXPECT_EQ(events.said, "s2cs");
}

}  // namespace
}  // namespace tarnleaf
