#include "frmMain.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "clsWindowSize.h"
#include "CommandLine.h"
#include "FormLayout.h"

namespace tarnleaf {
namespace {

// Pixels to twips; a position far outside the range of int is held at its edge.
int ToTwips(std::int32_t pixels, float twipsPerPixel) {
    const double twips = std::round(static_cast<double>(pixels) * twipsPerPixel);
    if (!(twips >= std::numeric_limits<int>::min())) {  // also catches NaN
        return std::numeric_limits<int>::min();
    }
    if (twips > std::numeric_limits<int>::max()) {
        return std::numeric_limits<int>::max();
    }
    return static_cast<int>(twips);
}

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

frmMain::frmMain(DesktopServices& desktop, modSubClass& hooks, LogModel& log,
                 SendTestMessage sendTest, BindEndpoint bindEndpoint)
    : desktop_(desktop),
      hooks_(hooks),
      log_(log),
      sendTest_(std::move(sendTest)),
      bindEndpoint_(std::move(bindEndpoint)),
      alive_(std::make_shared<frmMain*>(this)) {}

frmMain::~frmMain() {
    // The hook may keep the tray object beyond the window: it must not call back into it.
    if (tray_) {
        tray_->SetEvents({});
    }
}

void frmMain::Start() {
    Load();
    if (ended_) {
        return;
    }
    // The start procedure's show; its size notification hides the window again at once
    // while the icon is there (OnResize).
    desktop_.SetWindowVisible(true);
}

void frmMain::Load() {
    // One copy per user: a second start ends at once, silently.
    if (desktop_.PreviousInstanceRunning()) {
        ended_ = true;
        desktop_.Quit(0);
        return;
    }

    const CommandLineParts arguments = SplitCommandLine(desktop_.CommandLineText());
    configFile_ = ResolveConfigFile(arguments, desktop_.ProgramFolder());

    // The program's icon for the window and the tray.
    const IconHandle icon = desktop_.LoadProgramIcon();
    desktop_.SetWindowIcon(icon);

    // Off-screen for the one showing that start-up makes.
    desktop_.SetWindowVisible(false);
    desktop_.SetWindowLeft(kOffScreenLeft);

    // The tray icon. Added even while the desktop has no notification area: the
    // shell's restart message brings it in once one appears.
    tray_ = clsTray::Create(desktop_, hooks_);
    ConnectTrayEvents();
    tray_->SetIcon(icon);
    tray_->SetToolTipText(form_layout::kTrayToolTip);
    static_cast<void>(tray_->AddIcon(desktop_.MainWindow()));

    // The logging switch from the command line.
    const bool logging = !LoggingStartsOff(arguments.rest);
    log_.SetLoggingEnabled(logging);
    desktop_.SetMenuChecked(MenuItem::Log, logging);
    desktop_.SetMenuChecked(MenuItem::Config, false);
    desktop_.SetMenuChecked(MenuItem::Exit, false);

    viewText_ = log_.Text();
    desktop_.ViewSetText(viewText_);
    log_.Subscribe([alive = std::weak_ptr<frmMain*>(alive_)](const LogChange& change) {
        if (const auto self = alive.lock()) {
            (*self)->ForwardLogChange(change);
        }
    });

    // The server's socket.
    if (bindEndpoint_) {
        if (const std::optional<SocketError> error = bindEndpoint_()) {
            BindFailed(*error);
        }
    }
}

void frmMain::ConnectTrayEvents() {
    TrayEvents events;
    // Any button pressed on the icon opens the menu; the button is not looked at.
    events.MouseDown = [this](TrayButton) {
        if (ended_ || !tray_) {
            return;
        }
        // "終了" lets go of the tray object while its menu is still open.
        const std::shared_ptr<clsTray> tray = tray_;
        tray->PopupMenu(desktop_, MenuItem::Exit);
    };
    tray_->SetEvents(std::move(events));
}

void frmMain::BindFailed(const SocketError& error) {
    desktop_.ShowErrorBox("Tarnleaf", BindFailureText(error));
    Unload(1);
}

void frmMain::OnResize() {
    if (ended_) {
        return;
    }
    if (!resizedOnce_) {
        // Set first: hiding may report another size change before this returns.
        resizedOnce_ = true;
        if (TrayUsable()) {
            desktop_.SetWindowVisible(false);
            desktop_.SetWindowLeft(0);
        } else {
            SetConfigChecked(true);
            PlaceBesideTray();
        }
    }
    const WindowState state = desktop_.GetWindowState();
    if (state == WindowState::Normal) {
        return;
    }
    if (TrayUsable()) {
        // Minimising or maximising by any means sends the window to the tray.
        desktop_.SetWindowVisible(false);
        desktop_.SetWindowState(WindowState::Normal);
        SetConfigChecked(false);
    } else if (state == WindowState::Maximized) {
        // No tray to go to: a minimised window stays reachable on the taskbar, but the
        // fixed layout has no use for a maximised one.
        desktop_.SetWindowState(WindowState::Normal);
    }
}

void frmMain::OnCloseRequest() { Unload(0); }

void frmMain::OnMenuClick(MenuItem item) {
    if (ended_) {
        return;
    }
    switch (item) {
        case MenuItem::Config:
            SetConfigChecked(!configChecked_);
            if (configChecked_) {
                PlaceBesideTray();
            }
            desktop_.SetWindowVisible(configChecked_);
            break;
        case MenuItem::Log:
            ToggleLogging();
            break;
        case MenuItem::Exit:
            Unload(0);
            break;
    }
}

void frmMain::OnButtonClick(FormButton button) {
    if (ended_) {
        return;
    }
    switch (button) {
        case FormButton::Edit:
            EditConfig();
            break;
        case FormButton::Test:
            if (sendTest_) {
                sendTest_();
            }
            break;
        case FormButton::Cancel:
            HideToTray();
            break;
    }
}

bool frmMain::TrayUsable() const {
    // Asked afresh each time: a notification area may come or go while the program runs.
    return IconShown() && desktop_.SystemTrayAvailable();
}

void frmMain::SetConfigChecked(bool checked) {
    configChecked_ = checked;
    desktop_.SetMenuChecked(MenuItem::Config, checked);
}

void frmMain::PlaceBesideTray() {
    // Worked out anew at every showing: the taskbar or the screen may have changed.
    const PixelPoint corner =
        clsWindowSize(desktop_).TrueTasktraySide(desktop_.MainWindow());
    desktop_.SetWindowLeft(ToTwips(corner.x, desktop_.TwipsPerPixelX()));
    desktop_.SetWindowTop(ToTwips(corner.y, desktop_.TwipsPerPixelY()));
}

void frmMain::HideToTray() {
    SetConfigChecked(false);
    if (TrayUsable()) {
        desktop_.SetWindowVisible(false);
    } else {
        desktop_.SetWindowState(WindowState::Minimized);
    }
}

void frmMain::ToggleLogging() {
    const bool logging = !log_.LoggingEnabled();
    log_.SetLoggingEnabled(logging);
    desktop_.SetMenuChecked(MenuItem::Log, logging);
}

void frmMain::EditConfig() {
    // Whatever the shell answers (no file, no editor for it) stays unreported.
    desktop_.OpenDocument(desktop_.MainWindow(), configFile_, configFile_.parent_path());
}

void frmMain::Unload(int exitCode) {
    if (ended_) {
        return;
    }
    ended_ = true;
    if (tray_) {
        // The icon and the hook go with the window, not at some later point of the
        // process's end, so the window's own procedure is back before it is destroyed.
        tray_->SetEvents({});
        if (tray_->Visible()) {
            tray_->DeleteIcon();
        }
        tray_.reset();
    }
    desktop_.Quit(exitCode);
}

void frmMain::ForwardLogChange(const LogChange& change) {
    if (ended_) {
        return;
    }
    const std::size_t dropped = std::min(change.removedFromFront, viewText_.size());
    viewText_.erase(0, dropped);
    viewText_ += change.appended;
    if (dropped > 0) {
        desktop_.ViewSetText(viewText_);
    } else if (!change.appended.empty()) {
        desktop_.ViewAppend(change.appended);
    }
    desktop_.ViewSetCaret(std::min(change.caret, viewText_.size()));
}

}  // namespace tarnleaf
