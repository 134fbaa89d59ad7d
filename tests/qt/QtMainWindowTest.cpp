#include "QtMainWindow.h"

#include <gtest/gtest.h>

#include <string>

#include "QtTestSupport.h"

namespace tarnleaf {
namespace {

struct Events : MainWindowEvents {  // journals "s" resize, "c" close, the button's number
    void OnResized() override { said += 's'; }
    void OnCloseRequested() override { said += 'c'; }
    void OnButtonClicked(WindowButton b) override { said += std::to_string(int(b)); }
    std::string said;
};

TEST(QtMainWindowTest, LogViewIsReadOnlyAndPlacesTheCaretByTheLogsByteOffset) {
    testing::TestApplication();
    QtMainWindow window;
    const std::string text = "date [設定]\r\nx\r\n";
    window.SetLogText(text);
    window.AppendLogText("Error!\r\n");
    window.SetLogCaret(text.size());  // before "Error!": 18 bytes, 12 characters
    EXPECT_EQ(window.LogView().textCursor().position(), 12);
    EXPECT_EQ(window.LogView().toPlainText(), QStringLiteral("date [設定]\nx\n" "Error!\n"));
    window.RemoveLogFront(text.size() - 3);  // the first line, as the log trims it
    window.SetLogCaret(3);
    EXPECT_EQ(window.LogView().toPlainText(), QStringLiteral("x\nError!\n"));
    EXPECT_EQ(window.LogView().textCursor().position(), 2);
    EXPECT_TRUE(window.LogView().isReadOnly());
    EXPECT_EQ(TwipsToPixels(1440, 0.0), 96) << "a screen without dots per inch counts as 96";
}

TEST(QtMainWindowTest, ReportsTheFirstShowingOnceButtonsAndTheCloseBoxWithoutClosing) {
    testing::TestApplication();
    QtMainWindow window;
    Events events;
    window.SetEvents(&events);
    window.Show();
    testing::ProcessEventsUntil([] { return false; }, 50);
    window.Button(WindowButton::MinimizeToTray).click();
    window.close();
    EXPECT_TRUE(window.isVisible());
    window.SetState(WindowState::Minimized);  // reported from the loop
    EXPECT_EQ(window.State(), WindowState::Minimized);
    EXPECT_TRUE(testing::ProcessEventsUntil([&] { return events.said.size() == 4; }));
    EXPECT_EQ(events.said, "s2cs");
    // Sent to the tray from the minimised state, as the logic does: hidden, then normal. The
    // window stays hidden until it is shown again, then shows normal.
    window.Hide();
    window.SetState(WindowState::Normal);
    EXPECT_TRUE(window.State() == WindowState::Normal && !window.isVisible());
    window.Show();
    EXPECT_TRUE(window.isVisible() && !window.isMinimized());
}

}  // namespace
}  // namespace tarnleaf
