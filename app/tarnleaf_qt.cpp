// tarnleaf: the BOOTP/DHCP reply server as a notification-area program on a Linux desktop.
//
//   tarnleaf [--config FILE] [-NOLOG] [--user NAME]
//
// Port 67 is bound before anything else, and root's rights (or the capability) are given up
// right after, before the display is opened: --user names whom to run as, as for tarnleafd.
//
// Test hook: with TARNLEAF_LOG_ECHO set to anything but empty, every text that enters the
// log view is also written to standard error, so that a test of the whole program can see
// the view's content without reading pixels.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QApplication>
#include <QIcon>
#include <QTextCursor>
#include <QTextDocument>

#include "BootpConstants.h"
#include "CommandLine.h"
#include "ConfigFile.h"
#include "DesktopController.h"
#include "InotifyFileWatcher.h"
#include "LogModel.h"
#include "PosixClock.h"
#include "PosixUdpEndpoint.h"
#include "PrivilegeDrop.h"
#include "ProgramFolder.h"
#include "QtDesktopSession.h"
#include "QtMainWindow.h"
#include "QtProgramIcon.h"
#include "QtScreenGeometry.h"
#include "QtSocketWatcher.h"
#include "QtStopSignals.h"
#include "QtTrayIcon.h"
#include "ProfileRefresh.h"
#include "RequestCycle.h"
#include "TestMessageSender.h"

namespace {


// What the user can do about a port that cannot be bound, in the error's own words.
tarnleaf::SocketError ExplainBindFailure(tarnleaf::SocketError error) {
    switch (error.code) {
        case EADDRINUSE:
            error.description +=
                " (another program on this computer - a DHCP or BOOTP server, or Tarnleaf "
                "started by another user - already uses UDP port 67)";
            break;
        case EACCES:
        case EPERM:
            error.description +=
                " (ports below 1024 need extra rights on Linux: run Tarnleaf as root, or "
                "grant it the right once with: sudo setcap cap_net_bind_service=+ep " +
                QCoreApplication::applicationFilePath().toStdString() + ")";
            break;
        default:
            break;
    }
    return error;
}

void EchoViewChanges(QTextDocument& document) {
    QObject::connect(&document, &QTextDocument::contentsChange, &document,
                     [&document](int position, int /*removed*/, int added) {
                         if (added <= 0) {
                             return;
                         }
                         // The count may take in the document's closing separator.
                         const int end = std::min(position + added,
                                                  document.characterCount() - 1);
                         if (end <= position) {
                             return;
                         }
                         QTextCursor cursor(&document);
                         cursor.setPosition(position);
                         cursor.setPosition(end, QTextCursor::KeepAnchor);
                         QString text = cursor.selectedText();
                         text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
                         const QByteArray bytes = text.toUtf8();
                         std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()),
                                     stderr);
                         std::fflush(stderr);
                     });
}

// Takes "--user NAME" out of the arguments, which go on to Qt and the desktop's own parser.
std::optional<std::string> TakeUserArgument(int& argc, char** argv) {
    std::optional<std::string> user;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--user" && i + 1 < argc) {
            user = argv[++i];
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = std::min(argc, kept);
    argv[argc] = nullptr;
    return user;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tarnleaf;

    const std::optional<std::string> user = TakeUserArgument(argc, argv);
    PosixUdpEndpoint endpoint;
    // A failure is shown once the window exists; the rights go in either case.
    const std::optional<SocketError> bindError = endpoint.Bind(kServerPort);
    const auto dropped = DropPrivileges(user);
    if (!dropped.ok()) {
        std::fprintf(stderr, "tarnleaf: cannot drop privileges: %s (stopping rather than "
                     "running with them)\n", dropped.error().c_str());
        return 1;
    }
    std::fprintf(stderr, "tarnleaf: %s\n", dropped.value().c_str());

    QApplication application(argc, argv);
    // A reader of standard error that goes away must not end the server.
    std::signal(SIGPIPE, SIG_IGN);

    // The same file that "Edit Config" offers: --config FILE, else Tarnleaf.ini in the
    // configuration folder (beside us, or /etc/tarnleaf when installed with the system).
    std::vector<std::string> arguments;
    for (const QString& argument : QCoreApplication::arguments().mid(1)) {
        arguments.push_back(argument.toStdString());
    }
    const CommandLineParts parts = SplitArguments(arguments);
    const FilePath configFile = ResolveConfigFile(parts, FilePath(ConfigFolder()));

    QtDesktopSession session;
    const QIcon icon = LoadProgramIcon();
    QtMainWindow window;
    window.setWindowIcon(icon);
    QtTrayIcon tray(icon);
    QtScreenGeometry screen;

    ConfigFile profiles(configFile, LocalFileAccess(), InotifyFileWatcher::Create(configFile));
    std::fputs(UnreadableFileNote(configFile, "tarnleaf").c_str(), stderr);
    PosixClock clock;
    LogModel log;
    RequestCycle cycle(endpoint, profiles, log, clock);
    TestMessageSender tester(endpoint, profiles, log, clock);
    // A file that could not be read at start-up is said in the log at once, where the user
    // looks, not with the first request.
    RefreshProfiles(profiles, log);

    const char* echo = std::getenv("TARNLEAF_LOG_ECHO");
    if (echo != nullptr && *echo != '\0') {
        EchoViewChanges(*window.LogView().document());
    }

    // Datagrams reach the loop through a socket notifier once the port is bound.
    std::unique_ptr<QtSocketWatcher> socket;
    DesktopController controller(
        window, tray, screen, session, log,
        {.configFile = configFile, .loggingOn = !LoggingStartsOff(parts.rest)},
        [&tester] { tester.SendTestMessage(); },
        [&]() -> std::optional<SocketError> {
            if (bindError) {
                return ExplainBindFailure(*bindError);
            }
            socket = std::make_unique<QtSocketWatcher>(
                endpoint.NativeHandle(), [&cycle] { return cycle.HandleOneDatagram(); });
            return std::nullopt;
        });

    // Ctrl+C, kill, a closing terminal and the end of the desktop session end the program
    // as its "終了" does: the icon goes first.
    QtStopSignals stopSignals([&controller](int) { controller.OnCloseRequested(); });
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &window,
                     [&controller] { controller.OnCloseRequested(); });

    controller.Start();
    const int code = session.Run();
    socket.reset();
    return code;
}
