#include "WinsockError.h"

#include <winsock2.h>
#include <windows.h>

#include <array>
#include <string>

#include "WideText.h"

namespace tarnleaf {
namespace {

struct KnownError {
    int code;
    const char* text;
};

// The texts of the codes a UDP server meets, for systems (and Wine) whose message tables
// lack them.
constexpr std::array kKnownErrors{
    KnownError{WSAEINTR, "Interrupted function call"},
    KnownError{WSAEBADF, "File handle is not valid"},
    KnownError{WSAEACCES, "Permission denied"},
    KnownError{WSAEFAULT, "Bad address"},
    KnownError{WSAEINVAL, "Invalid argument"},
    KnownError{WSAEMFILE, "Too many open sockets"},
    KnownError{WSAEWOULDBLOCK, "Resource temporarily unavailable"},
    KnownError{WSAENOTSOCK, "Socket operation on nonsocket"},
    KnownError{WSAEDESTADDRREQ, "Destination address required"},
    KnownError{WSAEMSGSIZE, "Message too long"},
    KnownError{WSAEPROTOTYPE, "Protocol wrong type for socket"},
    KnownError{WSAENOPROTOOPT, "Bad protocol option"},
    KnownError{WSAEPROTONOSUPPORT, "Protocol not supported"},
    KnownError{WSAEOPNOTSUPP, "Operation not supported"},
    KnownError{WSAEAFNOSUPPORT, "Address family not supported by protocol family"},
    KnownError{WSAEADDRINUSE, "Address already in use"},
    KnownError{WSAEADDRNOTAVAIL, "Cannot assign requested address"},
    KnownError{WSAENETDOWN, "Network is down"},
    KnownError{WSAENETUNREACH, "Network is unreachable"},
    KnownError{WSAENETRESET, "Network dropped connection on reset"},
    KnownError{WSAECONNRESET, "Connection reset by peer"},
    KnownError{WSAENOBUFS, "No buffer space available"},
    KnownError{WSAESHUTDOWN, "Cannot send after socket shutdown"},
    KnownError{WSAETIMEDOUT, "Connection timed out"},
    KnownError{WSAEHOSTUNREACH, "No route to host"},
    KnownError{WSASYSNOTREADY, "Network subsystem is unavailable"},
    KnownError{WSAVERNOTSUPPORTED, "Winsock.dll version out of range"},
    KnownError{WSANOTINITIALISED, "Successful WSAStartup not yet performed"},
};

std::string SystemMessage(int code, unsigned language) {
    // The wide call: the narrow one gives the ANSI code page's bytes, which in a UTF-8 log
    // or console turn every accented or Japanese letter of a localised message into junk.
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code),
        language != 0 ? static_cast<DWORD>(language) : MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text;
    if (length != 0 && buffer != nullptr) {
        text = Narrow(std::wstring_view(buffer, length));
    }
    if (buffer != nullptr) {
        LocalFree(buffer);
    }
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' ||
                             text.back() == '.')) {
        text.pop_back();
    }
    return text;
}

}  // namespace

SocketError DescribeWinsockError(int code, unsigned language) {
    std::string text = SystemMessage(code, language);
    if (text.empty()) {
        for (const KnownError& known : kKnownErrors) {
            if (known.code == code) {
                text = known.text;
                break;
            }
        }
    }
    if (text.empty()) {
        text = "Winsock error " + std::to_string(code);
    }
    return SocketError{code, std::move(text)};
}

SocketError LastWinsockError() { return DescribeWinsockError(WSAGetLastError()); }

}  // namespace tarnleaf
