#include "modSubClass.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "support/FakeDesktop.h"

namespace tarnleaf {
namespace {

using testing::FakeDesktop;
using Ids = std::vector<std::uint32_t>;
constexpr WindowHandle kWindow = FakeDesktop::kMainWindow;
constexpr std::uint32_t kMessage = 0x0407;

// An object that wants a window's messages, journals its id and answers as the test says.
struct Listener : HookedObject {
    Listener(std::uint32_t i, WindowHandle w, Ids& j) : id(i), window(w), journal(j) {}
    std::uint32_t HookId() const override { return id; }
    WindowHandle hWnd() const override { return window; }
    WindowProcHandle ProcOrg() const override { return procOrg; }
    void SetProcOrg(WindowProcHandle procedure) override { procOrg = procedure; }
    MessageResult WindowProc(WindowHandle, std::uint32_t, WParam, LParam) override {
        journal.push_back(id);
        if (onMessage) onMessage();
        return answer;
    }
    std::uint32_t id;
    WindowHandle window;
    Ids& journal;
    WindowProcHandle procOrg = 0;
    MessageResult answer = -1;
    std::function<void()> onMessage;
};

class HookRegistry : public ::testing::Test {
protected:
    std::shared_ptr<Listener> Hook(std::uint32_t id, WindowHandle window = kWindow) {
        auto listener = std::make_shared<Listener>(id, window, journal);
        hooks.HookWindow(listener);
        return listener;
    }
    std::size_t OwnProcCount() const { return desktop.ownProcMessages.size(); }

    FakeDesktop desktop;
    Ids journal;
    modSubClass hooks{desktop};
};

TEST_F(HookRegistry, MessagesWalkTheObjectsInOrderUntilOneAnswersElseReachTheOwnProcedure) {
    auto first = Hook(1);
    auto second = Hook(2);
    first->answer = 0;
    EXPECT_EQ(desktop.Deliver(kWindow, kMessage), 0);
    first->answer = 42;  // only 0 ends the walk; the last one asked gives the result
    second->answer = 7;
    EXPECT_EQ(desktop.Deliver(kWindow, kMessage), 7);
    EXPECT_EQ(journal, (Ids{1, 1, 2}));
    EXPECT_EQ(OwnProcCount(), 0U);

    first->answer = second->answer = -1;
    desktop.ownProcResult = 0x7FFF'FFFF'0000LL;  // wider than 32 bits: comes back whole
    EXPECT_EQ(desktop.Deliver(kWindow, kMessage, 4), 0x7FFF'FFFF'0000LL);
    ASSERT_EQ(OwnProcCount(), 1U);
    EXPECT_EQ(desktop.ownProcMessages[0].message, kMessage);
    EXPECT_EQ(desktop.ownProcMessages[0].lParam, 4);
    EXPECT_EQ(hooks.HookedWindowProc(0x4242, kMessage, 0, 0), 0);  // a window with no objects
    EXPECT_EQ(OwnProcCount(), 1U);
}

// The first object of a window installs the hook and carries the replaced procedure.
TEST_F(HookRegistry, UnhookingHandsTheReplacedProcedureOnAndTheLastOnePutsItBack) {
    auto first = Hook(1);
    hooks.HookWindow(first);  // a duplicate ends quietly
    auto second = Hook(2);
    auto third = Hook(3);
    EXPECT_EQ(desktop.installCount, 1);
    EXPECT_EQ(hooks.HookedObjectCount(), 3U);
    EXPECT_EQ(first->ProcOrg(), desktop.OwnProc(kWindow));
    EXPECT_EQ(second->ProcOrg(), 0U);
    EXPECT_EQ(hooks.UnhookWindow(*third), UnhookOutcome::HandedOver);
    EXPECT_EQ(hooks.UnhookWindow(*first), UnhookOutcome::HandedOver);
    EXPECT_EQ(second->ProcOrg(), desktop.OwnProc(kWindow));
    EXPECT_EQ(desktop.Deliver(kWindow, kMessage), 0);
    EXPECT_EQ(journal, (Ids{2}));
    EXPECT_EQ(OwnProcCount(), 1U);
    EXPECT_EQ(desktop.restoreCount, 0);

    EXPECT_EQ(hooks.UnhookWindow(*second), UnhookOutcome::Restored);
    EXPECT_EQ(hooks.UnhookWindow(*second), UnhookOutcome::NotRegistered);
    EXPECT_EQ(desktop.restoreCount, 1);
    EXPECT_EQ(desktop.CurrentProc(kWindow), 0U);
    EXPECT_FALSE(hooks.IsWindowHooked(kWindow));
}

TEST_F(HookRegistry, UnhookActsOnTheWindowHookedAndNeverRestoresAZeroProcedure) {
    Listener* lost = Hook(1, 0xDEAD).get();  // no such window: no hook; held by the registry
    EXPECT_EQ(lost->ProcOrg(), 0U);
    EXPECT_EQ(hooks.HookedWindowProc(0xDEAD, kMessage, 0, 0), 0);  // no procedure to call
    EXPECT_EQ(hooks.UnhookWindow(*lost), UnhookOutcome::Restored);
    EXPECT_EQ(desktop.restoreCount, 0);
    auto moved = Hook(2);
    moved->window = 0xDEAD;
    EXPECT_EQ(hooks.UnhookWindow(*moved), UnhookOutcome::Restored);
    EXPECT_EQ(desktop.CurrentProc(kWindow), 0U);
}

TEST_F(HookRegistry, ObjectUnhookingItselfDuringDispatchStaysAliveUntilTheWalkEnds) {
    auto first = Hook(1);
    Hook(2);
    std::weak_ptr<Listener> watch = first;
    first->onMessage = [this, raw = first.get()] { hooks.UnhookWindow(*raw); };
    first.reset();  // the registry now holds the only reference
    desktop.Deliver(kWindow, kMessage);
    EXPECT_EQ(journal, (Ids{1, 2}));
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(OwnProcCount(), 1U);  // through the procedure handed over
}

TEST_F(HookRegistry, HandlersMayDispatchNestedAndHookOthersDuringTheWalk) {
    auto first = Hook(1);
    auto late = std::make_shared<Listener>(2, kWindow, journal);
    first->onMessage = [&] {
        if (journal.size() == 1) {
            hooks.HookWindow(late);
            desktop.Deliver(kWindow, kMessage);  // a menu's nested loop
        }
    };
    desktop.Deliver(kWindow, kMessage);
    EXPECT_EQ(journal, (Ids{1, 1, 2}));
    EXPECT_EQ(OwnProcCount(), 2U);
}

TEST_F(HookRegistry, WindowsAreHookedApartAndResetRestoresThemAllAndLetsGo) {
    const WindowHandle other = desktop.AddWindow();
    std::weak_ptr<Listener> watch = Hook(1);
    Hook(2);
    Hook(3, other);
    EXPECT_EQ(desktop.installCount, 2);
    desktop.Deliver(other, kMessage);
    EXPECT_EQ(journal, (Ids{3}));
    hooks.Reset();
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(hooks.HookedObjectCount(), 0U);
    EXPECT_EQ(desktop.CurrentProc(kWindow), 0U);
    EXPECT_EQ(desktop.CurrentProc(other), 0U);
}

}  // namespace
}  // namespace tarnleaf
