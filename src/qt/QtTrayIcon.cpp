#include "QtTrayIcon.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace tarnleaf {

std::optional<std::pair<MouseButton, ClickCount>> PressOf(
    QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
        case QSystemTrayIcon::Trigger:
            return std::pair{MouseButton::Left, ClickCount::Single};
        case QSystemTrayIcon::Context:
            return std::pair{MouseButton::Right, ClickCount::Single};
        case QSystemTrayIcon::MiddleClick:
            return std::pair{MouseButton::Middle, ClickCount::Single};
        case QSystemTrayIcon::DoubleClick:
            return std::pair{MouseButton::Left, ClickCount::Double};
        case QSystemTrayIcon::Unknown:
            break;
    }
    return std::nullopt;
}

QtTrayIcon::QtTrayIcon(QIcon picture, MenuRunner runMenu)
    : icon_(std::move(picture)), runMenu_(std::move(runMenu)) {
    // Activations come inside the icon's own mouse handling; they are handed on from the
    // loop, where the menu's nested loop may run and the icon may be removed safely.
    QObject::connect(
        &icon_, &QSystemTrayIcon::activated, &menu_,
        [this](QSystemTrayIcon::ActivationReason reason) {
            const auto press = PressOf(reason);
            if (press && events_ != nullptr) {
                events_->OnTrayActivated(press->first, press->second);
            }
        },
        Qt::QueuedConnection);
}

QtTrayIcon::~QtTrayIcon() { icon_.hide(); }

bool QtTrayIcon::Available() const { return QSystemTrayIcon::isSystemTrayAvailable(); }

bool QtTrayIcon::Show(std::string_view tip) {
    if (icon_.icon().isNull()) {
        return false;
    }
    icon_.setToolTip(QString::fromUtf8(tip.data(), static_cast<qsizetype>(tip.size())));
    icon_.show();
    return true;
}

void QtTrayIcon::Remove() { icon_.hide(); }

std::optional<MenuItem> QtTrayIcon::PopUpMenu(std::span<const MenuEntry> entries,
                                              MenuItem defaultItem) {
    menu_.clear();
    std::vector<std::pair<QAction*, MenuItem>> items;
    for (const MenuEntry& entry : entries) {
        QAction* action = menu_.addAction(
            QString::fromUtf8(entry.text.data(), static_cast<qsizetype>(entry.text.size())));
        // Only a checked item is checkable: styles draw an empty box beside the others.
        action->setCheckable(entry.checked);
        action->setChecked(entry.checked);
        if (entry.item == defaultItem) {
            QFont font = action->font();
            font.setBold(true);
            action->setFont(font);
            menu_.setDefaultAction(action);
        }
        items.emplace_back(action, entry.item);
    }
    // QMenu takes the pointer and the keyboard, and closes on a click elsewhere.
    QAction* chosen = runMenu_ ? runMenu_(menu_) : menu_.exec(QCursor::pos());
    for (const auto& [action, item] : items) {
        if (action == chosen) {
            return item;
        }
    }
    return std::nullopt;
}

std::optional<PixelRect> QtTrayIcon::Geometry() const {
    const QRect rect = icon_.geometry();
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!rect.isValid() || rect.isEmpty() || screen == nullptr) {
        return std::nullopt;
    }
    const QRect on = rect.translated(-screen->geometry().topLeft());
    return PixelRect{on.left(), on.top(), on.left() + on.width(), on.top() + on.height()};
}

}  // namespace tarnleaf
