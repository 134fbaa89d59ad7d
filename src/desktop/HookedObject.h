#pragma once

#include <cstdint>

#include "DesktopTypes.h"

namespace tarnleaf {

// What the window hook needs of an object that wants a window's messages.
class HookedObject {
public:
    virtual ~HookedObject() = default;

    // Unique among live objects and stable for the object's life: it keys the registry.
    virtual std::uint32_t HookId() const = 0;
    // The window whose messages the object wants.
    virtual WindowHandle hWnd() const = 0;
    // The window procedure that the hook replaced, carried by the object that installed it.
    virtual WindowProcHandle ProcOrg() const = 0;
    virtual void SetProcOrg(WindowProcHandle procedure) = 0;
    // -1: not handled, hand the message on to the window's own procedure.
    virtual MessageResult WindowProc(WindowHandle window, std::uint32_t message, WParam wParam,
                                     LParam lParam) = 0;
};

}  // namespace tarnleaf
