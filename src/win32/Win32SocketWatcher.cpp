#include "Win32SocketWatcher.h"

#include "WinsockError.h"

namespace tarnleaf {
namespace {

constexpr wchar_t kClassName[] = L"TarnleafSocketWatcher";
constexpr UINT kReadyMessage = WM_APP + 1;
// Datagrams handled per readiness message; the rest wait for the next turn of the loop.
constexpr int kDatagramsPerTurn = 64;

}  // namespace

Win32SocketWatcher::Win32SocketWatcher(Readable readable, Failed failed)
    : readable_(std::move(readable)), failed_(std::move(failed)) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);  // fails harmlessly when already registered
    window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance,
                              nullptr);
    if (window_ != nullptr) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
}

Win32SocketWatcher::~Win32SocketWatcher() {
    if (socket_ != INVALID_SOCKET && window_ != nullptr) WSAAsyncSelect(socket_, window_, 0, 0);
    if (window_ != nullptr) DestroyWindow(window_);
}

std::optional<SocketError> Win32SocketWatcher::Watch(SOCKET socket) {
    if (window_ == nullptr) return DescribeWinsockError(static_cast<int>(GetLastError()));
    if (socket_ != INVALID_SOCKET) WSAAsyncSelect(socket_, window_, 0, 0);
    socket_ = INVALID_SOCKET;
    if (WSAAsyncSelect(socket, window_, kReadyMessage, FD_READ) != 0) return LastWinsockError();
    socket_ = socket;
    return std::nullopt;
}

LRESULT CALLBACK Win32SocketWatcher::Procedure(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    auto* self = reinterpret_cast<Win32SocketWatcher*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message != kReadyMessage || self == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    // A message still queued for a socket watched before is stale.
    if (static_cast<SOCKET>(wParam) == self->socket_) self->OnReady(lParam);
    return 0;
}

void Win32SocketWatcher::OnReady(LPARAM event) {
    if (const int error = WSAGETSELECTERROR(event); error != 0) {
        if (failed_) failed_(DescribeWinsockError(error));
        return;
    }
    if (!readable_) return;
    for (int i = 0; i < kDatagramsPerTurn; ++i) {
        readable_();
        // The socket is non-blocking and FD_READ comes again for what arrives later: stop
        // as soon as nothing waits.
        u_long waiting = 0;
        if (socket_ == INVALID_SOCKET || ioctlsocket(socket_, FIONREAD, &waiting) != 0 ||
            waiting == 0) {
            break;
        }
    }
}

}  // namespace tarnleaf
