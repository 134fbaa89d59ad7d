#pragma once

#include <cstdint>
#include <functional>

namespace tarnleaf {

// Handles of the desktop, opaque to the logic: the backend maps them to its own objects
// (HWND, HICON and WNDPROC under Win32; its widgets and icons under Qt; counters in the fake).
// 0 is never a valid handle.
using WindowHandle = std::uintptr_t;
using IconHandle = std::uintptr_t;
using WindowProcHandle = std::uintptr_t;

// The parameters and result of a window message, as wide as the platform's pointers so
// that a result handed on from the window's own procedure is never cut.
using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using MessageResult = std::intptr_t;

// A window procedure of the logic: (window, message, wParam, lParam) -> result.
using WindowProcedure =
    std::function<MessageResult(WindowHandle, std::uint32_t, WParam, LParam)>;

// A rectangle in screen pixels of the primary screen; right and bottom are exclusive.
struct PixelRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// The messages of the notify-icon call.
enum class NotifyIconMessage : std::uint32_t { Add = 0, Modify = 1, Delete = 2 };

// The items of the main window's one pop-up menu, in the order it shows them:
// "設定" (show/hide the window), "ログ" (logging switch), "終了" (exit).
enum class MenuItem { Config, Log, Exit };

// The main window's buttons: "Edit Config", "Send Test Message", "Minimize To Tray".
enum class FormButton { Edit, Test, Cancel };

enum class WindowState { Normal, Minimized, Maximized };

}  // namespace tarnleaf
