// tarnleaf.exe: the BOOTP/DHCP reply server as a notification-area program for Windows.
#include <winsock2.h>
#include <windows.h>

#include <optional>

#include "ConfigFile.h"
#include "Win32FileWatcher.h"
#include "Win32Clock.h"
#include "Win32Desktop.h"
#include "WinsockSession.h"
#include "WinsockUdpEndpoint.h"
#include "LogModel.h"
#include "RequestCycle.h"
#include "TestMessageSender.h"
#include "modSubClass.h"
#include "CommandLine.h"
#include "frmMain.h"

namespace {

constexpr std::uint16_t kServerPort = 67;

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    using namespace tarnleaf;

    WinsockSession winsock;
    Win32Desktop desktop(instance);
    if (desktop.MainWindow() == 0) {
        return 1;
    }

    // The same file that "Edit Config" offers: --config FILE, else Tarnleaf.ini beside us.
    const CommandLineParts parts = SplitCommandLine(desktop.CommandLineText());
    const auto configPath = ResolveConfigFile(parts, desktop.ProgramFolder());
    ConfigFile profiles(configPath, LocalFileAccess(), Win32FileWatcher::Create(configPath));
    Win32Clock clock;
    WinsockUdpEndpoint endpoint;
    LogModel log;
    RequestCycle cycle(endpoint, profiles, log, clock);
    TestMessageSender tester(endpoint, profiles, log, clock);

    // The hook registry outlives the window and every tray object (declared before it).
    modSubClass hooks(desktop);
    frmMain form(
        desktop, hooks, log, [&tester] { tester.SendTestMessage(); },
        [&]() -> std::optional<SocketError> {
            if (const auto& failure = winsock.StartupError()) {
                return failure;
            }
            if (auto error = endpoint.Bind(kServerPort)) {
                return error;
            }
            desktop.WatchSocket(
                endpoint.NativeHandle(), [&cycle] { cycle.HandleOneDatagram(); },
                [&cycle](const SocketError& error) { cycle.OnSocketError(error); });
            return std::nullopt;
        });
    desktop.SetEvents(form);
    form.Start();
    return desktop.Run();
}
