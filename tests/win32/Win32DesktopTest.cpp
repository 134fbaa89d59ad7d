// The main window against real windows (under Wine, on a virtual screen). Its caption and
// size, the place of "Edit Config", the first showing's size notification, single instance
// and the end of the loop are checked end to end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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
    }
    HWND Button(const wchar_t* caption) const {
        return FindWindowExW(window_.Handle(), nullptr, L"BUTTON", caption);
    }

    Win32MainWindow window_{GetModuleHandleW(nullptr)};
    Events events_;
};

TEST_F(Win32MainWindowTest, HasAReadOnlyLogViewAndTheTabOrder) {
    const HWND window = window_.Handle();
    EXPECT_TRUE(GetWindowLongPtrW(window_.LogView(), GWL_STYLE) & ES_READONLY);
    const HWND order[] = {window_.LogView(), Button(L"Send Test Message"),
                          Button(L"Minimize To Tray"), Button(L"Edit Config")};
    for (std::size_t i = 0; i < std::size(order); ++i) {
        EXPECT_EQ(GetNextDlgTabItem(window, order[i], FALSE), order[(i + 1) % std::size(order)])
            << i;
    }
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

TEST_F(Win32MainWindowTest, RestoringAHiddenWindowKeepsItHiddenAndTheEventsOnlyAsk) {
    window_.Show();
    window_.SetState(WindowState::Minimized);
    window_.Hide();
    window_.SetState(WindowState::Normal);
    EXPECT_EQ(window_.State(), WindowState::Normal);
    EXPECT_FALSE(IsWindowVisible(window_.Handle()));

    events_.said.clear();
    for (const wchar_t* caption : {L"Edit Config", L"Send Test Message", L"Minimize To Tray"}) {
        SendMessageW(Button(caption), BM_CLICK, 0, 0);
    }
    SendMessageW(window_.Handle(), WM_CLOSE, 0, 0);
    SendMessageW(window_.Handle(), WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(events_.said, "012cc");  // EditConfig, SendTestMessage, MinimizeToTray
    EXPECT_TRUE(IsWindow(window_.Handle())) << "the logic decides; the window does not close";
}

}  // namespace
}  // namespace tarnleaf
