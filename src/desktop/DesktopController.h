#pragma once

#include <filesystem>
#include <functional>
#include <optional>

#include "DesktopSession.h"
#include "LogModel.h"
#include "MainWindow.h"
#include "ScreenGeometry.h"
#include "TrayIcon.h"
#include "UdpEndpoint.h"

namespace tarnleaf {

// The desktop program's logic: start-up and shutdown, the log view and the logging switch,
// the tray icon's menu, the window's buttons, and placing the window beside the tray.
// One thread: every handler runs to completion, the pop-up menu's nested loop excepted.
class DesktopController final : public MainWindowEvents, public TrayIconEvents {
public:
    struct Settings {
        std::filesystem::path configFile;  // what "Edit Config" opens
        bool loggingOn = true;             // false after -NOLOG
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

    bool Ended() const;
};

}  // namespace tarnleaf
