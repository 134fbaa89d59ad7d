#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "DesktopServices.h"
#include "UdpEndpoint.h"

namespace tarnleaf {

// The desktop seam on Win32: the main window "Tarnleaf - Verion 0.1b" with its read-only log
// view and three buttons laid out in twips, the hidden pop-up menu, the notification-area
// icon through Shell_NotifyIconA, window procedures swapped with SetWindowLongPtrA, and the
// taskbar geometry. Everything runs on the thread that constructed it, in Run's loop.
class Win32Desktop final : public DesktopServices {
public:
    // Builds the main window, hidden. `instance` is the program's module (its icon 101).
    explicit Win32Desktop(void* instance);
    ~Win32Desktop() override;
    Win32Desktop(const Win32Desktop&) = delete;
    Win32Desktop& operator=(const Win32Desktop&) = delete;

    void SetEvents(DesktopEvents& events) { events_ = &events; }

    // Datagrams reach the message loop as window messages (WSAAsyncSelect): `readable` runs
    // when the socket has data, `failed` when Winsock reports an error for it.
    void WatchSocket(std::intptr_t socket, std::function<void()> readable,
                     std::function<void(const SocketError&)> failed);

    // The message loop; returns the exit code given to Quit.
    int Run();

    // ShellServices
    bool ShellNotifyIcon(NotifyIconMessage message, const NotifyIconData& record) override;
    std::uint32_t RegisterMessageName(std::string_view name) override;
    void BringToForeground(WindowHandle window) override;
    void PostWindowMessage(WindowHandle window, std::uint32_t message, WParam wParam,
                           LParam lParam) override;
    WindowProcHandle InstallWindowProc(WindowHandle window, WindowProcedure procedure) override;
    void RestoreWindowProc(WindowHandle window, WindowProcHandle previous) override;
    MessageResult CallPreviousWindowProc(WindowProcHandle procedure, WindowHandle window,
                                         std::uint32_t message, WParam wParam,
                                         LParam lParam) override;
    bool SystemTrayAvailable() const override;

    // ScreenGeometry
    PixelRect TaskbarRect() override;
    std::int32_t ScreenWidth() override;
    std::int32_t ScreenHeight() override;
    PixelRect WindowOuterRect(WindowHandle window) override;

    // FormServices
    WindowHandle MainWindow() const override;
    bool PreviousInstanceRunning() override;
    std::string CommandLineText() const override;
    FilePath ProgramFolder() const override;
    IconHandle LoadProgramIcon() override;
    void SetWindowIcon(IconHandle icon) override;
    void SetWindowVisible(bool visible) override;
    void SetWindowLeft(int twips) override;
    void SetWindowTop(int twips) override;
    WindowState GetWindowState() const override;
    void SetWindowState(WindowState state) override;
    float TwipsPerPixelX() const override;
    float TwipsPerPixelY() const override;
    void SetMenuChecked(MenuItem item, bool checked) override;
    void ShowPopupMenu(MenuItem defaultItem) override;
    void ViewSetText(std::string_view text) override;
    void ViewAppend(std::string_view text) override;
    void ViewSetCaret(std::size_t offset) override;
    void OpenDocument(WindowHandle owner, const FilePath& file,
                      const FilePath& directory) override;
    void ShowErrorBox(std::string_view caption, std::string_view text) override;
    void Quit(int exitCode) override;

    // The main window's own procedure (the one a hook hands messages on to).
    std::intptr_t HandleMessage(void* window, unsigned message, std::uintptr_t wParam,
                                std::intptr_t lParam);

private:
    void CreateMainWindow();
    void CreateControls();
    void CreateMenu();
    void* ChooseLogFont();
    int TwipsToPixelsX(int twips) const;
    int TwipsToPixelsY(int twips) const;

    void* instance_;
    void* window_ = nullptr;
    void* view_ = nullptr;
    void* menu_ = nullptr;
    void* logFont_ = nullptr;
    void* buttonFont_ = nullptr;
    void* instanceMutex_ = nullptr;
    DesktopEvents* events_ = nullptr;
    int dpiX_ = 96;
    int dpiY_ = 96;
    bool everShown_ = false;
    bool sizedDuringShow_ = false;
    bool quitting_ = false;
    int exitCode_ = 0;
    std::string viewText_;  // the log view's text as the logic built it (UTF-8 bytes)
    std::intptr_t socket_ = -1;
    std::function<void()> socketReadable_;
    std::function<void(const SocketError&)> socketFailed_;
};

// Decodes the log's bytes for display: UTF-8 where the bytes are UTF-8, any other byte as
// the Latin-1 character of its value, so that every byte shows as something and a prefix
// always decodes to a prefix of the whole (the caret offset maps exactly).
std::wstring DecodeForDisplay(std::string_view bytes);

// UTF-8 to UTF-16 for captions and menu texts (invalid bytes as in DecodeForDisplay).
inline std::wstring Widen(std::string_view utf8) { return DecodeForDisplay(utf8); }

// The program's command line after its name, as Windows splits the name off (quoted or up
// to the first blank), with the blanks after the name dropped.
std::wstring CommandLineTail(std::wstring_view commandLine);

}  // namespace tarnleaf
