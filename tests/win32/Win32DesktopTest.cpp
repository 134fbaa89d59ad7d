// The Win32 desktop backend against real windows (under Wine, on a virtual X screen). Each
// test builds the hidden main window afresh and drives it through the seam.
#include "Win32Desktop.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace tarnleaf {
namespace {

struct RecordingEvents : DesktopEvents {
    void OnResize() override { ++resizes; }
    void OnCloseRequest() override { ++closeRequests; }
    void OnMenuClick(MenuItem) override {}
    void OnButtonClick(FormButton button) override { buttonClicks.push_back(button); }

    int resizes = 0;
    int closeRequests = 0;
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

    static void Pump() {
        MSG message;
        for (int i = 0; i < 1000 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
            if (message.message == WM_QUIT) break;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }

    static std::wstring Text(HWND window) {
        std::vector<wchar_t> text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1);
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
        return text.data();
    }

    HWND Button(const char* caption) const {
        HWND button = FindWindowExW(window_, nullptr, L"BUTTON", Widen(caption).c_str());
        EXPECT_NE(button, nullptr) << caption;
        return button;
    }

    RecordingEvents events_;
    std::unique_ptr<Win32Desktop> desktop_;
    HWND window_ = nullptr;
    HWND view_ = nullptr;
};

TEST_F(Win32DesktopTest, WindowIsBuiltHiddenWithCaptionAndFixedLayoutInTwips) {
    EXPECT_FALSE(IsWindowVisible(window_));
    EXPECT_EQ(Text(window_), L"Tarnleaf - Verion 0.1b");

    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    EXPECT_FLOAT_EQ(desktop_->TwipsPerPixelX(), 1440.0f / static_cast<float>(dpi));
    RECT client{};
    GetClientRect(window_, &client);
    EXPECT_NEAR(client.right, 5820 / desktop_->TwipsPerPixelX(), 1.0);
    EXPECT_NEAR(client.bottom, 4800 / desktop_->TwipsPerPixelY(), 1.0);

    RECT left{};  // one row of buttons, in this order from left to right
    for (const char* caption : {"Edit Config", "Send Test Message", "Minimize To Tray"}) {
        RECT rect{};
        ASSERT_TRUE(GetWindowRect(Button(caption), &rect)) << caption;
        EXPECT_TRUE(left.right == 0 || (rect.top == left.top && rect.left > left.right));
        left = rect;
    }

    const LONG_PTR style = GetWindowLongPtrW(view_, GWL_STYLE);
    EXPECT_TRUE((style & ES_READONLY) && (style & ES_MULTILINE) && (style & WS_VSCROLL));
    EXPECT_FALSE(style & WS_HSCROLL);
}

TEST_F(Win32DesktopTest, LogViewTakesTextAppendsAndPlacesTheCaretByByteOffset) {
    std::string text;  // more than the edit control's default limit
    for (int i = 0; i < 400; ++i) text += std::string(99, 'x') + "\r\n";
    desktop_->ViewSetText(text);
    desktop_->ViewAppend("end\r\n");
    EXPECT_EQ(Text(view_).size(), text.size() + 5);

    desktop_->ViewSetText("date [1]\r\n");
    desktop_->ViewAppend("設定 \x83\x65\r\n");
    EXPECT_EQ(Text(view_), std::wstring(L"date [1]\r\n\u8A2D\u5B9A \x83\x65\r\n"));
    // After the first line; after 設定 (six bytes, two characters); beyond the end: the end.
    const std::pair<std::size_t, DWORD> rows[] = {{10, 10}, {16, 12}, {1000, 17}};
    for (const auto& [offset, caret] : rows) {
        desktop_->ViewSetCaret(offset);
        DWORD start = 0, end = 0;
        SendMessageW(view_, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        EXPECT_TRUE(start == caret && end == caret) << offset << ": " << start << "-" << end;
    }
    desktop_->ViewSetText("");
    EXPECT_TRUE(Text(view_).empty());
}

TEST_F(Win32DesktopTest, ShowingPlacingAndRestoringFollowTheLogicsCalls) {
    desktop_->SetWindowVisible(true);
    EXPECT_TRUE(IsWindowVisible(window_));
    EXPECT_GE(events_.resizes, 1) << "the first showing is followed by a size notification";

    desktop_->SetWindowLeft(-10005);
    desktop_->SetWindowTop(1500);
    const PixelRect outer = desktop_->WindowOuterRect(desktop_->MainWindow());
    EXPECT_NEAR(outer.left, -10005 / desktop_->TwipsPerPixelX(), 1.0);
    EXPECT_NEAR(outer.top, 1500 / desktop_->TwipsPerPixelY(), 1.0);

    // Restoring a hidden minimised window keeps it hidden.
    desktop_->SetWindowState(WindowState::Minimized);
    EXPECT_EQ(desktop_->GetWindowState(), WindowState::Minimized);
    desktop_->SetWindowVisible(false);
    desktop_->SetWindowState(WindowState::Normal);
    EXPECT_EQ(desktop_->GetWindowState(), WindowState::Normal);
    EXPECT_FALSE(IsWindowVisible(window_));
}

TEST_F(Win32DesktopTest, ButtonsAndCloseCommandReachTheEvents) {
    for (const char* caption : {"Edit Config", "Send Test Message", "Minimize To Tray"}) {
        SendMessageW(Button(caption), BM_CLICK, 0, 0);
    }
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
    const auto none = [](WindowHandle, std::uint32_t, WParam, LParam) { return MessageResult{0}; };
    EXPECT_EQ(desktop_->InstallWindowProc(desktop_->MainWindow(), none), 0u) << "only one";

    desktop_->PostWindowMessage(desktop_->MainWindow(), 0x401, 7, 0x204);
    Pump();
    EXPECT_NE(std::find(seen.begin(), seen.end(), 0x401u), seen.end());
    SendMessageW(window_, WM_CLOSE, 0, 0);  // handed on to the window's own procedure
    EXPECT_EQ(events_.closeRequests, 1);

    desktop_->RestoreWindowProc(desktop_->MainWindow(), previous);
    seen.clear();
    desktop_->PostWindowMessage(desktop_->MainWindow(), 0x401, 7, 0x204);
    Pump();
    EXPECT_TRUE(seen.empty());
}

TEST_F(Win32DesktopTest, MessageNamesAreStableAndAMissingIconGivesZero) {
    const std::uint32_t first = desktop_->RegisterMessageName("TaskbarCreated");
    EXPECT_GE(first, 0xC000u);
    EXPECT_EQ(desktop_->RegisterMessageName("TaskbarCreated"), first);
    EXPECT_EQ(desktop_->LoadProgramIcon(), 0u);  // the test program carries no icon
}

TEST_F(Win32DesktopTest, QuitEndsTheLoopWithItsFirstCode) {
    desktop_->Quit(3);
    desktop_->Quit(5);
    EXPECT_EQ(desktop_->Run(), 3);
    EXPECT_FALSE(IsWindow(window_));
}

}  // namespace
}  // namespace tarnleaf
