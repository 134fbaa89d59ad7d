// The tray icon against a real window (under Wine), with the shell's two calls recorded.
// That the shell takes the record, reports presses to it and shows the menu is checked end
// to end.
#include "Win32TrayIcon.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace tarnleaf {
namespace {

constexpr UINT kTaskbarCreated = 0xC123;
std::string commands;               // sent to the shell: A(dd), M(odify), D(elete)
std::vector<std::wstring> tips;     // the tip of each command
UINT registered = kTaskbarCreated;  // what registering "TaskbarCreated" gives

BOOL WINAPI RecordNotify(DWORD command, PNOTIFYICONDATAW record) {
    return commands += "AMD"[command], tips.emplace_back(record->szTip), TRUE;
}
UINT WINAPI Register(LPCWSTR name) {
    return name == std::wstring(L"TaskbarCreated") ? registered : 0;
}

// Journals "L1" for a single left press, "M2" for a middle double click, "B" when the tray
// comes back.
struct Events : TrayIconEvents {
    void OnTrayActivated(MouseButton button, ClickCount count) override {
        said += "LRM"[static_cast<int>(button)], said += "12"[static_cast<int>(count)];
    }
    void OnTrayCameBack() override { said += 'B'; }
    std::string said;
};

class Win32TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override {
        commands.clear(), tips.clear(), registered = kTaskbarCreated;
        ASSERT_NE(window_, nullptr) << "no window: is there a display?";
    }
    void TearDown() override { DestroyWindow(window_); }
    std::unique_ptr<Win32TrayIcon> MakeIcon(Events& events) {
        auto tray = std::make_unique<Win32TrayIcon>(
            hooks_, window_, LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION)),
            Win32TrayIcon::ShellCalls{RecordNotify, Register});
        tray->SetEvents(&events);
        return tray;
    }

    HWND window_ = CreateWindowW(L"STATIC", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
    WindowHookRegistry hooks_;
    Events events_;
};

TEST_F(Win32TrayIconTest, PressesAndTheLeftDoubleClickActivateEachIconAlone) {
    const std::pair<UINT, const char*> rows[] = {
        {WM_LBUTTONDOWN, "L1"}, {WM_RBUTTONDOWN, "R1"}, {WM_MBUTTONDOWN, "M1"},
        {WM_LBUTTONDBLCLK, "L2"}, {WM_RBUTTONDBLCLK, ""}, {WM_MBUTTONDBLCLK, ""},
        {WM_LBUTTONUP, ""}, {WM_RBUTTONUP, ""}, {WM_MOUSEMOVE, ""}};
    Events second;
    const auto icon = MakeIcon(events_), other = MakeIcon(second);
    for (const auto& [code, said] : rows) {
        events_.said.clear();
        SendMessageW(window_, Win32TrayIcon::kCallbackMessage, icon->Id(), code);
        EXPECT_EQ(events_.said, said) << std::hex << code;
    }
    SendMessageW(window_, Win32TrayIcon::kCallbackMessage, other->Id(), WM_RBUTTONDOWN);
    EXPECT_EQ(events_.said + "|" + second.said, "|R1") << "each icon its own notifications";
}

TEST_F(Win32TrayIconTest, TipIsCutAtAWholeCharacterAndNoPictureMeansNoIcon) {
    const auto icon = MakeIcon(events_);
    // 62 letters and a character of two UTF-16 units: the pair does not fit in 63.
    ASSERT_TRUE(icon->Show(std::string(62, 'x') + "\xF0\x9F\x8D\x83"));
    EXPECT_EQ(tips, std::vector<std::wstring>{std::wstring(62, L'x')});
    EXPECT_FALSE(Win32TrayIcon(hooks_, window_, nullptr).Show("no picture"));
}

TEST_F(Win32TrayIconTest, ShellRestartReAddsTheIconOnlyWhileShownAndTheIconGoesWithItsWindow) {
    const auto icon = MakeIcon(events_);
    icon->Show("tip");
    SendMessageW(window_, kTaskbarCreated, 0, 0);
    icon->Remove();
    SendMessageW(window_, kTaskbarCreated, 0, 0);
    icon->Show("tip");
    DestroyWindow(window_);
    EXPECT_EQ(commands, "AADAD");
    EXPECT_EQ(events_.said, "BB") << "the logic hears of each restart";
}

TEST_F(Win32TrayIconTest, AFailedRegistrationNeverTakesTheNullMessageForARestart) {
    registered = 0;
    const auto icon = MakeIcon(events_);
    icon->Show("tip");
    SendMessageW(window_, WM_NULL, 0, 0);
    EXPECT_EQ(commands + events_.said, "A");
}

}  // namespace
}  // namespace tarnleaf
