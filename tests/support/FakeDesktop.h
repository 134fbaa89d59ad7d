#pragma once

#include <functional>
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

// The desktop in memory: keeps the state a desktop would, answers as scripted, and notes
// in `calls` the steps the logic takes (icon shown/removed, window shown/hidden, menu, quit).
class FakeDesktop : public MainWindow, public TrayIcon, public ScreenGeometry,
                    public DesktopSession {
public:
    void SetEvents(MainWindowEvents* events) override { windowEvents = events; }
    void Show() override {
        calls.push_back("Show"), visible = true, state = WindowState::Normal;
        if (!std::exchange(everShown, true) && windowEvents) windowEvents->OnResized();
    }
    void Hide() override { calls.push_back("Hide"), visible = false; }
    WindowState State() const override { return state; }
    void SetState(WindowState s) override { state = s; }
    void MoveTo(PixelPoint topLeft) override { position = topLeft; }
    PixelSize OuterSize() const override { return {394, 346}; }
    void SetLogText(std::string_view text) override { viewText = text; }
    void AppendLogText(std::string_view text) override { viewText += text; }
    void RemoveLogFront(std::size_t bytes) override { viewText.erase(0, bytes); }
    void SetLogCaret(std::size_t offset) override { caret = offset; }
    void ShowError(std::string_view, std::string_view text) override {
        error += text;
        if (whileErrorShown) whileErrorShown();  // the box's own loop still delivers events
    }
    void SetEvents(TrayIconEvents* events) override { trayEvents = events; }
    bool Available() const override { return trayAvailable; }
    bool Show(std::string_view text) override {
        return calls.push_back("ShowIcon"), tip = text, trayAvailable;
    }
    void Remove() override { calls.push_back("RemoveIcon"); }
    std::optional<MenuItem> PopUpMenu(std::span<const MenuEntry> entries,
                                      MenuItem defaultItem) override {
        menu.clear(), calls.push_back("Menu");
        for (const MenuEntry& e : entries) {
            menu += std::string(e.text) + (e.checked ? "[x]" : "") +
                    (e.item == defaultItem ? "*" : "") + " ";
        }
        if (std::exchange(pressInMenu, false)) trayEvents->OnTrayActivated({}, {});
        return std::exchange(choice, std::nullopt);
    }
    std::optional<PixelRect> Geometry() const override { return iconRect; }
    PixelSize ScreenSize() const override { return screen; }
    std::optional<PixelRect> TaskbarRect() const override { return taskbar; }
    std::optional<PixelRect> WorkArea() const override { return workArea; }
    bool AnotherInstanceRunning() override { return false; }
    void OpenDocument(const FilePath& file) override { opened.push_back(file); }
    void Quit(int code) override { calls.push_back("Quit" + std::to_string(code)); }

    // The user presses on the icon and chooses `item` from the menu (none: cancelled).
    void Click(std::optional<MenuItem> item, ClickCount count = ClickCount::Single) {
        choice = item, trayEvents->OnTrayActivated(MouseButton::Right, count);
    }
    void UserSetsState(WindowState s) { state = s, windowEvents->OnResized(); }

    MainWindowEvents* windowEvents = nullptr;
    TrayIconEvents* trayEvents = nullptr;
    std::vector<std::string> calls;
    bool visible = false, everShown = false, trayAvailable = true, pressInMenu = false;
    WindowState state = WindowState::Normal;
    PixelPoint position;
    std::size_t caret = 0;
    std::string viewText, error, tip, menu;  // menu as last shown: "設定[x] ログ 終了* "
    std::optional<MenuItem> choice;
    std::vector<FilePath> opened;
    std::function<void()> whileErrorShown;
    // A 1024 x 768 screen with a 30-pixel taskbar at the bottom and a work area.
    PixelSize screen{1024, 768};
    std::optional<PixelRect> iconRect, taskbar = PixelRect{0, 738, 1024, 768},
                                       workArea = PixelRect{0, 0, 1024, 738};
};

}  // namespace tarnleaf::testing
