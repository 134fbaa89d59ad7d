#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ProfileSource.h"
#include "Clock.h"
#include "UdpEndpoint.h"
#include "LogModel.h"
#include "OutputQueue.h"
#include "RequestCycle.h"
#include "TestMessageSender.h"

namespace tarnleaf {

// Why a port could not be bound, as far as the operator can act on it; each platform maps
// its own error codes (errno, WSAGetLastError) onto these.
enum class BindFailureKind { InUse, NotPermitted, Other };

// What the console prints when the server port cannot be bound: the cause and the remedy.
std::string BindFailureMessage(const SocketError& error, BindFailureKind kind, std::uint16_t port,
                               std::string_view program);

// The console server without its event loop: the request cycle, the test message and the
// log, each entry printed as the desktop log view would receive it, through an output queue
// that never makes a reply wait. The model keeps no text: nothing here shows the whole log.
// Each platform's loop calls HandleWaitingDatagrams when the socket is readable and
// HandleCommand per input line.
class ConsoleServer {
public:
    enum class CommandOutcome { Continue, Quit };

    // Datagrams handled per wake-up before the loop looks at signals and input again.
    static constexpr std::size_t kDatagramsPerWake = 64;

    ConsoleServer(UdpEndpoint& endpoint, ProfileSource& profiles, const Clock& clock,
                  OutputQueue& out, bool logging);

    std::optional<SocketError> Bind(std::uint16_t port) { return endpoint_.Bind(port); }

    // The first line the operator sees once the port is bound.
    void PrintListening(std::uint16_t port, std::string_view configPath);

    // Handles waiting datagrams in batches, each datagram to completion, at most `limit`,
    // until the socket is empty. Returns how many were handled.
    std::size_t HandleWaitingDatagrams(std::size_t limit = kDatagramsPerWake);

    // "t": send the test message; "l": switch logging; "q": quit. Letter case and blanks
    // around the letter do not matter; an empty line does nothing; anything else gets help.
    CommandOutcome HandleCommand(std::string_view line);

    LogModel& Log() { return log_; }

private:
    UdpEndpoint& endpoint_;
    OutputQueue& out_;
    LogModel log_;
    RequestCycle cycle_;
    TestMessageSender testSender_;
};

}  // namespace tarnleaf
