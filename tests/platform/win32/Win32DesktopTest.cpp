// The Win32 backend of the desktop seam against real windows (under Wine, on a virtual X
// screen). Each test builds the hidden main window afresh and drives it through the seam.
#include "platform/win32/Win32Desktop.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>


namespace tarnleaf {
namespace {

class RecordingEvents : public DesktopEvents {
public:
    void OnResize() override { ++resizes; }
    void OnCloseRequest() override { ++closeRequests; }
    void OnMenuClick(MenuItem item) override { menuClicks.push_back(item); }
    void OnButtonClick(FormButton button) override { buttonClicks.push_back(button); }

    int resizes = 0;
    int closeRequests = 0;
    std::vector<MenuItem> menuClicks;
    std::vector<FormButton> buttonClicks;
};

class Win32DesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        desktop_ = std::make_unique<Win32Desktop>(GetModuleHandleW(nullptr));
        ASSERT_NE(desktop_->MainWindow(), 0u) << "no window: is there a display?";
        desktop_->SetEvents(events_);
        window_ = reinterpret_cast<HWND>(desktop_->MainWindow());
        view_ = FindWindowExW(window_, nullptr, L"EDIT", nullptr);
        ASSERT_NE(view_, nullptr);
    }

    void TearDown() override { desktop_.reset(); }

    // Dispatches what is queued for this thread (bounded).
    static void Pump() {
        MSG message;
        for (int i = 0; i < 1000 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
            if (message.message == WM_QUIT) break;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }

    std::wstring ViewText() const {
        std::vector<wchar_t> text(static_cast<std::size_t>(GetWindowTextLengthW(view_)) + 1);
        GetWindowTextW(view_, text.data(), static_cast<int>(text.size()));
        return text.data();
    }

    DWORD Caret() const {
        DWORD start = 0, end = 0;
        SendMessageW(view_, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(start, end) << "the caret is an empty selection";
        return start;
    }

    HWND Button(const char* caption) const {
        return FindWindowExW(window_, nullptr, L"BUTTON", Widen(caption).c_str());
    }

    RecordingEvents events_;
    std::unique_ptr<Win32Desktop> desktop_;
    HWND window_ = nullptr;
    HWND view_ = nullptr;
};

TEST_F(Win32DesktopTest, WindowIsBuiltHiddenWithCaptionAndFixedLayout) {
    EXPECT_FALSE(IsWindowVisible(window_));
    wchar_t caption[64]{};
    GetWindowTextW(window_, caption, 64);
    EXPECT_EQ(std::wstring(caption), L"Tarnleaf - Verion 0.1b");

    // 5820 x 4800 twips of client area at the screen's twips per pixel.
    RECT client{};
    GetClientRect(window_, &client);
    EXPECT_NEAR(client.right, 5820 / desktop_->TwipsPerPixelX(), 1.0);
    EXPECT_NEAR(client.bottom, 4800 / desktop_->TwipsPerPixelY(), 1.0);

    // The three buttons in one row, left to right: Edit Config, Send Test Message, Minimize.
    RECT edit{}, test{}, cancel{};
    ASSERT_NE(Button("Edit Config"), nullptr);
    ASSERT_NE(Button("Send Test Message"), nullptr);
    ASSERT_NE(Button("Minimize To Tray"), nullptr);
    GetWindowRect(Button("Edit Config"), &edit);
    GetWindowRect(Button("Send Test Message"), &test);
    GetWindowRect(Button("Minimize To Tray"), &cancel);
    EXPECT_EQ(edit.top, test.top);
    EXPECT_EQ(test.top, cancel.top);
    EXPECT_LT(edit.right, test.left);
    EXPECT_LT(test.right, cancel.left);

    const LONG_PTR style = GetWindowLongPtrW(view_, GWL_STYLE);
    EXPECT_TRUE(style & ES_READONLY);
    EXPECT_TRUE(style & ES_MULTILINE);
    EXPECT_TRUE(style & WS_VSCROLL);
    EXPECT_FALSE(style & WS_HSCROLL);
}

TEST_F(Win32DesktopTest, LogViewTakesTextAppendsAndPlacesTheCaretByByteOffset) {
    desktop_->ViewSetText("date [1]\r\n");
    desktop_->ViewAppend("設定 \x83\x65\r\n");
    EXPECT_EQ(ViewText(), std::wstring(L"date [1]\r\n\u8A2D\u5B9A \x83\x65\r\n"));

    desktop_->ViewSetCaret(10);  // after the first line
    EXPECT_EQ(Caret(), 10u);
    desktop_->ViewSetCaret(16);  // after 設定: six bytes, two characters
    EXPECT_EQ(Caret(), 12u);
    desktop_->ViewSetCaret(1000);  // beyond the end: the end
    EXPECT_EQ(Caret(), static_cast<DWORD>(ViewText().size()));

    desktop_->ViewSetText("");
    EXPECT_TRUE(ViewText().empty());
}

TEST_F(Win32DesktopTest, LogViewHoldsMoreThanTheEditControlsDefaultLimit) {
    const std::string line(99, 'x');
    std::string text;
    for (int i = 0; i < 400; ++i) text += line + "\r\n";
    desktop_->ViewSetText(text);
    desktop_->ViewAppend("end\r\n");
    EXPECT_EQ(ViewText().size(), text.size() + 5);
}

TEST_F(Win32DesktopTest, FirstShowingIsFollowedByOneSizeNotification) {
    desktop_->SetWindowVisible(true);
    EXPECT_TRUE(IsWindowVisible(window_));
    EXPECT_GE(events_.resizes, 1);
    desktop_->SetWindowVisible(false);
    EXPECT_FALSE(IsWindowVisible(window_));
}

TEST_F(Win32DesktopTest, LeftAndTopAreSetInTwips) {
    desktop_->SetWindowLeft(-10005);
    desktop_->SetWindowTop(1500);
    const PixelRect outer = desktop_->WindowOuterRect(desktop_->MainWindow());
    EXPECT_NEAR(outer.left, -10005 / desktop_->TwipsPerPixelX(), 1.0);
    EXPECT_NEAR(outer.top, 1500 / desktop_->TwipsPerPixelY(), 1.0);
}

TEST_F(Win32DesktopTest, RestoringAHiddenMinimisedWindowKeepsItHidden) {
    desktop_->SetWindowVisible(true);
    desktop_->SetWindowState(WindowState::Minimized);
    EXPECT_EQ(desktop_->GetWindowState(), WindowState::Minimized);
    desktop_->SetWindowVisible(false);
    desktop_->SetWindowState(WindowState::Normal);
    EXPECT_EQ(desktop_->GetWindowState(), WindowState::Normal);
    EXPECT_FALSE(IsWindowVisible(window_));
}

TEST_F(Win32DesktopTest, ButtonsAndCloseCommandReachTheEvents) {
    SendMessageW(Button("Edit Config"), BM_CLICK, 0, 0);
    SendMessageW(Button("Send Test Message"), BM_CLICK, 0, 0);
    SendMessageW(Button("Minimize To Tray"), BM_CLICK, 0, 0);
    EXPECT_EQ(events_.buttonClicks,
              (std::vector<FormButton>{FormButton::Edit, FormButton::Test, FormButton::Cancel}));
    SendMessageW(window_, WM_CLOSE, 0, 0);
    EXPECT_EQ(events_.closeRequests, 1);
    EXPECT_TRUE(IsWindow(window_)) << "the logic decides; the backend does not close itself";
}

TEST_F(Win32DesktopTest, InstalledProcedureSeesMessagesAndHandsOnToThePrevious) {
    std::vector<std::uint32_t> seen;
    WindowProcHandle previous = 0;
    previous = desktop_->InstallWindowProc(
        desktop_->MainWindow(),
        [&](WindowHandle window, std::uint32_t message, WParam wParam, LParam lParam) {
            seen.push_back(message);
            if (message == 0x401) return MessageResult{0};
            return desktop_->CallPreviousWindowProc(previous, window, message, wParam, lParam);
        });
    ASSERT_NE(previous, 0u);

    // A second procedure on the same window is refused.
    EXPECT_EQ(desktop_->InstallWindowProc(desktop_->MainWindow(),
                                          [](WindowHandle, std::uint32_t, WParam, LParam) {
                                              return MessageResult{0};
                                          }),
              0u);

    desktop_->PostWindowMessage(desktop_->MainWindow(), 0x401, 7, 0x204);
    Pump();
    EXPECT_NE(std::find(seen.begin(), seen.end(), 0x401u), seen.end());

    // Handed on: the window's own procedure still sees the close command.
    SendMessageW(window_, WM_CLOSE, 0, 0);
    EXPECT_EQ(events_.closeRequests, 1);

    desktop_->RestoreWindowProc(desktop_->MainWindow(), previous);
    seen.clear();
    desktop_->PostWindowMessage(desktop_->MainWindow(), 0x401, 7, 0x204);
    Pump();
    EXPECT_TRUE(seen.empty());
}

TEST_F(Win32DesktopTest, RegisteredMessageNumberIsStable) {
    const std::uint32_t first = desktop_->RegisterMessageName("TaskbarCreated");
    EXPECT_GE(first, 0xC000u);
    EXPECT_EQ(desktop_->RegisterMessageName("TaskbarCreated"), first);
}

TEST_F(Win32DesktopTest, ProgramIconLoadsFromItsResourceOrGivesZero) {
    // The test program carries no icon 101; the call must say so rather than fail hard.
    EXPECT_EQ(desktop_->LoadProgramIcon(), 0u);
}

TEST_F(Win32DesktopTest, QuitEndsTheLoopWithItsCode) {
    desktop_->Quit(3);
    desktop_->Quit(5);  // the first code counts
    EXPECT_EQ(desktop_->Run(), 3);
    EXPECT_FALSE(IsWindow(window_));
}

TEST_F(Win32DesktopTest, TwipsPerPixelFollowTheScreensResolution) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    EXPECT_FLOAT_EQ(desktop_->TwipsPerPixelX(), 1440.0f / static_cast<float>(dpi));
}

}  // namespace
}  // namespace tarnleaf
