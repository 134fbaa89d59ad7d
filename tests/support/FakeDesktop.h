#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "DesktopServices.h"

namespace tarnleaf::testing {

// The desktop in memory: records what the logic asks of it, keeps the state a real desktop
// would (icons, window procedures, the window's visibility and place), and lets a test
// play the user and the shell.
class FakeDesktop : public DesktopServices {
public:
    static constexpr WindowHandle kMainWindow = 0x1000;
    struct Message {
        WindowHandle window;
        std::uint32_t message;
        LParam lParam;
    };

    FakeDesktop() { AddWindow(); }

    // Another top-level window; its own procedure records what reaches it.
    WindowHandle AddWindow() {
        windows_[nextWindow_] = {nextProc_++, 0};
        return nextWindow_++;
    }
    // Through the window's current procedure, as the message loop would.
    MessageResult Deliver(WindowHandle window, std::uint32_t message, LParam lParam = 0) {
        const Window& w = windows_.at(window);
        return CallPreviousWindowProc(w.current ? w.current : w.own, window, message, 0, lParam);
    }
    // A mouse notification for every icon of the window, as the shell sends it.
    void MouseOnIcon(LParam mouseMessage) {
        for (const auto& [key, record] : std::map(icons)) {
            Deliver(key.first, record.uCallbackMessage, mouseMessage);
        }
    }
    // The shell restarted: its icons are gone and "TaskbarCreated" reaches the window.
    void RestartShell() {
        icons.clear();
        Deliver(kMainWindow, RegisterMessageName("TaskbarCreated"));
    }
    void UserSetsWindowState(WindowState state) {
        windowState = state;
        events->OnResize();
    }
    WindowProcHandle CurrentProc(WindowHandle window) const { return windows_.at(window).current; }
    WindowProcHandle OwnProc(WindowHandle window) const { return windows_.at(window).own; }

    // The test's side: the form's events, the menu's nested loop (empty: menu cancelled),
    // what the platform answers, and what the logic did.
    DesktopEvents* events = nullptr;
    std::function<void()> onPopup;
    bool trayAvailable = true;
    bool failRegistration = false;  // RegisterMessageName gives 0
    bool previousInstance = false;
    std::string commandLine;
    FilePath programFolder = "/opt/tarnleaf";
    IconHandle programIcon = 0x501;
    float twipsX = 15.0F;
    float twipsY = 15.0F;
    PixelRect taskbarRect{0, 738, 1024, 768};
    std::int32_t screenWidth = 1024;
    std::int32_t screenHeight = 768;
    std::map<WindowHandle, PixelRect> windowRects{{kMainWindow, {0, 0, 394, 346}}};
    MessageResult ownProcResult = 0;

    std::vector<NotifyIconMessage> notifyCalls;
    std::map<std::pair<WindowHandle, std::uint32_t>, NotifyIconData> icons;  // shown icons
    std::vector<Message> posted;
    std::vector<Message> ownProcMessages;  // what reached the windows' own procedures
    std::vector<std::string> trace;  // "NotifyAdd", "Foreground", "Popup", "Post", "Quit"...
    std::map<std::string, std::uint32_t, std::less<>> registered;
    int installCount = 0;
    int restoreCount = 0;
    bool windowVisible = false;
    bool everShown = false;
    std::vector<int> lefts;  // every left position set, in order
    int windowTop = 0;
    WindowState windowState = WindowState::Normal;
    std::map<MenuItem, bool> menuChecked;
    std::vector<MenuItem> popupDefaults;  // one per pop-up shown
    IconHandle windowIcon = 0;
    std::string viewText;
    std::size_t viewCaret = 0;
    std::vector<FilePath> opened;  // file, then directory; main window owners only
    std::vector<std::string> errorTexts;
    std::optional<int> quitCode;
    int quitCalls = 0;

    bool ShellNotifyIcon(NotifyIconMessage message, const NotifyIconData& record) override {
        notifyCalls.push_back(message);
        const char* names[] = {"NotifyAdd", "NotifyModify", "NotifyDelete"};
        trace.push_back(names[static_cast<int>(message)]);
        const auto key = std::make_pair(record.hWnd, record.uID);
        if (!trayAvailable) return false;
        if (message == NotifyIconMessage::Delete) return icons.erase(key) != 0;
        if (icons.count(key) != static_cast<std::size_t>(message)) return false;  // Add: 0
        icons[key] = record;
        return true;
    }
    std::uint32_t RegisterMessageName(std::string_view name) override {
        const auto number = static_cast<std::uint32_t>(0xC000 + registered.size());
        return failRegistration ? 0 : registered.emplace(name, number).first->second;
    }
    void BringToForeground(WindowHandle) override { trace.push_back("Foreground"); }
    void PostWindowMessage(WindowHandle window, std::uint32_t message, WParam,
                           LParam lParam) override {
        posted.push_back({window, message, lParam});
        trace.push_back("Post");
    }
    WindowProcHandle InstallWindowProc(WindowHandle window, WindowProcedure procedure) override {
        if (windows_.count(window) == 0) return 0;
        ++installCount;
        Window& w = windows_[window];
        const WindowProcHandle previous = w.current ? w.current : w.own;
        procedures_[w.current = nextProc_++] = std::move(procedure);
        return previous;
    }
    void RestoreWindowProc(WindowHandle window, WindowProcHandle previous) override {
        ++restoreCount;
        Window& w = windows_.at(window);
        w.current = previous == w.own ? 0 : previous;
    }
    MessageResult CallPreviousWindowProc(WindowProcHandle procedure, WindowHandle window,
                                         std::uint32_t message, WParam wParam,
                                         LParam lParam) override {
        for (const auto& entry : windows_) {
            if (entry.second.own == procedure) {
                ownProcMessages.push_back({window, message, lParam});
                return ownProcResult;
            }
        }
        // Copied: the procedure may restore the window's own one while it runs.
        const WindowProcedure copy = procedures_.at(procedure);
        return copy(window, message, wParam, lParam);
    }
    bool SystemTrayAvailable() const override { return trayAvailable; }

    PixelRect TaskbarRect() override { return taskbarRect; }
    std::int32_t ScreenWidth() override { return screenWidth; }
    std::int32_t ScreenHeight() override { return screenHeight; }
    PixelRect WindowOuterRect(WindowHandle window) override { return windowRects[window]; }

    WindowHandle MainWindow() const override { return kMainWindow; }
    bool PreviousInstanceRunning() override { return previousInstance; }
    std::string CommandLineText() const override { return commandLine; }
    FilePath ProgramFolder() const override { return programFolder; }
    IconHandle LoadProgramIcon() override { return programIcon; }
    void SetWindowIcon(IconHandle icon) override { windowIcon = icon; }
    void SetWindowVisible(bool visible) override {
        trace.push_back(visible ? "Show" : "Hide");
        windowVisible = visible;
        if (visible && !std::exchange(everShown, true)) events->OnResize();  // as the first show
    }
    void SetWindowLeft(int twips) override { lefts.push_back(twips); }
    void SetWindowTop(int twips) override { windowTop = twips; }
    WindowState GetWindowState() const override { return windowState; }
    void SetWindowState(WindowState state) override {
        if (std::exchange(windowState, state) != state) events->OnResize();
    }
    float TwipsPerPixelX() const override { return twipsX; }
    float TwipsPerPixelY() const override { return twipsY; }
    void SetMenuChecked(MenuItem item, bool checked) override { menuChecked[item] = checked; }
    void ShowPopupMenu(MenuItem defaultItem) override {
        trace.push_back("Popup");
        popupDefaults.push_back(defaultItem);
        if (const std::function<void()> action = onPopup) action();
    }
    void ViewSetText(std::string_view text) override {
        viewText.assign(text);
        viewCaret = std::min(viewCaret, viewText.size());
    }
    void ViewAppend(std::string_view text) override { viewText.append(text); }
    void ViewSetCaret(std::size_t at) override { viewCaret = std::min(at, viewText.size()); }
    void OpenDocument(WindowHandle owner, const FilePath& file,
                      const FilePath& directory) override {
        if (owner == kMainWindow) opened = {file, directory};
    }
    void ShowErrorBox(std::string_view, std::string_view text) override {
        errorTexts.emplace_back(text);
    }
    void Quit(int exitCode) override {
        ++quitCalls;
        quitCode = quitCode.value_or(exitCode);
        trace.push_back("Quit");
    }

private:
    struct Window {
        WindowProcHandle own = 0;
        WindowProcHandle current = 0;
    };
    std::map<WindowHandle, Window> windows_;
    std::map<WindowProcHandle, WindowProcedure> procedures_;
    WindowHandle nextWindow_ = kMainWindow;
    WindowProcHandle nextProc_ = 0x9000;
};

}  // namespace tarnleaf::testing
