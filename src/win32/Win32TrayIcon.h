#pragma once

#include <windows.h>
#include <shellapi.h>

#include <optional>
#include <string>

#include "TrayIcon.h"
#include "WindowHookRegistry.h"

namespace tarnleaf {

// The program's icon in the notification area (Shell_NotifyIconW, first-version record).
// The shell's notifications for the icon and its "TaskbarCreated" broadcast arrive at a
// top-level window of the program; the icon takes them from that window through the hook
// registry, so the window itself knows nothing of them.
class Win32TrayIcon final : public TrayIcon, private WindowHook {
public:
    // The two shell calls the icon makes; tests put their own in.
    struct ShellCalls {
        BOOL(WINAPI* notifyIcon)(DWORD command, PNOTIFYICONDATAW record);
        UINT(WINAPI* registerMessage)(LPCWSTR name);
    };
    static const ShellCalls kShell;  // Shell_NotifyIconW, RegisterWindowMessageW

    // The message with which the shell reports mouse actions on the icon: the first user
    // message number.
    static constexpr UINT kCallbackMessage = WM_USER + 1;
    // The tip field holds 64 UTF-16 units with the closing NUL.
    static constexpr std::size_t kTipUnits = 63;

    // `window` (top-level, of this thread), `hooks` and `icon` must outlive the object. A
    // null icon cannot be shown.
    Win32TrayIcon(WindowHookRegistry& hooks, HWND window, HICON icon,
                  const ShellCalls& shell = kShell);
    ~Win32TrayIcon() override;
    Win32TrayIcon(const Win32TrayIcon&) = delete;
    Win32TrayIcon& operator=(const Win32TrayIcon&) = delete;

    void SetEvents(TrayIconEvents* events) override { events_ = events; }
    bool Available() const override;
    bool Show(std::string_view tip) override;
    void Remove() override;
    std::optional<MenuItem> PopUpMenu(std::span<const MenuEntry> entries,
                                      MenuItem defaultItem) override;
    std::optional<PixelRect> Geometry() const override;

    // The icon's identity among the window's icons (the record's uID).
    UINT Id() const { return id_; }
    // The registered number of "TaskbarCreated"; 0 when registering failed.
    UINT TaskbarCreatedMessage() const { return taskbarCreated_; }

private:
    std::optional<LRESULT> OnWindowMessage(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) override;
    bool Send(DWORD command) const;
    std::optional<LRESULT> OnMouse(UINT mouseMessage);

    ShellCalls shell_;
    WindowHookRegistry& hooks_;
    HWND window_;
    HICON icon_;
    UINT id_;
    UINT taskbarCreated_;
    std::wstring tip_;
    // Shown: between a Show and a Remove, whatever the shell answered, so that the icon
    // comes back when the shell (re)starts.
    bool shown_ = false;
    bool added_ = false;  // the shell took the icon
    bool hooked_ = false;
    TrayIconEvents* events_ = nullptr;
};

}  // namespace tarnleaf
