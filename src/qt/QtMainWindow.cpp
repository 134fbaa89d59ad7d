#include "QtMainWindow.h"

#include <QCloseEvent>
#include <QFontDatabase>

#include "QtScreenGeometry.h"
#include "FormLayout.h"

namespace tarnleaf {
namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QtMainWindow::QtMainWindow(float twipsPerPixelX, float twipsPerPixelY)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint) {
    const auto x = [twipsPerPixelX](int twips) { return TwipsToPixels(twips, twipsPerPixelX); };
    const auto y = [twipsPerPixelY](int twips) { return TwipsToPixels(twips, twipsPerPixelY); };
    const auto place = [&](QWidget& widget, const form_layout::Control& at) {
        widget.setGeometry(x(at.left), y(at.top), x(at.width), y(at.height));
    };

    setWindowTitle(FromUtf8(form_layout::kCaption));
    // Fixed: the controls never move, so the window is not meant to be resized.
    setFixedSize(x(form_layout::kClientWidth), y(form_layout::kClientHeight));

    view_ = new QPlainTextEdit(this);
    view_->setObjectName(QStringLiteral("txtView"));
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

    const auto addButton = [&](FormButton which, const form_layout::Control& at,
                               const char* name) {
        auto* button = new QPushButton(FromUtf8(at.caption), this);
        button->setObjectName(QString::fromLatin1(name));
        button->setAutoDefault(false);
        place(*button, at);
        QObject::connect(button, &QPushButton::clicked, this, [this, which] {
            if (callbacks_.buttonClicked) {
                callbacks_.buttonClicked(which);
            }
        });
        buttons_[static_cast<int>(which)] = button;
        return button;
    };
    // Made in tab order: the log view, "Send Test Message", "Minimize To Tray",
    // "Edit Config" (left to right on screen the last one comes first).
    QPushButton* test = addButton(FormButton::Test, form_layout::kTestButton, "cmdTest");
    QPushButton* cancel = addButton(FormButton::Cancel, form_layout::kCancelButton, "cmdCancel");
    QPushButton* edit = addButton(FormButton::Edit, form_layout::kEditButton, "cmdEdit");
    setTabOrder(view_, test);
    setTabOrder(test, cancel);
    setTabOrder(cancel, edit);
    view_->setFocus();
}

void QtMainWindow::closeEvent(QCloseEvent* event) {
    // The logic ends the program itself when it gets the request.
    event->ignore();
    if (callbacks_.closeRequested) {
        callbacks_.closeRequested();
    }
}

void QtMainWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && callbacks_.resized) {
        callbacks_.resized();
    }
}

void QtMainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (callbacks_.resized) {
        callbacks_.resized();
    }
}

}  // namespace tarnleaf
