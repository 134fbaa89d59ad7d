#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPoint>
#include <QSystemTrayIcon>
#include <QUrl>

#include "DesktopServices.h"
#include "FilePath.h"
#include "QtInstanceLock.h"
#include "QtMainWindow.h"
#include "QtSocketWatcher.h"

namespace tarnleaf {

// What the Qt desktop takes from its program, and what tests replace.
struct QtDesktopOptions {
    // The program's arguments after its name, UTF-8.
    std::vector<std::string> arguments;
    // The single-instance lock file; empty: QtInstanceLock::DefaultPath().
    QString lockFilePath;
    // The folder of the program file; empty: the running executable's folder.
    FilePath programFolder;
    // Opens a document with the desktop's default application; empty: QDesktopServices.
    std::function<void(const QUrl&)> openUrl;
    // Runs the pop-up menu at a screen position and returns the chosen action (nullptr when
    // cancelled); empty: QMenu::exec, a nested loop.
    std::function<QAction*(QMenu&, const QPoint&)> runMenu;
    // Whether a notification area is there; empty: ask QSystemTrayIcon.
    std::optional<bool> systemTrayAvailable;
};

// The desktop seam on Qt6 Widgets: the main window, the pop-up menu "設定" "ログ" "終了", tray
// icons as QSystemTrayIcon, screen geometry from the primary screen, a lock file for the
// single-instance rule, and the window-procedure chain that the tray logic hooks: Qt's tray
// activations arrive as the shell's icon notifications, through the window's current
// procedure, from the event loop. Positions the logic sees are relative to the primary
// screen's top-left corner. Everything runs on the thread of the QApplication, which must
// exist before this object and outlive it.
class QtDesktop final : public DesktopServices {
public:
    explicit QtDesktop(QtDesktopOptions options = {});
    ~QtDesktop() override;
    QtDesktop(const QtDesktop&) = delete;
    QtDesktop& operator=(const QtDesktop&) = delete;

    void SetEvents(DesktopEvents& events) { events_ = &events; }

    // Datagrams reach the loop through a socket notifier; `handleOne` handles one waiting
    // datagram and returns false when there was none (see QtSocketWatcher).
    void WatchSocket(std::intptr_t socket, std::function<bool()> handleOne);

    // The event loop; returns the exit code given to Quit (at once if Quit came first).
    int Run();

    // As the window's close box: the end of the session, a stop signal.
    void RequestClose();

    // A message to the window through its current procedure, as the loop delivers it.
    MessageResult Deliver(WindowHandle window, std::uint32_t message, WParam wParam,
                          LParam lParam);

    // For the program and the tests.
    QtMainWindow& Window() { return *window_; }
    QMenu& Menu() { return *menu_; }
    QAction& MenuAction(MenuItem item) { return *actions_[static_cast<int>(item)]; }
    // The tray icon shown for (window, uID), or nullptr.
    QSystemTrayIcon* TrayIcon(WindowHandle window, std::uint32_t uID) const;
    std::size_t TrayIconCount() const { return trayIcons_.size(); }
    bool Quitting() const { return quitting_; }
    int ExitCode() const { return exitCode_; }

    // ShellServices
    bool ShellNotifyIcon(NotifyIconMessage message, const NotifyIconData& record) override;
    std::uint32_t RegisterMessageName(std::string_view name) override;
    void BringToForeground(WindowHandle window) override;
    void PostWindowMessage(WindowHandle window, std::uint32_t message, WParam wParam,
                           LParam lParam) override;
    WindowProcHandle InstallWindowProc(WindowHandle window, WindowProcedure procedure) override;
    void RestoreWindowProc(WindowHandle window, WindowProcHandle previous) override;
    MessageResult CallPreviousWindowProc(WindowProcHandle procedure, WindowHandle window,
                                         std::uint32_t message, WParam wParam,
                                         LParam lParam) override;
    bool SystemTrayAvailable() const override;

    // ScreenGeometry
    PixelRect TaskbarRect() override;
    std::int32_t ScreenWidth() override;
    std::int32_t ScreenHeight() override;
    PixelRect WindowOuterRect(WindowHandle window) override;

    // FormServices
    WindowHandle MainWindow() const override;
    bool PreviousInstanceRunning() override;
    std::string CommandLineText() const override;
    FilePath ProgramFolder() const override;
    IconHandle LoadProgramIcon() override;
    void SetWindowIcon(IconHandle icon) override;
    void SetWindowVisible(bool visible) override;
    void SetWindowLeft(int twips) override;
    void SetWindowTop(int twips) override;
    WindowState GetWindowState() const override;
    void SetWindowState(WindowState state) override;
    float TwipsPerPixelX() const override { return twipsX_; }
    float TwipsPerPixelY() const override { return twipsY_; }
    void SetMenuChecked(MenuItem item, bool checked) override;
    void ShowPopupMenu(MenuItem defaultItem) override;
    void ViewSetText(std::string_view text) override;
    void ViewAppend(std::string_view text) override;
    void ViewSetCaret(std::size_t offset) override;
    void OpenDocument(WindowHandle owner, const FilePath& file,
                      const FilePath& directory) override;
    void ShowErrorBox(std::string_view caption, std::string_view text) override;
    void Quit(int exitCode) override;

    // The procedure handle of the window's own procedure (every message: result 0).
    static constexpr WindowProcHandle kOwnProcedure = 1;

private:
    struct TrayEntry {
        std::unique_ptr<QSystemTrayIcon> icon;
        std::uint32_t callbackMessage = 0;
        bool notifies = false;
    };
    struct InstalledProcedure {
        WindowProcedure procedure;
        WindowProcHandle previous = 0;
    };

    void BuildMenu();
    void ApplyRecord(TrayEntry& entry, const NotifyIconData& record);
    void OnActivated(WindowHandle window, std::uint32_t uID,
                     QSystemTrayIcon::ActivationReason reason);
    void OnWindowResized();
    QPoint ScreenOrigin() const;

    QtDesktopOptions options_;
    float twipsX_ = 15.0F;
    float twipsY_ = 15.0F;
    std::unique_ptr<QtMainWindow> window_;
    std::unique_ptr<QMenu> menu_;
    std::vector<QAction*> actions_;  // by MenuItem, owned by the menu
    std::unique_ptr<QObject> context_;  // queued deliveries die with it
    DesktopEvents* events_ = nullptr;
    QtInstanceLock lock_;
    std::unique_ptr<QtSocketWatcher> socket_;

    std::map<std::pair<WindowHandle, std::uint32_t>, TrayEntry> trayIcons_;
    std::map<IconHandle, QIcon> icons_;
    IconHandle programIcon_ = 0;
    std::map<std::string, std::uint32_t, std::less<>> messageNames_;

    WindowProcHandle currentProcedure_ = kOwnProcedure;
    std::map<WindowProcHandle, InstalledProcedure> procedures_;
    WindowProcHandle nextProcedure_ = kOwnProcedure + 1;

    // The window's outer top-left as last set, in screen pixels: a hidden window takes it
    // when it is next shown, and a late report of an earlier place must not undo it.
    QPoint position_;
    std::string viewText_;  // the log view's text as the logic built it (UTF-8 bytes)
    bool everShown_ = false;
    bool showing_ = false;
    bool resizedWhileShowing_ = false;
    bool resizePending_ = false;
    bool menuOpen_ = false;
    bool quitting_ = false;
    int exitCode_ = 0;
};

// The arguments as one text, joined by single spaces; an argument that is empty or holds a
// blank is written in double quotes.
std::string JoinCommandLine(const std::vector<std::string>& arguments);

}  // namespace tarnleaf
