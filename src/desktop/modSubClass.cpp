#include "modSubClass.h"

#include <algorithm>
#include <utility>

namespace tarnleaf {

modSubClass::modSubClass(ShellServices& shell) : shell_(shell) {}

modSubClass::~modSubClass() { Reset(); }

std::string modSubClass::KeyOf(const HookedObject& object) {
    return std::to_string(object.HookId());
}

std::string modSubClass::KeyOf(WindowHandle window) { return std::to_string(window); }

void modSubClass::HookWindow(const std::shared_ptr<HookedObject>& object) {
    if (!object) {
        return;
    }
    std::string key = KeyOf(*object);
    const auto registered = std::find_if(hookedObjects_.begin(), hookedObjects_.end(),
                                         [&](const Registration& r) { return r.key == key; });
    if (registered != hookedObjects_.end()) {
        return;
    }
    const WindowHandle window = object->hWnd();
    hookedObjects_.push_back({std::move(key), object, window});

    std::string windowKey = KeyOf(window);
    if (std::find(hookedWindows_.begin(), hookedWindows_.end(), windowKey) !=
        hookedWindows_.end()) {
        // The window already carries the hook; this object gets its messages through it.
        return;
    }
    hookedWindows_.push_back(std::move(windowKey));
    object->SetProcOrg(shell_.InstallWindowProc(
        window, [this](WindowHandle w, std::uint32_t m, WParam wp, LParam lp) {
            return HookedWindowProc(w, m, wp, lp);
        }));
}

UnhookOutcome modSubClass::UnhookWindow(HookedObject& object) {
    const std::string key = KeyOf(object);
    const auto found = std::find_if(hookedObjects_.begin(), hookedObjects_.end(),
                                    [&](const Registration& r) { return r.key == key; });
    if (found == hookedObjects_.end()) {
        return UnhookOutcome::NotRegistered;
    }
    // Our reference may be the object's last: it must not end before this call is done,
    // since its end unhooks it again.
    const std::shared_ptr<HookedObject> keepAlive = found->object;
    const WindowHandle window = found->window;
    hookedObjects_.erase(found);

    for (const Registration& other : hookedObjects_) {
        if (other.window == window) {
            if (object.ProcOrg() != 0) {
                other.object->SetProcOrg(object.ProcOrg());
            }
            return UnhookOutcome::HandedOver;
        }
    }

    // A zero procedure means the hook was never installed (the window was unknown); putting
    // zero back would leave the window without any procedure.
    if (object.ProcOrg() != 0) {
        shell_.RestoreWindowProc(window, object.ProcOrg());
    }
    const auto windowKey = std::find(hookedWindows_.begin(), hookedWindows_.end(), KeyOf(window));
    if (windowKey == hookedWindows_.end()) {
        return UnhookOutcome::WindowKeyMissing;
    }
    hookedWindows_.erase(windowKey);
    return UnhookOutcome::Restored;
}

MessageResult modSubClass::HookedWindowProc(WindowHandle window, std::uint32_t message,
                                            WParam wParam, LParam lParam) {
    // A handler may open a pop-up menu whose nested loop comes back here, or unhook objects:
    // walk a copy, which also keeps every object alive until the walk is over.
    const std::vector<Registration> snapshot = hookedObjects_;
    MessageResult result = 0;
    WindowProcHandle previous = 0;
    for (const Registration& registration : snapshot) {
        if (registration.window != window) {
            continue;
        }
        result = registration.object->WindowProc(window, message, wParam, lParam);
        if (registration.object->ProcOrg() != 0) {
            previous = registration.object->ProcOrg();
        }
        if (result == 0) {
            break;
        }
    }
    if (result == -1) {
        // With no procedure known (the walk found no carrier) nothing can be called.
        if (previous == 0) {
            return 0;
        }
        return shell_.CallPreviousWindowProc(previous, window, message, wParam, lParam);
    }
    return result;
}

void modSubClass::Reset() {
    std::vector<std::shared_ptr<HookedObject>> leaving;
    leaving.reserve(hookedObjects_.size());
    for (const Registration& registration : hookedObjects_) {
        leaving.push_back(registration.object);
    }
    for (const auto& object : leaving) {
        UnhookWindow(*object);
    }
    hookedObjects_.clear();
    hookedWindows_.clear();
    // `leaving` goes last: the objects end here, and their own unhooking finds nothing.
}

bool modSubClass::IsHooked(const HookedObject& object) const {
    const std::string key = KeyOf(object);
    return std::any_of(hookedObjects_.begin(), hookedObjects_.end(),
                       [&](const Registration& r) { return r.key == key; });
}

bool modSubClass::IsWindowHooked(WindowHandle window) const {
    return std::find(hookedWindows_.begin(), hookedWindows_.end(), KeyOf(window)) !=
           hookedWindows_.end();
}

}  // namespace tarnleaf
