#pragma once

#include <array>
#include <functional>

#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

#include "DesktopTypes.h"

namespace tarnleaf {

// The main window on Qt: caption, fixed client area and the controls of the window's fixed
// layout in twips, converted to pixels with the screen's twips-per-pixel factors; the log
// view read-only (selectable and copyable), wrapped, with a vertical scroll bar only, in the
// fixed-pitch system font at 9 points. It reports what the user does through callbacks and
// decides nothing itself: its close box only asks.
class QtMainWindow final : public QWidget {
public:
    struct Callbacks {
        std::function<void()> closeRequested;
        // A size or window-state change (minimised, maximised, restored).
        std::function<void()> resized;
        std::function<void(FormButton)> buttonClicked;
    };

    QtMainWindow(float twipsPerPixelX, float twipsPerPixelY);

    void SetCallbacks(Callbacks callbacks) { callbacks_ = std::move(callbacks); }

    QPlainTextEdit& LogView() { return *view_; }
    QPushButton& Button(FormButton button) { return *buttons_[static_cast<int>(button)]; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QPlainTextEdit* view_ = nullptr;
    std::array<QPushButton*, 3> buttons_{};  // by FormButton: Edit, Test, Cancel
    Callbacks callbacks_;
};

}  // namespace tarnleaf
