#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "MainWindow.h"
#include "WindowHookRegistry.h"

namespace tarnleaf {

// The main window "Tarnleaf - Verion 0.1b" of window class "TarnleafMainWindow": a fixed
// frame round the read-only log view (an EDIT control) and the three buttons, laid out in
// twips and converted with the screen's dots per inch. Built hidden; runs on the thread that
// built it.
class Win32MainWindow final : public MainWindow {
public:
    static constexpr wchar_t kClassName[] = L"TarnleafMainWindow";

    // `instance` is the program's module; its icon 101 becomes the window's icon.
    explicit Win32MainWindow(HINSTANCE instance);
    ~Win32MainWindow() override;
    Win32MainWindow(const Win32MainWindow&) = delete;
    Win32MainWindow& operator=(const Win32MainWindow&) = delete;

    // Null when the window could not be made (no display).
    HWND Handle() const { return window_; }
    HWND LogView() const { return view_; }
    // Destroys the window without another event.
    void Destroy();

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

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls(HINSTANCE instance);
    HFONT ChooseLogFont() const;
    // The log view's changes reach the control together, a moment after the first.
    void ScheduleViewUpdate();
    void UpdateView();
    int ToPixelsX(int twips) const;
    int ToPixelsY(int twips) const;

    HWND window_ = nullptr;
    HWND view_ = nullptr;
    HFONT logFont_ = nullptr;
    int dpiX_ = 96;
    int dpiY_ = 96;
    bool everShown_ = false;
    bool sizedDuringShow_ = false;
    MainWindowEvents* events_ = nullptr;
    WindowHookRegistry viewHooks_;  // the log view's keys
    std::string viewText_;  // the log view's text as the logic built it (UTF-8 bytes)
    // What the control has not been given yet: viewText_ is the control's text without its
    // first `pendingFront_` bytes (`pendingFrontUnits_` UTF-16 units), then `pendingTail_`.
    std::size_t shownBytes_ = 0;  // the control's text, in bytes of the text it was given
    std::size_t pendingFront_ = 0;
    std::size_t pendingFrontUnits_ = 0;
    std::string pendingTail_;
    std::optional<std::size_t> pendingCaret_;
    bool updateDue_ = false;
};

}  // namespace tarnleaf
