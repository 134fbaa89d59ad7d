#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "DesktopTypes.h"
#include "ShellServices.h"
#include "HookedObject.h"

namespace tarnleaf {

// How an UnhookWindow call ended.
enum class UnhookOutcome {
    NotRegistered,     // the object was not hooked: nothing happened
    HandedOver,        // another object still wants the window: it keeps the hook
    Restored,          // the last object of the window left: its own procedure is back
    WindowKeyMissing,  // as Restored, but the window was not in the window registry
};

// The window hook: one replaced window procedure per window, shared by every object that
// wants that window's messages. The registries hold the objects alive while they are
// hooked. Must outlive every object that was ever hooked through it; its end lets go of
// the objects still hooked, after putting their windows' own procedures back.
class modSubClass {
public:
    explicit modSubClass(ShellServices& shell);
    ~modSubClass();
    modSubClass(const modSubClass&) = delete;
    modSubClass& operator=(const modSubClass&) = delete;

    // Registers the object; the first object of a window installs the hook and carries
    // the replaced procedure in its ProcOrg. Duplicates end quietly.
    void HookWindow(const std::shared_ptr<HookedObject>& object);

    // Unregisters the object; the last object of a window puts the procedure back, an
    // earlier one hands its ProcOrg to the next object of the same window.
    UnhookOutcome UnhookWindow(HookedObject& object);

    // The procedure installed on hooked windows: the objects of the window in registration
    // order until one returns 0; -1 from the last one asked goes to the window's own
    // procedure.
    MessageResult HookedWindowProc(WindowHandle window, std::uint32_t message, WParam wParam,
                                   LParam lParam);

    // Unhooks every object, oldest first, and lets go of them (as at the end of the process).
    void Reset();

    bool IsHooked(const HookedObject& object) const;
    bool IsWindowHooked(WindowHandle window) const;
    std::size_t HookedObjectCount() const { return hookedObjects_.size(); }

private:
    struct Registration {
        std::string key;
        std::shared_ptr<HookedObject> object;
        // The window the object named when it was hooked: unhooking acts on this one even
        // if the object has since moved on to another window.
        WindowHandle window = 0;
    };

    static std::string KeyOf(const HookedObject& object);
    static std::string KeyOf(WindowHandle window);

    ShellServices& shell_;
    std::vector<Registration> hookedObjects_;       // HookedObjects, in registration order
    std::vector<std::string> hookedWindows_;        // HookedWindows: keys of hooked windows
};

}  // namespace tarnleaf
