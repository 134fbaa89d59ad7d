#pragma once

#include <winsock2.h>
#include <windows.h>

#include <functional>
#include <optional>

#include "UdpEndpoint.h"

namespace tarnleaf {

// Brings a socket's readiness into the desktop program's message loop (WSAAsyncSelect to a
// message-only window of its own): `readable` runs while datagrams wait, up to a batch per
// turn of the loop so that the window stays responsive under a flood; `failed` runs when
// Winsock reports an error for the socket. The socket must stay open while watched.
class Win32SocketWatcher {
public:
    using Readable = std::function<void()>;
    using Failed = std::function<void(const SocketError&)>;

    Win32SocketWatcher(Readable readable, Failed failed);
    ~Win32SocketWatcher();
    Win32SocketWatcher(const Win32SocketWatcher&) = delete;
    Win32SocketWatcher& operator=(const Win32SocketWatcher&) = delete;

    // Starts watching (a second call replaces the socket watched); the error when it cannot.
    std::optional<SocketError> Watch(SOCKET socket);

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnReady(LPARAM event);

    Readable readable_;
    Failed failed_;
    HWND window_ = nullptr;
    SOCKET socket_ = INVALID_SOCKET;
};

}  // namespace tarnleaf
