#pragma once

#include <windows.h>

#include <optional>
#include <vector>

namespace tarnleaf {

// Something that wants the messages of a window that it does not own.
class WindowHook {
public:
    virtual ~WindowHook() = default;

    // The message's result when the hook handled it; no value hands the message on to the
    // next hook of the window, and after the last to the window's own procedure.
    virtual std::optional<LRESULT> OnWindowMessage(HWND window, UINT message, WPARAM wParam,
                                                   LPARAM lParam) = 0;
};

// Window subclassing shared by every hook of a window: the window's first hook replaces its
// procedure (SetWindowLongPtrW), each message walks the window's hooks in registration order
// until one handles it, and the window's own procedure gets the rest (CallWindowProcW).
// The registry, not a hook, carries the replaced procedure: whichever hook leaves first, the
// window keeps its hook for the others, and the last to leave puts the procedure back.
// A window going away (WM_NCDESTROY) leaves the registry by itself.
// Everything runs on the thread that owns the windows. A hook may hook, unhook (itself or
// others) or run a nested message loop (a pop-up menu) while it handles a message.
class WindowHookRegistry {
public:
    WindowHookRegistry() = default;
    // Puts the own procedure of every window still hooked back.
    ~WindowHookRegistry();
    WindowHookRegistry(const WindowHookRegistry&) = delete;
    WindowHookRegistry& operator=(const WindowHookRegistry&) = delete;

    // False when the window cannot be hooked: no such window (or one of another process),
    // hooked by another registry, or `hook` is already registered for it.
    bool Hook(HWND window, WindowHook& hook);
    // No effect for a hook that is not registered for the window.
    void Unhook(HWND window, WindowHook& hook);

    bool IsHooked(HWND window) const;

private:
    struct HookedWindow {
        HWND window;
        WNDPROC own;  // never null: a window whose procedure could not be read is not hooked
        std::vector<WindowHook*> hooks;
    };

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    std::vector<HookedWindow>::iterator Find(HWND window);
    bool Registered(HWND window, const WindowHook* hook);
    void Release(std::vector<HookedWindow>::iterator entry);

    std::vector<HookedWindow> windows_;
};

}  // namespace tarnleaf
