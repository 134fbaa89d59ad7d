#include "QtTrayActivation.h"

namespace tarnleaf {
namespace {

// The mouse messages of the shell's icon notifications.
constexpr LParam kLeftButtonDown = 0x201;
constexpr LParam kLeftButtonUp = 0x202;
constexpr LParam kLeftButtonDoubleClick = 0x203;
constexpr LParam kRightButtonDown = 0x204;
constexpr LParam kRightButtonUp = 0x205;
constexpr LParam kMiddleButtonDown = 0x207;
constexpr LParam kMiddleButtonUp = 0x208;

}  // namespace

std::vector<LParam> NotificationsFor(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
        case QSystemTrayIcon::Trigger:
            return {kLeftButtonDown, kLeftButtonUp};
        case QSystemTrayIcon::DoubleClick:
            return {kLeftButtonDoubleClick, kLeftButtonUp};
        case QSystemTrayIcon::Context:
            return {kRightButtonDown, kRightButtonUp};
        case QSystemTrayIcon::MiddleClick:
            return {kMiddleButtonDown, kMiddleButtonUp};
        case QSystemTrayIcon::Unknown:
            break;
    }
    return {};
}

}  // namespace tarnleaf
