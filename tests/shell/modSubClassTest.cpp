#include "shell/modSubClass.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/FakeDesktop.h"

namespace tarnleaf {
namespace {

using testing::FakeDesktop;

constexpr std::uint32_t kMessage = 0x0400 + 7;

// An object that wants a window's messages and answers them as the test says.
class Listener : public HookedObject {
public:
    Listener(std::uint32_t id, WindowHandle window, std::vector<std::string>& journal)
        : id_(id), window_(window), journal_(journal) {}

    std::uint32_t HookId() const override { return id_; }
    WindowHandle hWnd() const override { return window_; }
    WindowProcHandle ProcOrg() const override { return procOrg_; }
    void SetProcOrg(WindowProcHandle procedure) override { procOrg_ = procedure; }
    MessageResult WindowProc(WindowHandle, std::uint32_t, WParam, LParam) override {
        journal_.push_back("obj" + std::to_string(id_));
        if (onMessage) {
            onMessage();
        }
        return answer;
    }

    void MoveTo(WindowHandle window) { window_ = window; }

    MessageResult answer = -1;
    std::function<void()> onMessage;

private:
    std::uint32_t id_;
    WindowHandle window_;
    WindowProcHandle procOrg_ = 0;
    std::vector<std::string>& journal_;
};

class HookRegistry : public ::testing::Test {
protected:
    std::shared_ptr<Listener> MakeListener(std::uint32_t id,
                                           WindowHandle window = FakeDesktop::kMainWindow) {
        return std::make_shared<Listener>(id, window, journal);
    }
    std::size_t OwnProcCount(WindowHandle window = FakeDesktop::kMainWindow) {
        return desktop.ownProcMessages[window].size();
    }

    FakeDesktop desktop;
    std::vector<std::string> journal;
    modSubClass hooks{desktop};
};

TEST_F(HookRegistry, FirstObjectInstallsTheHookAndCarriesTheReplacedProcedure) {
    auto first = MakeListener(1);
    hooks.HookWindow(first);
    EXPECT_TRUE(hooks.IsHooked(*first));
    EXPECT_TRUE(hooks.IsWindowHooked(FakeDesktop::kMainWindow));
    EXPECT_EQ(first->ProcOrg(), desktop.OwnProc(FakeDesktop::kMainWindow));
    EXPECT_NE(desktop.CurrentProc(FakeDesktop::kMainWindow), 0U);
}

TEST_F(HookRegistry, HookingTwiceIsQuietAndInstallsOnce) {
    auto first = MakeListener(1);
    hooks.HookWindow(first);
    hooks.HookWindow(first);
    EXPECT_EQ(desktop.installCount, 1);
    EXPECT_EQ(hooks.HookedObjectCount(), 1U);
}

TEST_F(HookRegistry, SecondObjectOfAWindowSharesTheHookWithoutAProcedure) {
    auto first = MakeListener(1);
    auto second = MakeListener(2);
    hooks.HookWindow(first);
    hooks.HookWindow(second);
    EXPECT_EQ(desktop.installCount, 1);
    EXPECT_EQ(second->ProcOrg(), 0U);
}

TEST_F(HookRegistry, MessagesGoToObjectsInRegistrationOrderUntilOneReturnsZero) {
    auto first = MakeListener(1);
    auto second = MakeListener(2);
    hooks.HookWindow(first);
    hooks.HookWindow(second);

    first->answer = 0;
    EXPECT_EQ(desktop.Deliver(FakeDesktop::kMainWindow, kMessage), 0);
    EXPECT_EQ(journal, (std::vector<std::string>{"obj1"}));

    journal.clear();
    first->answer = -1;
    second->answer = 0;
    EXPECT_EQ(desktop.Deliver(FakeDesktop::kMainWindow, kMessage), 0);
    EXPECT_EQ(journal, (std::vector<std::string>{"obj1", "obj2"}));
    EXPECT_EQ(OwnProcCount(), 0U);
}

TEST_F(HookRegistry, UnhandledMessageReachesTheWindowsOwnProcedureWithItsResult) {
    auto first = MakeListener(1);
    hooks.HookWindow(first);
    desktop.ownProcResult = 0x7FFF'FFFF'0000LL;  // wider than 32 bits: must come back whole
    EXPECT_EQ(desktop.Deliver(FakeDesktop::kMainWindow, kMessage, 3, 4), 0x7FFF'FFFF'0000LL);
    ASSERT_EQ(OwnProcCount(), 1U);
    EXPECT_EQ(desktop.ownProcMessages[FakeDesktop::kMainWindow][0].message, kMessage);
    EXPECT_EQ(desktop.ownProcMessages[FakeDesktop::kMainWindow][0].lParam, 4);
}

TEST_F(HookRegistry, OtherResultIsReturnedWithoutCallingTheOwnProcedure) {
    auto first = MakeListener(1);
    first->answer = 42;
    hooks.HookWindow(first);
    EXPECT_EQ(desktop.Deliver(FakeDesktop::kMainWindow, kMessage), 42);
    EXPECT_EQ(OwnProcCount(), 0U);
}

TEST_F(HookRegistry, MessageForAWindowWithoutObjectsGetsZeroAndGoesNowhere) {
    auto first = MakeListener(1);
    hooks.HookWindow(first);
    EXPECT_EQ(hooks.HookedWindowProc(0x4242, kMessage, 0, 0), 0);
    EXPECT_TRUE(journal.empty());
    EXPECT_EQ(desktop.ownProcMessages.size(), 0U);
}

TEST_F(HookRegistry, UnhookingTheFirstHandsTheProcedureToTheSecond) {
    auto first = MakeListener(1);
    auto second = MakeListener(2);
    hooks.HookWindow(first);
    hooks.HookWindow(second);
    const WindowProcHandle own = desktop.OwnProc(FakeDesktop::kMainWindow);

    EXPECT_EQ(hooks.UnhookWindow(*first), UnhookOutcome::HandedOver);
    EXPECT_EQ(second->ProcOrg(), own);
    EXPECT_EQ(desktop.restoreCount, 0);
    EXPECT_TRUE(hooks.IsWindowHooked(FakeDesktop::kMainWindow));

    // The second object now sees the messages and hands unhandled ones on.
    EXPECT_EQ(desktop.Deliver(FakeDesktop::kMainWindow, kMessage), 0);
    EXPECT_EQ(journal, (std::vector<std::string>{"obj2"}));
    EXPECT_EQ(OwnProcCount(), 1U);

    EXPECT_EQ(hooks.UnhookWindow(*second), UnhookOutcome::Restored);
    EXPECT_EQ(desktop.CurrentProc(FakeDesktop::kMainWindow), 0U);
    EXPECT_FALSE(hooks.IsWindowHooked(FakeDesktop::kMainWindow));
}

TEST_F(HookRegistry, UnhookingTheSecondFirstLeavesTheCarrierAlone) {
    auto first = MakeListener(1);
    auto second = MakeListener(2);
    hooks.HookWindow(first);
    hooks.HookWindow(second);
    const WindowProcHandle own = first->ProcOrg();
    EXPECT_EQ(hooks.UnhookWindow(*second), UnhookOutcome::HandedOver);
    EXPECT_EQ(first->ProcOrg(), own);
    EXPECT_TRUE(hooks.IsWindowHooked(FakeDesktop::kMainWindow));
}

TEST_F(HookRegistry, LastUnhookPutsTheOwnProcedureBackSoMessagesGoDirect) {
    auto first = MakeListener(1);
    hooks.HookWindow(first);
    EXPECT_EQ(hooks.UnhookWindow(*first), UnhookOutcome::Restored);
    desktop.Deliver(FakeDesktop::kMainWindow, kMessage);
    EXPECT_TRUE(journal.empty());
    EXPECT_EQ(OwnProcCount(), 1U);
}

TEST_F(HookRegistry, UnhookingAnUnregisteredObjectDoesNothing) {
    auto stranger = MakeListener(9);
    EXPECT_EQ(hooks.UnhookWindow(*stranger), UnhookOutcome::NotRegistered);
    EXPECT_EQ(desktop.restoreCount, 0);
}

TEST_F(HookRegistry, WindowsAreHookedIndependently) {
    const WindowHandle other = desktop.AddWindow();
    auto first = MakeListener(1);
    auto second = MakeListener(2, other);
    hooks.HookWindow(first);
    hooks.HookWindow(second);
    EXPECT_EQ(desktop.installCount, 2);
    desktop.Deliver(other, kMessage);
    EXPECT_EQ(journal, (std::vector<std::string>{"obj2"}));
    EXPECT_EQ(hooks.UnhookWindow(*second), UnhookOutcome::Restored);
    EXPECT_TRUE(hooks.IsWindowHooked(FakeDesktop::kMainWindow));
    EXPECT_FALSE(hooks.IsWindowHooked(other));
}

TEST_F(HookRegistry, UnknownWindowGetsNoHookAndNothingIsRestoredLater) {
    auto lost = MakeListener(1, 0xDEAD);
    hooks.HookWindow(lost);
    EXPECT_EQ(lost->ProcOrg(), 0U);
    EXPECT_EQ(hooks.UnhookWindow(*lost), UnhookOutcome::Restored);
    // Putting a zero procedure back would leave the window without one.
    EXPECT_EQ(desktop.restoreCount, 0);
}

TEST_F(HookRegistry, ObjectThatMovedToAnotherWindowIsUnhookedFromTheWindowItHooked) {
    const WindowHandle other = desktop.AddWindow();
    auto first = MakeListener(1);
    hooks.HookWindow(first);
    first->MoveTo(other);
    EXPECT_EQ(hooks.UnhookWindow(*first), UnhookOutcome::Restored);
    EXPECT_EQ(desktop.CurrentProc(FakeDesktop::kMainWindow), 0U);
    EXPECT_EQ(desktop.CurrentProc(other), 0U);
}

TEST_F(HookRegistry, ObjectUnhookingItselfDuringDispatchStaysAliveUntilTheWalkEnds) {
    auto first = MakeListener(1);
    auto second = MakeListener(2);
    hooks.HookWindow(first);
    hooks.HookWindow(second);
    std::weak_ptr<Listener> watch = first;
    first->onMessage = [this, raw = first.get()] { hooks.UnhookWindow(*raw); };
    first.reset();  // the registry now holds the only reference
    second->answer = -1;

    desktop.Deliver(FakeDesktop::kMainWindow, kMessage);
    EXPECT_EQ(journal, (std::vector<std::string>{"obj1", "obj2"}));
    EXPECT_TRUE(watch.expired());
    // The procedure was handed over, so the own procedure still gets unhandled messages.
    EXPECT_EQ(OwnProcCount(), 1U);
    EXPECT_EQ(second->ProcOrg(), desktop.OwnProc(FakeDesktop::kMainWindow));
}

TEST_F(HookRegistry, NestedDispatchFromAHandlerIsServedCompletely) {
    auto first = MakeListener(1);
    hooks.HookWindow(first);
    int depth = 0;
    first->onMessage = [&] {
        if (++depth == 1) {
            desktop.Deliver(FakeDesktop::kMainWindow, kMessage);  // a menu's nested loop
        }
    };
    desktop.Deliver(FakeDesktop::kMainWindow, kMessage);
    EXPECT_EQ(journal, (std::vector<std::string>{"obj1", "obj1"}));
    EXPECT_EQ(OwnProcCount(), 2U);
}

TEST_F(HookRegistry, HookingAnotherObjectDuringDispatchDoesNotDisturbTheWalk) {
    auto first = MakeListener(1);
    hooks.HookWindow(first);
    auto late = MakeListener(2);
    first->onMessage = [&] { hooks.HookWindow(late); };
    desktop.Deliver(FakeDesktop::kMainWindow, kMessage);
    EXPECT_EQ(journal, (std::vector<std::string>{"obj1"}));
    EXPECT_TRUE(hooks.IsHooked(*late));
}

TEST_F(HookRegistry, ResetRestoresEveryWindowAndLetsGoOfTheObjects) {
    const WindowHandle other = desktop.AddWindow();
    auto first = MakeListener(1);
    auto second = MakeListener(2);
    auto third = MakeListener(3, other);
    hooks.HookWindow(first);
    hooks.HookWindow(second);
    hooks.HookWindow(third);
    std::weak_ptr<Listener> watch = first;
    first.reset();

    hooks.Reset();
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(hooks.HookedObjectCount(), 0U);
    EXPECT_EQ(desktop.CurrentProc(FakeDesktop::kMainWindow), 0U);
    EXPECT_EQ(desktop.CurrentProc(other), 0U);
    EXPECT_FALSE(hooks.IsHooked(*second));
}

}  // namespace
}  // namespace tarnleaf
