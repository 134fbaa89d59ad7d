// Window subclassing on real windows (under Wine): who sees a message, who answers it, and
// when the window's own procedure is back.
#include "WindowHookRegistry.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace tarnleaf {
namespace {

constexpr UINT kMessage = WM_APP + 7;
constexpr LRESULT kWide = 0x7FFF'FFFF'0000LL;  // a result wider than 32 bits
// Who was asked about kMessage, in order: a hook's name, or W for the window's own procedure.
std::string journal;

LRESULT CALLBACK OwnProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kMessage) return DefWindowProcW(window, message, wParam, lParam);
    journal += 'W';
    return kWide;
}

struct Hook : WindowHook {
    explicit Hook(char n) : name(n) {}
    std::optional<LRESULT> OnWindowMessage(HWND, UINT message, WPARAM, LPARAM) override {
        if (message != kMessage) return std::nullopt;
        journal += name;
        if (onMessage) onMessage();
        return answer;
    }
    char name;
    std::optional<LRESULT> answer;
    std::function<void()> onMessage;
};

class WindowHookRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = OwnProcedure;
        windowClass.lpszClassName = L"TarnleafHookTest";
        RegisterClassW(&windowClass);
        window_ = CreateWindowW(L"TarnleafHookTest", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                nullptr, nullptr, nullptr);
        ASSERT_NE(window_, nullptr) << "no window: is there a display?";
        journal.clear();
    }
    void TearDown() override { DestroyWindow(window_); }
    LRESULT Send() { return SendMessageW(window_, kMessage, 0, 0); }
    WNDPROC Procedure() const {
        return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window_, GWLP_WNDPROC));
    }

    HWND window_ = nullptr;
    Hook a_{'a'}, b_{'b'}, c_{'c'};
};

TEST_F(WindowHookRegistryTest, HooksAreAskedInOrderUntilOneAnswersElseTheOwnProcedureIs) {
    WindowHookRegistry hooks;
    ASSERT_TRUE(hooks.Hook(window_, a_) && hooks.Hook(window_, b_));
    EXPECT_FALSE(hooks.Hook(window_, a_)) << "once per window";
    b_.answer = 7;
    EXPECT_EQ(Send(), 7);
    b_.answer.reset();
    EXPECT_EQ(Send(), kWide) << "the own procedure's result comes back whole";
    a_.answer = kWide + 1;
    EXPECT_EQ(Send(), kWide + 1);
    EXPECT_EQ(journal, "ababWa");
}

TEST_F(WindowHookRegistryTest, TheWindowKeepsItsHookUntilTheLastLeavesWhicheverLeavesFirst) {
    const WNDPROC own = Procedure();
    {
        WindowHookRegistry hooks;
        hooks.Hook(window_, a_);
        hooks.Hook(window_, b_);
        hooks.Hook(window_, c_);
        hooks.Unhook(window_, a_);  // the first, which replaced the procedure
        hooks.Unhook(window_, a_);  // no longer registered: nothing
        Send();
        EXPECT_EQ(journal, "bcW");
        hooks.Unhook(window_, c_);
        EXPECT_TRUE(hooks.IsHooked(window_));
        hooks.Unhook(window_, b_);
        EXPECT_FALSE(hooks.IsHooked(window_));
        EXPECT_EQ(Procedure(), own);
        hooks.Hook(window_, a_);  // the registry's end puts the procedure back, too
    }
    EXPECT_EQ(Procedure(), own);
    Send();
    EXPECT_EQ(journal, "bcWW");
}

TEST_F(WindowHookRegistryTest, AWindowThatCannotBeHookedGetsNoProcedureAndLosesNone) {
    WindowHookRegistry hooks, other;
    const HWND desktop = GetDesktopWindow();  // another process's window
    const LONG_PTR desktopProcedure = GetWindowLongPtrW(desktop, GWLP_WNDPROC);
    EXPECT_FALSE(hooks.Hook(desktop, a_) || hooks.Hook(reinterpret_cast<HWND>(0x4242), a_));
    hooks.Unhook(desktop, a_);
    EXPECT_EQ(GetWindowLongPtrW(desktop, GWLP_WNDPROC), desktopProcedure);
    ASSERT_TRUE(hooks.Hook(window_, a_));
    EXPECT_FALSE(other.Hook(window_, b_)) << "one registry per window";
}

TEST_F(WindowHookRegistryTest, HooksMayUnhookAndNestDuringTheWalkAndTheWindowMayGo) {
    WindowHookRegistry hooks;
    hooks.Hook(window_, a_);
    hooks.Hook(window_, b_);
    hooks.Hook(window_, c_);
    a_.onMessage = [&] {
        if (journal.size() > 1) return;
        hooks.Unhook(window_, b_);
        Send();  // a menu's nested loop
    };
    Send();
    EXPECT_EQ(journal, "aacWcW") << "b, unhooked during the walk, is not asked any more";
    DestroyWindow(window_);
    EXPECT_FALSE(hooks.IsHooked(window_));
    hooks.Unhook(window_, a_);
}

}  // namespace
}  // namespace tarnleaf
