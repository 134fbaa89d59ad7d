// The tray icon against a real window (under Wine), with the shell's two calls recorded:
// what the shell is sent, and which of its notifications become events.
#include "Win32TrayIcon.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace tarnleaf {
namespace {

constexpr UINT kTaskbarCreated = 0xC123;
std::vector<std::pair<DWORD, NOTIFYICONDATAW>> sent;  // what the shell was sent
UINT registered = kTaskbarCreated;                    // what registering the name gives

BOOL WINAPI RecordNotify(DWORD command, PNOTIFYICONDATAW record) {
    sent.emplace_back(command, *record);
    return TRUE;
}
// The commands sent, as letters: A(dd), M(odify), D(elete).
std::string Commands() {
    std::string letters;
    for (const auto& [command, record] : sent) letters += "AMD"[command];
    return letters;
}
UINT WINAPI Register(LPCWSTR name) {
    return std::wstring(name) == L"TaskbarCreated" ? registered : 0;
}
constexpr Win32TrayIcon::ShellCalls kRecorded{RecordNotify, Register};

// Journals "L1" for a single left press, "M2" for a middle double click, "B" when the tray
// comes back.
struct Events : TrayIconEvents {
    void OnTrayActivated(MouseButton button, ClickCount count) override {
        said += "LRM"[static_cast<int>(button)];
        said += count == ClickCount::Double ? '2' : '1';
    }
    void OnTrayCameBack() override { said += 'B'; }
    std::string said;
};

class Win32TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = CreateWindowW(L"STATIC", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
        ASSERT_NE(window_, nullptr) << "no window: is there a display?";
        sent.clear();
        registered = kTaskbarCreated;
    }
    void TearDown() override { DestroyWindow(window_); }
    std::unique_ptr<Win32TrayIcon> MakeIcon(Events& events) {
        auto icon = std::make_unique<Win32TrayIcon>(hooks_, window_, icon_, kRecorded);
        icon->SetEvents(&events);
        return icon;
    }
    void Mouse(const Win32TrayIcon& icon, UINT code) {
        SendMessageW(window_, Win32TrayIcon::kCallbackMessage, icon.Id(), code);
    }

    HWND window_ = nullptr;
    HICON icon_ = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    WindowHookRegistry hooks_;
    Events events_;
};

TEST_F(Win32TrayIconTest, PressesAndTheLeftDoubleClickActivateEachIconAlone) {
    const std::pair<UINT, const char*> rows[] = {
        {WM_LBUTTONDOWN, "L1"}, {WM_RBUTTONDOWN, "R1"}, {WM_MBUTTONDOWN, "M1"},
        {WM_LBUTTONDBLCLK, "L2"}, {WM_RBUTTONDBLCLK, ""}, {WM_MBUTTONDBLCLK, ""},
        {WM_LBUTTONUP, ""}, {WM_RBUTTONUP, ""}, {WM_MBUTTONUP, ""}, {WM_MOUSEMOVE, ""},
        {WM_MOUSEWHEEL, ""}};
    Events second;
    const auto icon = MakeIcon(events_);
    const auto other = MakeIcon(second);
    for (const auto& [code, said] : rows) {
        events_.said.clear();
        Mouse(*icon, code);
        EXPECT_EQ(events_.said, said) << std::hex << code;
    }
    events_.said.clear();
    Mouse(*other, WM_RBUTTONDOWN);
    EXPECT_EQ(events_.said + "|" + second.said, "|R1") << "each icon its own notifications";
}

TEST_F(Win32TrayIconTest, ShowSendsTheFirstVersionRecordWithTheTipCutAtAWholeCharacter) {
    const auto icon = MakeIcon(events_);
    // 62 letters and a character of two UTF-16 units: the pair does not fit in 63.
    ASSERT_TRUE(icon->Show(std::string(62, 'x') + "\xF0\x9F\x8D\x83"));
    ASSERT_TRUE(icon->Show("Bootp Server for Win"));
    ASSERT_EQ(Commands(), "AM");
    const NOTIFYICONDATAW& first = sent[0].second;
    EXPECT_EQ(std::tuple(first.cbSize, first.hWnd, first.uID, first.uFlags,
                         first.uCallbackMessage, first.hIcon),
              std::tuple(DWORD{NOTIFYICONDATAW_V1_SIZE}, window_, icon->Id(), UINT{7}, UINT{0x401},
                         icon_));
    EXPECT_EQ(std::wstring(first.szTip), std::wstring(62, L'x'));
    EXPECT_EQ(std::wstring(sent[1].second.szTip), L"Bootp Server for Win");
    EXPECT_FALSE(Win32TrayIcon(hooks_, window_, nullptr, kRecorded).Show("no picture"));
    EXPECT_EQ(Commands(), "AM");
}

TEST_F(Win32TrayIconTest, ShellRestartReAddsTheIconOnlyWhileShownAndTheIconGoesWithItsWindow) {
    const auto icon = MakeIcon(events_);
    ASSERT_EQ(icon->TaskbarCreatedMessage(), kTaskbarCreated);
    icon->Show("tip");
    SendMessageW(window_, kTaskbarCreated, 0, 0);
    icon->Remove();
    SendMessageW(window_, kTaskbarCreated, 0, 0);
    icon->Show("tip");
    DestroyWindow(window_);
    ASSERT_EQ(Commands(), "AADAD");
    EXPECT_EQ(std::wstring(sent[1].second.szTip), L"tip");
    EXPECT_EQ(events_.said, "BB") << "the logic hears of each restart";
}

TEST_F(Win32TrayIconTest, AFailedRegistrationNeverTakesTheNullMessageForARestart) {
    registered = 0;
    const auto icon = MakeIcon(events_);
    icon->Show("tip");
    SendMessageW(window_, WM_NULL, 0, 0);
    EXPECT_EQ(Commands(), "A");
    EXPECT_EQ(events_.said, "");
}

// Inside the menu's loop: notes the check marks and the default item's place, then
// chooses the second item with the keyboard.
std::string menuSeen;
void CALLBACK LookAndChoose(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    HWND menuWindow = FindWindowW(L"#32768", nullptr);
    const auto menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        menuSeen += GetMenuState(menu, i, MF_BYPOSITION) & MF_CHECKED ? 'x' : '-';
    }
    menuSeen += std::to_string(GetMenuDefaultItem(menu, TRUE, 0));
    for (const WPARAM key : {VK_DOWN, VK_DOWN, VK_RETURN}) {
        PostMessageW(menuWindow, WM_KEYDOWN, key, 0);
    }
}
void CALLBACK GiveUp(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    EndMenu();
}

TEST_F(Win32TrayIconTest, MenuShowsTheChecksAndTheDefaultAndReturnsTheChoice) {
    const auto icon = MakeIcon(events_);
    const MenuEntry entries[] = {{MenuItem::Config, "設定", true},
                                 {MenuItem::Log, "ログ", false},
                                 {MenuItem::Exit, "終了", true}};
    menuSeen.clear();
    SetTimer(nullptr, 0, 200, LookAndChoose);
    const UINT_PTR giveUp = SetTimer(nullptr, 0, 5000, GiveUp);
    EXPECT_EQ(icon->PopUpMenu(entries, MenuItem::Exit), MenuItem::Log);
    KillTimer(nullptr, giveUp);
    EXPECT_EQ(menuSeen, "x-x2");
}

}  // namespace
}  // namespace tarnleaf
