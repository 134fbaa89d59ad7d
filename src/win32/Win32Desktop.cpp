#include "Win32Desktop.h"

#include <winsock2.h>
#include <windows.h>
#include <shellapi.h>

#include <cmath>
#include <map>
#include <vector>

#include "Utf8.h"
#include "ExecutableFolder.h"
#include "WinsockError.h"
#include "FormLayout.h"

namespace tarnleaf {
namespace {

constexpr wchar_t kWindowClass[] = L"TarnleafMainWindow";
constexpr UINT kSocketMessage = WM_APP + 1;
// Datagrams handled per socket message; the rest wait for the next turn of the loop, so
// the window stays responsive under a flood.
constexpr int kDatagramsPerMessage = 64;

// Control identities of the window's children.
constexpr int kViewId = 100;
constexpr int kTestButtonId = 101;
constexpr int kCancelButtonId = 102;
constexpr int kEditButtonId = 103;

constexpr UINT kMenuIds[] = {201, 202, 203};  // MenuItem::Config, Log, Exit

UINT MenuId(MenuItem item) {
    return kMenuIds[static_cast<int>(item)];
}

HWND AsWindow(void* handle) {
    return static_cast<HWND>(handle);
}
HWND AsWindow(WindowHandle handle) {
    return reinterpret_cast<HWND>(handle);
}
WindowHandle AsHandle(HWND window) {
    return reinterpret_cast<WindowHandle>(window);
}

std::string Narrow(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(),
                            size, nullptr, nullptr);
    }
    return text;
}

// The procedures that the logic installed, per window. The hook's own procedure looks the
// logic's procedure up here; a copy is called, so a procedure may be removed while it runs.
struct InstalledProc {
    WindowProcedure procedure;
    WNDPROC previous = nullptr;
};
std::map<HWND, InstalledProc>& InstalledProcs() {
    static std::map<HWND, InstalledProc> procs;
    return procs;
}

LRESULT CALLBACK HookThunk(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto& procs = InstalledProcs();
    const auto found = procs.find(window);
    if (found == procs.end()) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    const WindowProcedure procedure = found->second.procedure;
    const WNDPROC previous = found->second.previous;
    if (message == WM_NCDESTROY) {
        // The window's last message: the hook goes with it.
        procs.erase(window);
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        return CallWindowProcW(previous, window, message, wParam, lParam);
    }
    return procedure(AsHandle(window), message, wParam, lParam);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* desktop = reinterpret_cast<Win32Desktop*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (desktop == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return desktop->HandleMessage(window, message, wParam, lParam);
}

int CALLBACK FontFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

}  // namespace

std::wstring DecodeForDisplay(std::string_view bytes) {
    std::wstring text;
    text.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const Utf8Char decoded = DecodeUtf8At(bytes, i);
        if (!decoded.valid) {
            // Not UTF-8: the byte shows as the Latin-1 character of its value, so caret
            // offsets still map one to one.
            text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i])));
            ++i;
            continue;
        }
        AppendUtf16(text, decoded.code);
        i += decoded.length;
    }
    return text;
}

std::wstring CommandLineTail(std::wstring_view commandLine) {
    std::size_t i = 0;
    if (i < commandLine.size() && commandLine[i] == L'"') {
        ++i;
        while (i < commandLine.size() && commandLine[i] != L'"') ++i;
        if (i < commandLine.size()) ++i;
    } else {
        while (i < commandLine.size() && commandLine[i] != L' ' && commandLine[i] != L'\t') ++i;
    }
    while (i < commandLine.size() && (commandLine[i] == L' ' || commandLine[i] == L'\t')) ++i;
    return std::wstring(commandLine.substr(i));
}

Win32Desktop::Win32Desktop(void* instance) : instance_(instance) {
    if (HDC screen = GetDC(nullptr)) {
        dpiX_ = GetDeviceCaps(screen, LOGPIXELSX);
        dpiY_ = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    if (dpiX_ <= 0) dpiX_ = 96;
    if (dpiY_ <= 0) dpiY_ = 96;
    CreateMainWindow();
    CreateControls();
    CreateMenu();
}

Win32Desktop::~Win32Desktop() {
    if (window_ != nullptr && IsWindow(AsWindow(window_))) {
        DestroyWindow(AsWindow(window_));
    }
    if (menu_ != nullptr) DestroyMenu(static_cast<HMENU>(menu_));
    if (logFont_ != nullptr) DeleteObject(static_cast<HGDIOBJ>(logFont_));
    if (instanceMutex_ != nullptr) CloseHandle(static_cast<HANDLE>(instanceMutex_));
}

int Win32Desktop::TwipsToPixelsX(int twips) const {
    return static_cast<int>(std::lround(twips / TwipsPerPixelX()));
}
int Win32Desktop::TwipsToPixelsY(int twips) const {
    return static_cast<int>(std::lround(twips / TwipsPerPixelY()));
}

void Win32Desktop::CreateMainWindow() {
    const auto hinstance = static_cast<HINSTANCE>(instance_);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = hinstance;
    windowClass.hIcon = LoadIconW(hinstance, MAKEINTRESOURCEW(form_layout::kIconResource));
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExW(&windowClass);

    // A fixed frame with a close box and a minimise box: the layout never changes, and
    // minimising sends the window to the notification area.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT outer{0, 0, TwipsToPixelsX(form_layout::kClientWidth),
               TwipsToPixelsY(form_layout::kClientHeight)};
    AdjustWindowRectEx(&outer, style, FALSE, 0);
    window_ = CreateWindowExW(0, kWindowClass, Widen(form_layout::kCaption).c_str(), style,
                              CW_USEDEFAULT, CW_USEDEFAULT, outer.right - outer.left,
                              outer.bottom - outer.top, nullptr, nullptr, hinstance, this);
}

void* Win32Desktop::ChooseLogFont() {
    const std::wstring face = Widen(form_layout::kLogViewFontFace);
    LOGFONTW wanted{};
    wanted.lfCharSet = SHIFTJIS_CHARSET;
    face.copy(wanted.lfFaceName, LF_FACESIZE - 1);
    bool installed = false;
    HDC screen = GetDC(nullptr);
    const int pointsToPixels = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen != nullptr) {
        EnumFontFamiliesExW(screen, &wanted, FontFound, reinterpret_cast<LPARAM>(&installed), 0);
        ReleaseDC(nullptr, screen);
    }
    const int height = -MulDiv(form_layout::kLogViewFontPoints, pointsToPixels, 72);
    if (installed) {
        return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                           FIXED_PITCH | FF_MODERN, face.c_str());
    }
    // Without the Japanese face: the system's fixed-pitch font of that size.
    if (HFONT fixed = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                  FIXED_PITCH | FF_MODERN, L"Courier New")) {
        return fixed;
    }
    return nullptr;
}

void Win32Desktop::CreateControls() {
    if (window_ == nullptr) return;
    const auto hinstance = static_cast<HINSTANCE>(instance_);
    auto place = [&](const wchar_t* kind, int id, DWORD style, const form_layout::Control& at) {
        const bool isView = id == kViewId;
        return CreateWindowExW(isView ? WS_EX_CLIENTEDGE : 0, kind, Widen(at.caption).c_str(),
                               WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, TwipsToPixelsX(at.left),
                               TwipsToPixelsY(at.top), TwipsToPixelsX(at.width),
                               TwipsToPixelsY(at.height), AsWindow(window_),
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), hinstance,
                               nullptr);
    };
    // Created in tab order: the log view, "Send Test Message", "Minimize To Tray",
    // "Edit Config".
    HWND view = place(L"EDIT", kViewId, ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL,
                      form_layout::kLogView);
    HWND test = place(L"BUTTON", kTestButtonId, BS_PUSHBUTTON, form_layout::kTestButton);
    HWND cancel = place(L"BUTTON", kCancelButtonId, BS_PUSHBUTTON, form_layout::kCancelButton);
    HWND edit = place(L"BUTTON", kEditButtonId, BS_PUSHBUTTON, form_layout::kEditButton);
    view_ = view;
    if (view != nullptr) {
        SendMessageW(view, EM_SETLIMITTEXT, 0, 0);  // the log is bounded by its own rule
    }
    logFont_ = ChooseLogFont();
    HGDIOBJ viewFont =
        logFont_ != nullptr ? static_cast<HGDIOBJ>(logFont_) : GetStockObject(SYSTEM_FIXED_FONT);
    SendMessageW(view, WM_SETFONT, reinterpret_cast<WPARAM>(viewFont), FALSE);
    const HGDIOBJ guiFont = GetStockObject(DEFAULT_GUI_FONT);
    for (HWND button : {test, cancel, edit}) {
        SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(guiFont), FALSE);
    }
}

void Win32Desktop::CreateMenu() {
    HMENU menu = CreatePopupMenu();
    menu_ = menu;
    if (menu == nullptr) return;
    for (const MenuItem item : form_layout::kMenuOrder) {
        AppendMenuW(menu, MF_STRING, MenuId(item), Widen(form_layout::MenuCaption(item)).c_str());
    }
}

void Win32Desktop::WatchSocket(std::intptr_t socket, std::function<void()> readable,
                               std::function<void(const SocketError&)> failed) {
    socket_ = socket;
    socketReadable_ = std::move(readable);
    socketFailed_ = std::move(failed);
    if (socket_ != -1 && window_ != nullptr) {
        if (WSAAsyncSelect(static_cast<SOCKET>(socket_), AsWindow(window_), kSocketMessage,
                           FD_READ) != 0 &&
            socketFailed_) {
            socketFailed_(LastWinsockError());
        }
    }
}

int Win32Desktop::Run() {
    if (window_ == nullptr) return 1;
    MSG message{};
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) break;
        if (got < 0) return exitCode_ != 0 ? exitCode_ : 1;
        if (!IsDialogMessageW(AsWindow(window_), &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return exitCode_;
}

std::intptr_t Win32Desktop::HandleMessage(void* handle, unsigned message, std::uintptr_t wParam,
                                          std::intptr_t lParam) {
    const HWND window = AsWindow(handle);
    switch (message) {
        case WM_SIZE:
            sizedDuringShow_ = true;
            if (events_ != nullptr && !quitting_) events_->OnResize();
            return 0;
        case WM_CLOSE:
            if (events_ != nullptr && !quitting_) {
                events_->OnCloseRequest();
            } else {
                Quit(0);
            }
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            if (wParam != 0 && events_ != nullptr && !quitting_) events_->OnCloseRequest();
            return 0;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (HIWORD(wParam) == BN_CLICKED && events_ != nullptr) {
                if (id == kEditButtonId) events_->OnButtonClick(FormButton::Edit);
                if (id == kTestButtonId) events_->OnButtonClick(FormButton::Test);
                if (id == kCancelButtonId) events_->OnButtonClick(FormButton::Cancel);
            }
            return 0;
        }
        case WM_CTLCOLORSTATIC:
            // A read-only edit is drawn as "static": keep the log on a white page.
            if (reinterpret_cast<HWND>(lParam) == AsWindow(view_)) {
                SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
                return reinterpret_cast<std::intptr_t>(GetSysColorBrush(COLOR_WINDOW));
            }
            break;
        case kSocketMessage:
            if (WSAGETSELECTERROR(lParam) != 0) {
                if (socketFailed_) socketFailed_(DescribeWinsockError(WSAGETSELECTERROR(lParam)));
            } else if (socketReadable_) {
                for (int i = 0; i < kDatagramsPerMessage; ++i) {
                    socketReadable_();
                    // The endpoint is non-blocking; the loop's owner returns early when
                    // nothing waits (FD_READ is posted again for what arrives later).
                    u_long waiting = 0;
                    if (ioctlsocket(static_cast<SOCKET>(socket_), FIONREAD, &waiting) != 0 ||
                        waiting == 0) {
                        break;
                    }
                }
            }
            return 0;
        case WM_DESTROY:
            if (socket_ != -1) WSAAsyncSelect(static_cast<SOCKET>(socket_), window, 0, 0);
            PostQuitMessage(exitCode_);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// ShellServices ------------------------------------------------------------------------

bool Win32Desktop::ShellNotifyIcon(NotifyIconMessage message, const NotifyIconData& record) {
    // The first-version record of this platform (88 bytes with 32-bit handles; wider with
    // 64-bit ones), filled field by field; the tip in the system's 8-bit code page.
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = AsWindow(record.hWnd);
    data.uID = record.uID;
    data.uFlags = record.uFlags;
    data.uCallbackMessage = record.uCallbackMessage;
    data.hIcon = reinterpret_cast<HICON>(record.hIcon);
    const std::u16string_view tip = record.Tip();
    const std::wstring wideTip(tip.begin(), tip.end());
    if (!wideTip.empty()) {
        WideCharToMultiByte(CP_ACP, 0, wideTip.data(), static_cast<int>(wideTip.size()), data.szTip,
                            static_cast<int>(sizeof data.szTip) - 1, nullptr, nullptr);
    }
    data.szTip[sizeof data.szTip - 1] = '\0';
    DWORD command = NIM_ADD;
    if (message == NotifyIconMessage::Modify) command = NIM_MODIFY;
    if (message == NotifyIconMessage::Delete) command = NIM_DELETE;
    return Shell_NotifyIconA(command, &data) != FALSE;
}

std::uint32_t Win32Desktop::RegisterMessageName(std::string_view name) {
    const std::string text(name);
    return RegisterWindowMessageA(text.c_str());
}

void Win32Desktop::BringToForeground(WindowHandle window) {
    SetForegroundWindow(AsWindow(window));
}

void Win32Desktop::PostWindowMessage(WindowHandle window, std::uint32_t message, WParam wParam,
                                     LParam lParam) {
    PostMessageA(AsWindow(window), message, wParam, lParam);
}

WindowProcHandle Win32Desktop::InstallWindowProc(WindowHandle window, WindowProcedure procedure) {
    const HWND hwnd = AsWindow(window);
    auto& procs = InstalledProcs();
    // One logic procedure per window: a second install would make the hook its own
    // predecessor and loop for ever, so it is refused like an unknown window.
    if (!IsWindow(hwnd) || procs.count(hwnd) != 0 || !procedure) {
        return 0;
    }
    procs[hwnd] = InstalledProc{std::move(procedure), nullptr};
    const LONG_PTR previous =
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HookThunk));
    if (previous == 0) {
        procs.erase(hwnd);
        return 0;
    }
    procs[hwnd].previous = reinterpret_cast<WNDPROC>(previous);
    return static_cast<WindowProcHandle>(previous);
}

void Win32Desktop::RestoreWindowProc(WindowHandle window, WindowProcHandle previous) {
    const HWND hwnd = AsWindow(window);
    auto& procs = InstalledProcs();
    const auto found = procs.find(hwnd);
    if (found == procs.end() || previous == 0) return;
    procs.erase(found);
    if (IsWindow(hwnd)) {
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, static_cast<LONG_PTR>(previous));
    }
}

MessageResult Win32Desktop::CallPreviousWindowProc(WindowProcHandle procedure, WindowHandle window,
                                                   std::uint32_t message, WParam wParam,
                                                   LParam lParam) {
    if (procedure == 0) return 0;
    return CallWindowProcW(reinterpret_cast<WNDPROC>(procedure), AsWindow(window), message, wParam,
                           lParam);
}

bool Win32Desktop::SystemTrayAvailable() const {
    return FindWindowW(L"Shell_TrayWnd", nullptr) != nullptr;
}

// ScreenGeometry -----------------------------------------------------------------------

PixelRect Win32Desktop::TaskbarRect() {
    APPBARDATA data{};
    data.cbSize = sizeof data;
    if (SHAppBarMessage(ABM_GETTASKBARPOS, &data) == 0) {
        return {};
    }
    return {data.rc.left, data.rc.top, data.rc.right, data.rc.bottom};
}

std::int32_t Win32Desktop::ScreenWidth() {
    return GetSystemMetrics(SM_CXSCREEN);
}
std::int32_t Win32Desktop::ScreenHeight() {
    return GetSystemMetrics(SM_CYSCREEN);
}

PixelRect Win32Desktop::WindowOuterRect(WindowHandle window) {
    RECT rect{0, 0, 0, 0};
    if (!GetWindowRect(AsWindow(window), &rect)) return {};
    return {rect.left, rect.top, rect.right, rect.bottom};
}

// FormServices -------------------------------------------------------------------------

WindowHandle Win32Desktop::MainWindow() const {
    return AsHandle(AsWindow(window_));
}

bool Win32Desktop::PreviousInstanceRunning() {
    if (instanceMutex_ != nullptr) return false;
    // Named after the program file, per user session, as a previous-instance test is: a
    // copy under the same name anywhere counts, whatever the folder or letter case.
    std::wstring program = L"tarnleaf.exe";
    std::vector<wchar_t> path(MAX_PATH);
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length > 0 && length < path.size()) {
        program = FilePath(FilePath::FromWide({path.data(), length}).filename()).wstring();
    }
    CharLowerBuffW(program.data(), static_cast<DWORD>(program.size()));
    const std::wstring name = L"Local\\Tarnleaf.SingleInstance." + program;
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    if (mutex == nullptr) return false;
    if (existed) {
        CloseHandle(mutex);
        return true;
    }
    instanceMutex_ = mutex;
    return false;
}

std::string Win32Desktop::CommandLineText() const {
    const wchar_t* line = GetCommandLineW();
    return Narrow(CommandLineTail(line != nullptr ? line : L""));
}

FilePath Win32Desktop::ProgramFolder() const {
    return ExecutableFolder();
}

IconHandle Win32Desktop::LoadProgramIcon() {
    HANDLE icon =
        LoadImageW(static_cast<HINSTANCE>(instance_), MAKEINTRESOURCEW(form_layout::kIconResource),
                   IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR);
    return reinterpret_cast<IconHandle>(icon);
}

void Win32Desktop::SetWindowIcon(IconHandle icon) {
    if (window_ == nullptr) return;
    SendMessageW(AsWindow(window_), WM_SETICON, ICON_BIG, static_cast<LPARAM>(icon));
    SendMessageW(AsWindow(window_), WM_SETICON, ICON_SMALL, static_cast<LPARAM>(icon));
}

void Win32Desktop::SetWindowVisible(bool visible) {
    if (window_ == nullptr) return;
    const HWND window = AsWindow(window_);
    if (!visible) {
        ShowWindow(window, SW_HIDE);
        return;
    }
    const bool first = !everShown_;
    everShown_ = true;
    sizedDuringShow_ = false;
    ShowWindow(window, IsIconic(window) || IsZoomed(window) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(window);
    // The first showing is followed by a size notification, whether or not the system
    // sent one of its own during it.
    if (first && !sizedDuringShow_ && events_ != nullptr && !quitting_) {
        events_->OnResize();
    }
}

void Win32Desktop::SetWindowLeft(int twips) {
    if (window_ == nullptr) return;
    RECT rect{};
    GetWindowRect(AsWindow(window_), &rect);
    SetWindowPos(AsWindow(window_), nullptr, TwipsToPixelsX(twips), rect.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Desktop::SetWindowTop(int twips) {
    if (window_ == nullptr) return;
    RECT rect{};
    GetWindowRect(AsWindow(window_), &rect);
    SetWindowPos(AsWindow(window_), nullptr, rect.left, TwipsToPixelsY(twips), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

WindowState Win32Desktop::GetWindowState() const {
    if (window_ == nullptr) return WindowState::Normal;
    if (IsIconic(AsWindow(window_))) return WindowState::Minimized;
    if (IsZoomed(AsWindow(window_))) return WindowState::Maximized;
    return WindowState::Normal;
}

void Win32Desktop::SetWindowState(WindowState state) {
    if (window_ == nullptr) return;
    const HWND window = AsWindow(window_);
    const bool visible = IsWindowVisible(window) != FALSE;
    switch (state) {
        case WindowState::Normal:
            if (IsIconic(window) || IsZoomed(window)) {
                // Restoring shows the window; a hidden one is hidden again at once, before
                // the loop gets to paint it.
                ShowWindow(window, SW_RESTORE);
                if (!visible) ShowWindow(window, SW_HIDE);
            }
            break;
        case WindowState::Minimized:
            ShowWindow(window, SW_MINIMIZE);
            break;
        case WindowState::Maximized:
            ShowWindow(window, SW_MAXIMIZE);
            break;
    }
}

float Win32Desktop::TwipsPerPixelX() const {
    return 1440.0f / static_cast<float>(dpiX_);
}
float Win32Desktop::TwipsPerPixelY() const {
    return 1440.0f / static_cast<float>(dpiY_);
}

void Win32Desktop::SetMenuChecked(MenuItem item, bool checked) {
    if (menu_ == nullptr) return;
    CheckMenuItem(static_cast<HMENU>(menu_), MenuId(item),
                  MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void Win32Desktop::ShowPopupMenu(MenuItem defaultItem) {
    if (menu_ == nullptr || window_ == nullptr) return;
    const auto menu = static_cast<HMENU>(menu_);
    SetMenuDefaultItem(menu, MenuId(defaultItem), FALSE);
    POINT at{};
    GetCursorPos(&at);
    const UINT chosen =
        static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, at.x,
                                         at.y, 0, AsWindow(window_), nullptr));
    if (chosen == 0 || events_ == nullptr) return;
    for (const MenuItem item : {MenuItem::Config, MenuItem::Log, MenuItem::Exit}) {
        if (chosen == MenuId(item)) {
            events_->OnMenuClick(item);
            return;
        }
    }
}

void Win32Desktop::ViewSetText(std::string_view text) {
    viewText_.assign(text);
    if (view_ != nullptr) {
        SetWindowTextW(AsWindow(view_), DecodeForDisplay(viewText_).c_str());
    }
}

void Win32Desktop::ViewAppend(std::string_view text) {
    viewText_.append(text);
    if (view_ == nullptr) return;
    const HWND view = AsWindow(view_);
    const LRESULT end = GetWindowTextLengthW(view);
    SendMessageW(view, EM_SETSEL, static_cast<WPARAM>(end), end);
    SendMessageW(view, EM_REPLACESEL, FALSE,
                 reinterpret_cast<LPARAM>(DecodeForDisplay(text).c_str()));
}

void Win32Desktop::ViewSetCaret(std::size_t offset) {
    if (view_ == nullptr) return;
    offset = std::min(offset, viewText_.size());
    const auto position =
        static_cast<WPARAM>(DecodeForDisplay(std::string_view(viewText_).substr(0, offset)).size());
    const HWND view = AsWindow(view_);
    SendMessageW(view, EM_SETSEL, position, static_cast<LPARAM>(position));
    SendMessageW(view, EM_SCROLLCARET, 0, 0);
}

void Win32Desktop::OpenDocument(WindowHandle owner, const FilePath& file,
                                const FilePath& directory) {
    ShellExecuteW(AsWindow(owner), nullptr, file.wstring().c_str(), nullptr,
                  directory.wstring().c_str(), SW_SHOWNORMAL);
}

void Win32Desktop::ShowErrorBox(std::string_view caption, std::string_view text) {
    HWND owner =
        window_ != nullptr && IsWindowVisible(AsWindow(window_)) ? AsWindow(window_) : nullptr;
    MessageBoxW(owner, Widen(text).c_str(), Widen(caption).c_str(), MB_OK | MB_ICONERROR);
}

void Win32Desktop::Quit(int exitCode) {
    if (quitting_) return;
    quitting_ = true;
    exitCode_ = exitCode;
    if (window_ != nullptr && IsWindow(AsWindow(window_))) {
        DestroyWindow(AsWindow(window_));  // WM_DESTROY ends the loop with exitCode_
    } else {
        PostQuitMessage(exitCode);
    }
}

}  // namespace tarnleaf
