#pragma once

#include <cstdint>
#include <string_view>

#include "DesktopTypes.h"
#include "NotifyIconData.h"

namespace tarnleaf {

// The shell's notification area and the window-message plumbing that the tray icon and
// the window hook lean on. All calls are made on the thread that runs the message loop.
//
// Icon notifications: while an icon is added, the backend delivers its mouse messages to
// the window record.hWnd as record.uCallbackMessage with wParam = record.uID and lParam =
// the mouse message (0x200 move, 0x201/0x202/0x203 left down/up/double click, 0x204..0x206
// right, 0x207..0x209 middle), through the window's current procedure. After the shell
// restarts it sends the registered "TaskbarCreated" message the same way (wParam, lParam 0).
class ShellServices {
public:
    virtual ~ShellServices() = default;

    // Adds, changes or removes the icon identified by (record.hWnd, record.uID); false if
    // the shell refused. Adding an icon that is already there is refused.
    virtual bool ShellNotifyIcon(NotifyIconMessage message, const NotifyIconData& record) = 0;

    // The number of a named message, the same for the same name in every call; 0 on failure.
    virtual std::uint32_t RegisterMessageName(std::string_view name) = 0;

    // Makes the window the foreground window, so that a pop-up menu closes on a click away.
    virtual void BringToForeground(WindowHandle window) = 0;

    // Queues a message to the window; it is delivered later by the message loop.
    virtual void PostWindowMessage(WindowHandle window, std::uint32_t message, WParam wParam,
                                   LParam lParam) = 0;

    // Makes `procedure` the window's procedure and returns the procedure it replaces
    // (0 if the window is unknown; nothing is installed then).
    virtual WindowProcHandle InstallWindowProc(WindowHandle window,
                                               WindowProcedure procedure) = 0;

    // Puts back a procedure that InstallWindowProc returned; the installed one is dropped.
    virtual void RestoreWindowProc(WindowHandle window, WindowProcHandle previous) = 0;

    // Runs a procedure that InstallWindowProc returned, for one message; its result.
    virtual MessageResult CallPreviousWindowProc(WindowProcHandle procedure,
                                                 WindowHandle window, std::uint32_t message,
                                                 WParam wParam, LParam lParam) = 0;

    // Whether the desktop has a notification area that can show icons right now.
    virtual bool SystemTrayAvailable() const = 0;
};

}  // namespace tarnleaf
