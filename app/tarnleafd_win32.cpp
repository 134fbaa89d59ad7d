// tarnleafd.exe: the BOOTP/DHCP reply server as a console program for Windows.
#include <winsock2.h>
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "ConfigFile.h"
#include "Win32FileWatcher.h"
#include "ConsoleOptions.h"
#include "ConsoleServer.h"
#include "ConsoleTools.h"
#include "OutputQueue.h"
#include "ExecutableFolder.h"
#include "Win32Clock.h"
#include "Win32ConsoleLoop.h"
#include "WideText.h"
#include "WinsockSession.h"
#include "WinsockUdpEndpoint.h"

namespace {

constexpr const char* kProgram = "tarnleafd";

// Plain stdio for the few lines around the log: the C++ streams would bring the static
// locale machinery into the program, most of its size.
void PrintError(const std::string& text) { std::fputs(text.c_str(), stderr); }

tarnleaf::BindFailureKind ClassifyBindFailure(int code) {
    switch (code) {
        case WSAEADDRINUSE:
            return tarnleaf::BindFailureKind::InUse;
        default:
            return tarnleaf::BindFailureKind::Other;
    }
}

// On Windows the low ports need no privilege; "access denied" means that another program
// holds the port exclusively or that the system has reserved it.
std::string WindowsBindHint(int code, std::uint16_t port) {
    if (code != WSAEACCES) {
        return {};
    }
    return "Another program holds the port exclusively, or Windows reserves it. See\n"
           "  netsh interface ipv4 show excludedportrange protocol=udp\n"
           "and stop the program that uses UDP port " +
           std::to_string(port) + ".\n";
}

// The log is UTF-8 text; a console shows it as such while the server runs, and gets its
// own code page back afterwards (the console outlives the program).
class Utf8ConsoleOutput {
public:
    Utf8ConsoleOutput() : previous_(GetConsoleOutputCP()) {
        if (previous_ != 0) {
            SetConsoleOutputCP(CP_UTF8);
        }
    }
    ~Utf8ConsoleOutput() {
        if (previous_ != 0) {
            SetConsoleOutputCP(previous_);
        }
    }
    Utf8ConsoleOutput(const Utf8ConsoleOutput&) = delete;
    Utf8ConsoleOutput& operator=(const Utf8ConsoleOutput&) = delete;

private:
    UINT previous_;
};

// All of `text` to standard output, however long the reader takes; false once it is gone.
bool WriteToStandardOutput(std::string_view text) {
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE) {
        return false;
    }
    while (!text.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size(), 1u << 20));
        DWORD written = 0;
        if (!WriteFile(output, text.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        text.remove_prefix(written);
    }
    return true;
}

bool InputCarriesCommands() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) {
        return false;
    }
    const DWORD type = GetFileType(input);
    return type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE;
}

}  // namespace

// wmain: the arguments as typed, whatever the system's code page; a plain main would get them
// in that code page, and a path with a character outside it would name no file.
int wmain(int argc, wchar_t** argv) {
    using namespace tarnleaf;

    // The log already ends its lines in CRLF; text mode would double the CR.
    _setmode(_fileno(stdout), _O_BINARY);
    const Utf8ConsoleOutput utf8Console;

    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(Narrow(argv[i]));
    auto parsed = ParseConsoleArguments(args);
    if (!parsed.ok()) {
        PrintError(std::string(kProgram) + ": " + parsed.error() + '\n' + ConsoleUsage(kProgram));
        return 2;
    }
    const ConsoleOptions& options = parsed.value();
    if (options.showHelp) {
        std::fputs(ConsoleUsage(kProgram).c_str(), stdout);
        return 0;
    }

    // Before the output queue, so that it ends after the queue has written out the log.
    Win32ConsoleLoop loop;
    if (const auto& failure = loop.SetupError()) {
        PrintError(std::string(kProgram) + ": cannot watch for Ctrl+C: " + failure->description +
                   '\n');
        return 1;
    }
    WinsockSession winsock;
    if (const auto& failure = winsock.StartupError()) {
        PrintError(std::string(kProgram) + ": Winsock is not available: " + failure->description +
                   '\n');
        return 1;
    }
    if (options.action == ConsoleAction::Check) {
        return PrintOutcome(RunCheck(ConsoleConfigPath(options, ExecutableFolder())));
    }
    if (options.action == ConsoleAction::Preview) {
        // Never bound: asked only for the host's address and name.
        const WinsockUdpEndpoint host;
        const std::string from = options.previewFrom.empty() ? host.LocalIP() : options.previewFrom;
        const FilePath configPath = ConsoleConfigPath(options, ExecutableFolder());
        return PrintOutcome(RunPreview(options, configPath, from, host.LocalHostName()));
    }

    const FilePath configPath = ConsoleConfigPath(options, ExecutableFolder());
    ConfigFile profiles(configPath, LocalFileAccess(), Win32FileWatcher::Create(configPath));
    Win32Clock clock;
    WinsockUdpEndpoint endpoint;
    // The log leaves through a writer thread: a reader that stops reading costs entries, not
    // replies.
    OutputQueue output(WriteToStandardOutput);
    ConsoleServer server(endpoint, profiles, clock, output, options.logging);

    if (const auto error = server.Bind(options.port)) {
        PrintError(BindFailureMessage(*error, ClassifyBindFailure(error->code), options.port,
                                      kProgram) +
                   WindowsBindHint(error->code, options.port));
        return 1;
    }
    server.PrintListening(endpoint.BoundPort(), configPath.string());
    PrintError(MissingConfigNote(configPath, kProgram));

    Win32ConsoleLoop::Handlers handlers;
    handlers.socketReadable = [&server] { server.HandleWaitingDatagrams(); };
    handlers.inputLine = [&server](std::string_view line) {
        return server.HandleCommand(line) == ConsoleServer::CommandOutcome::Continue;
    };
    const auto stop = loop.Run(endpoint.NativeHandle(), InputCarriesCommands(), handlers);
    output.Close();
    if (stop == Win32ConsoleLoop::StopReason::Failure) {
        std::fprintf(stderr, "%s: the event loop failed (error %lu)\n", kProgram,
                     static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    return 0;
}
