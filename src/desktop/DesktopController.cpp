#include "DesktopController.h"

#include <algorithm>
#include <array>
#include <utility>

#include "TaskbarGeometry.h"

namespace tarnleaf {
namespace {

constexpr std::string_view kTrayTip = "Bootp Server for Win";
constexpr std::string_view kConfigText = "設定";
constexpr std::string_view kLogText = "ログ";
constexpr std::string_view kExitText = "終了";

// Left of the window while start-up shows it once, so that it is never seen.
constexpr PixelPoint kOffScreen{-667, 0};

std::string BindFailureText(const SocketError& error) {
    std::string text =
        "Tarnleaf cannot answer requests: UDP port 67, the BOOTP/DHCP server port, could not "
        "be opened.\n\nError " +
        std::to_string(error.code);
    if (!error.description.empty()) {
        text += ": " + error.description;
    }
    text +=
        "\n\nAnother BOOTP or DHCP server on this computer may be using the port, or this "
        "program lacks the right to use it. Stop the other server, or start Tarnleaf with the "
        "rights to use port 67, and then start Tarnleaf again.";
    return text;
}

}  // namespace

DesktopController::DesktopController(MainWindow& window, TrayIcon& tray,
                                     const ScreenGeometry& screen, DesktopSession& session,
                                     LogModel& log, Settings settings, SendTestMessage sendTest,
                                     BindEndpoint bindEndpoint)
    : window_(window),
      tray_(tray),
      screen_(screen),
      session_(session),
      log_(log),
      settings_(std::move(settings)),
      sendTest_(std::move(sendTest)),
      bindEndpoint_(std::move(bindEndpoint)),
      alive_(std::make_shared<DesktopController*>(this)) {
    window_.SetEvents(this);
    tray_.SetEvents(this);
}

DesktopController::~DesktopController() {
    window_.SetEvents(nullptr);
    tray_.SetEvents(nullptr);
}

void DesktopController::Start() {
    // One copy per user: a second start ends at once, silently.
    if (session_.AnotherInstanceRunning()) {
        ended_ = true;
        session_.Quit(0);
        return;
    }
    // Asked for even while the desktop has no notification area: one that appears later
    // brings the icon in (OnTrayCameBack).
    iconWanted_ = true;
    iconShown_ = tray_.Show(kTrayTip);

    log_.SetLoggingEnabled(settings_.loggingOn);
    viewText_ = log_.Text();
    window_.SetLogText(viewText_);
    log_.Subscribe([alive = std::weak_ptr<DesktopController*>(alive_)](const LogChange& change) {
        if (const auto self = alive.lock()) {
            (*self)->ForwardLogChange(change);
        }
    });

    if (bindEndpoint_) {
        if (const std::optional<SocketError> error = bindEndpoint_()) {
            // The program ends with this error. The box runs a loop of its own, so the icon
            // and the window are still heard while it is up: nothing they ask may start
            // anything, nor end the program with another code.
            ended_ = true;
            startErrorShown_ = true;
            window_.ShowError("Tarnleaf", BindFailureText(*error));
            if (startErrorShown_) {
                startErrorShown_ = false;
                Leave(1);
            }
            return;
        }
    }
    // Shown once, off-screen: the size notification that follows hides it again at once
    // while the icon is there (OnResized).
    window_.MoveTo(kOffScreen);
    ShowWindow();
}

bool DesktopController::TrayUsable() const {
    // Asked afresh each time: a notification area may come or go while the program runs.
    return iconShown_ && tray_.Available();
}

void DesktopController::OnResized() {
    if (ended_) {
        return;
    }
    if (!resizedOnce_) {
        // Set first: hiding may report another size change before this returns.
        resizedOnce_ = true;
        if (TrayUsable()) {
            HideWindow();
            window_.MoveTo({0, 0});
        } else {
            windowShown_ = true;
            PlaceBesideTray();
        }
    }
    const WindowState state = window_.State();
    if (state == WindowState::Normal) {
        return;
    }
    if (TrayUsable()) {
        // Minimising or maximising by any means sends the window to the tray.
        HideWindow();
        window_.SetState(WindowState::Normal);
        windowShown_ = false;
    } else if (state == WindowState::Maximized) {
        // No tray to go to: a minimised window stays reachable on the taskbar, but the
        // fixed layout has no use for a maximised one.
        window_.SetState(WindowState::Normal);
    }
}

void DesktopController::OnCloseRequested() {
    if (startErrorShown_) {
        // A stop signal or the end of the desktop session while the box is up: the failed
        // start ends now, as it would after the box's OK, not when someone comes to click.
        startErrorShown_ = false;
        Leave(1);
        return;
    }
    End(0);
}

void DesktopController::OnButtonClicked(WindowButton button) {
    if (ended_) {
        return;
    }
    switch (button) {
        case WindowButton::EditConfig:
            // Whatever the desktop answers (no file, no editor for it) stays unreported.
            session_.OpenDocument(settings_.configFile);
            break;
        case WindowButton::SendTestMessage:
            if (sendTest_) {
                sendTest_();
            }
            break;
        case WindowButton::MinimizeToTray:
            HideToTray();
            break;
    }
}

void DesktopController::OnTrayActivated(MouseButton /*button*/, ClickCount count) {
    // Any button pressed on the icon opens the menu; a double click only on its first press.
    if (ended_ || count == ClickCount::Double) {
        return;
    }
    PopUpMenu();
}

void DesktopController::OnTrayCameBack() {
    if (ended_ || !iconWanted_) {
        return;
    }
    iconShown_ = tray_.Show(kTrayTip);
}

void DesktopController::PopUpMenu() {
    // One menu at a time: a press that reaches the icon while its menu is open must not
    // start a second one inside the first.
    if (menuOpen_) {
        return;
    }
    const std::array<MenuEntry, 3> entries{{
        {MenuItem::Config, kConfigText, windowShown_},
        {MenuItem::Log, kLogText, log_.LoggingEnabled()},
        {MenuItem::Exit, kExitText, false},
    }};
    menuOpen_ = true;
    const std::optional<MenuItem> chosen = tray_.PopUpMenu(entries, MenuItem::Exit);
    menuOpen_ = false;
    if (chosen && !ended_) {
        OnMenuChosen(*chosen);
    }
}

void DesktopController::OnMenuChosen(MenuItem item) {
    switch (item) {
        case MenuItem::Config:
            windowShown_ = !windowShown_;
            if (windowShown_) {
                PlaceBesideTray();
                ShowWindow();
            } else {
                HideWindow();
            }
            break;
        case MenuItem::Log:
            log_.SetLoggingEnabled(!log_.LoggingEnabled());
            break;
        case MenuItem::Exit:
            End(0);
            break;
    }
}

void DesktopController::PlaceBesideTray() {
    // Worked out anew at every showing: the taskbar or the screen may have changed.
    window_.MoveTo(TaskbarGeometry(screen_, tray_).WindowPosition(window_.OuterSize()));
}

void DesktopController::HideToTray() {
    windowShown_ = false;
    if (TrayUsable()) {
        HideWindow();
    } else {
        window_.SetState(WindowState::Minimized);
    }
}

void DesktopController::End(int exitCode) {
    if (ended_) {
        return;
    }
    ended_ = true;
    Leave(exitCode);
}

void DesktopController::Leave(int exitCode) {
    // The icon goes with the window, before the program ends, whatever way it ends.
    if (iconWanted_) {
        tray_.Remove();
        iconShown_ = false;
    }
    session_.Quit(exitCode);
}

void DesktopController::ShowWindow() {
    windowVisible_ = true;
    window_.Show();  // the first showing may hide it again before this returns
    if (windowVisible_ && viewStale_) {
        window_.SetLogText(viewText_);
        window_.SetLogCaret(viewCaret_);
        viewStale_ = false;
    }
}

void DesktopController::HideWindow() {
    windowVisible_ = false;
    window_.Hide();
}

void DesktopController::ForwardLogChange(const LogChange& change) {
    if (ended_) {
        return;
    }
    const std::size_t dropped = std::min(change.removedFromFront, viewText_.size());
    viewText_.erase(0, dropped);
    viewText_ += change.appended;
    viewCaret_ = std::min(change.caret, viewText_.size());
    // Laying out a view of the whole log costs milliseconds: it is done when a hidden window
    // is shown, never once per entry, or the view would cap the server at a few hundred
    // requests a second. A shown view drops what the log trimmed and adds what it gained.
    if (!windowVisible_) {
        viewStale_ = true;
        return;
    }
    if (viewStale_) {
        window_.SetLogText(viewText_);
        viewStale_ = false;
    } else {
        if (dropped > 0) {
            window_.RemoveLogFront(dropped);
        }
        if (!change.appended.empty()) {
            window_.AppendLogText(change.appended);
        }
    }
    window_.SetLogCaret(viewCaret_);
}

}  // namespace tarnleaf
