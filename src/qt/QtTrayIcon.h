#pragma once

#include <functional>
#include <optional>
#include <utility>

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include "TrayIcon.h"

namespace tarnleaf {

// The tray icon on QSystemTrayIcon, with its pop-up menu on QMenu. Qt docks the icon again
// by itself when a notification area (re)appears, so "the tray came back" is never
// reported: an icon that was shown stays shown.
class QtTrayIcon final : public TrayIcon {
public:
    // Runs the menu and returns the action chosen (nullptr: cancelled); empty: QMenu::exec
    // at the pointer, a nested loop.
    using MenuRunner = std::function<QAction*(QMenu&)>;

    explicit QtTrayIcon(QIcon picture, MenuRunner runMenu = {});
    ~QtTrayIcon() override;
    QtTrayIcon(const QtTrayIcon&) = delete;
    QtTrayIcon& operator=(const QtTrayIcon&) = delete;

    void SetEvents(TrayIconEvents* events) override { events_ = events; }
    bool Available() const override;
    bool Show(std::string_view tip) override;
    void Remove() override;
    std::optional<MenuItem> PopUpMenu(std::span<const MenuEntry> entries,
                                      MenuItem defaultItem) override;
    std::optional<PixelRect> Geometry() const override;

    QSystemTrayIcon& Icon() { return icon_; }

private:
    QSystemTrayIcon icon_;
    QMenu menu_;
    MenuRunner runMenu_;
    TrayIconEvents* events_ = nullptr;
};

// What an activation of the icon means: the button and whether it was a double click. No
// value for activations that are no press on the icon.
std::optional<std::pair<MouseButton, ClickCount>> PressOf(
    QSystemTrayIcon::ActivationReason reason);

}  // namespace tarnleaf
