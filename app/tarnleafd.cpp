// tarnleafd: the BOOTP/DHCP reply server as a console program for Linux.
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "ConfigFile.h"
#include "InotifyFileWatcher.h"
#include "ConsoleOptions.h"
#include "ConsoleServer.h"
#include "ConsoleTools.h"
#include "FilePath.h"
#include "OutputQueue.h"
#include "PosixClock.h"
#include "PosixConsoleLoop.h"
#include "PosixUdpEndpoint.h"
#include "PrivilegeDrop.h"
#include "ProgramFolder.h"

namespace {

constexpr const char* kProgram = "tarnleafd";
// The longest a stop signal can go unseen while the server waits in a receive.
constexpr std::chrono::milliseconds kStopLatency{500};

tarnleaf::BindFailureKind ClassifyBindFailure(int code) {
    switch (code) {
        case EADDRINUSE:
            return tarnleaf::BindFailureKind::InUse;
        case EACCES:
        case EPERM:
            return tarnleaf::BindFailureKind::NotPermitted;
        default:
            return tarnleaf::BindFailureKind::Other;
    }
}

// All of `text` to standard output, however long the reader takes; false once it is gone.
bool WriteToStandardOutput(std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(STDOUT_FILENO, text.data(), text.size());
        if (written > 0) {
            text.remove_prefix(static_cast<std::size_t>(written));
        } else if (written < 0 && errno == EAGAIN) {
            // Standard output may have been left non-blocking by whoever shares it.
            pollfd watch{STDOUT_FILENO, POLLOUT, 0};
            ::poll(&watch, 1, -1);
        } else if (written == 0 || errno != EINTR) {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tarnleaf;

    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    auto parsed = ParseConsoleArguments(args);
    if (!parsed.ok()) {
        std::cerr << kProgram << ": " << parsed.error() << '\n' << ConsoleUsage(kProgram);
        return 2;
    }
    const ConsoleOptions& options = parsed.value();
    if (options.showHelp) {
        std::cout << ConsoleUsage(kProgram);
        return 0;
    }
    if (options.action == ConsoleAction::Check) {
        return PrintOutcome(RunCheck(ConsoleConfigPath(options, ConfigFolder())));
    }
    if (options.action == ConsoleAction::Preview) {
        // Never bound: asked only for the host's address and name.
        const PosixUdpEndpoint host;
        const std::string from = options.previewFrom.empty() ? host.LocalIP() : options.previewFrom;
        const FilePath configPath = ConsoleConfigPath(options, ConfigFolder());
        return PrintOutcome(RunPreview(options, configPath, from, host.LocalHostName()));
    }

    // A reader that goes away (a closed pipe) must not end the server, and neither may a
    // terminal it shares from the background ("tarnleafd &") stop it.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGTTIN, SIG_IGN);
    std::signal(SIGTTOU, SIG_IGN);

    // Blocks the stop signals before anything else, so that Ctrl+C during start-up still
    // ends the program through the loop, cleanly.
    PosixConsoleLoop loop;
    if (const auto& failure = loop.SetupError()) {
        std::cerr << kProgram << ": cannot watch for signals: " << failure->description << '\n';
        return 1;
    }

    const FilePath configPath = ConsoleConfigPath(options, ConfigFolder());
    PosixUdpEndpoint endpoint;
    if (const auto error = endpoint.Bind(options.port)) {
        std::cerr << BindFailureMessage(*error, ClassifyBindFailure(error->code), options.port,
                                        kProgram);
        return 1;
    }
    // Commands come from a terminal only, read through a description of the server's own,
    // opened while the terminal (perhaps root's) still can be.
    const int inputFd =
        ::isatty(STDIN_FILENO) == 1 ? PosixConsoleLoop::OwnInput(STDIN_FILENO) : -1;
    // Root (or the capability) was needed for the port alone: given up before the profiles
    // are read, so that they are read only as the user who reads them from now on.
    const auto dropped = DropPrivileges(options.user);
    if (!dropped.ok()) {
        std::fprintf(stderr, "%s: cannot drop privileges: %s (stopping rather than "
                     "serving with them)\n", kProgram, dropped.error().c_str());
        return 1;
    }
    std::fprintf(stderr, "%s: %s\n", kProgram, dropped.value().c_str());
    // A file this user cannot read is said in the log, by the server's own read-error entry.
    ConfigFile profiles(configPath, LocalFileAccess(), InotifyFileWatcher::Create(configPath));
    PosixClock clock;
    // The log leaves through a writer thread: a reader that stops reading costs entries, not
    // replies.
    OutputQueue output(WriteToStandardOutput);
    ConsoleServer server(endpoint, profiles, clock, output, options.logging);

    server.PrintListening(endpoint.BoundPort(), configPath.string());
    std::cerr << MissingConfigNote(configPath, kProgram);

    PosixConsoleLoop::Handlers handlers;
    handlers.socketReadable = [&server] { server.HandleWaitingDatagrams(); };
    handlers.inputLine = [&server](std::string_view line) {
        return server.HandleCommand(line) == ConsoleServer::CommandOutcome::Continue;
    };
    // A service, a pipe or a script reads no commands: the server then waits in the receive
    // itself, one receive per turn. A stop signal that slips in just before a wait is seen
    // within kStopLatency.
    const bool waitInReceive = inputFd < 0 && !endpoint.WaitInReceive(kStopLatency).has_value();
    const auto serveOneBatch = [&server] {
        server.HandleWaitingDatagrams(RequestCycle::kBatchSize);
    };
    const auto stop =
        waitInReceive ? loop.Serve(serveOneBatch)
                      : loop.Run(static_cast<int>(endpoint.NativeHandle()), inputFd, handlers);
    if (stop == PosixConsoleLoop::StopReason::Failure) {
        std::cerr << kProgram << ": the event loop failed: "
                  << SocketErrorFromErrno(errno).description << '\n';
        return 1;
    }
    output.Close();
    return 0;
}
