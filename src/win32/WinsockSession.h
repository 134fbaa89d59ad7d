#pragma once

#include <optional>

#include "UdpEndpoint.h"

namespace tarnleaf {

// Winsock has to be started before the first socket call and stopped after the last one;
// a program holds one session for its whole run (nested sessions are counted by Winsock).
class WinsockSession {
public:
    WinsockSession();
    ~WinsockSession();
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;

    // No value when Winsock 2.2 is ready; else why it could not be started.
    const std::optional<SocketError>& StartupError() const { return error_; }

private:
    std::optional<SocketError> error_;
};

}  // namespace tarnleaf
