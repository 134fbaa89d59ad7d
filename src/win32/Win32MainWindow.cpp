#include "Win32MainWindow.h"

#include <algorithm>
#include <array>
#include <optional>

#include "DisplayText.h"
#include "MainWindowLayout.h"

namespace tarnleaf {
namespace {

struct ControlSpec {
    const wchar_t* kind;
    DWORD style;
    const form_layout::Control* layout;
    std::optional<WindowButton> button;  // none for the log view
};

// The window's timer that brings the log view's changes to the control, and how long the
// changes may gather first: short to the eye, long to a flood of requests.
constexpr UINT_PTR kUpdateViewTimer = 1;
constexpr UINT kUpdateViewDelayMs = 50;

// Control identities are their positions in this table plus this base.
constexpr int kFirstControlId = 100;
const std::array<ControlSpec, 4> kControls{{
    {L"EDIT", ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL, &form_layout::kLogView,
     std::nullopt},
    {L"BUTTON", BS_PUSHBUTTON, &form_layout::kTestButton, WindowButton::SendTestMessage},
    {L"BUTTON", BS_PUSHBUTTON, &form_layout::kCancelButton, WindowButton::MinimizeToTray},
    {L"BUTTON", BS_PUSHBUTTON, &form_layout::kEditButton, WindowButton::EditConfig},
}};

// The button a control identity stands for; none for the log view or a stranger's.
std::optional<WindowButton> ButtonOf(int controlId) {
    const auto index = static_cast<std::size_t>(controlId - kFirstControlId);
    return index < kControls.size() ? kControls[index].button : std::nullopt;
}

int CALLBACK FontFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

HFONT FixedFont(int height, BYTE charset, const wchar_t* face) {
    return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, charset,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       FIXED_PITCH | FF_MODERN, face);
}

// The log view takes the keys of a read-only text: the arrows scroll it, but Tab, Enter and
// Escape belong to the window. A multiline edit asks for them all, so the keyboard could not
// leave it, and in the message loop's dialog mode it closes its parent on Escape: that would
// end the program.
struct ReadOnlyViewKeys final : WindowHook {
    std::optional<LRESULT> OnWindowMessage(HWND, UINT message, WPARAM, LPARAM) override {
        if (message != WM_GETDLGCODE) return std::nullopt;
        return DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_HASSETSEL;
    }
};

}  // namespace

Win32MainWindow::Win32MainWindow(HINSTANCE instance) {
    if (HDC screen = GetDC(nullptr)) {
        dpiX_ = std::max(GetDeviceCaps(screen, LOGPIXELSX), 1);
        dpiY_ = std::max(GetDeviceCaps(screen, LOGPIXELSY), 1);
        ReleaseDC(nullptr, screen);
    }
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(form_layout::kIconResource));
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);  // fails harmlessly for a second window of the process

    // A fixed frame with a close box and a minimise box: the layout never changes, and
    // minimising sends the window to the notification area.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT outer{0, 0, ToPixelsX(form_layout::kClientWidth), ToPixelsY(form_layout::kClientHeight)};
    AdjustWindowRectEx(&outer, style, FALSE, 0);
    window_ = CreateWindowExW(0, kClassName, Widen(form_layout::kCaption).c_str(), style,
                              CW_USEDEFAULT, CW_USEDEFAULT, outer.right - outer.left,
                              outer.bottom - outer.top, nullptr, nullptr, instance, this);
    if (window_ != nullptr) CreateControls(instance);
}

Win32MainWindow::~Win32MainWindow() {
    Destroy();
    if (logFont_ != nullptr) DeleteObject(logFont_);
}

void Win32MainWindow::Destroy() {
    events_ = nullptr;
    if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
    window_ = nullptr;
    view_ = nullptr;
}

int Win32MainWindow::ToPixelsX(int twips) const { return MulDiv(twips, dpiX_, 1440); }
int Win32MainWindow::ToPixelsY(int twips) const { return MulDiv(twips, dpiY_, 1440); }

HFONT Win32MainWindow::ChooseLogFont() const {
    const std::wstring face = Widen(form_layout::kLogViewFontFace);
    const int height = -MulDiv(form_layout::kLogViewFontPoints, dpiY_, 72);
    LOGFONTW wanted{};
    wanted.lfCharSet = SHIFTJIS_CHARSET;
    face.copy(wanted.lfFaceName, LF_FACESIZE - 1);
    bool installed = false;
    if (HDC screen = GetDC(nullptr)) {
        EnumFontFamiliesExW(screen, &wanted, FontFound, reinterpret_cast<LPARAM>(&installed), 0);
        ReleaseDC(nullptr, screen);
    }
    if (installed) return FixedFont(height, SHIFTJIS_CHARSET, face.c_str());
    return FixedFont(height, DEFAULT_CHARSET, L"Courier New");
}

void Win32MainWindow::CreateControls(HINSTANCE instance) {
    // Windows' tab order is the order of creation.
    std::array<std::size_t, kControls.size()> order{0, 1, 2, 3};
    std::sort(order.begin(), order.end(), [](std::size_t a, std::size_t b) {
        return kControls[a].layout->tabIndex < kControls[b].layout->tabIndex;
    });
    logFont_ = ChooseLogFont();
    const auto viewFont =
        logFont_ != nullptr ? static_cast<HGDIOBJ>(logFont_) : GetStockObject(SYSTEM_FIXED_FONT);
    for (const std::size_t index : order) {
        const ControlSpec& spec = kControls[index];
        const form_layout::Control& at = *spec.layout;
        const bool isView = !spec.button.has_value();
        HWND control = CreateWindowExW(
            isView ? WS_EX_CLIENTEDGE : 0, spec.kind, Widen(at.caption).c_str(),
            WS_CHILD | WS_VISIBLE | WS_TABSTOP | spec.style, ToPixelsX(at.left), ToPixelsY(at.top),
            ToPixelsX(at.width), ToPixelsY(at.height), window_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + index)), instance,
            nullptr);
        const HGDIOBJ font = isView ? viewFont : GetStockObject(DEFAULT_GUI_FONT);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (isView && control != nullptr) {
            view_ = control;
            SendMessageW(view_, EM_SETLIMITTEXT, 0, 0);  // the log is bounded by its own rule
            static ReadOnlyViewKeys keys;  // holds nothing: one serves every window
            viewHooks_.Hook(view_, keys);
        }
    }
}

LRESULT CALLBACK Win32MainWindow::Procedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || self->window_ != window) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->HandleMessage(message, wParam, lParam);
}

LRESULT Win32MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SIZE:
            sizedDuringShow_ = true;
            if (events_ != nullptr) events_->OnResized();
            return 0;
        case WM_CLOSE:
            // The logic decides; the window does not close itself.
            if (events_ != nullptr) events_->OnCloseRequested();
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            if (wParam != FALSE && events_ != nullptr) events_->OnCloseRequested();
            return 0;
        case WM_COMMAND: {
            const auto button = ButtonOf(LOWORD(wParam));
            if (HIWORD(wParam) == BN_CLICKED && button && events_ != nullptr) {
                events_->OnButtonClicked(*button);
            }
            return 0;
        }
        case DM_GETDEFID: {
            // Asked by the message loop's dialog mode on Enter. A plain window has no default
            // button of the dialog manager's making, so the focused one is named: Enter then
            // presses it, as Space does.
            const HWND focus = GetFocus();
            const int id = focus != nullptr && GetParent(focus) == window_ ? GetDlgCtrlID(focus) : 0;
            return ButtonOf(id) ? MAKELRESULT(id, DC_HASDEFID) : 0;
        }
        case WM_TIMER:
            if (wParam != kUpdateViewTimer) break;
            KillTimer(window_, kUpdateViewTimer);
            UpdateView();
            return 0;
        case WM_CTLCOLORSTATIC:
            // A read-only edit is drawn as "static": keep the log on a white page.
            if (reinterpret_cast<HWND>(lParam) == view_) {
                SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
                return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
            }
            break;
        default:
            break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void Win32MainWindow::Show() {
    if (window_ == nullptr) return;
    const bool first = !everShown_;
    everShown_ = true;
    sizedDuringShow_ = false;
    ShowWindow(window_, IsIconic(window_) || IsZoomed(window_) ? SW_RESTORE : SW_SHOW);
    if (!first) {
        // Start-up's showing is undone at once (the window lives in the tray); a hidden
        // window in front would take the keys from what the user is doing.
        SetForegroundWindow(window_);
    }
    // The first showing is followed by a size notification, whether or not the system
    // sent one of its own during it.
    if (first && !sizedDuringShow_ && events_ != nullptr) events_->OnResized();
}

void Win32MainWindow::Hide() {
    if (window_ != nullptr) ShowWindow(window_, SW_HIDE);
}

WindowState Win32MainWindow::State() const {
    if (window_ != nullptr && IsIconic(window_)) return WindowState::Minimized;
    if (window_ != nullptr && IsZoomed(window_)) return WindowState::Maximized;
    return WindowState::Normal;
}

void Win32MainWindow::SetState(WindowState state) {
    if (window_ == nullptr) return;
    switch (state) {
        case WindowState::Normal:
            if (IsIconic(window_) || IsZoomed(window_)) {
                // Restoring shows the window; a hidden one is hidden again at once, before
                // the loop gets to paint it.
                const bool visible = IsWindowVisible(window_) != FALSE;
                ShowWindow(window_, SW_RESTORE);
                if (!visible) ShowWindow(window_, SW_HIDE);
            }
            break;
        case WindowState::Minimized:
            ShowWindow(window_, SW_MINIMIZE);
            break;
        case WindowState::Maximized:
            ShowWindow(window_, SW_MAXIMIZE);
            break;
    }
}

void Win32MainWindow::MoveTo(PixelPoint topLeft) {
    if (window_ == nullptr) return;
    SetWindowPos(window_, nullptr, topLeft.x, topLeft.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

PixelSize Win32MainWindow::OuterSize() const {
    RECT rect{};
    if (window_ == nullptr || !GetWindowRect(window_, &rect)) return {};
    return {rect.right - rect.left, rect.bottom - rect.top};
}

void Win32MainWindow::SetLogText(std::string_view text) {
    viewText_.assign(text);
    shownBytes_ = viewText_.size();
    pendingFront_ = pendingFrontUnits_ = 0;
    pendingTail_.clear();
    if (view_ != nullptr) SetWindowTextW(view_, DecodeForDisplay(viewText_).c_str());
}

void Win32MainWindow::AppendLogText(std::string_view text) {
    viewText_.append(text);
    pendingTail_.append(text);
    ScheduleViewUpdate();
}

void Win32MainWindow::RemoveLogFront(std::size_t bytes) {
    bytes = std::min(bytes, viewText_.size());
    // The part of the control's text still to go comes first in viewText_, the tail after it.
    const std::size_t fromShown = std::min(bytes, shownBytes_ - pendingFront_);
    pendingFrontUnits_ += DisplayLength(std::string_view(viewText_).substr(0, fromShown));
    pendingFront_ += fromShown;
    pendingTail_.erase(0, bytes - fromShown);
    viewText_.erase(0, bytes);
    ScheduleViewUpdate();
}

void Win32MainWindow::SetLogCaret(std::size_t offset) {
    pendingCaret_ = std::min(offset, viewText_.size());
    ScheduleViewUpdate();
}

void Win32MainWindow::ScheduleViewUpdate() {
    // The edit control lays out its whole text again at every change, which takes up to tens
    // of milliseconds: with two changes an entry, a flood of requests would hold the loop for
    // seconds and lose datagrams. The changes of a short while reach the control as one.
    if (updateDue_) return;
    updateDue_ = window_ != nullptr &&
                 SetTimer(window_, kUpdateViewTimer, kUpdateViewDelayMs, nullptr) != 0;
    if (!updateDue_) UpdateView();
}

void Win32MainWindow::UpdateView() {
    updateDue_ = false;
    if (view_ != nullptr) {
        if (pendingFront_ > 0 && pendingFront_ == shownBytes_) {
            SetWindowTextW(view_, DecodeForDisplay(viewText_).c_str());
        } else {
            if (pendingFrontUnits_ > 0) {
                SendMessageW(view_, EM_SETSEL, 0, static_cast<LPARAM>(pendingFrontUnits_));
                SendMessageW(view_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
            }
            if (!pendingTail_.empty()) {
                const auto end = static_cast<WPARAM>(GetWindowTextLengthW(view_));
                SendMessageW(view_, EM_SETSEL, end, static_cast<LPARAM>(end));
                SendMessageW(view_, EM_REPLACESEL, FALSE,
                             reinterpret_cast<LPARAM>(DecodeForDisplay(pendingTail_).c_str()));
            }
        }
        if (pendingCaret_) {
            // Every prefix decodes to a prefix of the whole: its length is the caret's place.
            const auto caret = static_cast<WPARAM>(
                DisplayLength(std::string_view(viewText_).substr(0, *pendingCaret_)));
            SendMessageW(view_, EM_SETSEL, caret, static_cast<LPARAM>(caret));
            SendMessageW(view_, EM_SCROLLCARET, 0, 0);
        }
    }
    shownBytes_ = viewText_.size();
    pendingFront_ = pendingFrontUnits_ = 0;
    pendingTail_.clear();
    pendingCaret_.reset();
}

void Win32MainWindow::ShowError(std::string_view caption, std::string_view text) {
    HWND owner = window_ != nullptr && IsWindowVisible(window_) ? window_ : nullptr;
    MessageBoxW(owner, Widen(text).c_str(), Widen(caption).c_str(), MB_OK | MB_ICONERROR);
}

}  // namespace tarnleaf
