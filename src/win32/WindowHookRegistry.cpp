#include "WindowHookRegistry.h"

#include <algorithm>

namespace tarnleaf {
namespace {

// The window property through which the shared procedure finds the registry of a window.
constexpr wchar_t kRegistryProperty[] = L"Tarnleaf.WindowHookRegistry";

}  // namespace

WindowHookRegistry::~WindowHookRegistry() {
    while (!windows_.empty()) Release(windows_.begin());
}

bool WindowHookRegistry::Hook(HWND window, WindowHook& hook) {
    const auto entry = Find(window);
    if (entry != windows_.end()) {
        if (std::find(entry->hooks.begin(), entry->hooks.end(), &hook) != entry->hooks.end()) {
            return false;
        }
        entry->hooks.push_back(&hook);
        return true;
    }
    if (!IsWindow(window) || GetPropW(window, kRegistryProperty) != nullptr) return false;
    if (!SetPropW(window, kRegistryProperty, this)) return false;
    const LONG_PTR own =
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Procedure));
    if (own == 0) {
        // Refused (another process's window): nothing was replaced, so nothing must ever be
        // put back; a zero procedure would leave the window without one.
        RemovePropW(window, kRegistryProperty);
        return false;
    }
    windows_.push_back({window, reinterpret_cast<WNDPROC>(own), {&hook}});
    return true;
}

void WindowHookRegistry::Unhook(HWND window, WindowHook& hook) {
    const auto entry = Find(window);
    if (entry == windows_.end()) return;
    const auto found = std::find(entry->hooks.begin(), entry->hooks.end(), &hook);
    if (found == entry->hooks.end()) return;
    entry->hooks.erase(found);
    if (entry->hooks.empty()) Release(entry);
}

bool WindowHookRegistry::IsHooked(HWND window) const {
    return std::any_of(windows_.begin(), windows_.end(),
                       [window](const HookedWindow& w) { return w.window == window; });
}

std::vector<WindowHookRegistry::HookedWindow>::iterator WindowHookRegistry::Find(HWND window) {
    return std::find_if(windows_.begin(), windows_.end(),
                        [window](const HookedWindow& w) { return w.window == window; });
}

bool WindowHookRegistry::Registered(HWND window, const WindowHook* hook) {
    const auto entry = Find(window);
    return entry != windows_.end() &&
           std::find(entry->hooks.begin(), entry->hooks.end(), hook) != entry->hooks.end();
}

void WindowHookRegistry::Release(std::vector<HookedWindow>::iterator entry) {
    const HWND window = entry->window;
    const WNDPROC own = entry->own;
    windows_.erase(entry);
    if (IsWindow(window)) {
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(own));
        RemovePropW(window, kRegistryProperty);
    }
}

LRESULT CALLBACK WindowHookRegistry::Procedure(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    auto* registry = static_cast<WindowHookRegistry*>(GetPropW(window, kRegistryProperty));
    if (registry == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    return registry->Dispatch(window, message, wParam, lParam);
}

LRESULT WindowHookRegistry::Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto entry = Find(window);
    if (entry == windows_.end()) return DefWindowProcW(window, message, wParam, lParam);
    const WNDPROC own = entry->own;
    // Walk a copy: a hook may change the registry, or open a menu whose nested loop comes
    // back here. A hook unhooked by an earlier one in this walk is not asked any more.
    const std::vector<WindowHook*> hooks = entry->hooks;
    for (WindowHook* hook : hooks) {
        if (!Registered(window, hook)) continue;
        if (const std::optional<LRESULT> result = hook->OnWindowMessage(window, message, wParam,
                                                                         lParam)) {
            return *result;
        }
    }
    if (message == WM_NCDESTROY) {
        // The window's last message: the hook goes with it, its hooks are let go.
        const auto gone = Find(window);
        if (gone != windows_.end()) Release(gone);
    }
    return CallWindowProcW(own, window, message, wParam, lParam);
}

}  // namespace tarnleaf
