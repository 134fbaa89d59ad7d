#include "ConsoleServer.h"

#include <algorithm>
#include <string>

#include "ProfileRefresh.h"

namespace tarnleaf {
namespace {

std::string_view TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

constexpr std::string_view kCommandHelp =
    "commands: t = send test message, l = logging on/off, q = quit\n";

}  // namespace

std::string BindFailureMessage(const SocketError& error, BindFailureKind kind, std::uint16_t port,
                               std::string_view program) {
    std::string text = std::string(program) + ": cannot listen on UDP port " +
                       std::to_string(port) + ": " + error.description + " (error " +
                       std::to_string(error.code) + ")\n";
    switch (kind) {
        case BindFailureKind::InUse:
            text += "The port is in use by another program (another DHCP server?). Stop that "
                    "program, then start " +
                    std::string(program) + " again.\n";
            break;
        case BindFailureKind::NotPermitted:
            text += "Not permitted: ports below 1024 need privileges. Run it as root or grant "
                    "CAP_NET_BIND_SERVICE, e.g. sudo setcap cap_net_bind_service=+ep " +
                    std::string(program) + "\n";
            break;
        case BindFailureKind::Other:
            break;
    }
    return text;
}

ConsoleServer::ConsoleServer(UdpEndpoint& endpoint, ProfileSource& profiles, const Clock& clock,
                             OutputQueue& out, bool logging)
    : endpoint_(endpoint),
      out_(out),
      log_(LogText::NotKept),
      cycle_(endpoint, profiles, log_, clock),
      testSender_(endpoint, profiles, log_, clock) {
    log_.SetLoggingEnabled(logging);
    log_.Subscribe([this](const LogChange& change) {
        out_.Post(change.appended);
    });
    // A file that could not be read at start-up is said at once, not with the first request.
    RefreshProfiles(profiles, log_);
}

void ConsoleServer::PrintListening(std::uint16_t port, std::string_view configPath) {
    std::string line = "listening on 0.0.0.0:" + std::to_string(port) + ", profiles from ";
    line += configPath;
    line += log_.LoggingEnabled() ? "\n" : " (logging off)\n";
    out_.Post(line);
}

std::size_t ConsoleServer::HandleWaitingDatagrams(std::size_t limit) {
    std::size_t handled = 0;
    while (handled < limit) {
        const std::size_t wanted = std::min(limit - handled, RequestCycle::kBatchSize);
        const std::size_t got = cycle_.HandleWaitingDatagrams(wanted);
        handled += got;
        if (got < wanted) {
            break;
        }
    }
    return handled;
}

ConsoleServer::CommandOutcome ConsoleServer::HandleCommand(std::string_view line) {
    const std::string_view command = TrimBlanks(line);
    if (command.empty()) {
        return CommandOutcome::Continue;
    }
    if (command.size() == 1) {
        switch (command[0]) {
            case 't':
            case 'T':
                testSender_.SendTestMessage();
                return CommandOutcome::Continue;
            case 'l':
            case 'L':
                log_.SetLoggingEnabled(!log_.LoggingEnabled());
                out_.Post(log_.LoggingEnabled() ? "logging on\n" : "logging off\n");
                return CommandOutcome::Continue;
            case 'q':
            case 'Q':
                return CommandOutcome::Quit;
            default:
                break;
        }
    }
    out_.Post(kCommandHelp);
    return CommandOutcome::Continue;
}

}  // namespace tarnleaf
