#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/DesktopServices.h"

namespace tarnleaf::testing {

// The desktop in memory: records what the logic asks of it, keeps the state a real desktop
// would (icons, window procedures, the window's visibility and place), and lets a test
// play the user and the shell (mouse on the icon, shell restart, minimise, close).
class FakeDesktop : public DesktopServices {
public:
    static constexpr WindowHandle kMainWindow = 0x1000;

    struct NotifyCall {
        NotifyIconMessage message;
        NotifyIconData record;
    };
    struct PostedMessage {
        WindowHandle window;
        std::uint32_t message;
        WParam wParam;
        LParam lParam;
    };
    struct DeliveredMessage {
        WindowHandle window;
        std::uint32_t message;
        WParam wParam;
        LParam lParam;
    };
    struct OpenedDocument {
        WindowHandle owner;
        std::filesystem::path file;
        std::filesystem::path directory;
    };
    struct ErrorBox {
        std::string caption;
        std::string text;
    };

    FakeDesktop();

    // --- wiring and driving -------------------------------------------------------------
    void SetEvents(DesktopEvents* events) { events_ = events; }

    // Another top-level window; its own procedure records what reaches it.
    WindowHandle AddWindow();

    // A message to the window through its current procedure, as the message loop would.
    MessageResult Deliver(WindowHandle window, std::uint32_t message, WParam wParam = 0,
                          LParam lParam = 0);
    // A mouse notification for every icon of the window, as the shell sends it.
    void MouseOnIcon(LParam mouseMessage, WindowHandle window = kMainWindow);
    // The shell restarted: its icons are gone and "TaskbarCreated" goes to every window.
    void RestartShell();
    // The user (or "minimise all") minimises, maximises or closes the window.
    void UserSetsWindowState(WindowState state);
    void UserClosesWindow();
    // Runs inside ShowPopupMenu, as the menu's nested loop: choose an item, deliver
    // messages... Empty: the user cancels the menu.
    std::function<void()> onPopup;
    // Chooses `item` in the open pop-up menu (its click handler runs).
    void ChooseMenuItem(MenuItem item);

    // --- what the logic did ---------------------------------------------------------------
    std::vector<NotifyCall> notifyCalls;
    std::map<std::pair<WindowHandle, std::uint32_t>, NotifyIconData> icons;  // shown icons
    std::vector<WindowHandle> foregroundCalls;
    std::vector<PostedMessage> posted;
    std::map<WindowHandle, std::vector<DeliveredMessage>> ownProcMessages;
    std::vector<std::string> trace;  // calls in order, e.g. "Foreground", "Popup", "Post"
    int installCount = 0;
    int restoreCount = 0;

    bool windowVisible = false;
    bool everShown = false;
    int windowLeft = 0;
    int windowTop = 0;
    std::vector<std::pair<char, int>> placements;  // ('L' or 'T', twips) in order
    WindowState windowState = WindowState::Normal;
    std::map<MenuItem, bool> menuChecked;
    std::vector<MenuItem> popupDefaults;  // one per pop-up shown
    int popupDepth = 0;
    IconHandle windowIcon = 0;
    std::string viewText;
    std::size_t viewCaret = 0;
    std::vector<OpenedDocument> openedDocuments;
    std::vector<ErrorBox> errorBoxes;
    std::optional<int> quitCode;
    int quitCalls = 0;

    // --- what the platform answers ------------------------------------------------------
    bool trayAvailable = true;
    bool previousInstance = false;
    std::string commandLine;
    std::filesystem::path programFolder = "/opt/tarnleaf";
    IconHandle programIcon = 0x501;
    float twipsX = 15.0F;
    float twipsY = 15.0F;
    PixelRect taskbarRect{0, 738, 1024, 768};
    std::int32_t screenWidth = 1024;
    std::int32_t screenHeight = 768;
    std::map<WindowHandle, PixelRect> windowRects;  // outer rectangles; absent: failure
    MessageResult ownProcResult = 0;  // what a window's own procedure returns
    bool refuseNotify = false;        // the shell refuses every notify-icon call
    bool failRegistration = false;  // RegisterMessageName gives 0

    // The procedure currently installed on the window (0: its own).
    WindowProcHandle CurrentProc(WindowHandle window) const;
    WindowProcHandle OwnProc(WindowHandle window) const;
    std::uint32_t RegisteredNumber(const std::string& name) const;

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
    bool SystemTrayAvailable() const override { return trayAvailable; }

    // ScreenGeometry
    PixelRect TaskbarRect() override { return taskbarRect; }
    std::int32_t ScreenWidth() override { return screenWidth; }
    std::int32_t ScreenHeight() override { return screenHeight; }
    PixelRect WindowOuterRect(WindowHandle window) override;

    // FormServices
    WindowHandle MainWindow() const override { return kMainWindow; }
    bool PreviousInstanceRunning() override { return previousInstance; }
    std::string CommandLineText() const override { return commandLine; }
    std::filesystem::path ProgramFolder() const override { return programFolder; }
    IconHandle LoadProgramIcon() override { return programIcon; }
    void SetWindowIcon(IconHandle icon) override { windowIcon = icon; }
    void SetWindowVisible(bool visible) override;
    void SetWindowLeft(int twips) override;
    void SetWindowTop(int twips) override;
    WindowState GetWindowState() const override { return windowState; }
    void SetWindowState(WindowState state) override;
    float TwipsPerPixelX() const override { return twipsX; }
    float TwipsPerPixelY() const override { return twipsY; }
    void SetMenuChecked(MenuItem item, bool checked) override { menuChecked[item] = checked; }
    void ShowPopupMenu(MenuItem defaultItem) override;
    void ViewSetText(std::string_view text) override;
    void ViewAppend(std::string_view text) override;
    void ViewSetCaret(std::size_t offset) override;
    void OpenDocument(WindowHandle owner, const std::filesystem::path& file,
                      const std::filesystem::path& directory) override;
    void ShowErrorBox(std::string_view caption, std::string_view text) override;
    void Quit(int exitCode) override;

private:
    struct Window {
        WindowProcHandle ownProc = 0;
        WindowProcHandle current = 0;
    };

    DesktopEvents* events_ = nullptr;
    std::map<WindowHandle, Window> windows_;
    std::map<WindowProcHandle, WindowProcedure> procedures_;  // installed ones only
    std::map<std::string, std::uint32_t> registered_;
    WindowHandle nextWindow_ = kMainWindow;
    WindowProcHandle nextProc_ = 0x9000;
};

}  // namespace tarnleaf::testing
