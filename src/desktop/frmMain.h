#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "DesktopEvents.h"
#include "DesktopServices.h"
#include "FilePath.h"
#include "UdpEndpoint.h"
#include "LogModel.h"
#include "clsTray.h"
#include "modSubClass.h"

namespace tarnleaf {

// The main window's logic: start-up and shutdown, the log view and its switch, the pop-up
// menu on the tray icon, the buttons, and placing the window beside the notification area.
// One thread: every handler runs to completion, the pop-up menu's nested loop excepted.
class frmMain final : public DesktopEvents {
public:
    // Binds the server's socket to port 67; the error when that fails.
    using BindEndpoint = std::function<std::optional<SocketError>()>;
    using SendTestMessage = std::function<void()>;

    // Left of the window while start-up shows it once, so that it is never seen.
    static constexpr int kOffScreenLeft = -10005;

    // `desktop`, `hooks` and `log` must outlive the window; `hooks` must also outlive every
    // tray object, so the program declares it before the window.
    frmMain(DesktopServices& desktop, modSubClass& hooks, LogModel& log,
            SendTestMessage sendTest, BindEndpoint bindEndpoint);
    ~frmMain() override;
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    // The start procedure: the load handler, then the first showing (unless start-up ended).
    void Start();

    // DesktopEvents
    void OnResize() override;
    void OnCloseRequest() override;
    void OnMenuClick(MenuItem item) override;
    void OnButtonClick(FormButton button) override;

    // True once the program is ending (single instance, failed bind, close); events are
    // then ignored.
    bool Ended() const { return ended_; }
    // The configuration file that "Edit Config" opens (known after Start).
    const FilePath& ConfigFile() const { return configFile_; }
    // The window-shown flag: the check mark of "設定".
    bool WindowShown() const { return configChecked_; }
    // Whether the tray icon is shown; without it the window stays on screen.
    bool IconShown() const { return tray_ && tray_->Visible(); }
    const std::shared_ptr<clsTray>& Tray() const { return tray_; }

private:
    void Load();
    // Whether hiding the window leaves a way back to it: the icon, in a notification area
    // that exists. Otherwise the window is never hidden, only minimised.
    bool TrayUsable() const;
    void ConnectTrayEvents();
    void SetConfigChecked(bool checked);
    void PlaceBesideTray();
    void HideToTray();
    void ToggleLogging();
    void EditConfig();
    void BindFailed(const SocketError& error);
    void Unload(int exitCode);
    void ForwardLogChange(const LogChange& change);

    DesktopServices& desktop_;
    modSubClass& hooks_;
    LogModel& log_;
    SendTestMessage sendTest_;
    BindEndpoint bindEndpoint_;

    std::shared_ptr<clsTray> tray_;  // mTray1
    FilePath configFile_;
    std::string viewText_;  // what the log view holds, to replace it whole after a trim
    bool configChecked_ = false;
    bool resizedOnce_ = false;
    bool ended_ = false;
    // Tells the log's observer whether this window still exists; the log may outlive it.
    std::shared_ptr<frmMain*> alive_;
};

}  // namespace tarnleaf
