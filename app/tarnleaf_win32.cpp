// tarnleaf.exe: the BOOTP/DHCP reply server as a notification-area program for Windows.
#include <winsock2.h>
#include <windows.h>

#include <optional>

#include "BootpConstants.h"
#include "CommandLine.h"
#include "ConfigFile.h"
#include "DesktopController.h"
#include "DisplayText.h"
#include "ExecutableFolder.h"
#include "LogModel.h"
#include "MainWindowLayout.h"
#include "ProfileRefresh.h"
#include "RequestCycle.h"
#include "TestMessageSender.h"
#include "Win32Clock.h"
#include "Win32DesktopSession.h"
#include "Win32FileWatcher.h"
#include "Win32MainWindow.h"
#include "Win32ScreenGeometry.h"
#include "Win32SocketWatcher.h"
#include "Win32TrayIcon.h"
#include "WindowHookRegistry.h"
#include "WinsockSession.h"
#include "WinsockUdpEndpoint.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    using namespace tarnleaf;

    WinsockSession winsock;
    // Declared first, ended last: the window's own procedure is back before it goes.
    WindowHookRegistry hooks;
    Win32MainWindow window(instance);
    if (window.Handle() == nullptr) return 1;
    // The program's icon 101 at the size the notification area shows; shared, so never freed.
    const auto icon = static_cast<HICON>(LoadImageW(
        instance, MAKEINTRESOURCEW(form_layout::kIconResource), IMAGE_ICON,
        GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    Win32TrayIcon tray(hooks, window.Handle(), icon);
    Win32ScreenGeometry screen;
    Win32DesktopSession session(window);

    // The same file that "Edit Config" offers: --config FILE, else Tarnleaf.ini beside us.
    const wchar_t* commandLine = GetCommandLineW();
    const CommandLineParts parts =
        SplitCommandLine(Narrow(CommandLineTail(commandLine != nullptr ? commandLine : L"")));
    const FilePath configFile = ResolveConfigFile(parts, ExecutableFolder());
    ConfigFile profiles(configFile, LocalFileAccess(), Win32FileWatcher::Create(configFile));
    Win32Clock clock;
    WinsockUdpEndpoint endpoint;
    LogModel log;
    RequestCycle cycle(endpoint, profiles, log, clock);
    TestMessageSender tester(endpoint, profiles, log, clock);
    // A file that could not be read at start-up is said in the log at once, where the user
    // looks, not with the first request.
    RefreshProfiles(profiles, log);
    Win32SocketWatcher watcher([&cycle] { cycle.HandleOneDatagram(); },
                               [&cycle](const SocketError& error) { cycle.OnSocketError(error); });

    DesktopController controller(
        window, tray, screen, session, log, {configFile, !LoggingStartsOff(parts.rest)},
        [&tester] { tester.SendTestMessage(); },
        [&]() -> std::optional<SocketError> {
            if (const auto& failure = winsock.StartupError()) return failure;
            if (auto error = endpoint.Bind(kServerPort)) return error;
            return watcher.Watch(static_cast<SOCKET>(endpoint.NativeHandle()));
        });
    controller.Start();
    return session.Run();
}
