#pragma once

#include <vector>

#include <QSystemTrayIcon>

#include "DesktopTypes.h"

namespace tarnleaf {

// The shell notifications that one activation of a Qt tray icon stands for, in the order the
// window procedure receives them as lParam of the icon's callback message: a click is a
// press and a release, a double click is the double-click message and a release (after the
// click that Qt reported first). Reasons Qt does not name give nothing.
std::vector<LParam> NotificationsFor(QSystemTrayIcon::ActivationReason reason);

}  // namespace tarnleaf
