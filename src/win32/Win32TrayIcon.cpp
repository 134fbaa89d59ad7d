#include "Win32TrayIcon.h"

#include <algorithm>

#include "DisplayText.h"

namespace tarnleaf {
namespace {

// The mouse messages that the shell's notifications carry in lParam, and what each one
// means to the program: a press is an activation, and so is the left double click; the
// rest (moves, releases, other double clicks) is handled and dropped.
struct MouseRow {
    UINT message;
    std::optional<MouseButton> button;
    ClickCount count = ClickCount::Single;
};
constexpr MouseRow kMouseTable[] = {
    {WM_MOUSEMOVE, std::nullopt},
    {WM_LBUTTONDOWN, MouseButton::Left},
    {WM_LBUTTONUP, std::nullopt},
    {WM_LBUTTONDBLCLK, MouseButton::Left, ClickCount::Double},
    {WM_RBUTTONDOWN, MouseButton::Right},
    {WM_RBUTTONUP, std::nullopt},
    {WM_RBUTTONDBLCLK, std::nullopt},
    {WM_MBUTTONDOWN, MouseButton::Middle},
    {WM_MBUTTONUP, std::nullopt},
    {WM_MBUTTONDBLCLK, std::nullopt},
};

// Identities are unique among the live icons of the process and never 0.
UINT NextId() {
    static UINT last = 0;
    if (++last == 0) ++last;
    return last;
}

UINT CommandOf(MenuItem item) {
    return static_cast<UINT>(item) + 1;  // 0 means "nothing chosen"
}

}  // namespace

const Win32TrayIcon::ShellCalls Win32TrayIcon::kShell{Shell_NotifyIconW, RegisterWindowMessageW};

Win32TrayIcon::Win32TrayIcon(WindowHookRegistry& hooks, HWND window, HICON icon,
                             const ShellCalls& shell)
    : shell_(shell),
      hooks_(hooks),
      window_(window),
      icon_(icon),
      id_(NextId()),
      // 0 when registering fails: the null message's number, which must never count as
      // the shell's restart.
      taskbarCreated_(shell_.registerMessage(L"TaskbarCreated")) {
    // Hooked for the icon's whole life: "TaskbarCreated" matters even while the shell has
    // refused the icon.
    hooked_ = hooks_.Hook(window_, *this);
}

Win32TrayIcon::~Win32TrayIcon() {
    Remove();
    if (hooked_) hooks_.Unhook(window_, *this);
}

bool Win32TrayIcon::Available() const {
    return FindWindowW(L"Shell_TrayWnd", nullptr) != nullptr;
}

bool Win32TrayIcon::Send(DWORD command) const {
    NOTIFYICONDATAW record{};
    record.cbSize = NOTIFYICONDATAW_V1_SIZE;
    record.hWnd = window_;
    record.uID = id_;
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = kCallbackMessage;
    record.hIcon = icon_;
    std::copy(tip_.begin(), tip_.end(), record.szTip);  // tip_ is at most kTipUnits long
    return shell_.notifyIcon(command, &record) != FALSE;
}

bool Win32TrayIcon::Show(std::string_view tip) {
    if (icon_ == nullptr || window_ == nullptr) return false;
    tip_ = WidenCut(tip, kTipUnits);
    shown_ = true;
    // A modify that fails means the shell lost the icon (it restarted and its broadcast
    // has not come yet): add it afresh.
    added_ = (added_ && Send(NIM_MODIFY)) || Send(NIM_ADD);
    return added_;
}

void Win32TrayIcon::Remove() {
    if (shown_) Send(NIM_DELETE);
    shown_ = false;
    added_ = false;
}

std::optional<MenuItem> Win32TrayIcon::PopUpMenu(std::span<const MenuEntry> entries,
                                                 MenuItem defaultItem) {
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) return std::nullopt;
    for (const MenuEntry& entry : entries) {
        AppendMenuW(menu, MF_STRING | (entry.checked ? MF_CHECKED : MF_UNCHECKED),
                    CommandOf(entry.item), Widen(entry.text).c_str());
    }
    SetMenuDefaultItem(menu, CommandOf(defaultItem), FALSE);
    // The shell's rule for notification-area menus: the owner comes to the foreground
    // first, else the menu does not close on a click elsewhere; and a message follows the
    // menu, else the next click on the icon is lost.
    SetForegroundWindow(window_);
    POINT at{};
    GetCursorPos(&at);
    const auto chosen = static_cast<UINT>(TrackPopupMenu(
        menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, at.x, at.y, 0, window_, nullptr));
    DestroyMenu(menu);
    PostMessageW(window_, WM_NULL, 0, 0);
    for (const MenuEntry& entry : entries) {
        if (chosen != 0 && CommandOf(entry.item) == chosen) return entry.item;
    }
    return std::nullopt;
}

std::optional<PixelRect> Win32TrayIcon::Geometry() const {
    // Windows 7 and later; looked up so that the program still starts where it is missing.
    using GetRect = HRESULT(WINAPI*)(const NOTIFYICONIDENTIFIER*, RECT*);
    static const auto getRect = reinterpret_cast<GetRect>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"shell32.dll"), "Shell_NotifyIconGetRect")));
    if (!added_ || getRect == nullptr) return std::nullopt;
    NOTIFYICONIDENTIFIER icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = window_;
    icon.uID = id_;
    RECT rect{};
    if (FAILED(getRect(&icon, &rect))) return std::nullopt;
    const PixelRect geometry{rect.left, rect.top, rect.right, rect.bottom};
    if (geometry.Empty()) return std::nullopt;
    return geometry;
}

std::optional<LRESULT> Win32TrayIcon::OnMouse(UINT mouseMessage) {
    const auto row =
        std::find_if(std::begin(kMouseTable), std::end(kMouseTable),
                     [mouseMessage](const MouseRow& r) { return r.message == mouseMessage; });
    if (row == std::end(kMouseTable)) return std::nullopt;
    if (row->button && events_ != nullptr) events_->OnTrayActivated(*row->button, row->count);
    return 0;
}

std::optional<LRESULT> Win32TrayIcon::OnWindowMessage(HWND, UINT message, WPARAM wParam,
                                                      LPARAM lParam) {
    // Another icon of the same window has its own identity: its notifications are its own.
    if (message == kCallbackMessage && wParam == id_) {
        return OnMouse(LOWORD(lParam));
    }
    if (taskbarCreated_ != 0 && message == taskbarCreated_) {
        if (shown_) added_ = Send(NIM_ADD);
        if (events_ != nullptr) events_->OnTrayCameBack();
        return std::nullopt;  // other icons of the window want it too
    }
    if (message == WM_DESTROY) {
        // The icon cannot outlive its window: the shell would keep a dead one.
        Remove();
    }
    return std::nullopt;
}

}  // namespace tarnleaf
