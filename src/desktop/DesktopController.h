#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "DesktopSession.h"
#include "FilePath.h"
#include "LogModel.h"
#include "MainWindow.h"
#include "ScreenGeometry.h"
#include "TrayIcon.h"
#include "UdpEndpoint.h"

namespace tarnleaf {

// The desktop program's logic: start-up and shutdown, the log view and the logging switch,
// the tray icon's menu, the window's buttons, and placing the window beside the tray.
// One thread: every handler runs to completion, the pop-up menu's nested loop excepted.
// It hands itself to the window and the tray icon as their events' receiver, and takes
// itself back when it is destroyed.
class DesktopController final : public MainWindowEvents, public TrayIconEvents {
public:
    struct Settings {
        FilePath configFile;     // what "Edit Config" opens
        bool loggingOn = true;  // false after -NOLOG
    };
    // Binds the server's socket; the error when that fails.
    using BindEndpoint = std::function<std::optional<SocketError>()>;
    using SendTestMessage = std::function<void()>;

    // Everything passed in must outlive the controller.
    DesktopController(MainWindow& window, TrayIcon& tray, const ScreenGeometry& screen,
                      DesktopSession& session, LogModel& log, Settings settings,
                      SendTestMessage sendTest, BindEndpoint bindEndpoint);
    ~DesktopController() override;

    // Single instance check, tray icon, logging switch, socket; then the first showing.
    void Start();

    // MainWindowEvents
    void OnResized() override;
    void OnCloseRequested() override;
    void OnButtonClicked(WindowButton button) override;
    // TrayIconEvents
    void OnTrayActivated(MouseButton button, ClickCount count) override;
    void OnTrayCameBack() override;

    // True once the program is ending (second copy, failed bind, close, "終了"); events are
    // then ignored.
    bool Ended() const { return ended_; }

private:
    // Whether hiding the window leaves a way back to it: the icon, in a notification area
    // that exists. Otherwise the window is never hidden, only minimised.
    bool TrayUsable() const;
    void PopUpMenu();
    void OnMenuChosen(MenuItem item);
    void PlaceBesideTray();
    void HideToTray();
    void End(int exitCode);
    // Removes the icon and ends the program; the caller has stopped the handling of events.
    void Leave(int exitCode);
    // Every showing and hiding of the window goes through these: the log view is kept
    // current only while the window is shown.
    void ShowWindow();
    void HideWindow();
    void ForwardLogChange(const LogChange& change);

    MainWindow& window_;
    TrayIcon& tray_;
    const ScreenGeometry& screen_;
    DesktopSession& session_;
    LogModel& log_;
    Settings settings_;
    SendTestMessage sendTest_;
    BindEndpoint bindEndpoint_;

    std::string viewText_;  // what the log view shows, or will show once the window is shown
    std::size_t viewCaret_ = 0;
    bool viewStale_ = false;  // the view has not been given viewText_ yet
    bool windowVisible_ = false;
    bool iconWanted_ = false;  // Show was asked for: a tray that comes back shows it again
    bool iconShown_ = false;
    bool windowShown_ = false;  // the check mark of "設定"
    bool resizedOnce_ = false;
    bool menuOpen_ = false;
    bool ended_ = false;
    bool startErrorShown_ = false;  // the box saying why the start failed is up
    // Tells the log's observer whether the controller still exists; the log may outlive it.
    std::shared_ptr<DesktopController*> alive_;
};

}  // namespace tarnleaf
