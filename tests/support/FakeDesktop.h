#pragma once

#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "DesktopSession.h"
#include "MainWindow.h"
#include "ScreenGeometry.h"
#include "TrayIcon.h"

namespace tarnleaf::testing {

// The desktop in memory: keeps the state a desktop would (window shown, state, place; icon
// shown; log view), answers as scripted, and notes in `calls` what the logic asked.
class FakeDesktop : public MainWindow, public TrayIcon, public ScreenGeometry,
                    public DesktopSession {
public:
    // MainWindow
    void SetEvents(MainWindowEvents* events) override { windowEvents = events; }
    void Show() override {
        calls.push_back("Show");
        const bool first = !everShown;
        visible = everShown = true;
        state = WindowState::Normal;
        if (first && windowEvents != nullptr) {
            windowEvents->OnResized();
        }
    }
    void Hide() override { calls.push_back("Hide"), visible = false; }
    WindowState State() const override { return state; }
    void SetState(WindowState s) override { state = s; }
    void MoveTo(PixelPoint topLeft) override { position = topLeft; }
    PixelSize OuterSize() const override { return outerSize; }
    void SetLogText(std::string_view text) override { viewText = text, ++viewReplaced; }
    void AppendLogText(std::string_view text) override { viewText += text; }
    void SetLogCaret(std::size_t offset) override { caret = offset; }
    void ShowError(std::string_view, std::string_view text) override { errors.emplace_back(text); }

    // TrayIcon
    void SetEvents(TrayIconEvents* events) override { trayEvents = events; }
    bool Available() const override { return trayAvailable; }
    bool Show(std::string_view text) override {
        calls.push_back("ShowIcon");
        tip = text;
        return iconShown = trayAvailable;
    }
    void Remove() override { calls.push_back("RemoveIcon"), iconShown = false; }
    std::optional<MenuItem> PopUpMenu(std::span<const MenuEntry> entries,
                                      MenuItem defaultItem) override {
        menu.clear();
        for (const MenuEntry& e : entries) {
            menu += std::string(e.text) + (e.checked ? "[x]" : "") +
                    (e.item == defaultItem ? "*" : "") + " ";
        }
        calls.push_back("Menu");
        return std::exchange(choice, std::nullopt);
    }
    std::optional<PixelRect> Geometry() const override { return iconRect; }

    // ScreenGeometry
    PixelSize ScreenSize() const override { return screen; }
    std::optional<PixelRect> TaskbarRect() const override { return taskbar; }
    std::optional<PixelRect> WorkArea() const override { return workArea; }

    // DesktopSession
    bool AnotherInstanceRunning() override { return anotherInstance; }
    void OpenDocument(const FilePath& file) override { opened.push_back(file); }
    void Quit(int code) override { calls.push_back("Quit" + std::to_string(code)); }

    // The user: a press on the icon that chooses `item` from the menu (none: cancelled).
    void Click(std::optional<MenuItem> item, MouseButton button = MouseButton::Right,
               ClickCount count = ClickCount::Single) {
        choice = item;
        trayEvents->OnTrayActivated(button, count);
    }
    void UserSetsState(WindowState s) {
        state = s;
        windowEvents->OnResized();
    }

    MainWindowEvents* windowEvents = nullptr;
    TrayIconEvents* trayEvents = nullptr;
    std::vector<std::string> calls;
    // The window.
    bool visible = false;
    bool everShown = false;
    WindowState state = WindowState::Normal;
    PixelPoint position;
    PixelSize outerSize{394, 346};
    std::string viewText;
    int viewReplaced = 0;
    std::size_t caret = 0;
    std::vector<std::string> errors;
    // The icon and its menu as last shown ("設定[x] ログ 終了* ": checked, default).
    bool trayAvailable = true;
    bool iconShown = false;
    std::string tip;
    std::string menu;
    std::optional<MenuItem> choice;
    std::optional<PixelRect> iconRect;
    // A 1024 x 768 screen with a 30-pixel taskbar at the bottom and a work area.
    PixelSize screen{1024, 768};
    std::optional<PixelRect> taskbar = PixelRect{0, 738, 1024, 768};
    std::optional<PixelRect> workArea = PixelRect{0, 0, 1024, 738};
    // The session.
    bool anotherInstance = false;
    std::vector<FilePath> opened;
};

}  // namespace tarnleaf::testing
