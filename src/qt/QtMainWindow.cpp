#include "QtMainWindow.h"

#include <algorithm>
#include <cmath>

#include <QCloseEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTextCursor>

#include "MainWindowLayout.h"
#include "QtLogText.h"

namespace tarnleaf {
namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QPoint ScreenOrigin() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->geometry().topLeft() : QPoint();
}

}  // namespace

int TwipsToPixels(int twips, double dotsPerInch) {
    if (!std::isfinite(dotsPerInch) || dotsPerInch < 1.0 || dotsPerInch > 10000.0) {
        dotsPerInch = 96.0;
    }
    return static_cast<int>(std::lround(twips * dotsPerInch / 1440.0));
}

QtMainWindow::QtMainWindow()
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpiX = screen != nullptr ? screen->logicalDotsPerInchX() : 96.0;
    const double dpiY = screen != nullptr ? screen->logicalDotsPerInchY() : 96.0;
    const auto x = [dpiX](int twips) { return TwipsToPixels(twips, dpiX); };
    const auto y = [dpiY](int twips) { return TwipsToPixels(twips, dpiY); };
    const auto place = [&](QWidget& widget, const form_layout::Control& at) {
        widget.setGeometry(x(at.left), y(at.top), x(at.width), y(at.height));
    };

    setWindowTitle(FromUtf8(form_layout::kCaption));
    // Fixed: the controls never move, so the window is not meant to be resized.
    setFixedSize(x(form_layout::kClientWidth), y(form_layout::kClientHeight));

    view_ = new QPlainTextEdit(this);
    view_->setReadOnly(true);
    view_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    view_->setUndoRedoEnabled(false);  // the log changes for hours; keep no history of it
    view_->setTabChangesFocus(true);   // nothing to type: Tab goes on to the buttons
    view_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    view_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    view_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(form_layout::kLogViewFontPoints);
    font.setStyleHint(QFont::Monospace);
    view_->setFont(font);
    place(*view_, form_layout::kLogView);

    const auto addButton = [&](WindowButton which, const form_layout::Control& at) {
        auto* button = new QPushButton(FromUtf8(at.caption), this);
        button->setAutoDefault(false);
        place(*button, at);
        QObject::connect(button, &QPushButton::clicked, this, [this, which] {
            if (events_ != nullptr) {
                events_->OnButtonClicked(which);
            }
        });
        buttons_[static_cast<int>(which)] = button;
        return button;
    };
    // Made in tab order: the log view, "Send Test Message", "Minimize To Tray",
    // "Edit Config" (left to right on screen the last one comes first).
    QPushButton* test = addButton(WindowButton::SendTestMessage, form_layout::kTestButton);
    QPushButton* cancel = addButton(WindowButton::MinimizeToTray, form_layout::kCancelButton);
    QPushButton* edit = addButton(WindowButton::EditConfig, form_layout::kEditButton);
    setTabOrder(view_, test);
    setTabOrder(test, cancel);
    setTabOrder(cancel, edit);
    view_->setFocus();
}

void QtMainWindow::Show() {
    const bool first = !everShown_;
    everShown_ = true;
    showing_ = true;
    resizedWhileShowing_ = false;
    normalWhenShown_ = false;
    setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    move(position_);
    show();
    if (!first) {
        // Start-up's showing is undone at once (the window lives in the tray); it must not
        // take the focus from what the user is doing.
        raise();
        activateWindow();
    }
    showing_ = false;
    // The first showing is followed by one size notification. Those that come while
    // showing are reported once it is done: hiding the window from inside its own showing
    // would leave it shown.
    if ((first || resizedWhileShowing_) && events_ != nullptr) {
        events_->OnResized();
    }
}

void QtMainWindow::Hide() {
    if (isVisible()) {
        position_ = pos();  // where the user left it
    }
    hide();
}

WindowState QtMainWindow::State() const {
    if (normalWhenShown_) {
        return WindowState::Normal;
    }
    const Qt::WindowStates state = windowState();
    if ((state & Qt::WindowMinimized) != 0) {
        return WindowState::Minimized;
    }
    if ((state & (Qt::WindowMaximized | Qt::WindowFullScreen)) != 0) {
        return WindowState::Maximized;
    }
    return WindowState::Normal;
}

void QtMainWindow::SetState(WindowState state) {
    // Leaving the minimised state maps the window again on X11, hidden or not, which would
    // leave an empty frame on the screen. A hidden window only notes it; Show() sets the
    // normal state before it shows the window.
    normalWhenShown_ = state == WindowState::Normal && !isVisible() &&
                       (windowState() & Qt::WindowMinimized) != 0;
    if (normalWhenShown_) {
        return;
    }
    const Qt::WindowStates normal =
        windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen);
    switch (state) {
        case WindowState::Normal:
            setWindowState(normal);
            break;
        case WindowState::Minimized:
            setWindowState(normal | Qt::WindowMinimized);
            break;
        case WindowState::Maximized:
            setWindowState(normal | Qt::WindowMaximized);
            break;
    }
}

void QtMainWindow::MoveTo(PixelPoint topLeft) {
    position_ = QPoint(topLeft.x, topLeft.y) + ScreenOrigin();
    move(position_);
}

PixelSize QtMainWindow::OuterSize() const {
    const QSize size = frameGeometry().size();
    return {size.width(), size.height()};
}

void QtMainWindow::SetLogText(std::string_view text) {
    viewText_.assign(text);
    view_->setPlainText(DisplayText(viewText_));
}

void QtMainWindow::AppendLogText(std::string_view text) {
    viewText_.append(text);
    QTextCursor cursor(view_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(DisplayText(text));
}

void QtMainWindow::RemoveLogFront(std::size_t bytes) {
    bytes = std::min(bytes, viewText_.size());
    const int end = DisplayPosition(viewText_, bytes);
    viewText_.erase(0, bytes);
    QTextCursor cursor(view_->document());
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

void QtMainWindow::SetLogCaret(std::size_t offset) {
    QTextCursor cursor = view_->textCursor();
    const int last = std::max(view_->document()->characterCount() - 1, 0);
    cursor.setPosition(std::clamp(DisplayPosition(viewText_, offset), 0, last));
    view_->setTextCursor(cursor);
    view_->ensureCursorVisible();
}

void QtMainWindow::ShowError(std::string_view caption, std::string_view text) {
    QMessageBox box(QMessageBox::Critical, FromUtf8(caption), FromUtf8(text), QMessageBox::Ok,
                    isVisible() ? this : nullptr);
    box.setWindowIcon(windowIcon());
    box.exec();
}

void QtMainWindow::closeEvent(QCloseEvent* event) {
    // The logic ends the program itself when it gets the request.
    event->ignore();
    if (events_ != nullptr) {
        events_->OnCloseRequested();
    }
}

void QtMainWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        NoteResized();
    }
}

void QtMainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    NoteResized();
}

void QtMainWindow::NoteResized() {
    if (showing_) {
        resizedWhileShowing_ = true;
        return;
    }
    if (resizePending_) {
        return;
    }
    // From the loop, not from inside Qt's event handler: the logic hides the window and
    // resets its state in answer.
    resizePending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            resizePending_ = false;
            if (events_ != nullptr) {
                events_->OnResized();
            }
        },
        Qt::QueuedConnection);
}

}  // namespace tarnleaf
