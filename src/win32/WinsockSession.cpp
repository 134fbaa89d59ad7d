#include "WinsockSession.h"

#include <winsock2.h>

#include "WinsockError.h"

namespace tarnleaf {

WinsockSession::WinsockSession() {
    WSADATA data{};
    if (const int code = WSAStartup(MAKEWORD(2, 2), &data); code != 0) {
        error_ = DescribeWinsockError(code);
    }
}

WinsockSession::~WinsockSession() {
    if (!error_) {
        WSACleanup();
    }
}

}  // namespace tarnleaf
