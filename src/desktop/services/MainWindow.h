#pragma once

#include <cstddef>
#include <string_view>

#include "DesktopTypes.h"

namespace tarnleaf {

// What the main window reports, on the UI thread, one call at a time.
class MainWindowEvents {
public:
    virtual ~MainWindowEvents() = default;

    // Every size notification, minimising and maximising included. The first showing of
    // the window is followed by one.
    virtual void OnResized() = 0;

    // The close box or the end of the session.
    virtual void OnCloseRequested() = 0;

    virtual void OnButtonClicked(WindowButton button) = 0;
};

// The main window: the log view and the three buttons, laid out as MainWindowLayout.h
// says. The backend builds it hidden.
class MainWindow {
public:
    virtual ~MainWindow() = default;

    virtual void SetEvents(MainWindowEvents* events) = 0;

    virtual void Show() = 0;
    virtual void Hide() = 0;
    virtual WindowState State() const = 0;
    virtual void SetState(WindowState state) = 0;

    // The outer top-left corner, frame and caption included.
    virtual void MoveTo(PixelPoint topLeft) = 0;
    // The outer size, frame and caption included (0 x 0 if it cannot be told).
    virtual PixelSize OuterSize() const = 0;

    // The log view, read-only for the user. Offsets count bytes of the UTF-8 text these
    // calls built, and always fall on a character boundary.
    virtual void SetLogText(std::string_view text) = 0;
    virtual void AppendLogText(std::string_view text) = 0;
    // Drops the first `bytes` bytes of the view: whole entries the log has trimmed, so the
    // rest need not be laid out again.
    virtual void RemoveLogFront(std::size_t bytes) = 0;
    // Puts the caret (an empty selection) at the offset and scrolls it into view.
    virtual void SetLogCaret(std::size_t offset) = 0;

    // A modal error message owned by the window (by nothing while it is hidden).
    virtual void ShowError(std::string_view caption, std::string_view text) = 0;
};

}  // namespace tarnleaf
