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

}  // namespace

SocketError DescribeWinsockError(int code, unsigned language) {
    std::string text = SystemMessage(static_cast<unsigned long>(code), language);
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
