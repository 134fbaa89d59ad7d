#include "clsTray.h"

#include <atomic>

#include "TipText.h"

namespace tarnleaf {
namespace {

// Identity numbers count up from 1; they key the hook registry and are the icon's uID, so
// 0 is never handed out.
std::uint32_t NextIdentity() {
    static std::atomic<std::uint32_t> counter{0};
    std::uint32_t id = 0;
    while (id == 0) {
        id = ++counter;
    }
    return id;
}

// The handler runs from a copy: it may replace the object's handlers (its owner letting go
// of the events) while it runs.
template <typename Handler, typename... Args>
void Raise(const Handler& handler, Args... args) {
    if (handler) {
        const Handler copy = handler;
        copy(args...);
    }
}

}  // namespace

std::shared_ptr<clsTray> clsTray::Create(ShellServices& shell, modSubClass& hooks) {
    return std::shared_ptr<clsTray>(new clsTray(shell, hooks));
}

clsTray::clsTray(ShellServices& shell, modSubClass& hooks) : shell_(shell), hooks_(hooks) {
    taskbarCreated_ = shell_.RegisterMessageName("TaskbarCreated");
    record_.cbSize = NotifyIconData::kFirstVersionSize;
    record_.hIcon = 0;
    record_.szTip.fill(u'\0');
    record_.uCallbackMessage = NotifyIconData::kCallbackMessage;
    record_.uFlags =
        NotifyIconData::kFlagMessage | NotifyIconData::kFlagIcon | NotifyIconData::kFlagTip;
    record_.uID = NextIdentity();
}

clsTray::~clsTray() {
    if (shown_) {
        // No shared_from_this here, and the hook holds no reference any more (else we would
        // not be ending): send the delete and drop our registration by hand.
        Send(NotifyIconMessage::Delete);
        shown_ = false;
    }
    hooks_.UnhookWindow(*this);
}

void clsTray::Send(NotifyIconMessage message) {
    // The shell's answer changes nothing here: a refused call leaves the state as it is.
    static_cast<void>(shell_.ShellNotifyIcon(message, record_));
}

void clsTray::SetIcon(IconHandle newIcon) {
    icon_ = newIcon;
    record_.hIcon = newIcon;
    if (shown_) {
        Send(NotifyIconMessage::Modify);
    }
}

std::string clsTray::ToolTipText() const { return TipToUtf8(record_.Tip()); }

void clsTray::SetToolTipText(std::string_view newToolTipText) {
    WriteTipField(newToolTipText, record_.szTip);
    if (shown_) {
        Send(NotifyIconMessage::Modify);
    }
}

void clsTray::SetVisible(bool newVisible) {
    if (newVisible) {
        static_cast<void>(AddIcon(hWnd_));
    } else {
        DeleteIcon();
    }
}

bool clsTray::AddIcon(WindowHandle window) {
    if (record_.hIcon == 0) {
        return false;
    }
    hWnd_ = window;
    record_.hWnd = window;
    Send(NotifyIconMessage::Add);
    hooks_.HookWindow(shared_from_this());
    shown_ = true;
    return true;
}

void clsTray::DeleteIcon() {
    Send(NotifyIconMessage::Delete);
    hooks_.UnhookWindow(*this);
    shown_ = false;
}

void clsTray::PopupMenu(FormServices& ownerForm, MenuItem defaultMenu) {
    // A menu item's handler may let go of this object (the exit command does).
    const std::shared_ptr<clsTray> self = shared_from_this();
    shell_.BringToForeground(ownerForm.MainWindow());
    ownerForm.ShowPopupMenu(defaultMenu);
    if (hWnd_ != 0) {
        shell_.PostWindowMessage(hWnd_, 0, 0, 0);
    }
}

MessageResult clsTray::WindowProc(WindowHandle /*window*/, std::uint32_t message,
                                  WParam /*wParam*/, LParam lParam) {
    // An event handler may let go of this object; stay alive until the message is done.
    const std::shared_ptr<clsTray> self = shared_from_this();
    if (message == NotifyIconData::kCallbackMessage) {
        switch (lParam) {
            case kMouseMove:
                Raise(events_.MouseMove);
                break;
            case kLeftButtonDown:
                Raise(events_.MouseDown, TrayButton::Left);
                break;
            case kLeftButtonUp:
                Raise(events_.MouseUp, TrayButton::Left);
                if (!doubleClicked_) {
                    Raise(events_.Click);
                }
                doubleClicked_ = false;
                break;
            case kLeftButtonDoubleClick:
                Raise(events_.DblClick);
                doubleClicked_ = true;
                break;
            case kRightButtonDown:
                Raise(events_.MouseDown, TrayButton::Right);
                break;
            case kRightButtonUp:
                Raise(events_.MouseUp, TrayButton::Right);
                break;
            case kMiddleButtonDown:
                Raise(events_.MouseDown, TrayButton::Middle);
                break;
            case kMiddleButtonUp:
                Raise(events_.MouseUp, TrayButton::Middle);
                break;
            case kRightButtonDoubleClick:
            case kMiddleButtonDoubleClick:
                break;
            default:
                return -1;
        }
        return 0;
    }
    // A failed registration gives 0, the null message's number: that must not count.
    if (taskbarCreated_ != 0 && message == taskbarCreated_) {
        if (shown_) {
            static_cast<void>(AddIcon(hWnd_));
        }
        return 0;
    }
    return -1;
}

}  // namespace tarnleaf
