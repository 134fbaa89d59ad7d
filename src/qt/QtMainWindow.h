#pragma once

#include <array>
#include <string>

#include <QPlainTextEdit>
#include <QPoint>
#include <QPushButton>
#include <QWidget>

#include "MainWindow.h"

namespace tarnleaf {

// The main window on QWidget: caption, fixed client area and the controls of the window's
// fixed layout, converted from twips with the screen's dots per inch; the log view
// read-only (selectable and copyable), wrapped, with a vertical scroll bar only, in the
// fixed-pitch system font at 9 points. It decides nothing itself: its close box only asks.
// Positions are relative to the primary screen's top-left corner.
class QtMainWindow final : public QWidget, public MainWindow {
public:
    QtMainWindow();

    void SetEvents(MainWindowEvents* events) override { events_ = events; }
    void Show() override;
    void Hide() override;
    WindowState State() const override;
    void SetState(WindowState state) override;
    void MoveTo(PixelPoint topLeft) override;
    PixelSize OuterSize() const override;
    void SetLogText(std::string_view text) override;
    void AppendLogText(std::string_view text) override;
    void RemoveLogFront(std::size_t bytes) override;
    void SetLogCaret(std::size_t offset) override;
    void ShowError(std::string_view caption, std::string_view text) override;

    QPlainTextEdit& LogView() { return *view_; }
    QPushButton& Button(WindowButton button) { return *buttons_[static_cast<int>(button)]; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void NoteResized();

    QPlainTextEdit* view_ = nullptr;
    std::array<QPushButton*, 3> buttons_{};  // by WindowButton
    MainWindowEvents* events_ = nullptr;
    std::string viewText_;  // the log view's text as the logic built it (UTF-8 bytes)
    // The outer top-left as last set, in screen pixels: a hidden window takes it when it is
    // next shown.
    QPoint position_;
    bool everShown_ = false;
    bool showing_ = false;
    bool resizedWhileShowing_ = false;
    bool resizePending_ = false;
    // Made normal while hidden and minimised: the state is set when the window is shown.
    bool normalWhenShown_ = false;
};

// Twips to pixels at this many dots per inch (96 when the screen reports nothing usable),
// rounded to the nearest pixel.
int TwipsToPixels(int twips, double dotsPerInch);

}  // namespace tarnleaf
