// The main window and the session against real windows (under Wine, on a virtual screen).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DisplayText.h"
#include "Win32DesktopSession.h"
#include "Win32MainWindow.h"

namespace tarnleaf {
namespace {

// Journals "s" for a size notification, "c" for a close request, the button's number.
struct Events : MainWindowEvents {
    void OnResized() override { said += 's'; }
    void OnCloseRequested() override { said += 'c'; }
    void OnButtonClicked(WindowButton button) override { said += std::to_string(int(button)); }
    std::string said;
};

std::wstring Text(HWND window) {
    std::vector<wchar_t> text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1);
    GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    return text.data();
}

class Win32MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(window_.Handle(), nullptr) << "no window: is there a display?";
        window_.SetEvents(&events_);
        HDC screen = GetDC(nullptr);
        dpi_ = GetDeviceCaps(screen, LOGPIXELSX);
        ReleaseDC(nullptr, screen);
    }
    int Pixels(int twips) const { return MulDiv(twips, dpi_, 1440); }
    HWND Button(const char* caption) const {
        return FindWindowExW(window_.Handle(), nullptr, L"BUTTON", Widen(caption).c_str());
    }

    Win32MainWindow window_{GetModuleHandleW(nullptr)};
    Events events_;
    int dpi_ = 96;
};

TEST_F(Win32MainWindowTest, IsBuiltHiddenWithTheTwipsLayoutInPixelsAndTheTabOrder) {
    const HWND window = window_.Handle();
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(Text(window), L"Tarnleaf - Verion 0.1b");
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, Pixels(5820));
    EXPECT_EQ(client.bottom, Pixels(4800));

    // In tab order, from the log view on: left, top, width, height in twips.
    const struct { HWND control; int left, top, width, height; } rows[] = {
        {window_.LogView(), 120, 120, 5535, 4095},
        {Button("Send Test Message"), 2040, 4320, 1695, 375},
        {Button("Minimize To Tray"), 3960, 4320, 1695, 375},
        {Button("Edit Config"), 120, 4320, 1695, 375}};
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const auto& row = rows[i];
        RECT at{};
        GetWindowRect(row.control, &at);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&at), 2);
        const int left = Pixels(row.left), top = Pixels(row.top);
        EXPECT_EQ((PixelRect{at.left, at.top, at.right, at.bottom}),
                  (PixelRect{left, top, left + Pixels(row.width), top + Pixels(row.height)})) << i;
        EXPECT_EQ(GetNextDlgTabItem(window, row.control, FALSE),
                  rows[(i + 1) % std::size(rows)].control) << i;
    }

    const LONG_PTR style = GetWindowLongPtrW(window_.LogView(), GWL_STYLE);
    EXPECT_TRUE((style & ES_READONLY) && (style & ES_MULTILINE) && (style & WS_VSCROLL));
    EXPECT_FALSE(style & WS_HSCROLL);
}

TEST_F(Win32MainWindowTest, LogViewTakesTextAppendsAndPlacesTheCaretByByteOffset) {
    std::string text;  // more than the edit control's default limit
    for (int i = 0; i < 400; ++i) text += std::string(99, 'x') + "\r\n";
    window_.SetLogText(text);
    window_.AppendLogText("end\r\n");
    EXPECT_EQ(Text(window_.LogView()).size(), text.size() + 5);

    window_.SetLogText("date [1]\r\n");
    window_.AppendLogText("設定 \x83\x65\r\n");
    EXPECT_EQ(Text(window_.LogView()), std::wstring(L"date [1]\r\n\u8A2D\u5B9A \x83\x65\r\n"));
    // After the first line; after 設定 (six bytes, two characters); beyond the end: the end.
    const std::pair<std::size_t, DWORD> rows[] = {{10, 10}, {16, 12}, {1000, 17}};
    for (const auto& [offset, caret] : rows) {
        window_.SetLogCaret(offset);
        DWORD start = 0, end = 0;
        SendMessageW(window_.LogView(), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        EXPECT_TRUE(start == caret && end == caret) << offset << ": " << start << "-" << end;
    }
}

TEST_F(Win32MainWindowTest, FirstShowingReportsASizeAndRestoringAHiddenWindowKeepsItHidden) {
    window_.Show();
    EXPECT_TRUE(IsWindowVisible(window_.Handle()));
    EXPECT_NE(events_.said, "") << "the first showing is followed by a size notification";

    // Restoring a hidden minimised window keeps it hidden.
    window_.SetState(WindowState::Minimized);
    EXPECT_EQ(window_.State(), WindowState::Minimized);
    window_.Hide();
    window_.SetState(WindowState::Normal);
    EXPECT_EQ(window_.State(), WindowState::Normal);
    EXPECT_FALSE(IsWindowVisible(window_.Handle()));
}

TEST_F(Win32MainWindowTest, ButtonsCloseAndTheEndOfTheSessionReachTheEvents) {
    for (const char* caption : {"Edit Config", "Send Test Message", "Minimize To Tray"}) {
        SendMessageW(Button(caption), BM_CLICK, 0, 0);
    }
    SendMessageW(window_.Handle(), WM_CLOSE, 0, 0);
    SendMessageW(window_.Handle(), WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(events_.said, "012cc");  // EditConfig, SendTestMessage, MinimizeToTray
    EXPECT_TRUE(IsWindow(window_.Handle())) << "the logic decides; the window does not close";
}

TEST_F(Win32MainWindowTest, SessionIsTheOnlyInstanceAndQuitEndsTheLoopWithTheFirstCode) {
    Win32DesktopSession session(window_);
    Win32DesktopSession second(window_);
    EXPECT_FALSE(session.AnotherInstanceRunning());
    EXPECT_TRUE(second.AnotherInstanceRunning());
    const HWND window = window_.Handle();
    session.Quit(3);
    session.Quit(5);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(session.Run(), 3);
}

}  // namespace
}  // namespace tarnleaf
