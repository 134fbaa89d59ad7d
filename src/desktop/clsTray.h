#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "DesktopTypes.h"
#include "FormServices.h"
#include "NotifyIconData.h"
#include "ShellServices.h"
#include "HookedObject.h"
#include "modSubClass.h"

namespace tarnleaf {

// The mouse buttons as the icon's events name them.
enum class TrayButton : std::int16_t { Left = 1, Right = 2, Middle = 4 };

// The events of the icon, raised synchronously from WindowProc; an empty one is not raised.
struct TrayEvents {
    std::function<void()> Click;
    std::function<void()> DblClick;
    std::function<void(TrayButton)> MouseDown;
    std::function<void(TrayButton)> MouseUp;
    std::function<void()> MouseMove;
};

// One icon with a tip in the notification area. Its mouse notifications reach it through
// the window hook, which holds the object while the icon is shown; created only through
// Create, because the hook shares ownership.
class clsTray final : public HookedObject, public std::enable_shared_from_this<clsTray> {
public:
    // The mouse messages that the shell's notifications carry in lParam.
    static constexpr LParam kMouseMove = 0x200;
    static constexpr LParam kLeftButtonDown = 0x201;
    static constexpr LParam kLeftButtonUp = 0x202;
    static constexpr LParam kLeftButtonDoubleClick = 0x203;
    static constexpr LParam kRightButtonDown = 0x204;
    static constexpr LParam kRightButtonUp = 0x205;
    static constexpr LParam kRightButtonDoubleClick = 0x206;
    static constexpr LParam kMiddleButtonDown = 0x207;
    static constexpr LParam kMiddleButtonUp = 0x208;
    static constexpr LParam kMiddleButtonDoubleClick = 0x209;

    // `shell` and `hooks` must outlive the object.
    static std::shared_ptr<clsTray> Create(ShellServices& shell, modSubClass& hooks);
    ~clsTray() override;
    clsTray(const clsTray&) = delete;
    clsTray& operator=(const clsTray&) = delete;

    void SetEvents(TrayEvents events) { events_ = std::move(events); }

    // HookedObject
    std::uint32_t HookId() const override { return record_.uID; }
    WindowHandle hWnd() const override { return hWnd_; }
    WindowProcHandle ProcOrg() const override { return procOrg_; }
    void SetProcOrg(WindowProcHandle procedure) override { procOrg_ = procedure; }
    MessageResult WindowProc(WindowHandle window, std::uint32_t message, WParam wParam,
                             LParam lParam) override;

    IconHandle Icon() const { return icon_; }
    void SetIcon(IconHandle newIcon);

    std::string ToolTipText() const;
    void SetToolTipText(std::string_view newToolTipText);

    bool Visible() const { return shown_; }
    void SetVisible(bool newVisible);

    // Shows the icon for the window and hooks the window; false (and nothing done) while
    // there is no icon picture.
    bool AddIcon(WindowHandle window);
    void DeleteIcon();

    // The form's pop-up menu at the mouse, in the way the shell needs it: the form comes
    // to the foreground first, and a null message follows the menu.
    void PopupMenu(FormServices& ownerForm, MenuItem defaultMenu);

    const NotifyIconData& Record() const { return record_; }

private:
    clsTray(ShellServices& shell, modSubClass& hooks);
    void Send(NotifyIconMessage message);

    ShellServices& shell_;
    modSubClass& hooks_;
    NotifyIconData record_;
    IconHandle icon_ = 0;
    bool shown_ = false;
    std::uint32_t taskbarCreated_ = 0;
    WindowHandle hWnd_ = 0;
    WindowProcHandle procOrg_ = 0;
    bool doubleClicked_ = false;
    TrayEvents events_;
};

}  // namespace tarnleaf
