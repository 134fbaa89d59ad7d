// Window subclassing on real windows (under Wine): who is asked, who answers, what comes back.
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

LRESULT CALLBACK OwnProcedure(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return m == kMessage ? (journal += 'W', kWide) : DefWindowProcW(w, m, wp, lp);
}

struct Hook : WindowHook {
    explicit Hook(char n) : name(n) {}
    std::optional<LRESULT> OnWindowMessage(HWND, UINT message, WPARAM, LPARAM) override {
        if (message != kMessage) return std::nullopt;
        return journal += name, onMessage ? onMessage() : void(), answer;
    }
    char name;
    std::optional<LRESULT> answer;
    std::function<void()> onMessage;
};

class WindowHookRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(window_, nullptr) << "no window: is there a display?";
        SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(OwnProcedure));
        journal.clear();
    }
    void TearDown() override { DestroyWindow(window_); }
    LRESULT Send() { return SendMessageW(window_, kMessage, 0, 0); }
    WNDPROC Proc() { return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window_, GWLP_WNDPROC)); }

    HWND window_ = CreateWindowW(L"STATIC", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
    Hook a_{'a'}, b_{'b'}, c_{'c'};
};

TEST_F(WindowHookRegistryTest, HooksAreAskedInOrderUntilOneAnswersElseTheOwnProcedureIs) {
    WindowHookRegistry hooks;
    ASSERT_TRUE(hooks.Hook(window_, a_) && hooks.Hook(window_, b_));
    EXPECT_FALSE(hooks.Hook(window_, a_)) << "once per window";
    EXPECT_EQ(Send(), kWide) << "the own procedure's result comes back whole";
    b_.answer = 7;
    EXPECT_EQ(Send(), 7);
    EXPECT_EQ(journal, "abWab");
}

TEST_F(WindowHookRegistryTest, TheWindowKeepsItsHookUntilTheLastLeavesWhicheverLeavesFirst) {
    const WNDPROC own = Proc();
    {
        WindowHookRegistry hooks;
        ASSERT_TRUE(hooks.Hook(window_, a_) && hooks.Hook(window_, b_));
        hooks.Unhook(window_, a_);  // the first, which replaced the procedure
        EXPECT_EQ((Send(), journal), "bW");
        hooks.Unhook(window_, b_);
        EXPECT_TRUE(!hooks.IsHooked(window_) && Proc() == own);
        hooks.Hook(window_, a_);  // the registry's end puts the procedure back, too
    }
    EXPECT_EQ(Proc(), own);
}

TEST_F(WindowHookRegistryTest, HooksMayUnhookAndNestDuringTheWalkAndTheWindowMayGo) {
    WindowHookRegistry hooks;
    ASSERT_TRUE(hooks.Hook(window_, a_) && hooks.Hook(window_, b_) && hooks.Hook(window_, c_));
    a_.onMessage = [&] { if (journal.size() == 1) hooks.Unhook(window_, b_), Send(); };
    Send();  // a nests a second message, as a menu's loop would
    EXPECT_EQ(journal, "aacWcW") << "b, unhooked during the walk, is not asked any more";
    DestroyWindow(window_);
    EXPECT_FALSE(hooks.IsHooked(window_));
    hooks.Unhook(window_, a_);
}

}  // namespace
}  // namespace tarnleaf
