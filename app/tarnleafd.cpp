// tarnleafd: the BOOTP/DHCP reply server as a console program for Linux.
#include <unistd.h>

#include <cerrno>
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
#include "PosixClock.h"
#include "PosixConsoleLoop.h"
#include "PosixUdpEndpoint.h"
#include "PrivilegeDrop.h"
#include "ProgramFolder.h"

namespace {

constexpr const char* kProgram = "tarnleafd";

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
        return RunCheck(ConsoleConfigPath(options, ProgramFolder()), std::cout, std::cerr);
    }
    if (options.action == ConsoleAction::Preview) {
        // Never bound: asked only for the host's address and name.
        const PosixUdpEndpoint host;
        const std::string from = options.previewFrom.empty() ? host.LocalIP() : options.previewFrom;
        return RunPreview(options, ConsoleConfigPath(options, ProgramFolder()), from,
                          host.LocalHostName(), std::cout, std::cerr);
    }

    // A reader that goes away (a closed pipe) must not end the server, and neither may a
    // terminal it shares from the background ("tarnleafd &") stop it.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGTTIN, SIG_IGN);
    std::signal(SIGTTOU, SIG_IGN);
    std::ios::sync_with_stdio(false);

    // Blocks the stop signals before anything else, so that Ctrl+C during start-up still
    // ends the program through the loop, cleanly.
    PosixConsoleLoop loop;
    if (const auto& failure = loop.SetupError()) {
        std::cerr << kProgram << ": cannot watch for signals: " << failure->description << '\n';
        return 1;
    }

    const FilePath configPath = ConsoleConfigPath(options, ProgramFolder());
    PosixUdpEndpoint endpoint;
    if (const auto error = endpoint.Bind(options.port)) {
        std::cerr << BindFailureMessage(*error, ClassifyBindFailure(error->code), options.port,
                                        kProgram);
        return 1;
    }
    // Root (or the capability) was needed for the port alone: given up before the profiles
    // are read, so that they are read only as the user who reads them from now on.
    const auto dropped = DropPrivileges(options.user);
    if (!dropped.ok()) {
        std::fprintf(stderr, "%s: cannot drop privileges: %s (stopping rather than "
                     "serving with them)\n", kProgram, dropped.error().c_str());
        return 1;
    }
    std::fprintf(stderr, "%s: %s\n%s", kProgram, dropped.value().c_str(),
                 UnreadableFileNote(configPath, kProgram).c_str());
    ConfigFile profiles(configPath, LocalFileAccess(), InotifyFileWatcher::Create(configPath));
    PosixClock clock;
    ConsoleServer server(endpoint, profiles, clock, std::cout, options.logging);

    server.PrintListening(endpoint.BoundPort(), configPath.string());
    std::cerr << MissingConfigNote(configPath, kProgram);

    const int inputFd = ::isatty(STDIN_FILENO) == 1 ? STDIN_FILENO : -1;
    PosixConsoleLoop::Handlers handlers;
    handlers.socketReadable = [&server] { server.HandleWaitingDatagrams(); };
    handlers.inputLine = [&server](std::string_view line) {
        return server.HandleCommand(line) == ConsoleServer::CommandOutcome::Continue;
    };
    const auto stop = loop.Run(static_cast<int>(endpoint.NativeHandle()), inputFd, handlers);
    if (stop == PosixConsoleLoop::StopReason::Failure) {
        std::cerr << kProgram << ": the event loop failed: "
                  << SocketErrorFromErrno(errno).description << '\n';
        return 1;
    }
    std::cout.flush();
    return 0;
}
