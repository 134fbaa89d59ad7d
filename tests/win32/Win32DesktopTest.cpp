// The main window under Wine. Its caption, size, buttons' places, first size notification,
// single instance and the end of the loop are checked end to end.
#include <gtest/gtest.h>

#include <string>

#include "Win32DesktopSession.h"
#include "Win32MainWindow.h"
#include "WindowHookRegistry.h"

namespace tarnleaf {
namespace {

struct Events : MainWindowEvents {  // journals "c" for a close request, the button's number
    void OnResized() override {}
    void OnCloseRequested() override { said += 'c'; }
    void OnButtonClicked(WindowButton button) override { said += std::to_string(int(button)); }
    std::string said;
};

// Counts the changes of the log view's text that its window hears of.
struct ViewChanges : WindowHook {
    std::optional<LRESULT> OnWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM) override {
        if (message == WM_COMMAND && HIWORD(wParam) == EN_CHANGE) ++count;
        return std::nullopt;
    }
    int count = 0;
};

class Win32MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(window_.Handle(), nullptr) << "no window: no display?"; }
    // Long enough for the log view's changes to reach the control.
    static void TurnLoop() {
        Sleep(100);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
    Win32MainWindow window_{GetModuleHandleW(nullptr)};
};

TEST_F(Win32MainWindowTest, ReadOnlyLogViewTakesLongTextAndPlacesTheCaretByByteOffset) {
    EXPECT_TRUE(GetWindowLongPtrW(window_.LogView(), GWL_STYLE) & ES_READONLY);
    std::string lines;  // beyond the edit control's default limit
    for (int i = 0; i < 400; ++i) lines += std::string(99, 'x') + "\r\n";
    window_.SetLogText(lines);
    window_.AppendLogText("end\r\n");
    TurnLoop();
    EXPECT_EQ(GetWindowTextLengthW(window_.LogView()), static_cast<int>(lines.size()) + 5);
    window_.SetLogText("date [1]\r\n");
    window_.AppendLogText("設定 \x83\x65\r\n");
    TurnLoop();
    wchar_t shown[32] = {};
    GetWindowTextW(window_.LogView(), shown, 32);
    EXPECT_EQ(std::wstring(shown), L"date [1]\r\n\u8A2D\u5B9A \x83\x65\r\n");
    // After the first line; after 設定 (six bytes, two characters); beyond the end: the end.
    const std::pair<std::size_t, WORD> rows[] = {{10, 10}, {16, 12}, {1000, 17}};
    for (const auto& [offset, caret] : rows) {
        window_.SetLogCaret(offset);
        TurnLoop();
        EXPECT_EQ(SendMessageW(window_.LogView(), EM_GETSEL, 0, 0), MAKELRESULT(caret, caret));
    }
    window_.RemoveLogFront(10);  // the first line, as the log trims it
    window_.SetLogCaret(6);
    TurnLoop();
    GetWindowTextW(window_.LogView(), shown, 32);
    EXPECT_EQ(std::wstring(shown), L"\u8A2D\u5B9A \x83\x65\r\n");
    EXPECT_EQ(SendMessageW(window_.LogView(), EM_GETSEL, 0, 0), MAKELRESULT(2, 2));
    // A flood's entries, each trimming the one before: laid out once for them all.
    WindowHookRegistry hooks;
    ViewChanges changes;
    ASSERT_TRUE(hooks.Hook(window_.Handle(), changes));
    for (int i = 0; i < 50; ++i) {
        window_.RemoveLogFront(i == 0 ? 11 : 6);
        window_.AppendLogText("entry\n");
        window_.SetLogCaret(6);
    }
    TurnLoop();
    EXPECT_LE(changes.count, 2);
    GetWindowTextW(window_.LogView(), shown, 32);
    EXPECT_EQ(std::wstring(shown), L"entry\n");
}

TEST_F(Win32MainWindowTest, RestoringAHiddenWindowKeepsItHiddenAndTheEventsOnlyAsk) {
    window_.Show();
    window_.SetState(WindowState::Minimized);
    window_.Hide();
    window_.SetState(WindowState::Normal);
    EXPECT_TRUE(window_.State() == WindowState::Normal && !IsWindowVisible(window_.Handle()));
    Events events;
    window_.SetEvents(&events);
    for (const wchar_t* caption : {L"Edit Config", L"Send Test Message", L"Minimize To Tray"}) {
        SendMessageW(FindWindowExW(window_.Handle(), nullptr, L"BUTTON", caption), BM_CLICK, 0, 0);
    }
    SendMessageW(window_.Handle(), WM_CLOSE, 0, 0);
    SendMessageW(window_.Handle(), WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(events.said, "012cc");  // EditConfig, SendTestMessage, MinimizeToTray
    EXPECT_TRUE(IsWindow(window_.Handle())) << "the logic decides; the window does not close";
}

TEST_F(Win32MainWindowTest, TabLeavesTheLogViewAndEscapeThereClosesNothing) {
    Events events;
    window_.SetEvents(&events);
    window_.Show();
    for (const WPARAM key : {VK_ESCAPE, VK_TAB}) {
        SetFocus(window_.LogView());
        MSG press{window_.LogView(), WM_KEYDOWN, key, 1, 0, {}};
        if (!IsDialogMessageW(window_.Handle(), &press)) DispatchMessageW(&press);
        TurnLoop();
    }
    EXPECT_EQ(events.said, "") << "Escape in the log view asked to close";
    const HWND next = FindWindowExW(window_.Handle(), nullptr, L"BUTTON", L"Send Test Message");
    EXPECT_EQ(GetFocus(), next) << "Tab did not leave the log view";
}

// Enter on a focused button presses it; Enter in the log view presses none.
TEST_F(Win32MainWindowTest, EnterPressesTheFocusedButtonOnly) {
    Events events;
    window_.SetEvents(&events);
    window_.Show();
    for (const HWND target : {FindWindowExW(window_.Handle(), nullptr, L"BUTTON", L"Edit Config"),
                              window_.LogView()}) {
        SetFocus(target);
        MSG press{target, WM_KEYDOWN, VK_RETURN, 1, 0, {}};
        if (!IsDialogMessageW(window_.Handle(), &press)) DispatchMessageW(&press);
        TurnLoop();
    }
    EXPECT_EQ(events.said, "0");  // EditConfig
}

TEST_F(Win32MainWindowTest, AQuitThatANestedLoopKeepsForItselfStillEndsTheProgram) {
    Win32DesktopSession session(window_);
    struct QuitInANestedLoop : Events {  // as a menu's loop that takes the quit message
        void OnCloseRequested() override {
            session->Quit(3);
            MSG message;
            PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        }
        Win32DesktopSession* session;
    } events;
    events.session = &session;
    window_.SetEvents(&events);
    PostMessageW(window_.Handle(), WM_CLOSE, 0, 0);
    static bool stuck;
    stuck = false;
    const UINT_PTR rescue = SetTimer(nullptr, 0, 3000, [](HWND, UINT, UINT_PTR, DWORD) {
        stuck = true;
        PostQuitMessage(0);
    });
    EXPECT_EQ(session.Run(), 3);
    KillTimer(nullptr, rescue);
    EXPECT_FALSE(stuck) << "the loop waited on after the quit";
}

TEST_F(Win32MainWindowTest, OnlyALaterShowingTakesTheForeground) {
    const HWND other = CreateWindowExW(0, L"STATIC", L"another program", WS_OVERLAPPEDWINDOW,
                                       100, 100, 300, 200, nullptr, nullptr, nullptr, nullptr);
    ShowWindow(other, SW_SHOW);
    SetForegroundWindow(other);
    ASSERT_EQ(GetForegroundWindow(), other);
    struct HideAtFirstSize : Events {  // as the logic does when the tray is there
        void OnResized() override { window->Hide(); }
        Win32MainWindow* window;
    } events;
    events.window = &window_;
    window_.SetEvents(&events);
    window_.Show();  // start-up's showing
    window_.SetEvents(nullptr);
    EXPECT_EQ(GetForegroundWindow(), other);
    window_.Show();  // asked for by the user
    EXPECT_EQ(GetForegroundWindow(), window_.Handle());
    DestroyWindow(other);
}

}  // namespace
}  // namespace tarnleaf
